// Turns a StringId and an LCID into a text of the compiled-in tables.
#include "localization/catalogue.h"

#include "localization/catalogue_tables.h"

const WChar UnknownString[] = u"???";

namespace {

struct LcidTable {
  int32_t lcid;
  LanguageTable table;
};

// Regional LCIDs with a table of their own. Spanish 1034 and 2058 are missing
// on purpose: they reach Spanish through the primary language.
// clang-format off
constexpr LcidTable kExactLcids[] = {
    {1033, kEnglishTable},  {2057, kEnglishTable},  {3081, kEnglishTable},
    {4105, kEnglishTable},  {5129, kEnglishTable},  {6153, kEnglishTable},
    {7177, kEnglishTable},  {8201, kEnglishTable},  {9225, kEnglishTable},
    {10249, kEnglishTable}, {11273, kEnglishTable}, {12297, kEnglishTable},
    {13321, kEnglishTable},
    {1036, kFrenchTable},   {2060, kFrenchTable},   {3084, kFrenchTable},
    {4108, kFrenchTable},   {5132, kFrenchTable},   {6156, kFrenchTable},
    {1040, kItalianTable},  {2064, kItalianTable},
    {1031, kGermanTable},   {2055, kGermanTable},   {3079, kGermanTable},
    {4103, kGermanTable},   {5127, kGermanTable},
    {3082, kSpanishTable},  {4106, kSpanishTable},  {5130, kSpanishTable},
    {6154, kSpanishTable},  {7178, kSpanishTable},  {8202, kSpanishTable},
    {9226, kSpanishTable},  {10250, kSpanishTable}, {11274, kSpanishTable},
    {12298, kSpanishTable}, {13322, kSpanishTable}, {14346, kSpanishTable},
    {15370, kSpanishTable}, {16394, kSpanishTable}, {17418, kSpanishTable},
    {18442, kSpanishTable}, {19466, kSpanishTable}, {20490, kSpanishTable},
    {1030, kDanishTable},
    {1053, kSwedishTable},
    {1043, kDutchTable},    {2067, kDutchTable},
    {1044, kNorwegianTable},
    {1046, kBrazilianPortugueseTable},
    {1049, kRussianTable},
    {1045, kPolishTable},
    {1029, kCzechTable},
    {1038, kHungarianTable},
    {1041, kJapaneseTable},
};
// clang-format on

// Primary languages (the low ten bits). Portuguese (22) has no row: only
// 1046 reads the Brazilian table, every other Portuguese LCID reads English.
constexpr LcidTable kPrimaryLanguages[] = {
    {9, kEnglishTable},    {12, kFrenchTable},   {16, kItalianTable}, {7, kGermanTable},
    {10, kSpanishTable},   {6, kDanishTable},    {29, kSwedishTable}, {19, kDutchTable},
    {20, kNorwegianTable}, {25, kRussianTable},  {21, kPolishTable},  {5, kCzechTable},
    {14, kHungarianTable}, {17, kJapaneseTable},
};

// The table of `lcid` itself or of its primary language, or null.
const LanguageStrings* OwnTable(int32_t lcid) {
  for (const LcidTable& exact : kExactLcids) {
    if (exact.lcid == lcid) return &kLanguageTables[exact.table];
  }
  const int32_t primaryLanguage = lcid & 0x3FF;
  for (const LcidTable& primary : kPrimaryLanguages) {
    if (primary.lcid == primaryLanguage) return &kLanguageTables[primary.table];
  }
  return nullptr;
}

// The table for `lcid`, or null when neither it nor the default names one.
const LanguageStrings* ChooseTable(const LauncherState& state, int32_t lcid) {
  if (lcid == 0) lcid = state.defaultLcid;
  if (lcid == 0) return nullptr;
  const LanguageStrings* own = OwnTable(lcid);
  return own != nullptr ? own : &kLanguageTables[kEnglishTable];
}

bool IsMissing(const WChar* text) { return text == nullptr || text[0] == u'\0'; }

}  // namespace

const WChar* TextFromTable(const LanguageStrings& chosen, const LanguageStrings& english,
                           uint32_t id) {
  if (id >= kStringCount) return UnknownString;
  const LanguageStrings& table =
      (id != STR_SORT_KEY && IsMissing(chosen.texts[id])) ? english : chosen;
  const WChar* text = table.texts[id];
  if (id == STR_SORT_KEY && IsMissing(text)) return UnknownString;
  return text != nullptr ? text : UnknownString;
}

const WChar* GetLocalizedString(const LauncherState& state, uint32_t id, int32_t lcid) {
  if (id >= kStringCount) return UnknownString;
  const LanguageStrings* table = ChooseTable(state, lcid);
  if (table == nullptr) return UnknownString;
  return TextFromTable(*table, kLanguageTables[kEnglishTable], id);
}

uint32_t GetSortKey(const LauncherState& state, int32_t lcid) {
  const LanguageStrings* table = ChooseTable(state, lcid);
  return table != nullptr ? table->sortKey : kUnknownSortKey;
}

bool HasOwnTexts(int32_t lcid) { return OwnTable(lcid) != nullptr; }

void SetDefaultLanguage(LauncherState& state, int32_t lcid) { state.defaultLcid = lcid; }
