// A product's package compared with the product: what the launcher relies
// on the package to do, read from its tables.
#pragma once

#include <filesystem>

#include "base/diagnostics.h"
#include "product/language_plan.h"
#include "product/product_definition.h"

// Reads `package` and reports, naming it:
// - each language transform the plan needs that it lacks, naming the
//   command that makes them: errors, warnings with missing_transforms =
//   "warning";
// - PathVal and LanguageVal not written under registry_key in
//   HKEY_LOCAL_MACHINE, naming the key the package writes them under: an
//   error, since the launcher would never see the game installed;
// and as warnings: LanguageVal not from a property the transforms set (the
// chosen language would not be remembered), game_exe not among the files
// it installs, and no way to remove the game when the package is opened
// again, as Uninstall does. A package that cannot be read is an error.
void CheckPackage(const std::filesystem::path& package, const ProductDefinition& product,
                  const LanguagePlan& plan, Diagnostics& diagnostics);
