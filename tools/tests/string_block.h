// Reads a string-table resource back, for checking what was written.
#pragma once

#include <cstdint>
#include <map>

#include "pe/byte_writer.h"
#include "pe/resource.h"
#include "platform/text.h"

// The strings of one string-table block, keyed by their ids.
inline std::map<uint16_t, WString> DecodeStringBlock(uint16_t blockId, const Bytes& block) {
  std::map<uint16_t, WString> strings;
  size_t offset = 0;
  for (uint16_t slot = 0; slot < 16; ++slot) {
    const uint32_t length = ReadLe(block, offset, 2);
    offset += 2;
    WString text;
    for (uint32_t i = 0; i < length; ++i, offset += 2)
      text.push_back(static_cast<WChar>(ReadLe(block, offset, 2)));
    if (length > 0) strings[static_cast<uint16_t>((blockId - 1) * 16 + slot)] = text;
  }
  return strings;
}
