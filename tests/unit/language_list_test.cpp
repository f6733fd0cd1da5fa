#include "localization/language_list.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "localization/catalogue.h"
#include "resource_ids.h"

namespace {

// The shipped product's offered languages.
const WString kProductIds = u"2057;1033;1036;1031;3082;1040;1030;1049;1045;3084;2058;1046;1043;";
// Their entries in order, for a preference outside the Americas.
const std::vector<WString> kProductLanguages = {
    u"English", u"Français", u"Italiano",   u"Deutsch",
    u"Español", u"Dansk",    u"Nederlands", u"Português do Brasil",
    u"Русский", u"Polski"};
const std::vector<int32_t> kOtherIds = {2057, 1036, 1040, 1031, 3082, 1030, 1043, 1046, 1049, 1045};

// One distinct name per configured LCID, so tests can see which token an
// entry received: "N0;N1;...;N12;".
WString NumberedNames(int count) {
  WString names;
  for (int k = 0; k < count; ++k) names += u"N" + DecimalText(k) + u";";
  return names;
}

class LanguageListTest : public ::testing::Test {
 protected:
  // Builds the list as start-up does: the preference is both the selected
  // and the default language, and no entry is selected yet.
  // productNames: none when the string is missing.
  void Build(int32_t preference, const WString& languageIds,
             const std::optional<WString>& productNames = NumberedNames(13)) {
    fake.resources.strings.erase(IDS_PRODUCT_NAMES);
    if (productNames) fake.resources.strings[IDS_PRODUCT_NAMES] = *productNames;
    state.selectedLcid = preference;
    SetDefaultLanguage(state, preference);
    state.selectedIndex = -1;
    BuildLanguageList(state, fake.os, languageIds);
    ExpectConsistent();
  }

  // What the window relies on, whatever the configuration.
  void ExpectConsistent() {
    ASSERT_FALSE(state.languageIds.empty());
    ASSERT_EQ(state.languageNames.size(), state.languageIds.size());
    ASSERT_EQ(state.productNames.size(), state.languageIds.size());
    ASSERT_GE(state.selectedIndex, 0);
    ASSERT_LT(state.selectedIndex, static_cast<int32_t>(state.languageIds.size()));
    EXPECT_EQ(state.languageIds[state.selectedIndex], state.selectedLcid);
  }

  FakePlatform fake;
  LauncherState state;
};

TEST(SplitTokens, CommitsATokenOnlyAtItsSemicolon) {
  const struct {
    WString text;
    std::vector<WString> tokens;
  } cases[] = {
      {u"", {}},
      {u"1033", {}},
      {u"1033;1034", {u"1033"}},
      {u";", {u""}},
      {u"a;;b;", {u"a", u"", u"b"}},
      {u"1033;;", {u"1033", u""}},
      {u" 10 33 ;x;", {u" 10 33 ", u"x"}},
      {u"Skyforge 2: Iron Vale;", {u"Skyforge 2: Iron Vale"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitTokens(c.text), c.tokens) << Utf16ToUtf8(c.text);
  }
}

TEST(ConvertLcidToken, BehavesAsDecimalWcstolClampedTo32Bits) {
  const struct {
    WString token;
    int32_t lcid;
  } cases[] = {
      {u"1033", 1033},
      {u"  1036", 1036},
      {u"\t\r\n\v\f1036", 1036},
      {u"1036abc", 1036},
      {u"10 36", 10},
      {u"0001031", 1031},
      {u"", 0},
      {u"abc", 0},
      {u"   ", 0},
      {u"+1049", 1049},
      {u"-1049", -1049},
      {u"- 1049", 0},
      {u"+-1", 0},
      {u"2147483647", INT32_MAX},
      {u"2147483648", INT32_MAX},
      {u"-2147483648", INT32_MIN},
      {u"-2147483649", INT32_MIN},
      {u"99999999999999999999999999", INT32_MAX},
      {u"-99999999999999999999999999", INT32_MIN},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertLcidToken(c.token), c.lcid) << Utf16ToUtf8(c.token);
  }
}

TEST(IsAmericasVariant, OnlyTheThreeWholeValues) {
  for (const int32_t lcid : {1033, 2058, 3084}) EXPECT_TRUE(IsAmericasVariant(lcid)) << lcid;
  for (const int32_t lcid : {0, 2057, 1034, 3082, 1036, 4105, 0x10000 | 1033, -1033}) {
    EXPECT_FALSE(IsAmericasVariant(lcid)) << lcid;
  }
}

TEST(LanguageSortLess, OrdersByCatalogueKeyWithUnresolvedLast) {
  LauncherState state;  // defaultLcid 0: LCID 0 is unresolved
  EXPECT_TRUE(LanguageSortLess(state, 2057, 1036));
  EXPECT_TRUE(LanguageSortLess(state, 1046, 1049));
  EXPECT_FALSE(LanguageSortLess(state, 1033, 2057));
  EXPECT_TRUE(LanguageSortLess(state, 1041, 0));
  EXPECT_FALSE(LanguageSortLess(state, 0, 1041));
  EXPECT_FALSE(LanguageSortLess(state, 0, 0));
}

struct WorkedExampleCase {
  int32_t preference;
  bool americasColumn;
  int32_t selectedIndex;
};

TEST_F(LanguageListTest, ProductConfigurationGivesTheWorkedExample) {
  const std::vector<int32_t> americasIds = {1033, 3084, 1040, 1031, 2058,
                                            1030, 1043, 1046, 1049, 1045};
  const std::vector<WString> americasNames = {u"N1", u"N9",  u"N5",  u"N3", u"N10",
                                              u"N6", u"N12", u"N11", u"N7", u"N8"};
  const std::vector<WString> otherNames = {u"N0", u"N2",  u"N5",  u"N3", u"N4",
                                           u"N6", u"N12", u"N11", u"N7", u"N8"};
  const WorkedExampleCase cases[] = {
      {1033, true, 0},  {2057, false, 0}, {3084, true, 1},  {2058, true, 4},  {1031, false, 3},
      {1046, false, 7}, {1041, false, 0}, {1034, false, 0}, {4105, false, 0},
  };
  for (const WorkedExampleCase& c : cases) {
    SCOPED_TRACE(c.preference);
    Build(c.preference, kProductIds);
    EXPECT_EQ(state.languageNames, kProductLanguages);
    EXPECT_EQ(state.languageIds, c.americasColumn ? americasIds : kOtherIds);
    EXPECT_EQ(state.productNames, c.americasColumn ? americasNames : otherNames);
    EXPECT_EQ(state.selectedIndex, c.selectedIndex);
    EXPECT_EQ(state.defaultLcid, c.preference);
  }
}

struct VariantCase {
  const char16_t* languageIds;
  int32_t preference;
  int32_t keptLcid;
};

TEST_F(LanguageListTest, LaterVariantReplacesTheKeptOneWhenItMatchesThePreferenceKind) {
  const VariantCase cases[] = {
      {u"1033;2057;", 1031, 2057},      {u"2057;1033;", 1031, 2057},
      {u"1033;2057;", 2058, 1033},      {u"2057;1033;", 2058, 1033},
      {u"2057;1033;4105;", 1031, 4105}, {u"2057;1033;4105;", 1033, 1033},
      {u"1033;4105;2057;", 1031, 2057}, {u"1033;4105;2057;", 2058, 1033},
      {u"3082;2058;", 3082, 3082},      {u"3082;2058;", 2058, 2058},
  };
  for (const VariantCase& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.languageIds) + " preference " + std::to_string(c.preference));
    Build(c.preference, c.languageIds, u"");
    EXPECT_EQ(state.languageIds, std::vector<int32_t>{c.keptLcid});
    EXPECT_EQ(state.selectedLcid, c.keptLcid);
    EXPECT_EQ(state.selectedIndex, 0);
  }
}

// Each row builds the list afresh from its configured tokens and product
// names (none: the string is missing).
TEST_F(LanguageListTest, TokensAndProductNamesBecomeEntries) {
  struct Case {
    int32_t preference;
    WString languageIds;
    std::optional<WString> productNames;
    std::vector<int32_t> ids;
    std::vector<WString> languageNames;
    std::vector<WString> entryProductNames;
    int32_t selectedIndex;
  };
  const WString x3000 = WString(3000, u'x') + u";";
  const WString y2046(2046, u'y');
  const WString iron = u"Skyforge 2: Iron Vale";
  const WString nul(u"Skyforge;\0Schmiede;", 19);
  const std::vector<WString> enFr = {u"English", u"Français"};
  const std::vector<WString> frDe = {u"Français", u"Deutsch"};
  const std::vector<WString> unknownLast = {u"English", u"日本語", u"???"};
  const std::vector<WString> fewer = {u"en-gb", u"fr-fr", u"", u"de-de", u"",
                                      u"",      u"",      u"", u"",      u""};
  const Case cases[] = {
      // LCID 0 is the preferred language, or without one an unknown entry
      // sorted last.
      {2057, u"2057;0;", u"first;second;", {0}, {u"English"}, {u"second"}, 0},
      {0, u"0;1041;1033;", u"z;j;e;", {1033, 1041, 0}, unknownLast, {u"e", u"j", u"z"}, 2},
      // "abc" is LCID 0, which reads the preferred German table; the later
      // 1031 replaces it, and "1036abc" is 1036.
      {1031, u"abc;1036abc; 1031;", u"a;b;c;", {1036, 1031}, frDe, {u"b", u"c"}, 1},
      // Text after the last semicolon is dropped.
      {1033, u"1033;1034", u"en;es", {1033}, {u"English"}, {u"en"}, 0},
      // A repeated LCID takes the later name whatever the preference.
      {1033, u"1033;1033;", u"first;second;", {1033}, {u"English"}, {u"second"}, 0},
      {1031, u"1033;1033;", u"first;second;", {1033}, {u"English"}, {u"second"}, 0},
      // Fewer names leave the later languages without one; names beyond the
      // languages are ignored; without the string every name is empty.
      {2057, kProductIds, u"en-gb;en-us;fr-fr;de-de;", kOtherIds, kProductLanguages, fewer, 0},
      {1033, u"1033;1036;", u"en;fr;extra;more;", {1033, 1036}, enFr, {u"en", u"fr"}, 0},
      {1033, u"1033;1036;", std::nullopt, {1033, 1036}, enFr, {u"", u""}, 0},
      // Names are read up to their buffer room: the first has its ";" cut off.
      {1033, u"1033;", x3000, {1033}, {u"English"}, {u""}, 0},
      {1033, u"1033;", y2046 + u";", {1033}, {u"English"}, {y2046}, 0},
      // A loaded text ends at its first NUL, as any C reader of the buffer
      // takes it: the names after it, ";" included, are never read.
      {1036, u"1036;1031;", nul, {1036, 1031}, frDe, {u"Skyforge", u""}, 0},
      // No configured language offers the preference alone.
      {1031, u"", iron + u";second;", {1031}, {u"Deutsch"}, {iron}, 0},
      {1031, u"1033", iron + u";second;", {1031}, {u"Deutsch"}, {iron}, 0},
      {1031, u"   ", iron + u";second;", {1031}, {u"Deutsch"}, {iron}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.languageIds) + " preference " + std::to_string(c.preference));
    Build(c.preference, c.languageIds, c.productNames);
    EXPECT_EQ(state.languageIds, c.ids);
    EXPECT_EQ(state.languageNames, c.languageNames);
    EXPECT_EQ(state.productNames, c.entryProductNames);
    EXPECT_EQ(state.selectedIndex, c.selectedIndex);
    EXPECT_EQ(state.defaultLcid, c.preference);
  }
}

}  // namespace
