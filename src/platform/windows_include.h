// The one way into the Windows headers for the Windows layer and the entry
// point. The logic never includes this file.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
// Windows 7: the oldest system the program is built for. Newer functions
// (SetDefaultDllDirectories) are looked up at run time.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif

// The other headers need <windows.h> first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
// clang-format on

// The seam has a method named MessageBox; the A/W macro would rename it in
// one translation unit and not in another.
#undef MessageBox

#include "platform/text.h"

static_assert(sizeof(wchar_t) == sizeof(WChar), "Windows wide text is UTF-16, like WString");

namespace platform {

// The seam's UTF-16 text as the Windows API's wide text, and back.
inline const wchar_t* Wide(const WString& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline const wchar_t* WideOrNull(const WString& text) {
  return text.empty() ? nullptr : Wide(text);
}
inline WString FromWide(const wchar_t* text, size_t length) {
  return WString(reinterpret_cast<const WChar*>(text), length);
}

}  // namespace platform
