#include "ui/passive_controls.h"

#include <vector>

namespace {

// Window class names compare without regard to ASCII case.
bool IsStaticClass(const WString& className) {
  const WStringView name = u"static";
  if (className.size() != name.size()) return false;
  for (size_t index = 0; index < name.size(); ++index) {
    WChar letter = className[index];
    if (letter >= u'A' && letter <= u'Z') letter = static_cast<WChar>(letter - u'A' + u'a');
    if (letter != name[index]) return false;
  }
  return true;
}

bool IsPicture(const platform::DialogControl& control) {
  if (!IsStaticClass(control.className)) return false;
  const uint32_t type = control.style & platform::kStaticTypeMask;
  return type == platform::kStaticBitmap || type == platform::kStaticIcon;
}

void StartGroup(const platform::Platform& os, platform::DialogControl& control) {
  if (control.style & platform::kStyleGroup) return;
  control.style |= platform::kStyleGroup;
  os.windows.SetStyle(control.window, control.style);
}

}  // namespace

void QuietenPassiveControls(const platform::Platform& os, platform::WindowHandle dialog) {
  std::vector<platform::DialogControl> controls = os.windows.Controls(dialog);
  const size_t count = controls.size();
  for (size_t index = 0; index < count; ++index) {
    platform::DialogControl& control = controls[index];
    if (control.style & platform::kStyleTabStop) continue;
    StartGroup(os, control);
    // The group of the last control runs on into the first ones.
    StartGroup(os, controls[(index + 1) % count]);
    // Decorative: no name rather than its image's resource number read aloud.
    if (IsPicture(control)) os.windows.SetNameOnly(control.window, WString());
  }
}
