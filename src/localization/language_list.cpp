// Builds the language list from the configured LCIDs and product names.
#include "localization/language_list.h"

#include <algorithm>
#include <map>
#include <set>

#include "config/product_config.h"
#include "localization/catalogue.h"
#include "resource_ids.h"

bool IsAmericasVariant(int32_t lcid) { return lcid == 1033 || lcid == 2058 || lcid == 3084; }

bool LanguageSortLess(const LauncherState& state, int32_t a, int32_t b) {
  return GetSortKey(state, a) < GetSortKey(state, b);
}

std::vector<int32_t> OrderLanguageEntries(const LauncherState& state,
                                          const std::vector<int32_t>& configuredIds) {
  // Variants of one language share a culture code and become one entry.
  // Which one stands for it follows the preference: a later variant replaces
  // the kept one when both it and the preference are Americas variants, or
  // when neither is.
  const bool preferAmericas = IsAmericasVariant(state.selectedLcid);
  std::map<WString, int32_t> cultureMap;
  std::set<int32_t> keptIds;
  for (const int32_t lcid : configuredIds) {
    const WString cultureCode = GetLocalizedString(state, STR_CULTURE_CODE, lcid);
    const auto found = cultureMap.find(cultureCode);
    if (found == cultureMap.end()) {
      cultureMap.emplace(cultureCode, lcid);
      keptIds.insert(lcid);
    } else if (IsAmericasVariant(lcid) == preferAmericas) {
      keptIds.erase(found->second);
      keptIds.insert(lcid);
      found->second = lcid;
    }
  }

  std::vector<int32_t> ordered(keptIds.begin(), keptIds.end());
  std::stable_sort(ordered.begin(), ordered.end(),
                   [&state](int32_t a, int32_t b) { return LanguageSortLess(state, a, b); });
  return ordered;
}

WString TransformForEntry(const LauncherState& state, int32_t index, int32_t lcid) {
  if (index == 0) return WString();
  return GetLocalizedString(state, STR_CULTURE_CODE, lcid);
}

void BuildLanguageList(LauncherState& state, const platform::Platform& os,
                       const WString& languageIdsText) {
  state.languageIds.clear();
  state.languageNames.clear();
  state.productNames.clear();
  state.selectedIndex = -1;

  std::vector<int32_t> configuredIds;
  for (const WString& token : SplitTokens(languageIdsText)) {
    configuredIds.push_back(ConvertLcidToken(token));
  }
  // The window needs at least one entry: without a configured language the
  // preference stands alone, and the first product name belongs to it.
  if (configuredIds.empty()) configuredIds.push_back(state.selectedLcid);

  const std::vector<int32_t> ordered = OrderLanguageEntries(state, configuredIds);
  const std::set<int32_t> keptIds(ordered.begin(), ordered.end());
  for (const int32_t lcid : ordered) {
    if (lcid == state.selectedLcid) {
      state.selectedIndex = static_cast<int32_t>(state.languageIds.size());
    }
    state.languageIds.push_back(lcid);
    state.languageNames.push_back(GetLocalizedString(state, STR_LANGUAGE_NAME, lcid));
  }
  if (state.selectedIndex == -1) {
    state.selectedIndex = 0;
    state.selectedLcid = state.languageIds.front();
  }

  // The k-th name belongs to the k-th configured LCID; names beyond the
  // configured LCIDs have no language and are ignored.
  const std::vector<WString> nameTokens =
      SplitTokens(os.resources.LoadText(IDS_PRODUCT_NAMES, kProductNamesRoom));
  std::map<int32_t, WString> nameMap;
  const size_t pairedCount = std::min(nameTokens.size(), configuredIds.size());
  for (size_t k = 0; k < pairedCount; ++k) {
    if (keptIds.count(configuredIds[k]) != 0) nameMap[configuredIds[k]] = nameTokens[k];
  }
  for (const int32_t lcid : state.languageIds) {
    const auto found = nameMap.find(lcid);
    state.productNames.push_back(found != nameMap.end() ? found->second : WString());
  }
}
