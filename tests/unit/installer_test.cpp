#include "install/installer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fake_platform.h"
#include "resource_ids.h"

namespace {

const WString kMsiexec = u"C:\\windows\\system32\\msiexec.exe";

TEST(InstallerParameters, PackagePathIsQuotedAndTransformAddedOnlyWhenNamed) {
  struct Case {
    const char16_t* packagePath;
    const char16_t* transformName;
    const char16_t* parameters;
  };
  const Case cases[] = {
      {u"Skyforge2.msi", u"", u"/i \"Skyforge2.msi\""},
      {u"Skyforge2.msi", u"fr-fr", u"/i \"Skyforge2.msi\" TRANSFORMS=\":fr-fr.mst\""},
      {u"C:\\Users\\Jane Doe\\Temp\\CorvaneInstaller-0001020304050607\\Skyforge2.msi", u"de-de",
       u"/i \"C:\\Users\\Jane Doe\\Temp\\CorvaneInstaller-0001020304050607\\Skyforge2.msi\" "
       u"TRANSFORMS=\":de-de.mst\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildInstallerParameters(c.packagePath, c.transformName), c.parameters);
  }
}

class InstallerTest : public ::testing::Test {
 protected:
  InstallerTest() {
    state.mainWindow = fake.windows.MakeDialog(IDD_LAUNCHER);
    state.packagePath = u"Skyforge2.msi";
    state.programFolder = u"E:\\Disc\\";
  }

  // The calls of the start and the wait, in order, without the others.
  std::vector<std::string> FlowCalls() const {
    static const char* const kFlow[] = {"ShellExecuteExW",     "ShowWindow",   "Sleep",
                                        "WaitForSingleObject", "PeekMessageW", "CloseHandle"};
    std::vector<std::string> flow;
    for (const std::string& call : fake.calls()) {
      if (std::find(std::begin(kFlow), std::end(kFlow), call) != std::end(kFlow)) {
        flow.push_back(call);
      }
    }
    return flow;
  }

  FakePlatform fake;
  LauncherState state;
};

TEST_F(InstallerTest, StartsMsiexecFromTheSystemFolderHidesAndPollsUntilItEnds) {
  state.transformName = u"fr-fr";
  fake.shell.pollsUntilExit = 2;
  bool messageHandled = false;
  fake.windows.queue.push_back([&] { messageHandled = true; });

  EXPECT_TRUE(RunInstaller(state, fake.os));

  ASSERT_EQ(fake.shell.started.size(), 1u);
  EXPECT_EQ(fake.shell.started[0].file, kMsiexec);
  EXPECT_EQ(fake.shell.started[0].parameters, u"/i \"Skyforge2.msi\" TRANSFORMS=\":fr-fr.mst\"");
  EXPECT_EQ(fake.shell.started[0].showCommand, platform::kShowNormal);
  // In the launcher's folder, not whatever folder it was started from.
  EXPECT_EQ(fake.shell.started[0].directory, u"E:\\Disc\\");
  EXPECT_FALSE(fake.windows.Dialog()->visible);
  EXPECT_EQ(fake.process.sleeps, (std::vector<uint32_t>{5, 5, 5}));
  EXPECT_TRUE(messageHandled);
  // Sleep, test, drain: the queue is drained once more after the last test.
  EXPECT_EQ(FlowCalls(), (std::vector<std::string>{
                             "ShellExecuteExW", "ShowWindow",                                 //
                             "Sleep", "WaitForSingleObject", "PeekMessageW", "PeekMessageW",  //
                             "Sleep", "WaitForSingleObject", "PeekMessageW",                  //
                             "Sleep", "WaitForSingleObject", "PeekMessageW",                  //
                             "CloseHandle"}));
  EXPECT_EQ(fake.process.closedProcesses, 1);
}

TEST_F(InstallerTest, FailedStartLeavesTheWindowAlone) {
  fake.FailNext("ShellExecuteExW", platform::kErrorFileNotFound);

  EXPECT_FALSE(RunInstaller(state, fake.os));

  EXPECT_TRUE(fake.windows.Dialog()->visible);
  EXPECT_EQ(fake.CallCount("ShowWindow"), 0);
  EXPECT_TRUE(fake.process.sleeps.empty());
}

TEST_F(InstallerTest, WithoutSystemFolderMsiexecIsNotSearchedFor) {
  fake.process.systemFolder.clear();

  EXPECT_FALSE(RunInstaller(state, fake.os));

  EXPECT_TRUE(fake.shell.started.empty());
  EXPECT_TRUE(fake.windows.Dialog()->visible);
}

TEST_F(InstallerTest, FailedWaitEndsThePollAndClosesTheHandle) {
  fake.shell.pollsUntilExit = 100;
  fake.FailNext("WaitForSingleObject", 6);

  EXPECT_TRUE(RunInstaller(state, fake.os));

  EXPECT_EQ(fake.process.sleeps.size(), 1u);
  EXPECT_EQ(fake.process.closedProcesses, 1);
}

TEST_F(InstallerTest, ParametersFollowTheLanguageChosenBeforeEachRun) {
  state.transformName = u"fr-fr";
  RunInstaller(state, fake.os);
  state.transformName = u"";
  RunInstaller(state, fake.os);

  ASSERT_EQ(fake.shell.started.size(), 2u);
  EXPECT_EQ(fake.shell.started[0].parameters, u"/i \"Skyforge2.msi\" TRANSFORMS=\":fr-fr.mst\"");
  EXPECT_EQ(fake.shell.started[1].parameters, u"/i \"Skyforge2.msi\"");
}

TEST_F(InstallerTest, StopRequestEndsTheWaitButNotTheInstaller) {
  fake.shell.pollsUntilExit = 1000;
  int sleeps = 0;
  fake.world.onCall = [&](const std::string& operation) {
    if (operation == "Sleep" && ++sleeps == 3) state.cancelRequested = true;
  };

  EXPECT_TRUE(RunInstaller(state, fake.os));

  EXPECT_EQ(fake.process.sleeps.size(), 3u);
  EXPECT_EQ(fake.process.closedProcesses, 1);
}

}  // namespace
