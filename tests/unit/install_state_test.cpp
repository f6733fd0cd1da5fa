#include "config/install_state.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_platform.h"

namespace {

using Root = platform::Registry::Root;

const WString kKey = u"SOFTWARE\\Forge\\Skyforge2";
const WString kFolder = u"C:\\Games\\Skyforge 2\\";
const WString kExe = u"C:\\Games\\Skyforge 2\\Skyforge2.exe";

// The bytes of `text` as UTF-16LE, without a terminator.
std::vector<uint8_t> Utf16Bytes(const WString& text) {
  std::vector<uint8_t> bytes;
  for (WChar unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

TEST(ReadLanguagePreference, MissingKeyGivesTheUsersLanguage) {
  FakePlatform fake;
  fake.process.userLanguage = 1031;
  EXPECT_EQ(ReadLanguagePreference(fake.os, kKey), 1031);
}

TEST(ReadLanguagePreference, UnreadableValueGivesUsEnglishNotTheUsersLanguage) {
  FakePlatform fake;
  fake.process.userLanguage = 1031;
  fake.registry.CreateKey(Root::kLocalMachine, kKey);
  EXPECT_EQ(ReadLanguagePreference(fake.os, kKey), 1033);

  fake.registry.SetBytes(Root::kLocalMachine, kKey, u"LanguageVal", {1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(ReadLanguagePreference(fake.os, kKey), 1033);

  fake.registry.SetDword(kKey, u"LanguageVal", 1036);
  fake.FailNext("RegQueryValueExW", platform::kErrorAccessDenied);
  EXPECT_EQ(ReadLanguagePreference(fake.os, kKey), 1033);
  EXPECT_EQ(fake.registry.openKeys, 0);
}

TEST(ReadLanguagePreference, StoredValueIsReturnedEvenWhenNotOffered) {
  FakePlatform fake;
  fake.registry.SetDword(kKey, u"LanguageVal", 1041);
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

TEST_F(DetectInstallationTest, NoProductKeyMeansNotInstalled) {
  EXPECT_FALSE(Detect());
  EXPECT_TRUE(state.installDir.empty());
  ExpectNotInstalledNow();
}

TEST_F(DetectInstallationTest, FoundExecutableMeansInstalled) {
  fake.registry.SetString(kKey, u"PathVal", kFolder);
  fake.files.AddFile(kExe);
  EXPECT_TRUE(Detect());
  EXPECT_EQ(state.installDir, kFolder);
  EXPECT_EQ(state.gameProbePath, kExe);
  EXPECT_EQ(state.gameExePath, kExe);
  EXPECT_EQ(fake.registry.openKeys, 0);
  EXPECT_EQ(fake.files.OpenHandles(), 0);
}

TEST_F(DetectInstallationTest, MissingExecutableKeepsTheFolderButIsNotInstalled) {
  fake.registry.SetString(kKey, u"PathVal", kFolder);
  EXPECT_FALSE(Detect());
  EXPECT_EQ(state.installDir, kFolder);
  ExpectNotInstalledNow();
}

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

TEST_F(DetectInstallationTest, FolderWithoutBackslashRunsIntoTheExecutableName) {
  fake.registry.SetString(kKey, u"PathVal", u"C:\\Games\\Skyforge 2");
  fake.files.AddFile(kExe);
  EXPECT_FALSE(Detect());
  EXPECT_EQ(state.installDir, u"C:\\Games\\Skyforge 2");
  ExpectNotInstalledNow();
}

TEST_F(DetectInstallationTest, EmptyPathValProbesTheCurrentFolder) {
  fake.registry.SetString(kKey, u"PathVal", u"");
  fake.files.AddFile(fake.files.currentFolder + u"Skyforge2.exe");
  state.installDir = u"C:\\Old\\";
  EXPECT_TRUE(Detect());
  EXPECT_TRUE(state.installDir.empty());
  EXPECT_EQ(state.gameExePath, u"Skyforge2.exe");
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

TEST_F(DetectInstallationTest, RemovedKeyClearsTheGameButKeepsTheFolder) {
  fake.registry.SetString(kKey, u"PathVal", kFolder);
  fake.files.AddFile(kExe);
  ASSERT_TRUE(Detect());

  fake.registry.DeleteKey(Root::kLocalMachine, kKey);
  EXPECT_FALSE(Detect());
  EXPECT_EQ(state.installDir, kFolder);
  ExpectNotInstalledNow();
}

TEST_F(DetectInstallationTest, FailedReadIsNotInstalledAndKeepsTheFolder) {
  fake.registry.SetString(kKey, u"PathVal", kFolder);
  fake.files.AddFile(kExe);
  ASSERT_TRUE(Detect());

  fake.FailNext("RegQueryValueExW", platform::kErrorAccessDenied);
  EXPECT_FALSE(Detect());
  EXPECT_EQ(state.installDir, kFolder);
  ExpectNotInstalledNow();
}

TEST_F(DetectInstallationTest, ZeroByteValueCountsAsUnread) {
  fake.registry.SetBytes(Root::kLocalMachine, kKey, u"PathVal", {});
  state.installDir = u"C:\\Old\\";
  EXPECT_FALSE(Detect());
  EXPECT_EQ(state.installDir, u"C:\\Old\\");
}

// The buffer holds 260 units: 259 characters and the terminator.
TEST_F(DetectInstallationTest, PathOf259CharactersFitsAndOf260DoesNot) {
  const WString folder259 = u"C:\\" + WString(255, u'a') + u"\\";
  ASSERT_EQ(folder259.size(), 259u);
  fake.registry.SetString(kKey, u"PathVal", folder259);
  EXPECT_FALSE(Detect());
  EXPECT_EQ(state.installDir, folder259);

  const WString folder260 = u"C:\\" + WString(256, u'b') + u"\\";
  fake.registry.SetString(kKey, u"PathVal", folder260);
  EXPECT_FALSE(Detect());
  EXPECT_EQ(state.installDir, folder259);
}

TEST_F(DetectInstallationTest, UnterminatedPathIsCutAtItsOwnLength) {
  fake.registry.SetString(kKey, u"PathVal", kFolder, /*withTerminator=*/false);
  fake.files.AddFile(kExe);
  EXPECT_TRUE(Detect());
  EXPECT_EQ(state.installDir, kFolder);
  EXPECT_EQ(state.gameExePath, kExe);
}

TEST_F(DetectInstallationTest, UnterminatedPathFillingTheBufferDoesNotFit) {
  const WString folder260 = u"C:\\" + WString(256, u'c') + u"\\";
  ASSERT_EQ(folder260.size() * 2, 520u);
  fake.registry.SetString(kKey, u"PathVal", folder260, /*withTerminator=*/false);
  fake.files.AddFile(folder260 + u"Skyforge2.exe");
  EXPECT_FALSE(Detect());
  EXPECT_TRUE(state.installDir.empty());
  ExpectNotInstalledNow();
}

TEST_F(DetectInstallationTest, OddTrailingByteIsDropped) {
  std::vector<uint8_t> bytes = Utf16Bytes(kFolder);
  bytes.push_back(u'X');
  fake.registry.SetBytes(Root::kLocalMachine, kKey, u"PathVal", bytes);
  fake.files.AddFile(kExe);
  EXPECT_TRUE(Detect());
  EXPECT_EQ(state.installDir, kFolder);
}

TEST_F(DetectInstallationTest, TextEndsAtItsFirstTerminator) {
  std::vector<uint8_t> bytes = Utf16Bytes(kFolder + WString(1, u'\0') + u"junk");
  fake.registry.SetBytes(Root::kLocalMachine, kKey, u"PathVal", bytes);
  fake.files.AddFile(kExe);
  EXPECT_TRUE(Detect());
  EXPECT_EQ(state.installDir, kFolder);
}

TEST(IsPdfHandlerRegistered, OnlyTheKeysExistenceCounts) {
  FakePlatform fake;
  EXPECT_FALSE(IsPdfHandlerRegistered(fake.os));
  fake.registry.CreateKey(Root::kClassesRoot, u".pdf");
  EXPECT_TRUE(IsPdfHandlerRegistered(fake.os));
  EXPECT_EQ(fake.registry.openKeys, 0);
}

}  // namespace
