#include "product/language_plan.h"

#include <algorithm>

#include "launcher_state.h"
#include "localization/catalogue.h"
#include "localization/config_tokens.h"
#include "localization/language_list.h"

namespace {

// One preference of each kind: the list keeps the Americas variant of a
// language for the first and the other variant for the second.
constexpr int32_t kPreferences[] = {2057, 1033};

std::string LocalizedText(uint32_t id, int32_t lcid) {
  LauncherState state;
  state.defaultLcid = kPreferences[0];
  return Utf16ToUtf8(GetLocalizedString(state, id, lcid));
}

}  // namespace

std::string CultureCode(int32_t lcid) { return LocalizedText(STR_CULTURE_CODE, lcid); }
std::string LanguageName(int32_t lcid) { return LocalizedText(STR_LANGUAGE_NAME, lcid); }

std::string DescribeLanguage(int32_t lcid) {
  return HasOwnTexts(lcid) ? std::to_string(lcid) + " " + LanguageName(lcid) : std::to_string(lcid);
}

LanguagePlan PlanLanguages(const WString& languageIdsText) {
  LanguagePlan plan;
  for (const WString& token : SplitTokens(languageIdsText))
    plan.configuredIds.push_back(ConvertLcidToken(token));
  if (plan.configuredIds.empty()) return plan;  // the preference stands alone
  for (const int32_t preference : kPreferences) {
    LauncherState state;
    state.defaultLcid = preference;
    state.selectedLcid = preference;
    const std::vector<int32_t> entries = OrderLanguageEntries(state, plan.configuredIds);
    plan.firstCulture = CultureCode(entries.front());
    for (size_t index = 0; index < entries.size(); ++index) {
      const std::string transform =
          Utf16ToUtf8(TransformForEntry(state, static_cast<int32_t>(index), entries[index]));
      if (transform.empty()) continue;
      std::vector<int32_t>& players = plan.neededTransforms[transform + ".mst"];
      for (const int32_t lcid : plan.configuredIds) {
        if (CultureCode(lcid) == transform &&
            std::find(players.begin(), players.end(), lcid) == players.end())
          players.push_back(lcid);
      }
    }
  }
  return plan;
}
