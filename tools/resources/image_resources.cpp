#include "resources/image_resources.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "pe/byte_writer.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCompressionRgb = 0;
constexpr uint32_t kCompressionBitfields = 3;

}  // namespace

std::optional<Bytes> BitmapResourceFromBmp(const Bytes& file, const std::string& where,
                                           Diagnostics& diagnostics) {
  if (file.size() < kFileHeaderSize + kInfoHeaderSize || file[0] != 'B' || file[1] != 'M') {
    diagnostics.Error(where, "is not a BMP file: save the art as a 24-bit BMP (Windows bitmap)");
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

  if (bitsPerPixel != 24 || compression != kCompressionRgb || headerSize != kInfoHeaderSize) {
    diagnostics.Warning(where, "is " + std::to_string(width) + " x " + std::to_string(height) +
                                   ", " + std::to_string(bitsPerPixel) +
                                   " bits; the launcher's art is 24 bits, uncompressed, stored "
                                   "bottom-up, with a 40-byte header");
  }

  Bytes packed(file.begin() + kFileHeaderSize,
               file.begin() + static_cast<std::ptrdiff_t>(headerEnd));
  packed.insert(packed.end(), file.begin() + pixelOffset, file.end());
  return packed;
}

std::optional<std::vector<Bytes>> BackgroundResources(const std::vector<ArtFile>& files,
                                                      Diagnostics& diagnostics) {
  if (files.empty() || files.size() > kMaxBackgroundSizes) {
    diagnostics.Error(files.empty() ? std::string("background") : files.back().where,
                      "the art comes in 1 to " + std::to_string(kMaxBackgroundSizes) +
                          " sizes, not " + std::to_string(files.size()));
    return std::nullopt;
  }
  struct Sized {
    Bytes packed;
    int64_t width, height;
    const std::string* where;
  };
  std::vector<Sized> sizes;
  bool refused = false;
  for (const ArtFile& file : files) {
    std::optional<Bytes> packed = BitmapResourceFromBmp(file.bytes, file.where, diagnostics);
    if (!packed) {
      refused = true;
      continue;
    }
    const auto width = static_cast<int32_t>(ReadLe(*packed, 4, 4));
    const auto height = static_cast<int32_t>(ReadLe(*packed, 8, 4));
    sizes.push_back(
        {std::move(*packed), std::llabs(int64_t{width}), std::llabs(int64_t{height}), &file.where});
  }
  if (refused) return std::nullopt;
  std::stable_sort(sizes.begin(), sizes.end(), [](const Sized& a, const Sized& b) {
    return a.width * a.height < b.width * b.height;
  });

  const Sized& smallest = sizes.front();
  const auto sizeText = [](const Sized& size) {
    return std::to_string(size.width) + " x " + std::to_string(size.height);
  };
  if (smallest.width != kBackgroundWidth || smallest.height != kBackgroundHeight) {
    diagnostics.Warning(*smallest.where,
                        "is " + sizeText(smallest) +
                            "; the launcher's art at 100 % is 164 x 354 pixels and is scaled "
                            "to fill its frame otherwise");
  }
  std::vector<Bytes> resources;
  for (size_t index = 0; index < sizes.size(); ++index) {
    const Sized& size = sizes[index];
    if (index > 0 && size.width == sizes[index - 1].width &&
        size.height == sizes[index - 1].height) {
      diagnostics.Error(*size.where, "is " + sizeText(size) + ", the size of " +
                                         *sizes[index - 1].where + "; give each size once");
      return std::nullopt;
    }
    // The height the smallest's proportions give this width, to the nearest
    // pixel: a 1.25 x size cannot be exact.
    const int64_t expectedHeight =
        (size.width * smallest.height * 2 + smallest.width) / (smallest.width * 2);
    if (std::llabs(size.height - expectedHeight) > 1) {
      diagnostics.Error(*size.where, "is " + sizeText(size) + ", not in the proportions of " +
                                         *smallest.where + " (" + sizeText(smallest) + "): at " +
                                         std::to_string(size.width) + " pixels wide it would be " +
                                         std::to_string(expectedHeight) + " high");
      return std::nullopt;
    }
    resources.push_back(std::move(sizes[index].packed));
  }
  return resources;
}

std::optional<IconResources> IconResourcesFromIco(const Bytes& file, const std::string& where,
                                                  Diagnostics& diagnostics) {
  constexpr size_t kDirectorySize = 6;
  constexpr size_t kEntrySize = 16;
  if (file.size() < kDirectorySize || ReadLe(file, 0, 2) != 0 || ReadLe(file, 2, 2) != 1) {
    diagnostics.Error(where, "is not an ICO file: save the icon as an ICO file with 16, 32 and 64 "
                             "pixel images");
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
  std::set<uint32_t> widths;
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
    widths.insert(file[entry] == 0 ? 256u : file[entry]);
  }
  // The window's small and big icon at 100 % (16, 32) and at 200 % (32, 64).
  std::string missing;
  for (const uint32_t size : {16u, 32u, 64u}) {
    if (widths.count(size) != 0) continue;
    if (!missing.empty()) missing += ", ";
    missing += std::to_string(size) + " x " + std::to_string(size);
  }
  if (!missing.empty()) {
    diagnostics.Warning(where,
                        "lacks the sizes the window's icons take at 100 % and 200 % "
                        "display scale: " +
                            missing + "; Windows scales another image to them");
  }
  icons.group = group.Take();
  return icons;
}
