#include "ui/dialog_proc.h"

#include <gtest/gtest.h>

#include "install/lifetime.h"
#include "launcher.h"
#include "launcher_window_fixture.h"
#include "ui/refresh_window.h"

namespace {

constexpr uintptr_t Command(int controlId, unsigned notification = 0) {
  return (static_cast<uintptr_t>(notification) << 16) | static_cast<uint16_t>(controlId);
}

class DialogProcTest : public LauncherWindowTest {
 protected:
  void SetUp() override {
    StartLauncher(/*launcherMode=*/true);
    RefreshWindow(state, fake.os, false);
  }
  void Send(uint32_t message, uintptr_t wParam = 0) {
    HandleDialogMessage(state, fake.os, message, wParam, 0);
  }
  void Click(int controlId) { Send(platform::kMessageCommand, Command(controlId)); }
  void SelectLanguage(int comboAnswer) {
    Control(IDC_LANGUAGE).selection = comboAnswer;
    Send(platform::kMessageCommand, Command(IDC_LANGUAGE, platform::kComboSelectionChanged));
  }
};

TEST_F(DialogProcTest, CloseBoxAndExitEndWithoutStartingTheGame) {
  InstallGame();
  state.gameExePath = kGameExe;
  state.installDir = kInstallDir;
  EXPECT_EQ(ExitCodeOf([&] { Send(platform::kMessageClose); }), 0u);
  EXPECT_EQ(ExitCodeOf([&] { Click(IDC_EXIT); }), 0u);
  EXPECT_TRUE(fake.shell.executed.empty());
}

// Where and when the game starts is the exit's concern (lifetime_test).
TEST_F(DialogProcTest, PlayEndsAndStartsTheGame) {
  state.gameExePath = kGameExe;
  EXPECT_EQ(ExitCodeOf([&] { Click(IDC_PLAY); }), 0u);
  ASSERT_EQ(fake.shell.executed.size(), 1u);
  EXPECT_EQ(fake.shell.executed.front().file, kGameExe);
}

TEST_F(DialogProcTest, UninstallOpensThePackageAndEndsEvenWhenThatFails) {
  fake.FailNext("ShellExecuteW", platform::kErrorFileNotFound);
  EXPECT_EQ(ExitCodeOf([&] { Click(IDC_UNINSTALL); }), 0u);
  ASSERT_GE(fake.shell.executed.size(), 1u);
  const FakeShell::Execution& run = fake.shell.executed.front();
  EXPECT_EQ(run.verb, u"");
  // The package beside the launcher, opened in its folder.
  EXPECT_EQ(run.file, kDiscFolder + u"Skyforge2.msi");
  EXPECT_EQ(run.parameters, u"");
  EXPECT_EQ(run.directory, kDiscFolder);
  EXPECT_EQ(run.showCommand, platform::kShowNormal);
}

TEST_F(DialogProcTest, WebsiteOpensTheAddressAndKeepsRunning) {
  Click(IDC_WEBSITE);
  ASSERT_EQ(fake.shell.executed.size(), 1u);
  EXPECT_EQ(fake.shell.executed.front().verb, u"open");
  EXPECT_EQ(fake.shell.executed.front().file, u"https://skyforge.example/");
  EXPECT_EQ(fake.shell.executed.front().showCommand, platform::kShowNormal);
  EXPECT_FALSE(Dialog().destroyed);
}

TEST_F(DialogProcTest, ReadmeButtonOpensTheReadme) {
  state.countryCodes[2057] = u"GB";
  fake.files.AddFile(kDiscFolder + u"Docs\\GB\\Readme.txt");
  Click(IDC_README);
  ASSERT_EQ(fake.shell.executed.size(), 1u);
  EXPECT_EQ(fake.shell.executed.front().file, kDiscFolder + u"Docs\\GB\\Readme.txt");
}

TEST_F(DialogProcTest, KeysAndUnusedIdsDoNothing) {
  const size_t callsBefore = fake.calls().size();
  const int ids[] = {1 /*IDOK*/, 2 /*IDCANCEL*/, 1010, 1011, 1005, 1016, IDC_STATIC_LABEL};
  for (int id : ids) Click(id);
  Send(platform::kMessageInitDialog);
  EXPECT_EQ(fake.calls().size(), callsBefore);
  EXPECT_FALSE(Dialog().destroyed);
}

// What the window shows in the new language is the refresh's concern
// (refresh_window_test); the dialog takes the choice and refreshes.
TEST_F(DialogProcTest, LanguageChangeFollowsTheComboAndRefreshes) {
  SelectLanguage(1);
  EXPECT_EQ(state.selectedIndex, 1);
  EXPECT_EQ(state.selectedLcid, 1036);
  EXPECT_EQ(Dialog().text, u"Skyforge 2 : Val de Fer");

  SelectLanguage(platform::kComboError);
  EXPECT_EQ(state.selectedIndex, 0);
  EXPECT_EQ(state.selectedLcid, 2057);
}

// Keys in the list, closed or dropped down, leave the player there; a mouse
// click on an entry, or a choice made while the focus is elsewhere, hands the
// focus on to Install as start-up does.
TEST_F(DialogProcTest, FocusAfterALanguageChangeFollowsHowItWasMade) {
  struct Case {
    const char* how;
    bool focusInList;
    bool dropped;
    bool mouseClick;
    int focusAfter;
  };
  const Case cases[] = {
      {"a key in the closed list", true, false, false, IDC_LANGUAGE},
      {"a key in the dropped-down list", true, true, false, IDC_LANGUAGE},
      {"a mouse click on an entry", true, true, true, IDC_INSTALL},
      {"another program's choice", false, false, false, IDC_INSTALL},
  };
  int entry = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    RefreshWindow(state, fake.os, false);
    FakeWindow& combo = Control(IDC_LANGUAGE);
    if (c.focusInList) fake.windows.focus = Handle(IDC_LANGUAGE);
    combo.dropped = c.dropped;
    fake.windows.mouseClick = c.mouseClick;
    entry = entry == 1 ? 2 : 1;
    SelectLanguage(entry);

    EXPECT_EQ(state.selectedIndex, entry);
    EXPECT_EQ(Control(IDC_INSTALL).text, entry == 1 ? u"Installer" : u"Installieren");
    EXPECT_EQ(fake.windows.focus, Handle(c.focusAfter));
    EXPECT_EQ(combo.dropped, c.focusAfter == IDC_LANGUAGE && c.dropped);
  }
}

TEST_F(DialogProcTest, LanguageChangeDetectsTheInstallationAfresh) {
  InstallGame();
  SelectLanguage(2);
  EXPECT_TRUE(Control(IDC_PLAY).enabled);
}

TEST_F(DialogProcTest, OnlySelectionChangeSwitchesTheLanguage) {
  Control(IDC_LANGUAGE).selection = 1;
  for (unsigned notification : {7u /*DROPDOWN*/, 8u /*CLOSEUP*/, 10u /*SELENDCANCEL*/}) {
    Send(platform::kMessageCommand, Command(IDC_LANGUAGE, notification));
  }
  EXPECT_EQ(state.selectedIndex, 0);
  EXPECT_EQ(state.selectedLcid, 2057);
}

TEST_F(DialogProcTest, LanguageChangeWithEmptyListIndexesNothing) {
  state.languageIds.clear();
  state.languageNames.clear();
  state.productNames.clear();
  SelectLanguage(platform::kComboError);
  EXPECT_EQ(state.selectedLcid, 2057);
  EXPECT_EQ(Dialog().text, u"");
}

TEST_F(DialogProcTest, InstallRunsTheInstallerAndShowsTheWindowAgain) {
  // The package writes the registry value while it runs.
  InstallGame();
  Click(IDC_INSTALL);

  ASSERT_EQ(fake.shell.started.size(), 1u);
  EXPECT_EQ(fake.windows.cursor, fake.windows.waitCursor);
  EXPECT_EQ(Dialog().showCommand, platform::kShowNormal);
  EXPECT_FALSE(Control(IDC_INSTALL).enabled);
  EXPECT_TRUE(Control(IDC_PLAY).enabled);
  EXPECT_EQ(fake.windows.focus, Handle(IDC_PLAY));
}

TEST_F(DialogProcTest, InstallThatCannotStartLeavesTheWindowAndReenablesInstall) {
  fake.FailNext("ShellExecuteExW", platform::kErrorFileNotFound);
  Click(IDC_INSTALL);

  EXPECT_EQ(Dialog().showCommand, -1);
  EXPECT_TRUE(Control(IDC_INSTALL).enabled);
  EXPECT_EQ(Control(IDC_INSTALL).text, u"Install");
  EXPECT_EQ(fake.windows.focus, Handle(IDC_INSTALL));
  EXPECT_TRUE(fake.windows.messageBoxes.empty());
}

TEST_F(DialogProcTest, InstallTextFollowsTheSelectedLanguage) {
  state.selectedIndex = 2;
  state.selectedLcid = 1031;
  fake.FailNext("ShellExecuteExW", platform::kErrorFileNotFound);
  Click(IDC_INSTALL);
  EXPECT_EQ(Control(IDC_INSTALL).text, u"Installieren");
}

class InstallerModeDialogTest : public DialogProcTest {
 protected:
  void SetUp() override {
    StartLauncher(/*launcherMode=*/false);
    RefreshWindow(state, fake.os, false);
  }
};

TEST_F(InstallerModeDialogTest, ContinueLocksTheChoiceAndStartsTheWorker) {
  Click(IDC_CONTINUE);

  EXPECT_FALSE(Control(IDC_CONTINUE).enabled);
  EXPECT_FALSE(Control(IDC_LANGUAGE).enabled);
  EXPECT_TRUE(Control(IDC_EXIT).enabled);
  EXPECT_EQ(fake.windows.cursor, fake.windows.waitCursor);
  ASSERT_EQ(fake.process.threads.size(), 1u);
  EXPECT_EQ(fake.process.threads.front().procedure, &InstallWorker);
  EXPECT_EQ(fake.process.threads.front().parameter, nullptr);
  EXPECT_NE(state.workerThread, nullptr);
}

TEST(LauncherDialogProc, ActsOnTheActiveLauncherOnly) {
  FakePlatform fake;
  LauncherState state;
  state.mainWindow = fake.windows.MakeDialog(IDD_LAUNCHER);
  state.websiteUrl = u"https://skyforge.example/";

  SetActiveLauncher(nullptr);
  EXPECT_EQ(LauncherDialogProc(state.mainWindow, platform::kMessageClose, 0, 0), 0);
  EXPECT_EQ(LauncherDialogProc(state.mainWindow, platform::kMessageCommand, IDC_WEBSITE, 0), 0);
  EXPECT_TRUE(fake.shell.executed.empty());

  Launcher launcher{state, fake.os};
  SetActiveLauncher(&launcher);
  EXPECT_EQ(LauncherDialogProc(state.mainWindow, platform::kMessageCommand, IDC_WEBSITE, 0), 0);
  SetActiveLauncher(nullptr);
  EXPECT_EQ(fake.shell.executed.size(), 1u);
}

}  // namespace
