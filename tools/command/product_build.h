// A whole product build, from a product folder to OUT_DIR:
//   Autorun.exe (launcher mode);
//   Installer.exe when the product has a payload (installer mode), with
//   Installer-1.bin ... beside it for what does not fit in volume_size;
//   disc/ when it has a disc folder: the disc files, Autorun.exe and an
//   autorun.inf that starts it;
//   disc.iso when it names a disc_label;
//   build-report.json.
// The exes are the kit's linked program with the product's resources as
// their last section, signed last when the product has a [signing] table.
// The same product folder builds to the same unsigned exes and disc folder
// at any time, from any path, by any user, on any host.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "command/kit.h"

// Outputs of an earlier build in OUT_DIR go before the new ones are
// written, and when the product is refused, so that a refused product leaves
// no exe behind; the new ones are made in a private folder inside OUT_DIR
// and moved in at the end. An OUT_DIR whose disc/ would hold the product
// folder, its disc files or its payload, or that lies inside those, is
// refused before anything is removed. Problems are reported to
// `diagnostics`; false when the build failed.
bool BuildProduct(const std::filesystem::path& productDir, const std::filesystem::path& outDir,
                  const Kit& kit, Diagnostics& diagnostics);

// Runs every check of the product folder and writes nothing: true when it
// would build.
bool CheckProduct(const std::filesystem::path& productDir, const Kit& kit,
                  Diagnostics& diagnostics);

// The installer's volumes in `folder`: Installer-1.bin, Installer-2.bin ...
// in number order, as far as they go on without a gap.
std::vector<std::string> InstallerVolumes(const std::filesystem::path& folder);
