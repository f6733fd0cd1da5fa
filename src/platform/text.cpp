#include "platform/text.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendCodePoint(char32_t codePoint, WString* out) {
  if (codePoint >= 0x10000) {
    codePoint -= 0x10000;
    out->push_back(static_cast<WChar>(0xD800 + (codePoint >> 10)));
    out->push_back(static_cast<WChar>(0xDC00 + (codePoint & 0x3FF)));
  } else {
    out->push_back(static_cast<WChar>(codePoint));
  }
}

// Decodes one UTF-8 sequence at `pos`; returns false when it is invalid, with
// `length` set to the bytes to skip.
bool DecodeOne(std::string_view utf8, size_t pos, char32_t* codePoint, size_t* length) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(utf8[i]); };
  const unsigned char lead = byte(pos);
  *length = 1;
  if (lead < 0x80) {
    *codePoint = lead;
    return true;
  }
  size_t count = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    count = 1, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    count = 2, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    count = 3, value = lead & 0x07, minimum = 0x10000;
  } else {
    return false;
  }
  for (size_t i = 1; i <= count; ++i) {
    if (pos + i >= utf8.size() || (byte(pos + i) & 0xC0) != 0x80) return false;
    value = (value << 6) | (byte(pos + i) & 0x3F);
  }
  *length = count + 1;
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  *codePoint = value;
  return true;
}

}  // namespace

WString Utf8ToUtf16(std::string_view utf8) {
  WString out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t codePoint = 0;
    size_t length = 1;
    AppendCodePoint(DecodeOne(utf8, pos, &codePoint, &length) ? codePoint : kReplacement, &out);
    pos += length;
  }
  return out;
}

bool DecodeUtf8Strict(std::string_view utf8, WString* out) {
  out->clear();
  out->reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t codePoint = 0;
    size_t length = 1;
    if (!DecodeOne(utf8, pos, &codePoint, &length)) return false;
    AppendCodePoint(codePoint, out);
    pos += length;
  }
  return true;
}

std::string Utf16ToUtf8(WStringView utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t codePoint = utf16[i];
    if (codePoint >= 0xD800 && codePoint <= 0xDBFF && i + 1 < utf16.size() &&
        utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {
      codePoint = kReplacement;
    }
    if (codePoint < 0x80) {
      out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
      out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
      out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
      out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
  }
  return out;
}

WString DecimalText(int32_t value) {
  // Work in 64 bits so that the most negative value has a magnitude.
  int64_t magnitude = value;
  const bool negative = magnitude < 0;
  if (negative) magnitude = -magnitude;
  WString digits;
  do {
    digits.insert(digits.begin(), static_cast<WChar>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) digits.insert(digits.begin(), u'-');
  return digits;
}
