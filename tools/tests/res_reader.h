// Reads a .res file back into its entries, for checking what was written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <vector>

#include "exe/byte_writer.h"
#include "exe/res_file.h"
#include "platform/text.h"

struct ResEntry {
  uint16_t type = 0;
  uint16_t id = 0;
  uint16_t language = 0;
  Bytes data;
};

// Every entry after the leading empty one; numeric types and ids only.
inline std::optional<std::vector<ResEntry>> ReadResFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<ResEntry> entries;
  size_t offset = 0;
  while (offset + 32 <= bytes.size()) {
    const uint32_t dataSize = ReadLe(bytes, offset, 4);
    const uint32_t headerSize = ReadLe(bytes, offset + 4, 4);
    if (headerSize != 32 || ReadLe(bytes, offset + 8, 2) != 0xFFFF ||
        ReadLe(bytes, offset + 12, 2) != 0xFFFF || offset + headerSize + dataSize > bytes.size()) {
      return std::nullopt;
    }
    ResEntry entry;
    entry.type = static_cast<uint16_t>(ReadLe(bytes, offset + 10, 2));
    entry.id = static_cast<uint16_t>(ReadLe(bytes, offset + 14, 2));
    entry.language = static_cast<uint16_t>(ReadLe(bytes, offset + 22, 2));
    entry.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(offset + headerSize),
                      bytes.begin() + static_cast<std::ptrdiff_t>(offset + headerSize + dataSize));
    if (offset > 0 || entry.type != 0) entries.push_back(std::move(entry));
    offset += headerSize + dataSize;
    offset = (offset + 3) & ~size_t{3};
  }
  if (offset != bytes.size()) return std::nullopt;
  return entries;
}

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
