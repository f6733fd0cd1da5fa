// The product tool's whole run over one product folder.
#pragma once

#include <filesystem>

#include "diagnostics.h"
#include "product_resources.h"

// Checks PRODUCT_DIR and writes the resource files of its exes into
// WORK_DIR: autorun.res, installer.res when the product has a payload, and
// disc-folder.txt (the disc folder's path) when it has a disc folder. Stale
// outputs of an earlier run go first; on any error no resource file is left,
// so no exe can be linked from a refused product.
bool BuildProductFiles(const std::filesystem::path& productDir,
                       const std::filesystem::path& workDir, const ResourceInputs& inputs,
                       Diagnostics& diagnostics);
