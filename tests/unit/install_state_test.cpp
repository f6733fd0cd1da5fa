#include "config/install_state.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "fake_platform.h"

namespace {

using Root = platform::Registry::Root;

const WString kKey = u"SOFTWARE\\Forge\\Skyforge2";
const WString kFolder = u"C:\\Games\\Skyforge 2\\";
const WString kExe = u"C:\\Games\\Skyforge 2\\Skyforge2.exe";

std::vector<uint8_t> Terminated(const WString& text) {
  return Utf16LeBytes(text + WString(1, u'\0'));
}

std::vector<uint8_t> OddByteAfter(const WString& text) {
  std::vector<uint8_t> bytes = Utf16LeBytes(text);
  bytes.push_back(u'X');
  return bytes;
}

// Only a missing key gives the user's language: a key without a readable
// four-byte value gives US English; a stored value counts even when not offered.
TEST(ReadLanguagePreference, StoredValueElseUsEnglishAndWithoutKeyTheUsersLanguage) {
  FakePlatform fake;
  fake.process.userLanguage = 1031;
  EXPECT_EQ(ReadLanguagePreference(fake.os, kKey), 1031);

  fake.registry.CreateKey(Root::kLocalMachine, kKey);
  EXPECT_EQ(ReadLanguagePreference(fake.os, kKey), 1033);

  fake.registry.SetBytes(Root::kLocalMachine, kKey, u"LanguageVal", {1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(ReadLanguagePreference(fake.os, kKey), 1033);

  fake.registry.SetDword(kKey, u"LanguageVal", 1041);
  fake.FailNext("RegQueryValueExW", platform::kErrorAccessDenied);
  EXPECT_EQ(ReadLanguagePreference(fake.os, kKey), 1033);
  EXPECT_EQ(ReadLanguagePreference(fake.os, kKey), 1041);
  EXPECT_EQ(fake.registry.openKeys, 0);
}

class DetectInstallationTest : public ::testing::Test {
 protected:
  DetectInstallationTest() {
    state.registryKey = kKey;
    state.gameExeName = u"Skyforge2.exe";
  }
  bool Detect() { return DetectInstallation(state, fake.os); }
  void ExpectNotInstalledNow() {
    EXPECT_TRUE(state.gameProbePath.empty());
    EXPECT_TRUE(state.gameExePath.empty());
    EXPECT_EQ(fake.registry.openKeys, 0);
    EXPECT_EQ(fake.files.OpenHandles(), 0);
  }

  FakePlatform fake;
  LauncherState state;
};

// What detection makes of a PathVal as the registry holds it (UTF-16LE
// bytes) and the executable, when one is on disk. Every case starts with a
// folder read earlier, which only a value that is read replaces.
struct DetectCase {
  const char* name;
  std::optional<std::vector<uint8_t>> pathVal;  // none: no product key
  WString exe;                                  // empty: no file
  bool installed;
  WString installDir;
};
void PrintTo(const DetectCase& c, std::ostream* out) { *out << c.name; }

const WString kOldFolder = u"C:\\Old\\";
const WString kFolder259 = u"C:\\" + WString(255, u'a') + u"\\";  // 259 units
const WString kFolder260 = u"C:\\" + WString(256, u'c') + u"\\";  // 260 units, 520 bytes

const DetectCase kDetectCases[] = {
    {"NoProductKeyMeansNotInstalled", std::nullopt, u"", false, kOldFolder},
    {"FoundExecutableMeansInstalled", Terminated(kFolder), kExe, true, kFolder},
    {"MissingExecutableKeepsTheFolderButIsNotInstalled", Terminated(kFolder), u"", false, kFolder},
    {"FolderWithoutBackslashRunsIntoTheExecutableName", Terminated(u"C:\\Games\\Skyforge 2"), kExe,
     false, u"C:\\Games\\Skyforge 2"},
    {"ZeroByteValueCountsAsUnread", std::vector<uint8_t>{}, kExe, false, kOldFolder},
    {"UnterminatedPathIsCutAtItsOwnLength", Utf16LeBytes(kFolder), kExe, true, kFolder},
    {"UnterminatedPathFillingTheBufferDoesNotFit", Utf16LeBytes(kFolder260),
     kFolder260 + u"Skyforge2.exe", false, kOldFolder},
    {"OddTrailingByteIsDropped", OddByteAfter(kFolder), kExe, true, kFolder},
    {"TextEndsAtItsFirstTerminator", Utf16LeBytes(kFolder + WString(1, u'\0') + u"junk"), kExe,
     true, kFolder},
    {"EmptyPathValProbesTheCurrentFolder", Terminated(u""), u"Skyforge2.exe", true, u""},
    {"PathOf259CharactersFits", Terminated(kFolder259), u"", false, kFolder259},
    {"PathOf260CharactersDoesNot", Terminated(kFolder260), u"", false, kOldFolder},
};

class DetectFromValueTest : public DetectInstallationTest,
                            public ::testing::WithParamInterface<DetectCase> {};

TEST_P(DetectFromValueTest, ReadsTheValueAndProbesForTheExecutable) {
  const DetectCase& c = GetParam();
  if (c.pathVal) fake.registry.SetBytes(Root::kLocalMachine, kKey, u"PathVal", *c.pathVal);
  if (!c.exe.empty()) fake.files.AddFile(c.exe);
  state.installDir = kOldFolder;

  EXPECT_EQ(Detect(), c.installed);

  EXPECT_EQ(state.installDir, c.installDir);
  EXPECT_EQ(state.gameProbePath, c.installed ? c.exe : WString());
  EXPECT_EQ(state.gameExePath, c.installed ? c.exe : WString());
  EXPECT_EQ(fake.registry.openKeys, 0);
  EXPECT_EQ(fake.files.OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(DetectInstallation, DetectFromValueTest, ::testing::ValuesIn(kDetectCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DetectInstallationTest, WildcardInPathValFindsNoGame) {
  fake.files.AddFile(kExe);
  for (const char16_t* pattern : {u"C:\\Games\\*\\", u"C:\\Games\\Skyforge ?\\"}) {
    fake.registry.SetString(kKey, u"PathVal", pattern);
    EXPECT_FALSE(Detect());
    EXPECT_EQ(state.installDir, pattern);
    ExpectNotInstalledNow();
  }
  EXPECT_EQ(fake.CallCount("FindFirstFileW"), 0);
}

TEST_F(DetectInstallationTest, ExecutableDeletedLaterStillCountsWithItsOldPath) {
  fake.registry.SetString(kKey, u"PathVal", kFolder);
  fake.files.AddFile(kExe);
  ASSERT_TRUE(Detect());

  // The folder moved; the old executable is remembered, the new folder read.
  fake.registry.SetString(kKey, u"PathVal", u"E:\\Elsewhere\\");
  EXPECT_TRUE(Detect());
  EXPECT_EQ(state.installDir, u"E:\\Elsewhere\\");
  EXPECT_TRUE(state.gameProbePath.empty());
  EXPECT_EQ(state.gameExePath, kExe);
}

TEST_F(DetectInstallationTest, RemovedKeyOrFailedReadClearsTheGameButKeepsTheFolder) {
  for (const bool removeKey : {true, false}) {
    SCOPED_TRACE(removeKey ? "key removed" : "read failed");
    fake.registry.SetString(kKey, u"PathVal", kFolder);
    fake.files.AddFile(kExe);
    ASSERT_TRUE(Detect());

    if (removeKey) {
      fake.registry.DeleteKey(Root::kLocalMachine, kKey);
    } else {
      fake.FailNext("RegQueryValueExW", platform::kErrorAccessDenied);
    }
    EXPECT_FALSE(Detect());
    EXPECT_EQ(state.installDir, kFolder);
    ExpectNotInstalledNow();
  }
}

TEST(IsPdfHandlerRegistered, OnlyTheKeysExistenceCounts) {
  FakePlatform fake;
  EXPECT_FALSE(IsPdfHandlerRegistered(fake.os));
  fake.registry.CreateKey(Root::kClassesRoot, u".pdf");
  EXPECT_TRUE(IsPdfHandlerRegistered(fake.os));
  EXPECT_EQ(fake.registry.openKeys, 0);
}

}  // namespace
