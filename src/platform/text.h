// Text types shared by the portable core and the platform layer.
//
// Every path, message and UI text is UTF-16, on every host: the core uses
// char16_t so that buffer limits counted in UTF-16 units mean the same on
// Windows (where wchar_t is UTF-16) and on Linux (where wchar_t is 32-bit).
// The Windows layer converts at the seam with a plain pointer cast.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using WChar = char16_t;
using WString = std::u16string;
using WStringView = std::u16string_view;

// Converts UTF-8 to UTF-16. Invalid sequences become U+FFFD.
WString Utf8ToUtf16(std::string_view utf8);

// Converts UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(WStringView utf16);

// Strict UTF-8 decoding: false on any invalid, overlong or surrogate sequence.
bool DecodeUtf8Strict(std::string_view utf8, WString* out);

// Decimal text of a signed 32-bit number, for messages.
WString DecimalText(int32_t value);
