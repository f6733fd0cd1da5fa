// Writes the resource files of a product's two exes: autorun.res for the
// launcher and, when the product has a payload, installer.res, which adds
// the payload manifest (3000) and the payload files (3001 on).
#pragma once

#include <filesystem>
#include <vector>

#include "exe/installer_payload.h"
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
// With `installerPayload`, the payload files are not copied into
// installer.res but returned, to be added with it (AddResourceSection),
// which also writes their table. Without it they are resources 3001 on in
// installer.res, with no table. Returns false, with the reason reported,
// when anything is refused or cannot be written.
bool WriteProductResources(const ProductDefinition& product, const ResourceInputs& inputs,
                           const std::filesystem::path& outDir, Diagnostics& diagnostics,
                           InstallerPayload* installerPayload = nullptr);
