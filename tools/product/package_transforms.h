// The language transforms a product's package must carry, and the check
// that it carries them. The launcher installs the package with the
// embedded transform ":<culture>.mst" for every list entry but the first;
// Windows refuses the installation (msiexec error 1624) when the package
// lacks it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/text.h"
#include "base/diagnostics.h"

struct LanguagePlan {
  std::vector<int32_t> configuredIds;  // language_ids, as the program reads them
  std::string firstCulture;            // the first entry's culture code: no transform
  // Each needed transform ("fr-fr.mst") with the configured LCIDs whose
  // players install with it.
  std::map<std::string, std::vector<int32_t>> neededTransforms;
};

// The plan for a language_ids text, from the program's own list code. The
// entry that stands for a language varies with the player's preference
// (Americas variants or not), so both kinds of preference are asked.
LanguagePlan PlanLanguages(const WString& languageIdsText);

// The culture code and the native name the program shows for `lcid`.
std::string CultureCode(int32_t lcid);
std::string LanguageName(int32_t lcid);

// Reads `package` when the plan needs transforms and reports each missing
// one, naming the languages that would fail, and a package that cannot be
// read. With `warnOnly` (the product's missing_transforms = "warning") the
// reports are warnings.
void CheckPackageTransforms(const std::filesystem::path& package, const LanguagePlan& plan,
                            bool warnOnly, Diagnostics& diagnostics);
