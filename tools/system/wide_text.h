// UTF-8 and the system's wide strings, for the Windows side of the seam
// (wchar_t is a UTF-16 unit there).
#pragma once

#include <string>

#include "platform/text.h"

inline std::wstring Utf8ToWide(const std::string& utf8) {
  const WString utf16 = Utf8ToUtf16(utf8);
  return std::wstring(utf16.begin(), utf16.end());
}

inline std::string WideToUtf8(const std::wstring& wide) {
  return Utf16ToUtf8(WString(wide.begin(), wide.end()));
}
