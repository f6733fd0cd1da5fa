#include "install/fatal_error.h"

#include <cstdarg>
#include <cstdlib>
#include <vector>

#include "install/workspace.h"
#include "launcher.h"

namespace {

constexpr size_t kLargestCapacity = 0x7FFFFFFF;

// The message format's fixed text (21 units), at most 11 units of a signed
// 32-bit number and the terminator all fit in these spare units, so the
// message is never cut.
constexpr size_t kSpareUnits = 40;

// Shown when the system has no description for the code, so that the box
// never ends in an empty text.
constexpr WChar kUnknownErrorText[] = u"Unknown error.";

size_t TextLength(const WChar* text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

// Appends units to a counted buffer and remembers whether anything was cut.
class BoundedWriter {
 public:
  BoundedWriter(WChar* buffer, size_t room) : buffer_(buffer), room_(room) {}

  void Append(const WChar* text, size_t length) {
    for (size_t i = 0; i < length; ++i) Append(text[i]);
  }
  void Append(WChar unit) {
    if (used_ < room_) {
      buffer_[used_++] = unit;
    } else {
      cut_ = true;
    }
  }
  size_t used() const { return used_; }
  bool cut() const { return cut_; }

 private:
  WChar* buffer_;
  size_t room_;
  size_t used_ = 0;
  bool cut_ = false;
};

// Formats into the writer; false when the format holds a conversion that is
// not understood.
bool FormatInto(BoundedWriter& writer, const WChar* format, va_list arguments) {
  static constexpr WChar kNullText[] = u"(null)";
  for (const WChar* at = format; *at != 0; ++at) {
    if (*at != u'%') {
      writer.Append(*at);
      continue;
    }
    ++at;
    switch (*at) {
      case u'%':
        writer.Append(u'%');
        break;
      case u's': {
        const WChar* text = va_arg(arguments, const WChar*);
        if (text == nullptr) text = kNullText;
        writer.Append(text, TextLength(text));
        break;
      }
      case u'd': {
        const WString digits = DecimalText(static_cast<int32_t>(va_arg(arguments, int)));
        writer.Append(digits.data(), digits.size());
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

}  // namespace

int32_t FormatBounded(WChar* buffer, size_t capacity, const WChar* format, ...) {
  if (capacity == 0 || capacity > kLargestCapacity) return kFormatInvalidArgument;

  BoundedWriter writer(buffer, capacity - 1);
  va_list arguments;
  va_start(arguments, format);
  const bool understood = FormatInto(writer, format, arguments);
  va_end(arguments);

  buffer[writer.used()] = 0;
  if (!understood || writer.cut()) {
    buffer[capacity - 1] = 0;
    return kFormatInsufficientBuffer;
  }
  return 0;
}

void FatalError(const platform::Platform& os, const WString& what) {
  // First, before any other call can replace the failed call's error code.
  const uint32_t code = os.process.LastError();

  const std::optional<WString> systemText = os.process.SystemErrorText(code);
  const WString description = systemText ? *systemText : WString(kUnknownErrorText);

  // Sized from the texts so that a long `what` is never cut.
  std::vector<WChar> message(description.size() + what.size() + kSpareUnits, 0);
  FormatBounded(message.data(), message.size(), u"%s failed with error %d: %s", what.c_str(),
                static_cast<int>(static_cast<int32_t>(code)), description.c_str());

  Launcher* launcher = ActiveLauncher();
  if (launcher != nullptr) {
    launcher->state.fatalErrorShown.store(true);
    // The workspace's name is this run's own: no later run would find what
    // this one left there.
    RemoveWorkspace(launcher->state, os);
  }
  os.windows.MessageBox(nullptr, WString(message.data()), u"Error", platform::kMessageBoxOk);
  os.process.Terminate(code);
  // Not reached: compilers do not carry [[noreturn]] through a virtual call.
  std::abort();
}

void FailWithError(const platform::Platform& os, uint32_t code, const WString& what) {
  os.process.SetLastError(code);
  FatalError(os, what);
}
