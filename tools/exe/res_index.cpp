#include "exe/res_index.h"

#include <algorithm>
#include <fstream>
#include <tuple>

#include "exe/byte_writer.h"

namespace {

// Longer headers than any resource compiler writes are taken as damage.
constexpr uint32_t kMaxHeaderSize = 64 * 1024;
// Data size, header size and, after type and name, data version, memory
// flags, language, version and characteristics.
constexpr uint32_t kFixedHeaderBytes = 8 + 16;

// A type or name field of a header: 0xFFFF and a number, or a text ending in
// a NUL. False when it runs past `end`.
bool ReadName(const std::vector<uint8_t>& header, size_t end, size_t* at, ResourceName* name) {
  if (*at + 2 > end) return false;
  if (ReadLe(header, *at, 2) == 0xFFFF) {
    if (*at + 4 > end) return false;
    name->number = static_cast<uint16_t>(ReadLe(header, *at + 2, 2));
    *at += 4;
    return true;
  }
  name->isText = true;
  for (; *at + 2 <= end; *at += 2) {
    const uint16_t unit = static_cast<uint16_t>(ReadLe(header, *at, 2));
    if (unit == 0) {
      *at += 2;
      return true;
    }
    name->text.push_back(static_cast<WChar>(unit));
  }
  return false;
}

}  // namespace

bool ResourceName::operator<(const ResourceName& other) const {
  // Texts before numbers.
  if (isText != other.isText) return isText;
  return std::tie(number, text) < std::tie(other.number, other.text);
}

std::string ResourceName::Describe() const {
  return isText ? "\"" + Utf16ToUtf8(text) + "\"" : std::to_string(number);
}

ResIndex ReadResIndex(const std::filesystem::path& path) {
  ResIndex index;
  const auto fail = [&](const std::string& message) {
    index.entries.clear();
    index.error = path.string() + ": " + message;
    return index;
  };
  std::ifstream in(path, std::ios::binary);
  std::error_code error;
  const uint64_t fileSize = std::filesystem::file_size(path, error);
  if (!in || error) return fail("cannot be read");

  uint64_t offset = 0;
  std::vector<uint8_t> header;
  while (offset < fileSize) {
    const std::string where = "the entry at byte " + std::to_string(offset);
    header.resize(8);
    if (fileSize - offset < kFixedHeaderBytes + 8 ||
        !in.seekg(static_cast<std::streamoff>(offset)) ||
        !in.read(reinterpret_cast<char*>(header.data()), 8)) {
      return fail(where + " is cut short");
    }
    const uint32_t dataSize = ReadLe(header, 0, 4);
    const uint32_t headerSize = ReadLe(header, 4, 4);
    if (headerSize < kFixedHeaderBytes + 8 || headerSize > kMaxHeaderSize || headerSize % 4 != 0) {
      return fail(where + " has a damaged header");
    }
    if (offset + headerSize + dataSize > fileSize) return fail(where + " is cut short");
    header.resize(headerSize);
    if (!in.read(reinterpret_cast<char*>(header.data() + 8), headerSize - 8)) {
      return fail(where + " is cut short");
    }
    ResIndexEntry entry;
    size_t at = 8;
    const size_t namesEnd = headerSize - 16;
    if (!ReadName(header, namesEnd, &at, &entry.type) ||
        !ReadName(header, namesEnd, &at, &entry.name) || ((at + 3) & ~size_t{3}) != namesEnd) {
      return fail(where + " has a damaged header");
    }
    entry.language = static_cast<uint16_t>(ReadLe(header, namesEnd + 6, 2));
    entry.dataSize = dataSize;
    entry.dataOffset = offset + headerSize;

    // A 32-bit resource file starts with an empty entry of type 0, which no
    // other entry may have.
    const bool isEmptyMarker = !entry.type.isText && entry.type.number == 0;
    if (offset == 0 && !(isEmptyMarker && dataSize == 0)) {
      return fail("is not a 32-bit resource file");
    }
    if (offset > 0) {
      if (isEmptyMarker) return fail(where + " has no type");
      index.entries.push_back(std::move(entry));
    }
    offset += headerSize + uint64_t{dataSize};
    // Entries start on 4-byte boundaries; the last one's padding may be left out.
    offset = std::min((offset + 3) & ~uint64_t{3}, fileSize);
  }
  if (index.entries.empty() && offset == 0) return fail("is empty");
  return index;
}
