// The product tool's whole run over one product folder.
#pragma once

#include <filesystem>

#include "diagnostics.h"
#include "product_resources.h"

// Checks PRODUCT_DIR and writes into WORK_DIR what scripts/build-product
// needs to finish the build:
//   autorun.res, and installer.res when the product has a payload;
//   disc-folder.txt (the disc folder's path) when it has a disc folder,
//   disc-label.txt when it asks for a disc image;
//   signing.txt when it is signed: "pkcs12", the file, the password's
//   variable and the time-stamp address, or "command" and one argument per
//   line;
//   product-report.json, the product's part of the build report.
// Stale outputs of an earlier run go first; on any error no resource file is
// left, so no exe can be linked from a refused product. With `checkOnly`
// every check runs and nothing is left in WORK_DIR.
bool BuildProductFiles(const std::filesystem::path& productDir,
                       const std::filesystem::path& workDir, const ResourceInputs& inputs,
                       bool checkOnly, Diagnostics& diagnostics);
