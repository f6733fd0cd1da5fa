#include "image_resources.h"

#include <cstdlib>

#include "byte_writer.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCompressionRgb = 0;
constexpr uint32_t kCompressionBitfields = 3;

}  // namespace

std::optional<Bytes> BitmapResourceFromBmp(const Bytes& file, const std::string& where,
                                           Diagnostics& diagnostics) {
  if (file.size() < kFileHeaderSize + kInfoHeaderSize || file[0] != 'B' || file[1] != 'M') {
    diagnostics.Error(where, "is not a BMP file");
    return std::nullopt;
  }
  const uint32_t pixelOffset = ReadLe(file, 10, 4);
  const uint32_t headerSize = ReadLe(file, 14, 4);
  const auto width = static_cast<int32_t>(ReadLe(file, 18, 4));
  const auto height = static_cast<int32_t>(ReadLe(file, 22, 4));
  const auto bitsPerPixel = static_cast<uint16_t>(ReadLe(file, 28, 2));
  const uint32_t compression = ReadLe(file, 30, 4);
  const uint32_t coloursUsed = ReadLe(file, 46, 4);
  if (headerSize < kInfoHeaderSize || kFileHeaderSize + headerSize > file.size()) {
    diagnostics.Error(where, "is not a BMP file with a Windows bitmap information header");
    return std::nullopt;
  }

  // A packed bitmap has the colour table (and, after a 40-byte header, the
  // bit-field masks) directly after the header, then the pixels.
  uint64_t tableSize = 0;
  if (bitsPerPixel <= 8)
    tableSize = 4ull * (coloursUsed != 0 ? coloursUsed : (1u << bitsPerPixel));
  else
    tableSize = 4ull * coloursUsed;
  if (compression == kCompressionBitfields && headerSize == kInfoHeaderSize) tableSize += 12;
  const uint64_t headerEnd = kFileHeaderSize + headerSize + tableSize;
  if (headerEnd > file.size() || pixelOffset < headerEnd || pixelOffset >= file.size()) {
    diagnostics.Error(where, "is truncated or its pixel data offset is wrong");
    return std::nullopt;
  }

  // Uncompressed pixels must all be there: LoadImage would read past the
  // resource otherwise.
  if (compression == kCompressionRgb || compression == kCompressionBitfields) {
    const auto columns = static_cast<uint64_t>(std::llabs(int64_t{width}));
    const auto rows = static_cast<uint64_t>(std::llabs(int64_t{height}));  // negative: top-down
    const uint64_t rowSize = (columns * bitsPerPixel + 31) / 32 * 4;
    if (width == 0 || height == 0 || rowSize * rows > file.size() - pixelOffset) {
      diagnostics.Error(where, "is truncated: its pixel data is shorter than its size says");
      return std::nullopt;
    }
  }

  if (width != kBackgroundWidth || height != kBackgroundHeight || bitsPerPixel != 24 ||
      compression != kCompressionRgb || headerSize != kInfoHeaderSize) {
    diagnostics.Warning(
        where, "is " + std::to_string(width) + " x " + std::to_string(height) + ", " +
                   std::to_string(bitsPerPixel) +
                   " bits; the launcher's art is 164 x 354 pixels, 24 bits, uncompressed, "
                   "stored bottom-up, with a 40-byte header, and is shown at its own size");
  }

  Bytes packed(file.begin() + kFileHeaderSize,
               file.begin() + static_cast<std::ptrdiff_t>(headerEnd));
  packed.insert(packed.end(), file.begin() + pixelOffset, file.end());
  return packed;
}

std::optional<IconResources> IconResourcesFromIco(const Bytes& file, const std::string& where,
                                                  Diagnostics& diagnostics) {
  constexpr size_t kDirectorySize = 6;
  constexpr size_t kEntrySize = 16;
  if (file.size() < kDirectorySize || ReadLe(file, 0, 2) != 0 || ReadLe(file, 2, 2) != 1) {
    diagnostics.Error(where, "is not an ICO file");
    return std::nullopt;
  }
  const auto count = static_cast<uint16_t>(ReadLe(file, 4, 2));
  if (count == 0 || kDirectorySize + size_t{count} * kEntrySize > file.size()) {
    diagnostics.Error(where, "is an ICO file without images, or its directory is truncated");
    return std::nullopt;
  }

  IconResources icons;
  ByteWriter group;
  group.U16(0);
  group.U16(1);
  group.U16(count);
  bool hasSmall = false;
  bool hasLarge = false;
  for (uint16_t index = 0; index < count; ++index) {
    const size_t entry = kDirectorySize + size_t{index} * kEntrySize;
    const uint32_t size = ReadLe(file, entry + 8, 4);
    const uint32_t offset = ReadLe(file, entry + 12, 4);
    if (size == 0 || uint64_t{offset} + size > file.size()) {
      diagnostics.Error(where, "image " + std::to_string(index + 1) + " lies outside the file");
      return std::nullopt;
    }
    icons.images.emplace_back(file.begin() + offset, file.begin() + offset + size);
    // The group entry is the file's entry with the offset replaced by the id.
    for (size_t i = 0; i < 12; ++i) group.U8(file[entry + i]);
    group.U16(static_cast<uint16_t>(index + 1));
    hasSmall = hasSmall || file[entry] == 16;
    hasLarge = hasLarge || file[entry] == 32;
  }
  if (!hasSmall || !hasLarge) {
    diagnostics.Warning(where, "lacks a 16 x 16 or a 32 x 32 image; Windows scales another one");
  }
  icons.group = group.Take();
  return icons;
}
