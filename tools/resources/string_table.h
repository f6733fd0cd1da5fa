// Encodes strings into the blocks of a string table resource.
#pragma once

#include <cstdint>
#include <map>

#include "pe/resource.h"
#include "platform/text.h"

// A string table resource holds 16 strings: block b holds the ids
// (b - 1) * 16 to (b - 1) * 16 + 15, each as a 16-bit length followed by
// that many UTF-16 units (no terminator; an absent string has length 0).
// Every string must be at most 65535 units long.
std::map<uint16_t, Bytes> EncodeStringTable(const std::map<uint16_t, WString>& strings);
