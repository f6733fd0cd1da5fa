// Tokens of the ";"-terminated lists in the product configuration. Pure
// text functions, shared by the program and the product build's checks.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/text.h"

// Splits a ";"-terminated list: a token counts only when its ";" is seen.
std::vector<WString> SplitTokens(WStringView text);

// Converts a token as wcstol with base 10 does, clamped to 32 bits.
int32_t ConvertLcidToken(WStringView token);
