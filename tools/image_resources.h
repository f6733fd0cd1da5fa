// Turns a BMP file into a bitmap resource and an ICO file into icon
// resources, checking that they are what the window expects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "res_file.h"

// The background art is shown at its own size beside the buttons.
constexpr int32_t kBackgroundWidth = 164;
constexpr int32_t kBackgroundHeight = 354;

// The bitmap resource: the file without its 14-byte file header, with the
// pixels right after the colour table as a packed bitmap requires. Refuses
// what is not a BMP; warns when it is not 164 x 354, 24 bits, uncompressed.
// `where` names the file in the messages.
std::optional<Bytes> BitmapResourceFromBmp(const Bytes& file, const std::string& where,
                                           Diagnostics& diagnostics);

struct IconResources {
  std::vector<Bytes> images;  // RT_ICON data, ids 1, 2, ... in file order
  Bytes group;                // RT_GROUP_ICON data referring to those ids
};

// Splits an ICO file into its images and the group directory. Refuses what
// is not an ICO file with at least one image inside the file's bounds.
std::optional<IconResources> IconResourcesFromIco(const Bytes& file, const std::string& where,
                                                  Diagnostics& diagnostics);
