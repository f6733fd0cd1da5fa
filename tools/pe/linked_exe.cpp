#include "pe/linked_exe.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "pe/byte_writer.h"

namespace {

constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr size_t kSectionHeaderBytes = 40;
constexpr uint32_t kResourceDirectory = 2;

// Offsets in the optional header that both layouts share.
constexpr size_t kSectionAlignment = 32;
constexpr size_t kFileAlignment = 36;
constexpr size_t kSizeOfImage = 56;
constexpr size_t kSizeOfHeaders = 60;
constexpr size_t kCheckSum = 64;

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// Reads the headers of `headers.image`; false, with the reason reported for
// `where`, when the exe cannot take a resource section.
bool ReadHeaders(LinkedExe& headers, const std::string& where, Diagnostics& diagnostics) {
  const auto refuse = [&](const char* why) {
    diagnostics.Error(where, why);
    return false;
  };
  const Bytes& exe = headers.image;
  if (exe.size() < 0x40 || exe[0] != 'M' || exe[1] != 'Z') return refuse("is not an exe");
  const size_t pe = ReadLe(exe, 0x3C, 4);
  if (pe > exe.size() - 24 || ReadLe(exe, pe, 4) != 0x00004550) return refuse("is not a PE exe");
  const uint32_t sectionCount = ReadLe(exe, pe + 6, 2);
  const size_t optionalSize = ReadLe(exe, pe + 20, 2);
  const size_t optional = pe + 24;
  if (optional + 2 > exe.size()) return refuse("has a damaged optional header");
  const uint16_t magic = static_cast<uint16_t>(ReadLe(exe, optional, 2));
  if (magic != kMagicPe32 && magic != kMagicPe32Plus)
    return refuse("has an optional header of an unknown kind");
  const size_t directoryCountField = optional + (magic == kMagicPe32Plus ? 108 : 92);
  const size_t directories = directoryCountField + 4;
  if (optionalSize < directories + 8 * 3 - optional || optional + optionalSize > exe.size() ||
      ReadLe(exe, directoryCountField, 4) <= kResourceDirectory ||
      directories + 8 * uint64_t{ReadLe(exe, directoryCountField, 4)} > optional + optionalSize) {
    return refuse("has a damaged optional header");
  }
  headers.optionalHeader = optional;
  headers.sectionCountField = pe + 6;
  headers.resourceDirectory = directories + 8 * kResourceDirectory;
  headers.checksumField = optional + kCheckSum;
  headers.sectionAlignment = ReadLe(exe, optional + kSectionAlignment, 4);
  headers.fileAlignment = ReadLe(exe, optional + kFileAlignment, 4);
  if (!IsPowerOfTwo(headers.sectionAlignment) || !IsPowerOfTwo(headers.fileAlignment)) {
    return refuse("has a damaged optional header");
  }
  if (ReadLe(exe, headers.resourceDirectory, 4) != 0 ||
      ReadLe(exe, headers.resourceDirectory + 4, 4) != 0) {
    return refuse("already has resources");
  }

  const size_t table = optional + optionalSize;
  if (table + kSectionHeaderBytes * sectionCount > exe.size()) return refuse("has a damaged section table");
  uint64_t firstRawData = ReadLe(exe, optional + kSizeOfHeaders, 4);
  uint64_t fileEnd = firstRawData;
  headers.imageEnd = ReadLe(exe, optional + kSizeOfImage, 4);
  for (uint32_t index = 0; index < sectionCount; ++index) {
    const size_t header = table + kSectionHeaderBytes * index;
    const uint64_t virtualSize = ReadLe(exe, header + 8, 4);
    const uint64_t address = ReadLe(exe, header + 12, 4);
    const uint64_t rawSize = ReadLe(exe, header + 16, 4);
    const uint64_t rawData = ReadLe(exe, header + 20, 4);
    headers.imageEnd = std::max(headers.imageEnd, address + std::max(virtualSize, rawSize));
    if (rawSize == 0) continue;
    firstRawData = std::min(firstRawData, rawData);
    fileEnd = std::max(fileEnd, rawData + rawSize);
  }
  // Whatever lies after the last section (a symbol table, a signature)
  // would end up inside the new one.
  if (exe.size() > AlignUp(fileEnd, headers.fileAlignment)) return refuse("has data after its last section");
  headers.newSectionHeader = table + kSectionHeaderBytes * sectionCount;
  const size_t headerEnd = headers.newSectionHeader + kSectionHeaderBytes;
  if (sectionCount >= 0xFFFF || headerEnd > firstRawData || headerEnd > exe.size() ||
      std::any_of(exe.begin() + static_cast<std::ptrdiff_t>(headers.newSectionHeader),
                  exe.begin() + static_cast<std::ptrdiff_t>(headerEnd),
                  [](uint8_t byte) { return byte != 0; })) {
    return refuse("has no room for another section header before its first section");
  }
  return true;
}

}  // namespace

bool LinkedExe::HasChecksum() const { return ReadLe(image, checksumField, 4) != 0; }

std::optional<LinkedExe> ReadLinkedExe(const std::filesystem::path& path, Diagnostics& diagnostics) {
  LinkedExe exe;
  std::ifstream in(path, std::ios::binary);
  exe.image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::error_code error;
  exe.permissions = std::filesystem::status(path, error).permissions();
  if ((!in && !in.eof()) || error) {
    diagnostics.Error(path.string(), "cannot be read");
    return std::nullopt;
  }
  if (!ReadHeaders(exe, path.string(), diagnostics)) return std::nullopt;
  return exe;
}
