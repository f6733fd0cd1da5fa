// The language list offered in the combo box.
#pragma once

#include <cstdint>
#include <vector>

#include "launcher_state.h"
#include "localization/config_tokens.h"
#include "platform/platform.h"
#include "platform/text.h"

// True for the three Americas variants 1033, 2058 and 3084.
bool IsAmericasVariant(int32_t lcid);

// Orders two LCIDs by their catalogue sort keys.
bool LanguageSortLess(const LauncherState& state, int32_t a, int32_t b);

// The list's entries for the configured LCIDs, in display order: one per
// culture code, the variant that stands for it chosen by the preference
// (state.selectedLcid), ordered by the catalogue's sort keys. The product
// build uses it too, to tell which transforms a package needs.
std::vector<int32_t> OrderLanguageEntries(const LauncherState& state,
                                          const std::vector<int32_t>& configuredIds);

// The transform the package is installed with for the list entry `index`
// showing `lcid`: none (empty) for the first entry, which is the package's
// own language, and the entry's culture code for every other.
WString TransformForEntry(const LauncherState& state, int32_t index, int32_t lcid);

// Fills languageIds, languageNames and productNames and settles
// selectedIndex and selectedLcid. Reads IDS_PRODUCT_NAMES itself.
void BuildLanguageList(LauncherState& state, const platform::Platform& os,
                       const WString& languageIdsText);
