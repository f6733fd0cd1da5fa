// Writes the resource files of a product's two exes: autorun.res for the
// launcher and, when the product has a payload, installer.res, which adds
// the payload manifest (3000) and the payload files (3001 on).
#pragma once

#include <filesystem>
#include <vector>

#include "exe/res_index.h"
#include "product/diagnostics.h"
#include "product/product_definition.h"

struct ResourceInputs {
  std::filesystem::path baseRes;  // the dialogs and the manifest, compiled
  // Our own art in each of its sizes, when the product has none.
  std::vector<std::filesystem::path> defaultBackgrounds;
  std::filesystem::path defaultIcon;
};

// Writes outDir/autorun.res and, with a payload, outDir/installer.res.
// With `payloadEntries`, the payload files are not copied into
// installer.res but returned as entries that name their files, to be added
// with it (AddResourceSection). Returns false, with the reason reported,
// when anything is refused or cannot be written.
bool WriteProductResources(const ProductDefinition& product, const ResourceInputs& inputs,
                           const std::filesystem::path& outDir, Diagnostics& diagnostics,
                           std::vector<ResIndexEntry>* payloadEntries = nullptr);
