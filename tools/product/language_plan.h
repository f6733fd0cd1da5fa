// What a product's language list asks of its package: the language
// transforms it must carry. The launcher installs the package with the
// embedded transform ":<culture>.mst" for every list entry but the first;
// Windows refuses the installation (msiexec error 1624) when the package
// lacks it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
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
// "1036 Français" for messages; the number alone for an LCID without texts
// of its own, whose name would be the English table's.
std::string DescribeLanguage(int32_t lcid);
