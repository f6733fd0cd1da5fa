#include "install/payload.h"

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "install/workspace.h"
#include "resource_ids.h"

namespace {

// Bytes that differ from one offset to the next, so a misplaced chunk shows.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

class ExtractPayloadTest : public ::testing::Test {
 protected:
  ExtractPayloadTest() {
    fake.files.AddFolder(kTempFolder);
    state.mainWindow = fake.windows.MakeDialog(IDD_INSTALLER);
    fake.process.errorTexts[29] = u"The system cannot write to the specified device.\r\n";
    fake.process.errorTexts[161] = u"The specified path is invalid.\r\n";
  }

  // The manifest as the product build stores it, with its NUL.
  void SetManifest(const std::string& text) {
    fake.resources.SetData(IDR_PAYLOAD_MANIFEST, text + std::string(1, '\0'));
  }

  bool Extract() { return ExtractPayload(state, fake.os, kWorkspace); }

  // Runs the extraction that must end the process; returns the exit code.
  uint32_t ExtractUntilFatal() {
    return ExitCodeOf([&] { Extract(); });
  }

  WString MessageText() const {
    return fake.windows.messageBoxes.empty() ? WString() : fake.windows.messageBoxes.back().text;
  }
  FakeWindow& Progress() { return *fake.windows.Control(IDC_PROGRESS); }

  FakePlatform fake;
  LauncherState state;
};

TEST_F(ExtractPayloadTest, EmptyItemsTakeNoResourceId) {
  SetManifest("a;;b;");
  fake.resources.SetData(3001, "first");
  fake.resources.SetData(3002, "second");

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.Content(kWorkspace + u"a"), "first");
  EXPECT_EQ(fake.files.Content(kWorkspace + u"b"), "second");
  EXPECT_EQ(fake.files.ListTree(kWorkspace).size(), 2u);
  EXPECT_EQ(fake.resources.loaded, 0);
  EXPECT_EQ(fake.files.OpenHandles(), 0);
}

TEST_F(ExtractPayloadTest, EmptyManifestStillRecreatesAnEmptyWorkspace) {
  for (const std::string& manifest : {std::string(), std::string(";")}) {
    fake.files.AddFile(kWorkspace + u"old\\left.over", "old");
    SetManifest(manifest);
    Progress().rangeHigh = 100;

    EXPECT_TRUE(Extract());

    EXPECT_TRUE(fake.files.IsFolder(kWorkspace));
    EXPECT_TRUE(fake.files.ListTree(kWorkspace).empty());
    EXPECT_EQ(Progress().rangeLow, 0);
    EXPECT_EQ(Progress().rangeHigh, 0);
    EXPECT_EQ(fake.CallCount("WriteFile"), 0);
  }
}

TEST_F(ExtractPayloadTest, NestedItemCreatesItsFoldersAndPlainItemNone) {
  SetManifest("Sub\\Deeper\\file.bin;Setup.msi;Sub\\other.bin");
  fake.resources.SetData(3001, "deep");
  fake.resources.SetData(3002, "msi");
  fake.resources.SetData(3003, "other");

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.Content(kWorkspace + u"Sub\\Deeper\\file.bin"), "deep");
  EXPECT_EQ(fake.files.Content(kWorkspace + u"Setup.msi"), "msi");
  EXPECT_EQ(fake.files.Content(kWorkspace + u"Sub\\other.bin"), "other");
  // The workspace itself, then Sub and Deeper; Sub exists already for the third.
  EXPECT_EQ(fake.CallCount("CreateDirectoryW"), 3);
}

TEST_F(ExtractPayloadTest, NameListedTwiceKeepsTheLaterContentAndCountsTwice) {
  SetManifest("x.bin;x.bin");
  fake.resources.SetData(3001, std::string(2000, 'a'));
  fake.resources.SetData(3002, std::string(2000, 'b'));

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.Content(kWorkspace + u"x.bin"), std::string(2000, 'b'));
  EXPECT_EQ(Progress().rangeHigh, 3);  // 4000 bytes
}

TEST_F(ExtractPayloadTest, MissingResourceEndsTheProgramBeforeAnyWrite) {
  SetManifest("a;b;c");
  fake.resources.SetData(3001, "a");
  fake.resources.SetData(3002, "b");
  fake.files.AddFile(kWorkspace + u"old.txt", "old");

  EXPECT_EQ(ExtractUntilFatal(), platform::kErrorResourceNameNotFound);

  EXPECT_EQ(MessageText(),
            u"FindResource failed trying to find resource ID 3003 failed with error 1814: The "
            u"specified resource name cannot be found in the image file.\r\n");
  EXPECT_EQ(fake.CallCount("CreateFileW"), 0);
  EXPECT_TRUE(fake.files.IsFolder(kWorkspace));
  EXPECT_TRUE(fake.files.ListTree(kWorkspace).empty());
}

TEST_F(ExtractPayloadTest, MissingManifestEndsTheProgram) {
  EXPECT_EQ(ExtractUntilFatal(), platform::kErrorResourceNameNotFound);
  EXPECT_EQ(MessageText().substr(0, 37), u"FindResource failed with error 1814: ");
}

TEST_F(ExtractPayloadTest, NameLeavingTheWorkspaceIsRefusedBeforeAnyWrite) {
  for (const char* name : {"..\\evil.txt", "C:\\evil.txt", "\\evil.txt", "Sub\\..\\..\\evil.txt"}) {
    fake.windows.messageBoxes.clear();
    SetManifest(std::string("Setup.msi;") + name);
    fake.resources.SetData(3001, "msi");
    fake.resources.SetData(3002, "evil");

    EXPECT_EQ(ExtractUntilFatal(), 161u) << name;

    EXPECT_EQ(MessageText(), u"Unpacking " + Utf8ToUtf16(name) +
                                 u" failed with error 161: The specified path is invalid.\r\n");
    EXPECT_EQ(fake.CallCount("CreateFileW"), 0);
  }
  EXPECT_FALSE(fake.files.Exists(u"C:\\Users\\Jane Doe\\evil.txt"));
  EXPECT_FALSE(fake.files.Exists(u"C:\\evil.txt"));
}

TEST_F(ExtractPayloadTest, Utf8NamesAreDecodedAndInvalidBytesRefused) {
  SetManifest("Caf\xC3\xA9\\\xE6\x97\xA5.txt");
  fake.resources.SetData(3001, "ok");
  EXPECT_TRUE(Extract());
  EXPECT_EQ(fake.files.Content(kWorkspace + u"Caf\u00E9\\\u65E5.txt"), "ok");

  fake.files.AddFile(kWorkspace + u"kept.txt", "kept");
  SetManifest("Caf\xE9.txt");
  EXPECT_EQ(ExtractUntilFatal(), 1113u);
  EXPECT_EQ(MessageText().substr(0, 57),
            u"Reading the payload manifest failed with error 1113: Unkn");
  EXPECT_EQ(fake.CallCount("CreateFileW"), 1);
}

TEST_F(ExtractPayloadTest, ManifestWithoutNulEndsWithTheResource) {
  fake.resources.SetData(IDR_PAYLOAD_MANIFEST, "a;b");
  fake.resources.SetData(3001, "1");
  fake.resources.SetData(3002, "2");

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.Content(kWorkspace + u"b"), "2");
}

TEST_F(ExtractPayloadTest, LargeFileIsWrittenInMebibyteChunksAdvancingInKibibytes) {
  const std::string bytes = Pattern(2500000);
  SetManifest("big.bin");
  fake.resources.SetData(3001, bytes);

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.writeSizes, (std::vector<uint32_t>{1048576, 1048576, 402848}));
  EXPECT_EQ(fake.files.Content(kWorkspace + u"big.bin"), bytes);
  EXPECT_EQ(Progress().rangeHigh, 2441);
  EXPECT_EQ(Progress().position, 1024 + 1024 + 393);
  EXPECT_EQ(Progress().step, 393);
  EXPECT_EQ(fake.CallCount("PBM_STEPIT"), 3);
}

TEST_F(ExtractPayloadTest, EmptyFileIsOneWriteOfNothing) {
  SetManifest("empty.txt");
  fake.resources.SetData(3001, "");

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.writeSizes, std::vector<uint32_t>{0});
  EXPECT_TRUE(fake.files.Exists(kWorkspace + u"empty.txt"));
  EXPECT_EQ(fake.CallCount("PBM_SETSTEP"), 1);
  EXPECT_EQ(fake.CallCount("PBM_STEPIT"), 1);
  EXPECT_EQ(Progress().step, 0);
}

TEST_F(ExtractPayloadTest, ShortWritesContinueWhereTheyStopped) {
  const std::string bytes = Pattern(1000000);
  SetManifest("part.bin");
  fake.resources.SetData(3001, bytes);
  fake.files.writeLimit = 300000;

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.writeSizes, (std::vector<uint32_t>{1000000, 700000, 400000, 100000}));
  EXPECT_EQ(fake.files.Content(kWorkspace + u"part.bin"), bytes);
  // Each call loses its fraction of a step: the bar stops short, never past.
  EXPECT_EQ(Progress().position, 3 * 292 + 97);
  EXPECT_EQ(Progress().rangeHigh, 976);
}

TEST_F(ExtractPayloadTest, FullDiskClosesTheFileAndEndsWithItsCode) {
  SetManifest("Setup.msi;big.bin");
  fake.resources.SetData(3001, "msi");
  fake.resources.SetData(3002, Pattern(3000000));
  fake.files.freeBytes = 2000000;
  int openAtMessage = -1;
  int loadedAtMessage = -1;
  fake.windows.onMessageBox = [&](const FakeWindows::MessageBoxShown&) {
    openAtMessage = fake.files.OpenHandles();
    loadedAtMessage = fake.resources.loaded;
  };

  EXPECT_EQ(ExtractUntilFatal(), platform::kErrorDiskFull);

  EXPECT_EQ(MessageText(),
            u"WriteFile failed with error 112: There is not enough space on the disk.\r\n");
  EXPECT_EQ(openAtMessage, 0);
  EXPECT_EQ(loadedAtMessage, 1);  // only the manifest
  // What was written stays for the next run to remove.
  EXPECT_EQ(fake.files.Content(kWorkspace + u"Setup.msi"), "msi");
}

TEST_F(ExtractPayloadTest, WriteThatMakesNoProgressEndsInsteadOfLooping) {
  SetManifest("stuck.bin");
  fake.resources.SetData(3001, "content");
  fake.files.writeLimit = 0;

  EXPECT_EQ(ExtractUntilFatal(), 29u);

  EXPECT_EQ(
      MessageText(),
      u"WriteFile failed with error 29: The system cannot write to the specified device.\r\n");
  EXPECT_EQ(fake.CallCount("WriteFile"), 1);
}

TEST_F(ExtractPayloadTest, LeftoverWorkspaceThatCannotBeRemovedStopsAtCreateDirectory) {
  SetManifest("a");
  fake.resources.SetData(3001, "a");
  fake.files.AddFile(kWorkspace + u"locked.txt", "locked");
  fake.files.SetReadOnly(kWorkspace + u"locked.txt");

  EXPECT_EQ(ExtractUntilFatal(), platform::kErrorAlreadyExists);
  EXPECT_EQ(MessageText().substr(0, 42), u"CreateDirectory failed with error 183: Can");
}

TEST_F(ExtractPayloadTest, FileStandingWhereAFolderShouldBeStopsAtCreateFile) {
  SetManifest("Sub;Sub\\x.bin");
  fake.resources.SetData(3001, "file");
  fake.resources.SetData(3002, "x");

  EXPECT_EQ(ExtractUntilFatal(), platform::kErrorPathNotFound);
  EXPECT_EQ(MessageText().substr(0, 33), u"CreateFile failed with error 3: T");
}

TEST_F(ExtractPayloadTest, WithoutTemporaryFolderNothingIsWrittenToTheCurrentFolder) {
  SetManifest("Setup.msi");
  fake.resources.SetData(3001, "msi");

  EXPECT_EQ(ExitCodeOf([&] { ExtractPayload(state, fake.os, WString()); }),
            platform::kErrorPathNotFound);

  EXPECT_EQ(MessageText().substr(0, 33), u"GetTempPath failed with error 3: ");
  EXPECT_EQ(fake.CallCount("CreateFileW"), 0);
}

TEST_F(ExtractPayloadTest, WithoutProgressBarEveryFileIsStillWritten) {
  state.mainWindow = fake.windows.MakeDialog(IDD_LAUNCHER);
  SetManifest("a;b");
  fake.resources.SetData(3001, "1");
  fake.resources.SetData(3002, "2");

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.Content(kWorkspace + u"b"), "2");
  EXPECT_EQ(fake.CallCount("PBM_SETRANGE32") + fake.CallCount("PBM_SETSTEP"), 0);
}

TEST_F(ExtractPayloadTest, StopRequestEndsBetweenChunksWithTheFileClosed) {
  SetManifest("big.bin;later.bin");
  fake.resources.SetData(3001, Pattern(3000000));
  fake.resources.SetData(3002, "later");
  fake.world.onCall = [&](const std::string& operation) {
    if (operation == "WriteFile") state.cancelRequested = true;
  };

  EXPECT_FALSE(Extract());

  EXPECT_EQ(fake.CallCount("WriteFile"), 1);
  EXPECT_FALSE(fake.files.Exists(kWorkspace + u"later.bin"));
  EXPECT_EQ(fake.files.OpenHandles(), 0);
  EXPECT_EQ(fake.resources.loaded, 0);
  EXPECT_TRUE(fake.windows.messageBoxes.empty());
  // Nothing holds the workspace any more, so the main thread removes it all.
  fake.world.onCall = nullptr;
  DeleteDirectoryTree(fake.os, kWorkspace);
  EXPECT_FALSE(fake.files.Exists(kWorkspace));
}

}  // namespace
