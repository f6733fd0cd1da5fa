// Start-up order, the single-instance guard, the mode decision and the exit.
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_platform.h"
#include "resource_ids.h"
#include "shell/startup.h"

namespace {

const WString kMutex = u"0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B";

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() {
    fake.resources.strings = {
        {IDS_LANGUAGE_IDS, u"2057;1036;"},
        {IDS_REGISTRY_KEY, u"Software\\Quillmark\\Skyforge2"},
        {IDS_INSTANCE_MUTEX, kMutex},
        {IDS_PRODUCT_NAMES, u"Skyforge 2;Skyforge 2 FR;"},
        {IDS_PACKAGE_NAME, u"Skyforge2.msi"},
        {IDS_GAME_EXE, u"Skyforge2.exe"},
        {IDS_WEBSITE_URL, u"https://example.com/"},
    };
  }
  void UseInstallerMode() { fake.resources.SetData(IDR_PAYLOAD_MANIFEST, std::string("a.msi;\0", 7)); }
  size_t IndexOf(const std::string& call) const {
    const auto& calls = fake.calls();
    return static_cast<size_t>(std::find(calls.begin(), calls.end(), call) - calls.begin());
  }

  FakePlatform fake;
  LauncherState state;
};

TEST_F(StartupTest, SecondCopyIsRefusedBeforeAnythingIsShown) {
  fake.process.existingMutexes.insert(kMutex);
  EXPECT_FALSE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
  EXPECT_EQ(fake.CallCount("CreateDialogParamW"), 0);
  EXPECT_EQ(fake.windows.Dialog(), nullptr);
  EXPECT_EQ(fake.process.createdMutexes, std::vector<WString>{kMutex});
  // The documentation table is filled before the guard runs.
  EXPECT_EQ(state.countryCodes.size(), 18u);
}

TEST_F(StartupTest, MutexFailureForAnotherReasonDoesNotStopStartUp) {
  fake.FailNext("CreateMutexW", platform::kErrorAccessDenied);
  EXPECT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
}

TEST_F(StartupTest, LauncherModeUsesTheLauncherTemplateAndBarePackageName) {
  ASSERT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
  EXPECT_TRUE(state.launcherMode);
  EXPECT_EQ(fake.windows.templateId, static_cast<uint32_t>(IDD_LAUNCHER));
  EXPECT_EQ(state.packagePath, u"Skyforge2.msi");
  EXPECT_TRUE(state.workspaceDir.empty());
  EXPECT_EQ(state.gameExeName, u"Skyforge2.exe");
  EXPECT_EQ(state.websiteUrl, u"https://example.com/");
  EXPECT_EQ(state.registryKey, u"Software\\Quillmark\\Skyforge2");
  EXPECT_EQ(fake.windows.Dialog()->icon, fake.resources.icon);
  EXPECT_EQ(state.waitCursor, fake.windows.waitCursor);
  EXPECT_EQ(fake.windows.Dialog()->text, u"Skyforge 2");
}

TEST_F(StartupTest, InstallerModeFormsTheWorkspaceUnderTheTemporaryFolder) {
  UseInstallerMode();
  ASSERT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
  EXPECT_FALSE(state.launcherMode);
  EXPECT_EQ(fake.windows.templateId, static_cast<uint32_t>(IDD_INSTALLER));
  EXPECT_EQ(state.workspaceDir, u"C:\\Users\\Player\\Temp\\CorvaneInstaller\\");
  EXPECT_EQ(state.packagePath, u"C:\\Users\\Player\\Temp\\CorvaneInstaller\\Skyforge2.msi");
}

TEST_F(StartupTest, UnusableTemporaryFolderNeverYieldsARelativeWorkspace) {
  struct Case {
    const char* what;
    WString tempPath;
    std::optional<uint32_t> reported;
  };
  const Case cases[] = {
      {"call failed", u"C:\\Temp\\", 0u},
      {"longer than the buffer", u"C:\\Temp\\", 300u},
      {"relative", u"Temp\\", std::nullopt},
      {"no final backslash", u"C:\\Temp", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform localFake;
    localFake.resources.strings = fake.resources.strings;
    localFake.resources.SetData(IDR_PAYLOAD_MANIFEST, std::string("a.msi;\0", 7));
    localFake.files.tempPath = c.tempPath;
    localFake.files.tempPathResult = c.reported;
    LauncherState localState;
    ASSERT_TRUE(InitInstance(localState, localFake.os, nullptr, platform::kShowNormal));
    EXPECT_TRUE(localState.workspaceDir.empty());
    EXPECT_EQ(localState.packagePath, u"Skyforge2.msi");
  }
}

TEST_F(StartupTest, WindowCreationFailureRefusesStartUp) {
  fake.FailNext("CreateDialogParamW", 1813);
  EXPECT_FALSE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
}

TEST_F(StartupTest, ShowCommandIsAppliedAfterTheWindowIsSetUp) {
  ASSERT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowMinimized));
  EXPECT_EQ(fake.windows.Dialog()->showCommand, platform::kShowMinimized);
  const size_t show = IndexOf("ShowWindow");
  EXPECT_LT(IndexOf("RegOpenKeyExW"), show);
  EXPECT_LT(IndexOf("CB_SETCURSEL"), show);
  EXPECT_LT(IndexOf("SetWindowTextW"), show);
  EXPECT_LT(show, IndexOf("UpdateWindow"));
  EXPECT_LT(show, IndexOf("LoadCursorW"));
}

TEST_F(StartupTest, PreferenceFromTheRegistrySelectsItsEntry) {
  fake.registry.SetDword(u"Software\\Quillmark\\Skyforge2", u"LanguageVal", 1036);
  ASSERT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
  EXPECT_EQ(state.defaultLcid, 1036);
  EXPECT_EQ(state.selectedLcid, 1036);
  EXPECT_EQ(state.selectedIndex, 1);
  EXPECT_EQ(state.transformName, u"fr-fr");
}

TEST_F(StartupTest, PumpHandlesEveryWaitingMessageAndReturns) {
  ASSERT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
  int handled = 0;
  for (int i = 0; i < 3; ++i) fake.windows.queue.push_back([&] { ++handled; });
  PumpMessages(state, fake.os);
  EXPECT_EQ(handled, 3);
  EXPECT_TRUE(fake.windows.queue.empty());
}

TEST_F(StartupTest, ExitInLauncherModeLeavesTheWorkspaceAlone) {
  ASSERT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
  fake.files.AddFile(u"C:\\Users\\Player\\Temp\\CorvaneInstaller\\keep.txt");
  try {
    ExitLauncher(state, fake.os, 0, false);
    FAIL() << "ExitLauncher returned";
  } catch (const ProcessTerminated& end) {
    EXPECT_EQ(end.code, 0u);
  }
  EXPECT_TRUE(fake.windows.Dialog()->destroyed);
  EXPECT_TRUE(fake.files.Exists(u"C:\\Users\\Player\\Temp\\CorvaneInstaller\\keep.txt"));
  EXPECT_TRUE(fake.shell.executed.empty());
}

TEST_F(StartupTest, ExitInInstallerModeRemovesTheWorkspace) {
  UseInstallerMode();
  ASSERT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
  fake.files.AddFile(u"C:\\Users\\Player\\Temp\\CorvaneInstaller\\sub\\a.bin", "x");
  EXPECT_THROW(ExitLauncher(state, fake.os, 0, false), ProcessTerminated);
  EXPECT_FALSE(fake.files.Exists(u"C:\\Users\\Player\\Temp\\CorvaneInstaller"));
}

TEST_F(StartupTest, ExitOnTheMainThreadStopsARunningWorkerBeforeTheRemoval) {
  UseInstallerMode();
  ASSERT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
  state.workerThread = reinterpret_cast<platform::ThreadHandle>(0x3001);
  state.workerThreadId = 101;
  EXPECT_THROW(ExitLauncher(state, fake.os, 0, false), ProcessTerminated);
  EXPECT_TRUE(state.cancelRequested);
  EXPECT_LT(IndexOf("WaitForThread"), IndexOf("FindFirstFileW"));
}

TEST_F(StartupTest, PlayStartsTheGameInItsFolderAfterTheWindowIsGone) {
  ASSERT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
  state.gameExePath = u"C:\\Games\\Skyforge2\\Skyforge2.exe";
  state.installDir = u"C:\\Games\\Skyforge2\\";
  EXPECT_THROW(ExitLauncher(state, fake.os, 0, true), ProcessTerminated);
  ASSERT_EQ(fake.shell.executed.size(), 1u);
  EXPECT_EQ(fake.shell.executed[0].file, state.gameExePath);
  EXPECT_EQ(fake.shell.executed[0].directory, state.installDir);
  EXPECT_EQ(fake.shell.executed[0].showCommand, platform::kShowNormal);
  EXPECT_LT(IndexOf("DestroyWindow"), IndexOf("ShellExecuteW"));
}

}  // namespace
