#include "product/configuration_strings.h"

#include <gtest/gtest.h>

namespace {

ConfigurationStrings ValidStrings() {
  ConfigurationStrings strings;
  strings.languageIds = u"2057;1033;";
  strings.registryKey = u"Software\\Quillmark\\Skyforge2";
  strings.instanceMutex = u"6C0B8E54-2F1D-4A97-B3E8-9D5A17C4F2E0";
  strings.productNames = u"Skyforge 2;Skyforge 2;";
  strings.packageName = u"Skyforge2.msi";
  strings.gameExe = u"Skyforge2.exe";
  strings.websiteUrl = u"https://www.example.com/skyforge2";
  return strings;
}

Diagnostics Check(const ConfigurationStrings& strings) {
  Diagnostics diagnostics;
  CheckConfigurationStrings(strings, "p/product.toml", diagnostics);
  return diagnostics;
}

TEST(MutexName, OnlyAnUpperCaseGuidWithoutBracesPasses) {
  EXPECT_TRUE(IsUpperCaseGuid(u"6C0B8E54-2F1D-4A97-B3E8-9D5A17C4F2E0"));
  EXPECT_FALSE(IsUpperCaseGuid(u"6c0b8e54-2f1d-4a97-b3e8-9d5a17c4f2e0"));
  EXPECT_FALSE(IsUpperCaseGuid(u"{6C0B8E54-2F1D-4A97-B3E8-9D5A17C4F2E0}"));
  EXPECT_FALSE(IsUpperCaseGuid(u"6C0B8E542F1D-4A97-B3E8-9D5A17C4F2E0-"));
  EXPECT_FALSE(IsUpperCaseGuid(u"6C0B8E54-2F1D-4A97-B3E8-9D5A17C4F2E"));
  EXPECT_FALSE(IsUpperCaseGuid(u"Global\\6C0B8E54-2F1D-4A97-B3E8-9D5A"));
  EXPECT_FALSE(IsUpperCaseGuid(u"6C0B8E54-2F1D-4A97-B3E8-9D5A17C4F2G0"));
}

TEST(ConfigurationChecks, ValidStringsPassSilently) { EXPECT_EQ(Check(ValidStrings()).Text(), ""); }

TEST(ConfigurationChecks, BadMutexIsAnErrorNamingTheField) {
  ConfigurationStrings strings = ValidStrings();
  strings.instanceMutex = u"my-mutex";
  const Diagnostics diagnostics = Check(strings);
  EXPECT_TRUE(diagnostics.HasErrors());
  EXPECT_NE(diagnostics.Text().find("p/product.toml: instance_mutex: \"my-mutex\" is not a GUID"),
            std::string::npos);
}

TEST(ConfigurationChecks, ToleratedMistakesWarnButBuild) {
  const struct {
    const char* what;
    void (*change)(ConfigurationStrings&);
    const char* expected;
  } cases[] = {
      {"ids without final ;", [](ConfigurationStrings& s) { s.languageIds = u"2057;1033"; },
       "language_ids: warning: the text after the last \";\" is ignored"},
      {"ids without any ;", [](ConfigurationStrings& s) { s.languageIds = u"2057"; },
       "language_ids: warning: yields no language"},
      {"empty ids", [](ConfigurationStrings& s) { s.languageIds = u""; },
       "language_ids: warning: yields no language"},
      {"id that is no number", [](ConfigurationStrings& s) { s.languageIds = u"2057;en;"; },
       "language_ids: warning: the entry \"en\" is not a number"},
      {"names without final ;", [](ConfigurationStrings& s) { s.productNames = u"A;B"; },
       "product_names: warning: the text after the last \";\" is ignored"},
      {"fewer names", [](ConfigurationStrings& s) { s.productNames = u"A;"; },
       "product_names: warning: 1 names for 2 language ids"},
      {"more names", [](ConfigurationStrings& s) { s.productNames = u"A;B;C;"; },
       "product_names: warning: 3 names for 2 language ids"},
      {"key of 260", [](ConfigurationStrings& s) { s.registryKey = std::u16string(260, u'k'); },
       "registry_key: warning: is 260 UTF-16 units long; the program reads only the first 259"},
      {"names of 2048",
       [](ConfigurationStrings& s) { s.productNames = std::u16string(2046, u'n') + u";;"; },
       "product_names: warning: is 2048 UTF-16 units long; the program reads only the first 2047"},
      {"leading backslash", [](ConfigurationStrings& s) { s.registryKey = u"\\Software\\X"; },
       "registry_key: warning: starts with a backslash"},
  };
  for (const auto& c : cases) {
    ConfigurationStrings strings = ValidStrings();
    c.change(strings);
    const Diagnostics diagnostics = Check(strings);
    EXPECT_FALSE(diagnostics.HasErrors()) << c.what;
    EXPECT_NE(diagnostics.Text().find(std::string("p/product.toml: ") + c.expected),
              std::string::npos)
        << c.what << "\n"
        << diagnostics.Text();
  }
}

TEST(ConfigurationChecks, LimitsCountUtf16UnitsNotBytes) {
  ConfigurationStrings strings = ValidStrings();
  // 259 units with Cyrillic letters are over 500 UTF-8 bytes but fit the
  // program's buffer.
  strings.websiteUrl = u"https://" + std::u16string(251, u'ж');
  // 129 characters outside the basic plane take 258 units: with one more
  // letter, still readable.
  strings.gameExe = u"g";
  for (int i = 0; i < 129; ++i) strings.gameExe += u"\U0001F3AE";
  EXPECT_EQ(Check(strings).Text(), "");
  strings.gameExe += u"h";
  EXPECT_NE(Check(strings).Text().find("game_exe: warning: is 260 UTF-16 units long"),
            std::string::npos);
}

// The program reads each string up to its first NUL, so "1036;\0;1031;"
// would offer one language where the file lists two.
TEST(ConfigurationChecks, ANulInAnyStringIsAnErrorNamingTheField) {
  const struct {
    std::u16string ConfigurationStrings::*field;
    std::string key;
  } fields[] = {
      {&ConfigurationStrings::languageIds, "language_ids"},
      {&ConfigurationStrings::registryKey, "registry_key"},
      {&ConfigurationStrings::instanceMutex, "instance_mutex"},
      {&ConfigurationStrings::productNames, "product_names"},
      {&ConfigurationStrings::packageName, "package_name"},
      {&ConfigurationStrings::gameExe, "game_exe"},
      {&ConfigurationStrings::websiteUrl, "website_url"},
  };
  for (const auto& f : fields) {
    ConfigurationStrings strings = ValidStrings();
    (strings.*f.field).insert(4, 1, u'\0');
    const Diagnostics diagnostics = Check(strings);
    EXPECT_TRUE(diagnostics.HasErrors()) << f.key;
    EXPECT_NE(diagnostics.Text().find("p/product.toml: " + f.key + ": holds a NUL"),
              std::string::npos)
        << diagnostics.Text();
  }
}

TEST(ConfigurationChecks, StringTooLongForAStringResourceIsAnError) {
  ConfigurationStrings strings = ValidStrings();
  strings.websiteUrl = std::u16string(65536, u'w');
  const Diagnostics diagnostics = Check(strings);
  EXPECT_TRUE(diagnostics.HasErrors());
  EXPECT_NE(diagnostics.Text().find("website_url: is 65536 UTF-16 units long"), std::string::npos);
}

}  // namespace
