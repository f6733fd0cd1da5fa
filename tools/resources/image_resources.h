// Turns a BMP file into a bitmap resource and an ICO file into icon
// resources, checking that they are what the window expects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pe/resource.h"
#include "base/diagnostics.h"

// The background art's size at 100 % display scale, where it fills its
// frame beside the buttons as it is; at other scales the launcher scales it.
constexpr int32_t kBackgroundWidth = 164;
constexpr int32_t kBackgroundHeight = 354;
// Bitmap resources 140 to 143: the art in up to four sizes.
constexpr size_t kMaxBackgroundSizes = 4;

// The bitmap resource: the file without its 14-byte file header, with the
// pixels right after the colour table as a packed bitmap requires. Refuses
// what is not a BMP; warns when it is not 24 bits, uncompressed, with a
// 40-byte header. `where` names the file in the messages.
std::optional<Bytes> BitmapResourceFromBmp(const Bytes& file, const std::string& where,
                                           Diagnostics& diagnostics);

struct ArtFile {
  Bytes bytes;        // the BMP file
  std::string where;  // names it in the messages
};

// The background art in each size a product gives, as bitmap resources,
// smallest first (resource 140 and on). Refuses more than
// kMaxBackgroundSizes files, two of one size, and a size whose proportions
// are not those of the smallest (beyond a pixel of rounding), naming the
// file; warns when the smallest is not 164 x 354, the size at 100 %.
std::optional<std::vector<Bytes>> BackgroundResources(const std::vector<ArtFile>& files,
                                                      Diagnostics& diagnostics);

struct IconResources {
  std::vector<Bytes> images;  // RT_ICON data, ids 1, 2, ... in file order
  Bytes group;                // RT_GROUP_ICON data referring to those ids
};

// Splits an ICO file into its images and the group directory. Refuses what
// is not an ICO file with at least one image inside the file's bounds.
std::optional<IconResources> IconResourcesFromIco(const Bytes& file, const std::string& where,
                                                  Diagnostics& diagnostics);
