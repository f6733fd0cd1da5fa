// The first half of a build: checks a product folder and writes the
// resource files of its exes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "exe/product_resources.h"
#include "exe/res_index.h"
#include "outputs/build_report.h"
#include "product/diagnostics.h"
#include "product/product_definition.h"

// What the rest of the build needs from the product.
struct PreparedProduct {
  bool hasInstaller = false;
  // The payload files, added when the exe is written (AddResourceSection);
  // copied once, straight from the product.
  InstallerPayload payload;
  std::optional<std::filesystem::path> discFolder;     // absolute
  std::optional<std::filesystem::path> payloadFolder;  // absolute
  std::string discLabel;                               // non-empty: make disc.iso
  std::optional<SigningSettings> signing;
  Json report;  // the product's part of the build report
};

// Checks PRODUCT_DIR and writes WORK_DIR/autorun.res, and installer.res
// when the product has a payload. Stale resource files of an earlier run go
// first; on any error none is left, so no exe can be made from a refused
// product, and the result is nullopt. With `checkOnly` every check runs and
// nothing is left in WORK_DIR.
std::optional<PreparedProduct> PrepareProduct(const std::filesystem::path& productDir,
                                              const std::filesystem::path& workDir,
                                              const ResourceInputs& inputs, bool checkOnly,
                                              Diagnostics& diagnostics);
