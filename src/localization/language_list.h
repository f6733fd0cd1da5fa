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

// Fills languageIds, languageNames and productNames and settles
// selectedIndex and selectedLcid. Reads IDS_PRODUCT_NAMES itself.
void BuildLanguageList(LauncherState& state, const platform::Platform& os,
                       const WString& languageIdsText);
