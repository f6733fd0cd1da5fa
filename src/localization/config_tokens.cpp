// The ";"-terminated lists of the product configuration, and LCID tokens.
#include "localization/config_tokens.h"

#include <algorithm>
#include <cstdint>

namespace {

// The blanks wcstol skips: space and the ASCII controls tab to carriage return.
bool IsBlank(WChar c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

bool IsDigit(WChar c) { return c >= u'0' && c <= u'9'; }

}  // namespace

std::vector<WString> SplitTokens(WStringView text) {
  std::vector<WString> tokens;
  WString current;
  for (const WChar c : text) {
    if (c == u';') {
      tokens.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  return tokens;
}

int32_t ConvertLcidToken(WStringView token) {
  size_t pos = 0;
  while (pos < token.size() && IsBlank(token[pos])) ++pos;
  bool negative = false;
  if (pos < token.size() && (token[pos] == u'+' || token[pos] == u'-')) {
    negative = token[pos] == u'-';
    ++pos;
  }
  // The magnitude stops growing once past the 32-bit range, so no digit run,
  // however long, overflows it.
  constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
  int64_t magnitude = 0;
  for (; pos < token.size() && IsDigit(token[pos]); ++pos) {
    magnitude = std::min(magnitude * 10 + (token[pos] - u'0'), kLimit);
  }
  if (negative) return static_cast<int32_t>(-magnitude);
  return static_cast<int32_t>(std::min<int64_t>(magnitude, INT32_MAX));
}

