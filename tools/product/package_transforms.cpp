#include "product/package_transforms.h"

#include <algorithm>

#include "launcher_state.h"
#include "localization/catalogue.h"
#include "localization/config_tokens.h"
#include "localization/language_list.h"
#include "system/package_storages.h"

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

void CheckPackageTransforms(const std::filesystem::path& package, const LanguagePlan& plan,
                            bool warnOnly, Diagnostics& diagnostics) {
  if (plan.neededTransforms.empty()) return;
  const auto report = [&](const std::string& message) {
    if (warnOnly)
      diagnostics.Warning(package.string(), message);
    else
      diagnostics.Error(package.string(), message);
  };
  const std::optional<std::set<std::string>> storages = ReadEmbeddedStorages(package);
  if (!storages) {
    report(
        "cannot be read as a Windows Installer database, so its language transforms "
        "cannot be checked");
    return;
  }
  for (const auto& [transform, players] : plan.neededTransforms) {
    if (storages->count(transform) != 0) continue;
    std::string languages;
    for (const int32_t lcid : players)
      languages +=
          (languages.empty() ? "" : ", ") + std::to_string(lcid) + " " + LanguageName(lcid);
    report("lacks the embedded transform " + transform + ": installing in " + languages +
           " would fail");
  }
}
