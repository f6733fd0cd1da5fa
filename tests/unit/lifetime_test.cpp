// The installer-mode worker, its stop and the orderly exit of both modes.
#include "install/lifetime.h"

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "install/workspace.h"
#include "launcher.h"
#include "resource_ids.h"

namespace {

const platform::ThreadHandle kWorkerThread = reinterpret_cast<platform::ThreadHandle>(0x3001);
constexpr uint32_t kWorkerThreadId = 101;
constexpr uint32_t kMainThreadId = 1;

// An installer-mode launcher after start-up, on the main thread.
class LifetimeTest : public ::testing::Test {
 protected:
  LifetimeTest() {
    state.mainWindow = fake.windows.MakeDialog(IDD_INSTALLER);
    state.packagePath = u"Skyforge2.msi";
    state.programFolder = u"E:\\Disc\\";
    fake.files.AddFolder(kTempFolder);
    fake.process.threadId = kMainThreadId;
  }
  void UseLauncherMode() {
    state.launcherMode = true;
    state.mainWindow = fake.windows.MakeDialog(IDD_LAUNCHER);
  }
  void StartWorker() {
    state.workerThread = kWorkerThread;
    state.workerThreadId = kWorkerThreadId;
  }

  FakePlatform fake;
  LauncherState state;
};

TEST_F(LifetimeTest, ExitInLauncherModeLeavesTheWorkspaceAlone) {
  UseLauncherMode();
  fake.files.AddFile(kWorkspace + u"keep.txt");

  EXPECT_EQ(ExitCodeOf([&] { ExitLauncher(state, fake.os, 0, false); }), 0u);

  EXPECT_TRUE(fake.windows.Dialog()->destroyed);
  EXPECT_TRUE(fake.files.Exists(kWorkspace + u"keep.txt"));
  EXPECT_TRUE(fake.shell.executed.empty());
}

TEST_F(LifetimeTest, ExitInInstallerModeRemovesTheWorkspace) {
  ASSERT_TRUE(CreateWorkspace(state, fake.os, kTempFolder));
  ASSERT_TRUE(MakeWorkspaceFolder(state, fake.os, kWorkspace + u"sub"));
  EXPECT_EQ(ExitCodeOf([&] { ExitLauncher(state, fake.os, 0, false); }), 0u);
  EXPECT_FALSE(fake.files.Exists(kWorkspace));
}

TEST_F(LifetimeTest, ExitOnTheMainThreadStopsARunningWorkerBeforeTheRemoval) {
  ASSERT_TRUE(CreateWorkspace(state, fake.os, kTempFolder));
  StartWorker();
  EXPECT_EQ(ExitCodeOf([&] { ExitLauncher(state, fake.os, 0, false); }), 0u);
  EXPECT_TRUE(state.cancelRequested);
  EXPECT_LT(fake.FirstCall("WaitForThread"), fake.FirstCall("RemoveDirectoryW"));
}

TEST_F(LifetimeTest, PlayStartsTheGameInItsFolderAfterTheWindowIsGone) {
  UseLauncherMode();
  state.gameExePath = u"C:\\Games\\Skyforge2\\Skyforge2.exe";
  state.installDir = u"C:\\Games\\Skyforge2\\";

  EXPECT_EQ(ExitCodeOf([&] { ExitLauncher(state, fake.os, 0, true); }), 0u);

  ASSERT_EQ(fake.shell.executed.size(), 1u);
  EXPECT_EQ(fake.shell.executed[0].file, state.gameExePath);
  EXPECT_EQ(fake.shell.executed[0].directory, state.installDir);
  EXPECT_EQ(fake.shell.executed[0].showCommand, platform::kShowNormal);
  EXPECT_LT(fake.FirstCall("DestroyWindow"), fake.FirstCall("ShellExecuteW"));
}

TEST_F(LifetimeTest, StopDrainsTheQueueBetweenWaitsSoABlockedWorkerCanFinish) {
  StartWorker();
  // The worker is blocked in a progress message sent to this thread; it
  // ends once that message has been handled.
  bool progressHandled = false;
  fake.windows.queue.push_back([&] { progressHandled = true; });
  std::vector<uint32_t> waits;
  fake.process.onWaitForThread = [&](uint32_t milliseconds) {
    waits.push_back(milliseconds);
    return progressHandled;
  };

  StopInstallWorker(state, fake.os);

  EXPECT_TRUE(state.cancelRequested);
  EXPECT_EQ(waits, (std::vector<uint32_t>{10, 10}));
}

TEST_F(LifetimeTest, StopGivesUpAfterAFewSecondsWhenTheWorkerNeverEnds) {
  StartWorker();
  uint32_t waited = 0;
  fake.process.onWaitForThread = [&](uint32_t milliseconds) {
    waited += milliseconds;
    return false;
  };

  StopInstallWorker(state, fake.os);

  EXPECT_GE(waited, 1000u);
  EXPECT_LE(waited, 5000u);
}

TEST_F(LifetimeTest, StopWithoutWorkerOnlyRaisesTheFlag) {
  StopInstallWorker(state, fake.os);

  EXPECT_TRUE(state.cancelRequested);
  EXPECT_EQ(fake.CallCount("WaitForThread"), 0);
}

// The worker thread of a launcher made active, with a two-file payload.
class InstallWorkerTest : public LifetimeTest {
 protected:
  InstallWorkerTest() {
    fake.files.AddFolder(kTempFolder);
    fake.resources.SetData(IDR_PAYLOAD_MANIFEST, std::string("Skyforge2.msi;Data\\a.cab\0", 25));
    fake.resources.SetData(3001, "msi");
    fake.resources.SetData(3002, std::string(3000000, 'c'));
    SetActiveLauncher(&launcher);
  }
  ~InstallWorkerTest() override { SetActiveLauncher(nullptr); }

  Launcher launcher{state, fake.os};
};

TEST_F(InstallWorkerTest, UnpacksInstallsAndEndsWithTheWorkspaceRemoved) {
  fake.shell.pollsUntilExit = 3;
  bool packageHeldWhileInstalling = false;
  fake.world.onCall = [&](const std::string& operation) {
    if (operation == "WaitForSingleObject") {
      packageHeldWhileInstalling = fake.files.Content(kWorkspace + u"Skyforge2.msi") == "msi" &&
                                   fake.files.IsHeld(kWorkspace + u"Skyforge2.msi") &&
                                   fake.files.IsHeld(kWorkspace + u"Data\\a.cab");
    }
  };

  EXPECT_EQ(ExitCodeOf([&] { InstallWorker(nullptr); }), 0u);

  EXPECT_TRUE(packageHeldWhileInstalling);
  ASSERT_EQ(fake.shell.started.size(), 1u);
  EXPECT_EQ(fake.shell.started[0].parameters, u"/i \"" + kWorkspace + u"Skyforge2.msi\"");
  EXPECT_EQ(fake.shell.started[0].directory, u"E:\\Disc\\");
  EXPECT_FALSE(fake.files.Exists(kWorkspace));
  EXPECT_EQ(fake.files.OpenHandles(), 0);
  EXPECT_TRUE(fake.windows.messageBoxes.empty());
}

TEST_F(InstallWorkerTest, InstallerThatCannotStartIsReportedAndTheThreadEnds) {
  fake.FailNext("ShellExecuteExW", platform::kErrorFileNotFound);

  EXPECT_EQ(InstallWorker(nullptr), 0u);

  ASSERT_EQ(fake.windows.messageBoxes.size(), 1u);
  const auto& box = fake.windows.messageBoxes[0];
  EXPECT_EQ(box.owner, state.mainWindow);
  EXPECT_EQ(box.text, u"Error launching installation.");
  EXPECT_EQ(box.caption, u"Error");
  EXPECT_EQ(box.style, platform::kMessageBoxIconError);
  // Exit removes the workspace later, on the main thread.
  EXPECT_TRUE(fake.files.Exists(kWorkspace + u"Skyforge2.msi"));
}

TEST_F(InstallWorkerTest, StopDuringUnpackingEndsTheThreadQuietly) {
  fake.world.onCall = [&](const std::string& operation) {
    if (operation == "WriteFile") state.cancelRequested = true;
  };

  EXPECT_EQ(InstallWorker(nullptr), 0u);

  EXPECT_TRUE(fake.shell.started.empty());
  EXPECT_TRUE(fake.windows.messageBoxes.empty());
  // The file being written is closed; the main thread removes the rest.
  EXPECT_FALSE(fake.files.IsHeld(kWorkspace + u"Data\\a.cab"));
}

TEST_F(InstallWorkerTest, ExitWhileTheWorkerShowsItsFatalErrorDoesNotWaitForIt) {
  // The worker, on its own thread, finds the second file missing and shows
  // its fatal error box; a thread in that box never ends by itself.
  fake.resources.RemoveData(3002);
  StartWorker();
  fake.process.threadId = kWorkerThreadId;
  fake.process.onWaitForThread = [](uint32_t) { return false; };
  // While the box is up, the user chooses Exit on the main thread.
  fake.windows.onMessageBox = [&](const FakeWindows::MessageBoxShown&) {
    fake.process.threadId = kMainThreadId;
    ExitLauncher(state, fake.os, 0, false);
  };

  EXPECT_EQ(ExitCodeOf([&] { InstallWorker(nullptr); }), 0u);

  EXPECT_EQ(fake.CallCount("WaitForThread"), 0);
  EXPECT_TRUE(fake.windows.Dialog()->destroyed);
  EXPECT_FALSE(fake.files.Exists(kWorkspace));
}

}  // namespace
