// Writes the resource files of a product's two exes: autorun.res for the
// launcher and, when the product has a payload, installer.res, which adds
// the payload manifest (3000) and the payload files (3001 on).
#pragma once

#include <filesystem>

#include "diagnostics.h"
#include "product_definition.h"

struct ResourceInputs {
  std::filesystem::path baseRes;            // the dialogs and the manifest, compiled
  std::filesystem::path defaultBackground;  // our own art, when the product has none
  std::filesystem::path defaultIcon;
};

// Writes outDir/autorun.res and, with a payload, outDir/installer.res.
// Returns false, with the reason reported, when anything is refused or
// cannot be written.
bool WriteProductResources(const ProductDefinition& product, const ResourceInputs& inputs,
                           const std::filesystem::path& outDir, Diagnostics& diagnostics);
