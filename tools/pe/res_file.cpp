#include "pe/res_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "pe/byte_writer.h"

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

bool ReadResFile(const std::filesystem::path& path, std::vector<Resource>* resources,
                 Diagnostics& diagnostics) {
  const auto fail = [&](const std::string& message) {
    resources->clear();
    diagnostics.Error(path.string(), message);
    return false;
  };
  std::ifstream in(path, std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) return fail("cannot be read");
  if (file.empty()) return fail("is empty");

  const uint64_t fileSize = file.size();
  uint64_t offset = 0;
  while (offset < fileSize) {
    const std::string where = "the entry at byte " + std::to_string(offset);
    if (fileSize - offset < kFixedHeaderBytes + 8) return fail(where + " is cut short");
    const size_t at = static_cast<size_t>(offset);
    const uint32_t dataSize = ReadLe(file, at, 4);
    const uint32_t headerSize = ReadLe(file, at + 4, 4);
    if (headerSize < kFixedHeaderBytes + 8 || headerSize > kMaxHeaderSize || headerSize % 4 != 0) {
      return fail(where + " has a damaged header");
    }
    if (offset + headerSize + dataSize > fileSize) return fail(where + " is cut short");
    const Bytes header(file.begin() + static_cast<std::ptrdiff_t>(at),
                       file.begin() + static_cast<std::ptrdiff_t>(at + headerSize));
    Resource resource;
    size_t nameAt = 8;
    const size_t namesEnd = headerSize - 16;
    if (!ReadName(header, namesEnd, &nameAt, &resource.type) ||
        !ReadName(header, namesEnd, &nameAt, &resource.name) ||
        ((nameAt + 3) & ~size_t{3}) != namesEnd) {
      return fail(where + " has a damaged header");
    }
    resource.language = static_cast<uint16_t>(ReadLe(header, namesEnd + 6, 2));
    const auto data = file.begin() + static_cast<std::ptrdiff_t>(at + headerSize);
    resource.data.assign(data, data + dataSize);

    // A 32-bit resource file starts with an empty entry of type 0, which no
    // other entry may have.
    const bool isEmptyMarker = !resource.type.isText && resource.type.number == 0;
    if (offset == 0 && !(isEmptyMarker && dataSize == 0)) {
      return fail("is not a 32-bit resource file");
    }
    if (offset > 0) {
      if (isEmptyMarker) return fail(where + " has no type");
      resources->push_back(std::move(resource));
    }
    offset += headerSize + uint64_t{dataSize};
    // Entries start on 4-byte boundaries; the last one's padding may be left out.
    offset = std::min((offset + 3) & ~uint64_t{3}, fileSize);
  }
  return true;
}
