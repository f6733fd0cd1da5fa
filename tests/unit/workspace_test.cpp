#include "install/workspace.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace {

// The workspace as a path without the final backslash.
const WString kWorkspaceFolder = kWorkspace.substr(0, kWorkspace.size() - 1);

TEST(DeleteDirectoryTree, EmptyPathTouchesNothingAndMissingFolderIsNotAnError) {
  FakePlatform fake;
  fake.files.AddFolder(kTempFolder);
  DeleteDirectoryTree(fake.os, u"");
  EXPECT_TRUE(fake.calls().empty());

  DeleteDirectoryTree(fake.os, kWorkspace);
  EXPECT_EQ(fake.CallCount("RemoveDirectoryW"), 0);
  EXPECT_EQ(fake.CallCount("DeleteFileW"), 0);
  EXPECT_TRUE(fake.files.Exists(kTempFolder));
}

TEST(DeleteDirectoryTree, RemovesNestedTreeWithOrWithoutFinalBackslash) {
  for (const WString& path : {kWorkspace, kWorkspaceFolder}) {
    FakePlatform fake;
    fake.files.AddFile(kWorkspace + u"Setup.msi", "msi");
    fake.files.AddFile(kWorkspace + u"Data\\a.cab", "a");
    fake.files.AddFile(kWorkspace + u"Data\\Deep\\Deeper\\b.bin", "b");
    fake.files.AddFolder(kWorkspace + u"Empty");
    fake.files.AddFile(kTempFolder + u"neighbour.txt", "stays");

    DeleteDirectoryTree(fake.os, path);

    EXPECT_FALSE(fake.files.Exists(kWorkspace)) << Utf16ToUtf8(path);
    EXPECT_EQ(fake.files.ListTree(kTempFolder),
              std::vector<WString>{u"c:\\users\\jane doe\\temp\\neighbour.txt"});
    EXPECT_EQ(fake.files.OpenHandles(), 0);
  }
}

TEST(DeleteDirectoryTree, ReadOnlyFileStaysWithEveryFolderAboveIt) {
  FakePlatform fake;
  fake.files.AddFile(kWorkspace + u"Data\\Locked\\keep.bin", "k");
  fake.files.SetReadOnly(kWorkspace + u"Data\\Locked\\keep.bin");
  fake.files.AddFile(kWorkspace + u"Data\\Locked\\gone.bin", "g");
  fake.files.AddFile(kWorkspace + u"Data\\gone.cab", "g");
  fake.files.AddFile(kWorkspace + u"Other\\gone.txt", "g");

  DeleteDirectoryTree(fake.os, kWorkspace);

  EXPECT_EQ(fake.files.ListTree(kWorkspace),
            (std::vector<WString>{
                u"c:\\users\\jane doe\\temp\\corvaneinstaller\\data",
                u"c:\\users\\jane doe\\temp\\corvaneinstaller\\data\\locked",
                u"c:\\users\\jane doe\\temp\\corvaneinstaller\\data\\locked\\keep.bin"}));
  EXPECT_TRUE(fake.windows.messageBoxes.empty());
}

TEST(DeleteDirectoryTree, LinkInsideTheTreeIsRemovedWithoutTouchingItsTarget) {
  FakePlatform fake;
  fake.files.AddFile(u"C:\\Users\\Player\\Saves\\slot1.sav", "precious");
  fake.files.AddFile(kWorkspace + u"Setup.msi", "msi");
  fake.files.AddLink(kWorkspace + u"Data\\Saves", u"C:\\Users\\Player\\Saves");

  DeleteDirectoryTree(fake.os, kWorkspace);

  EXPECT_FALSE(fake.files.Exists(kWorkspace));
  EXPECT_EQ(fake.files.Content(u"C:\\Users\\Player\\Saves\\slot1.sav"), "precious");
}

TEST(DeleteDirectoryTree, WorkspaceThatIsItselfALinkIsRemovedAsALink) {
  FakePlatform fake;
  fake.files.AddFile(u"C:\\Users\\Player\\Documents\\letter.txt", "precious");
  fake.files.AddLink(kWorkspaceFolder, u"C:\\Users\\Player\\Documents");

  DeleteDirectoryTree(fake.os, kWorkspace);

  EXPECT_FALSE(fake.files.Exists(kWorkspace));
  EXPECT_EQ(fake.files.Content(u"C:\\Users\\Player\\Documents\\letter.txt"), "precious");
  EXPECT_EQ(fake.CallCount("FindFirstFileW"), 0);
}

}  // namespace
