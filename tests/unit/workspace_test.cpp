#include "install/workspace.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace {

const WString kWorkspaceFolder = kWorkspace.substr(0, kWorkspace.size() - 1);

class WorkspaceTest : public ::testing::Test {
 protected:
  WorkspaceTest() { fake.files.AddFolder(kTempFolder); }

  // Makes the workspace, a folder in it and a file written and held there.
  void MakeSome() {
    ASSERT_TRUE(CreateWorkspace(state, fake.os, kTempFolder));
    ASSERT_TRUE(MakeWorkspaceFolder(state, fake.os, kWorkspace + u"Data"));
    platform::UniqueFileHandle written =
        CreateWorkspaceFile(state, fake.os, kWorkspace + u"Data\\a.cab");
    ASSERT_TRUE(written.valid());
    uint32_t count = 0;
    ASSERT_TRUE(fake.files.Write(written.get(), "cab", 3, &count));
    ASSERT_TRUE(HoldWrittenFile(state, fake.os, kWorkspace + u"Data\\a.cab", std::move(written)));
  }

  FakePlatform fake;
  LauncherState state;
};

TEST_F(WorkspaceTest, IsMadeUnderANewRandomNameTryingAnotherWhileOneIsTaken) {
  fake.files.AddFolder(kWorkspace);  // as another run, or someone guessing, left it

  ASSERT_TRUE(CreateWorkspace(state, fake.os, kTempFolder));

  EXPECT_EQ(state.workspaceDir, kSecondWorkspace);
  EXPECT_TRUE(fake.files.IsHeld(kSecondWorkspace));
  EXPECT_EQ(fake.CallCount("RtlGenRandom"), 2);

  // A generator that fails, or a name that stays taken, makes no workspace.
  LauncherState other;
  fake.FailNext("RtlGenRandom", 5);
  EXPECT_FALSE(CreateWorkspace(other, fake.os, kTempFolder));
  fake.world.onCall = [&](const std::string& operation) {
    if (operation == "RtlGenRandom") fake.process.nextRandomByte = 0;
  };
  EXPECT_FALSE(CreateWorkspace(other, fake.os, kTempFolder));
  EXPECT_EQ(fake.process.LastError(), platform::kErrorAlreadyExists);
  EXPECT_TRUE(other.workspaceDir.empty());
}

// What the run made cannot be removed, renamed or written by anyone while it
// is held; at the end the run removes it all, newest first.
TEST_F(WorkspaceTest, WhatIsMadeIsHeldUntilTheRunRemovesIt) {
  MakeSome();
  const WString file = kWorkspace + u"Data\\a.cab";

  EXPECT_TRUE(fake.files.IsHeld(file));
  EXPECT_FALSE(fake.files.RemoveFile(file));
  EXPECT_FALSE(fake.files.RemoveFolder(kWorkspace + u"Data"));
  EXPECT_EQ(fake.files.OpenFile(file, platform::FileSystem::OpenMode::kCreateNewWrite),
            platform::kInvalidHandle);
  EXPECT_EQ(fake.files.Content(file), "cab");

  RemoveWorkspace(state, fake.os);

  EXPECT_FALSE(fake.files.Exists(kWorkspace));
  EXPECT_EQ(fake.files.OpenHandles(), 0);
  // Only the run's own file was made writable for its removal.
  EXPECT_EQ(fake.CallCount("SetFileInformationByHandle"), 1);
}

// Removal goes by what the run made, never by what a listing finds: a file
// someone else put into the run's folder stays, and with it the folders
// above it, and nothing is reached through a link.
TEST_F(WorkspaceTest, RemovalLeavesWhatTheRunDidNotMake) {
  MakeSome();
  fake.files.AddFile(kWorkspace + u"Data\\planted.dll", "planted");
  fake.files.AddFile(u"C:\\Saved Games\\save.dat", "progress");
  fake.files.AddLink(kWorkspace + u"Saves", u"C:\\Saved Games");

  RemoveWorkspace(state, fake.os);

  EXPECT_FALSE(fake.files.Exists(kWorkspace + u"Data\\a.cab"));
  EXPECT_EQ(fake.files.Content(kWorkspace + u"Data\\planted.dll"), "planted");
  EXPECT_TRUE(fake.files.Exists(kWorkspace + u"Saves"));
  EXPECT_EQ(fake.files.Content(u"C:\\Saved Games\\save.dat"), "progress");
  EXPECT_EQ(fake.files.OpenHandles(), 0);
  EXPECT_EQ(fake.CallCount("FindFirstFileW"), 0);
}

// Something that takes a name between the run's making it and holding it
// (a link in place of the folder) is refused, never used.
TEST_F(WorkspaceTest, ALinkInPlaceOfAFolderJustMadeIsRefused) {
  ASSERT_TRUE(CreateWorkspace(state, fake.os, kTempFolder));
  fake.files.AddFolder(u"C:\\Elsewhere");
  fake.world.onCall = [&](const std::string& operation) {
    if (operation != "CreateDirectoryW") return;
    fake.world.onCall = nullptr;
    fake.files.AddLink(kWorkspace + u"Data", u"C:\\Elsewhere");
  };

  EXPECT_FALSE(MakeWorkspaceFolder(state, fake.os, kWorkspace + u"Data"));
  EXPECT_EQ(fake.process.LastError(), platform::kErrorAlreadyExists);
  EXPECT_EQ(fake.files.OpenHandles(), 1);  // the workspace's own hold
}

// A file being written is the run's to remove even when its writing never
// ends; what is made after the removal is removed again at once.
TEST_F(WorkspaceTest, WhatIsMadeAroundTheRemovalGoesToo) {
  ASSERT_TRUE(CreateWorkspace(state, fake.os, kTempFolder));
  platform::UniqueFileHandle halfWritten =
      CreateWorkspaceFile(state, fake.os, kWorkspace + u"half.bin");
  ASSERT_TRUE(halfWritten.valid());
  halfWritten.Reset();

  RemoveWorkspace(state, fake.os);
  EXPECT_FALSE(fake.files.Exists(kWorkspace));

  EXPECT_FALSE(CreateWorkspace(state, fake.os, kTempFolder));
  EXPECT_FALSE(CreateWorkspaceFile(state, fake.os, kTempFolder + u"late.bin").valid());
  EXPECT_EQ(fake.files.ListTree(kTempFolder), std::vector<WString>());
  EXPECT_EQ(fake.files.OpenHandles(), 0);
}

}  // namespace
