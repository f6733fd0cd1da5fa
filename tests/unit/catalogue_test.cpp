#include "localization/catalogue.h"

#include <gtest/gtest.h>

#include <set>

#include "localization/catalogue_tables.h"

namespace {

// Null shows as its own text so that a null result fails instead of crashing.
WString Str(const WChar* text) { return text != nullptr ? WString(text) : u"(null)"; }

WString Text(const LauncherState& state, uint32_t id, int32_t lcid) {
  return GetLocalizedString(state, id, lcid);
}

struct TableChoiceCase {
  int32_t lcid;
  const char16_t* languageName;
  const char16_t* cultureCode;
  uint32_t sortKey;
};

// Exact LCIDs, primary-language fallbacks and the English default.
const TableChoiceCase kTableChoices[] = {
    {1033, u"English", u"en-us", 1},
    {2057, u"English", u"en-us", 1},
    {13321, u"English", u"en-us", 1},
    {3084, u"Français", u"fr-fr", 2},
    {6156, u"Français", u"fr-fr", 2},
    {2064, u"Italiano", u"it-it", 3},
    {5127, u"Deutsch", u"de-de", 4},
    {3082, u"Español", u"es-es", 5},
    {20490, u"Español", u"es-es", 5},
    {2058, u"Español", u"es-es", 5},  // primary language 10
    {1034, u"Español", u"es-es", 5},  // primary language 10
    {1030, u"Dansk", u"da-dk", 6},
    {1053, u"Svenska", u"sv-se", 7},
    {2067, u"Nederlands", u"nl-nl", 8},
    {1044, u"Norsk", u"no-no", 9},
    {2068, u"Norsk", u"no-no", 9},  // primary language 20
    {1046, u"Português do Brasil", u"pt-br", 10},
    {2070, u"English", u"en-us", 1},  // Portuguese (Portugal): no row for 22
    {22, u"English", u"en-us", 1},
    {1049, u"Русский", u"ru-ru", 11},
    {1045, u"Polski", u"pl-pl", 12},
    {1029, u"Čeština", u"cs-cz", 13},
    {1038, u"Magyar", u"hu-hu", 14},
    {1041, u"日本語", u"ja-jp", 15},
    {1032, u"English", u"en-us", 1},            // Greek: no table
    {0x10000 | 1046, u"English", u"en-us", 1},  // high bits: no exact match
    {0x40000 | 3084, u"Français", u"fr-fr", 2},
    {0x7C00 | 7, u"Deutsch", u"de-de", 4},
    {-1, u"English", u"en-us", 1},
    {INT32_MIN, u"English", u"en-us", 1},
};

TEST(Catalogue, ChoosesTableByExactLcidThenPrimaryLanguage) {
  LauncherState state;
  for (const TableChoiceCase& c : kTableChoices) {
    SCOPED_TRACE(c.lcid);
    EXPECT_EQ(Text(state, STR_LANGUAGE_NAME, c.lcid), c.languageName);
    EXPECT_EQ(Text(state, STR_CULTURE_CODE, c.lcid), c.cultureCode);
    EXPECT_EQ(GetSortKey(state, c.lcid), c.sortKey);
    EXPECT_EQ(Text(state, STR_SORT_KEY, c.lcid), DecimalText(static_cast<int32_t>(c.sortKey)));
  }
}

TEST(Catalogue, RegionalVariantsReadTheirLanguagesTexts) {
  LauncherState state;
  EXPECT_EQ(Text(state, STR_INSTALL, 3084), u"Installer");
  EXPECT_EQ(Text(state, STR_UNINSTALL, 3084), u"Désinstaller");
  EXPECT_EQ(Text(state, STR_PLAY, 2058), u"Iniciar");
  EXPECT_EQ(Text(state, STR_EXIT, 1032), u"Exit");
}

TEST(Catalogue, IdsOutOfRangeAreUnknownForEveryLcid) {
  LauncherState state;
  SetDefaultLanguage(state, 1033);
  for (const uint32_t id : {17u, 100u, 0x80000000u, 0xFFFFFFFFu}) {
    for (const int32_t lcid : {0, 1033, 1041, 1032}) {
      EXPECT_EQ(Str(GetLocalizedString(state, id, lcid)), u"???") << id << " " << lcid;
    }
  }
}

TEST(Catalogue, LcidZeroReadsTheDefaultLanguage) {
  LauncherState state;
  SetDefaultLanguage(state, 1031);
  EXPECT_EQ(Text(state, STR_INSTALL, 0), u"Installieren");
  EXPECT_EQ(GetSortKey(state, 0), 4u);
}

TEST(Catalogue, LcidZeroWithoutDefaultIsUnknownForEveryId) {
  LauncherState state;
  SetDefaultLanguage(state, 0);
  for (uint32_t id = 0; id < kStringCount; ++id) {
    EXPECT_EQ(Str(GetLocalizedString(state, id, 0)), UnknownString) << id;
  }
  EXPECT_EQ(GetSortKey(state, 0), kUnknownSortKey);
}

struct TextCase {
  uint32_t id;
  int32_t lcid;
  const char16_t* text;
};

// Texts a typo or a stray placeholder would spoil: the Japanese, Hungarian
// and Danish texts that were once shipped as "[JP] ..." / "[HU] ..." or
// misspelt, the English patch texts some tables carry, and the typographic
// apostrophe.
const TextCase kTexts[] = {
    {STR_SELECT_LANGUAGE, 1041, u"インストール言語を選択"},
    {STR_CONTINUE, 1041, u"続行"},
    {STR_SELECT_LANGUAGE, 1038, u"Válassza ki a telepítés nyelvét"},
    {STR_CONTINUE, 1038, u"Tovább"},
    {STR_WEBSITE, 1038, u"{P}\nhonlap"},
    {STR_SELECT_LANGUAGE, 1030, u"Vælg installationssprog"},
    {STR_PATCH_SUCCEEDED, 1053, u"The patch was installed successfully"},
    {STR_PATCH_FAILED, 1041, u"The patch failed to install"},
    {STR_SELECT_LANGUAGE, 1036, u"Choisir langue d\u2019installation"},
    {STR_WEBSITE, 1049, u"Сайт игры\n{P}"},
};

TEST(Catalogue, TextsAreReturnedAsStored) {
  LauncherState state;
  for (const TextCase& c : kTexts) {
    EXPECT_EQ(Text(state, c.id, c.lcid), c.text) << c.id << " " << c.lcid;
  }
}

TEST(Catalogue, MissingTextFallsBackToEnglishButSortKeyDoesNot) {
  const LanguageStrings& english = kLanguageTables[kEnglishTable];
  LanguageStrings sparse = kLanguageTables[kGermanTable];
  sparse.texts[STR_PLAY] = u"";
  sparse.texts[STR_EXIT] = nullptr;
  sparse.texts[STR_SORT_KEY] = nullptr;
  EXPECT_EQ(Str(TextFromTable(sparse, english, STR_PLAY)), u"Play");
  EXPECT_EQ(Str(TextFromTable(sparse, english, STR_EXIT)), u"Exit");
  EXPECT_EQ(Str(TextFromTable(sparse, english, STR_INSTALL)), u"Installieren");
  EXPECT_EQ(Str(TextFromTable(sparse, english, STR_SORT_KEY)), UnknownString);

  LanguageStrings emptyEnglish = english;
  emptyEnglish.texts[STR_EXIT] = nullptr;
  EXPECT_EQ(Str(TextFromTable(sparse, emptyEnglish, STR_EXIT)), UnknownString);
}

// Checks of the compiled-in data that a typo in a table would break.
TEST(CatalogueData, EverySlotHoldsTextAndKeysAndCodesAreUnique) {
  std::set<WString> cultureCodes;
  uint32_t previousKey = 0;
  for (const LanguageStrings& table : kLanguageTables) {
    SCOPED_TRACE(Utf16ToUtf8(table.texts[STR_LANGUAGE_NAME]));
    for (const WChar* text : table.texts) {
      ASSERT_NE(text, nullptr);
      EXPECT_NE(text[0], u'\0');
      for (const WChar* c = text; *c != u'\0'; ++c) {
        EXPECT_TRUE(*c >= 0x20 || *c == u'\n') << "control character " << int{*c};
        EXPECT_NE(*c, u'[') << "a translator's marker";  // such as "[JP] Continue"
      }
    }
    EXPECT_TRUE(cultureCodes.insert(table.texts[STR_CULTURE_CODE]).second);
    EXPECT_GT(table.sortKey, previousKey);
    previousKey = table.sortKey;
    EXPECT_EQ(WString(table.texts[STR_SORT_KEY]), DecimalText(static_cast<int32_t>(table.sortKey)));
  }
  EXPECT_EQ(previousKey, 15u);
  EXPECT_GT(kUnknownSortKey, previousKey);  // an unresolved language sorts last
}

TEST(CatalogueData, ProductPlaceholderAppearsOnceWhereItBelongs) {
  for (const LanguageStrings& table : kLanguageTables) {
    SCOPED_TRACE(Utf16ToUtf8(table.texts[STR_LANGUAGE_NAME]));
    for (uint32_t id = 0; id < kStringCount; ++id) {
      const WString text = table.texts[id];
      const size_t first = text.find(u"{P}");
      const bool shouldHold = id == STR_WEBSITE || id == STR_EMANUAL_NEEDS_READER;
      EXPECT_EQ(first != WString::npos, shouldHold) << id;
      if (shouldHold) {
        EXPECT_EQ(text.find(u"{P}", first + 1), WString::npos) << id;
      }
    }
    EXPECT_EQ(WString(table.texts[STR_WEBSITE]).find(u':'), WString::npos);
    EXPECT_EQ(Str(table.texts[STR_EMANUAL_NEEDS_READER]),
              kLanguageTables[kEnglishTable].texts[STR_EMANUAL_NEEDS_READER]);
  }
}

}  // namespace
