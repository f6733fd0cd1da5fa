#include "config/product_config.h"

#include "resource_ids.h"

bool IsLauncherMode(const platform::Platform& os) {
  return os.resources.FindData(IDR_PAYLOAD_MANIFEST) == nullptr;
}

namespace {

// A drive path ("C:\...") or a UNC path ("\\server\share\...").
bool IsAbsoluteFolder(const WString& path) {
  const bool drive = path.size() >= 3 && path[1] == u':' && path[2] == u'\\' &&
                     ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
  const bool unc = path.size() >= 3 && path[0] == u'\\' && path[1] == u'\\';
  return drive || unc;
}

}  // namespace

std::optional<WString> UsableTempFolder(const platform::Platform& os) {
  WString tempPath;
  const uint32_t length = os.files.TempPath(kStringRoom, &tempPath);
  // A failed or cut temporary path must never turn into a relative workspace:
  // unpacking would then write into the current folder, often the disc.
  if (length == 0 || length > kStringRoom - 1 || tempPath.size() != length) return std::nullopt;
  if (!IsAbsoluteFolder(tempPath) || tempPath.back() != u'\\') return std::nullopt;
  return tempPath;
}

WString ProgramFolder(const platform::Platform& os) {
  const WString program = os.resources.ProgramPath();
  const size_t separator = program.rfind(u'\\');
  if (separator == WString::npos || !IsAbsoluteFolder(program.substr(0, separator + 1))) {
    return WString();
  }
  return program.substr(0, separator + 1);
}
