#include "localization/language_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "localization/catalogue.h"
#include "resource_ids.h"

namespace {

// The shipped product's offered languages.
const WString kProductIds = u"2057;1033;1036;1031;3082;1040;1030;1049;1045;3084;2058;1046;1043;";

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
  void Build(int32_t preference, const WString& languageIds,
             const WString& productNames = NumberedNames(13)) {
    fake.resources.strings[IDS_PRODUCT_NAMES] = productNames;
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
  const std::vector<WString> names = {
      u"English", u"Français", u"Italiano",   u"Deutsch",
      u"Español", u"Dansk",    u"Nederlands", u"Português do Brasil",
      u"Русский", u"Polski"};
  const std::vector<int32_t> americasIds = {1033, 3084, 1040, 1031, 2058,
                                            1030, 1043, 1046, 1049, 1045};
  const std::vector<WString> americasNames = {u"N1", u"N9",  u"N5",  u"N3", u"N10",
                                              u"N6", u"N12", u"N11", u"N7", u"N8"};
  const std::vector<int32_t> otherIds = {2057, 1036, 1040, 1031, 3082,
                                         1030, 1043, 1046, 1049, 1045};
  const std::vector<WString> otherNames = {u"N0", u"N2",  u"N5",  u"N3", u"N4",
                                           u"N6", u"N12", u"N11", u"N7", u"N8"};
  const WorkedExampleCase cases[] = {
      {1033, true, 0},  {2057, false, 0}, {3084, true, 1},  {2058, true, 4},  {1031, false, 3},
      {1046, false, 7}, {1041, false, 0}, {1034, false, 0}, {4105, false, 0},
  };
  for (const WorkedExampleCase& c : cases) {
    SCOPED_TRACE(c.preference);
    Build(c.preference, kProductIds);
    EXPECT_EQ(state.languageNames, names);
    EXPECT_EQ(state.languageIds, c.americasColumn ? americasIds : otherIds);
    EXPECT_EQ(state.productNames, c.americasColumn ? americasNames : otherNames);
    EXPECT_EQ(state.selectedIndex, c.selectedIndex);
    EXPECT_EQ(state.defaultLcid, c.preference);
  }
}

TEST_F(LanguageListTest, LcidZeroCountsAsThePreferredLanguage) {
  Build(2057, u"2057;0;", u"first;second;");
  EXPECT_EQ(state.languageIds, std::vector<int32_t>{0});
  EXPECT_EQ(state.languageNames, std::vector<WString>{u"English"});
  EXPECT_EQ(state.productNames, std::vector<WString>{u"second"});
  EXPECT_EQ(state.selectedIndex, 0);
  EXPECT_EQ(state.selectedLcid, 0);
  EXPECT_EQ(state.defaultLcid, 2057);
}

TEST_F(LanguageListTest, LcidZeroWithoutDefaultIsAnUnknownEntrySortedLast) {
  Build(0, u"0;1041;1033;", u"zero;ja;en;");
  EXPECT_EQ(state.languageIds, (std::vector<int32_t>{1033, 1041, 0}));
  EXPECT_EQ(state.languageNames, (std::vector<WString>{u"English", u"日本語", u"???"}));
  EXPECT_EQ(state.productNames, (std::vector<WString>{u"en", u"ja", u"zero"}));
  EXPECT_EQ(state.selectedIndex, 2);
  EXPECT_EQ(state.selectedLcid, 0);
}

TEST_F(LanguageListTest, TokensThatAreNotNumbersBecomeLcidZero) {
  // "abc" is LCID 0, which reads the preferred German table; the later 1031
  // replaces it, and "1036abc" is 1036.
  Build(1031, u"abc;1036abc; 1031;", u"a;b;c;");
  EXPECT_EQ(state.languageIds, (std::vector<int32_t>{1036, 1031}));
  EXPECT_EQ(state.productNames, (std::vector<WString>{u"b", u"c"}));
  EXPECT_EQ(state.selectedIndex, 1);
}

TEST_F(LanguageListTest, TextAfterTheLastSemicolonIsDropped) {
  Build(1033, u"1033;1034", u"en;es");
  EXPECT_EQ(state.languageIds, std::vector<int32_t>{1033});
  EXPECT_EQ(state.productNames, std::vector<WString>{u"en"});
}

TEST_F(LanguageListTest, RepeatedLcidTakesTheLaterNameWhateverThePreference) {
  for (const int32_t preference : {1033, 1031}) {
    SCOPED_TRACE(preference);
    Build(preference, u"1033;1033;", u"first;second;");
    EXPECT_EQ(state.languageIds, std::vector<int32_t>{1033});
    EXPECT_EQ(state.productNames, std::vector<WString>{u"second"});
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

TEST_F(LanguageListTest, FewerNamesLeaveTheLaterLanguagesWithoutName) {
  Build(2057, kProductIds, u"en-gb;en-us;fr-fr;de-de;");
  EXPECT_EQ(state.productNames, (std::vector<WString>{u"en-gb", u"fr-fr", u"", u"de-de", u"", u"",
                                                      u"", u"", u"", u""}));
}

TEST_F(LanguageListTest, NamesBeyondTheConfiguredLanguagesAreIgnored) {
  Build(1033, u"1033;1036;", u"en;fr;extra;more;");
  EXPECT_EQ(state.productNames, (std::vector<WString>{u"en", u"fr"}));
}

TEST_F(LanguageListTest, MissingProductNamesLeaveEveryNameEmpty) {
  fake.resources.strings.erase(IDS_PRODUCT_NAMES);
  state.selectedLcid = 1033;
  SetDefaultLanguage(state, 1033);
  state.selectedIndex = -1;
  BuildLanguageList(state, fake.os, u"1033;1036;");
  ExpectConsistent();
  EXPECT_EQ(state.productNames, (std::vector<WString>{u"", u""}));
}

TEST_F(LanguageListTest, ProductNamesAreReadUpToTheirBufferRoom) {
  const WString longName(3000, u'x');
  Build(1033, u"1033;", longName + u";");
  EXPECT_EQ(state.productNames, std::vector<WString>{u""});  // the ";" was cut off
  Build(1033, u"1033;", WString(2046, u'y') + u";");
  EXPECT_EQ(state.productNames, std::vector<WString>{WString(2046, u'y')});
}

// A loaded text ends at its first NUL, as any C reader of the buffer takes
// it: the names after it, ";" included, are never read.
TEST_F(LanguageListTest, ProductNamesEndAtTheirFirstNul) {
  const WString names(u"Skyforge;\0Schmiede;", 19);
  Build(1036, u"1036;1031;", names);
  for (size_t k = 0; k < state.languageIds.size(); ++k) {
    EXPECT_EQ(state.productNames[k], state.languageIds[k] == 1036 ? u"Skyforge" : u"");
  }
}

TEST_F(LanguageListTest, NoConfiguredLanguageOffersThePreferenceAlone) {
  for (const WString& languageIds : {WString(), WString(u"1033"), WString(u"   ")}) {
    SCOPED_TRACE(Utf16ToUtf8(languageIds));
    Build(1031, languageIds, u"Skyforge 2: Iron Vale;second;");
    EXPECT_EQ(state.languageIds, std::vector<int32_t>{1031});
    EXPECT_EQ(state.languageNames, std::vector<WString>{u"Deutsch"});
    EXPECT_EQ(state.productNames, std::vector<WString>{u"Skyforge 2: Iron Vale"});
    EXPECT_EQ(state.selectedLcid, 1031);
  }
}

}  // namespace
