#include "install/payload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

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

  // The manifest as the product build stores it, with its NUL, and the
  // items' bytes as resources 3001, 3002, ... in manifest order.
  void SetPayload(const std::string& manifest, std::initializer_list<std::string> items = {}) {
    fake.resources.SetData(IDR_PAYLOAD_MANIFEST, manifest + std::string(1, '\0'));
    uint32_t id = 3001;
    for (const std::string& bytes : items) fake.resources.SetData(id++, bytes);
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

  // Lays every data block into the program's file behind a header, as the
  // product build does, so that the unpacking reads them from there.
  void StoreResourcesInProgramFile() {
    std::string image(4096, 'M');
    for (const auto& [id, bytes] : fake.resources.data()) {
      fake.resources.fileOffsets[id] = image.size();
      image += bytes;
    }
    fake.files.AddFile(fake.resources.programPath, image);
  }

  FakePlatform fake;
  LauncherState state;
};

TEST_F(ExtractPayloadTest, EmptyItemsTakeNoResourceId) {
  SetPayload("a;;b;", {"first", "second"});

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
    SetPayload(manifest);
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
  SetPayload("Sub\\Deeper\\file.bin;Setup.msi;Sub\\other.bin", {"deep", "msi", "other"});

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.Content(kWorkspace + u"Sub\\Deeper\\file.bin"), "deep");
  EXPECT_EQ(fake.files.Content(kWorkspace + u"Setup.msi"), "msi");
  EXPECT_EQ(fake.files.Content(kWorkspace + u"Sub\\other.bin"), "other");
  // The workspace itself, then Sub and Deeper; Sub exists already for the third.
  EXPECT_EQ(fake.CallCount("CreateDirectoryW"), 3);
}

TEST_F(ExtractPayloadTest, NameListedTwiceKeepsTheLaterContentAndCountsTwice) {
  SetPayload("x.bin;x.bin", {std::string(2000, 'a'), std::string(2000, 'b')});

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.Content(kWorkspace + u"x.bin"), std::string(2000, 'b'));
  EXPECT_EQ(Progress().rangeHigh, 3);  // 4000 bytes
}

TEST_F(ExtractPayloadTest, MissingResourceEndsTheProgramBeforeAnyWrite) {
  SetPayload("a;b;c", {"a", "b"});
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
    SetPayload(std::string("Setup.msi;") + name, {"msi", "evil"});

    EXPECT_EQ(ExtractUntilFatal(), 161u) << name;

    EXPECT_EQ(MessageText(), u"Unpacking " + Utf8ToUtf16(name) +
                                 u" failed with error 161: The specified path is invalid.\r\n");
    EXPECT_EQ(fake.CallCount("CreateFileW"), 0);
  }
  EXPECT_FALSE(fake.files.Exists(u"C:\\Users\\Jane Doe\\evil.txt"));
  EXPECT_FALSE(fake.files.Exists(u"C:\\evil.txt"));
}

TEST_F(ExtractPayloadTest, Utf8NamesAreDecodedAndInvalidBytesRefused) {
  SetPayload("Caf\xC3\xA9\\\xE6\x97\xA5.txt", {"ok"});
  EXPECT_TRUE(Extract());
  EXPECT_EQ(fake.files.Content(kWorkspace + u"Caf\u00E9\\\u65E5.txt"), "ok");

  fake.files.AddFile(kWorkspace + u"kept.txt", "kept");
  SetPayload("Caf\xE9.txt");
  EXPECT_EQ(ExtractUntilFatal(), 1113u);
  EXPECT_EQ(MessageText().substr(0, 57),
            u"Reading the payload manifest failed with error 1113: Unkn");
  EXPECT_EQ(fake.CallCount("CreateFileW"), 1);
}

TEST_F(ExtractPayloadTest, ManifestWithoutNulEndsWithTheResource) {
  SetPayload("a;b", {"1", "2"});
  fake.resources.SetData(IDR_PAYLOAD_MANIFEST, "a;b");

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.Content(kWorkspace + u"b"), "2");
}

TEST_F(ExtractPayloadTest, LargeFileIsWrittenInMebibyteChunks) {
  const std::string bytes = Pattern(2500000);
  SetPayload("big.bin", {bytes});

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.writeSizes, (std::vector<uint32_t>{1048576, 1048576, 402848}));
  EXPECT_EQ(fake.files.Content(kWorkspace + u"big.bin"), bytes);
}

// What the worker hands the window: positions in whole KiB of the bytes
// written so far, posted at most once per interval of the tick count, the
// last one filling the bar however the bytes were split into files and
// writes.
TEST_F(ExtractPayloadTest, ProgressIsPostedAtMostOncePerIntervalAndEndsFull) {
  struct Case {
    const char* what;
    uint32_t millisecondsPerWrite;
    std::optional<uint32_t> writeLimit;
    std::vector<int32_t> expected;  // empty: one post per write
  };
  // 20 MiB in two files and 3000 bytes in a third: 20482 whole KiB.
  const std::vector<Case> cases = {
      {"instant writes post only the end", 0, std::nullopt, {20482}},
      {"5 ms writes post every fourth", 5, std::nullopt, {4096, 8192, 12288, 16384, 20480, 20482}},
      {"slow short writes post each", 20, 300000, {}},
  };
  SetPayload("a.bin;Sub\\b.bin;c.txt",
             {Pattern(12 * 1048576), Pattern(8 * 1048576), Pattern(3000)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    state.mainWindow = fake.windows.MakeDialog(IDD_INSTALLER);
    fake.files.writeSizes.clear();
    fake.files.writeLimit = c.writeLimit;
    fake.world.onCall = [&](const std::string& operation) {
      if (operation == "WriteFile") fake.process.tickCount += c.millisecondsPerWrite;
    };

    EXPECT_TRUE(Extract());

    const std::vector<int32_t>& posted = Progress().postedPositions;
    EXPECT_EQ(Progress().rangeHigh, 20482);
    if (c.expected.empty()) {
      EXPECT_EQ(posted.size(), fake.files.writeSizes.size());
      EXPECT_TRUE(std::is_sorted(posted.begin(), posted.end()));
    } else {
      EXPECT_EQ(posted, c.expected);
    }
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.back(), 20482);
  }
}

TEST_F(ExtractPayloadTest, BytesAreReadFromTheProgramFileWhenTheyLieThere) {
  const std::string big = Pattern(2500000);
  SetPayload("big.bin;Sub\\small.txt;empty.txt", {big, "small", ""});
  StoreResourcesInProgramFile();
  fake.files.writeLimit = 700000;

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.Content(kWorkspace + u"big.bin"), big);
  EXPECT_EQ(fake.files.Content(kWorkspace + u"Sub\\small.txt"), "small");
  EXPECT_EQ(fake.files.Content(kWorkspace + u"empty.txt"), "");
  EXPECT_EQ(fake.CallCount("ReadFile"), 3 + 1);  // 1 MiB, 1 MiB, the rest; "small"
  EXPECT_EQ(fake.files.OpenHandles(), 0);
  EXPECT_EQ(Progress().position, Progress().rangeHigh);
}

TEST_F(ExtractPayloadTest, ProgramFileThatCannotBeReadFromTheStartFallsBackToTheMapping) {
  for (const std::string failing : {"GetModuleFileNameW", "CreateFileW", "SetFilePointerEx"}) {
    SCOPED_TRACE(failing);
    SetPayload("data.bin", {"mapped bytes"});
    StoreResourcesInProgramFile();
    fake.FailNext(failing, platform::kErrorAccessDenied);

    EXPECT_TRUE(Extract());

    EXPECT_EQ(fake.files.Content(kWorkspace + u"data.bin"), "mapped bytes");
    EXPECT_EQ(fake.files.OpenHandles(), 0);
  }
}

TEST_F(ExtractPayloadTest, FailedOrEarlyEndingReadEndsWithItsCodeAndEveryHandleClosed) {
  struct Case {
    const char* what;
    uint32_t expectedCode;
  };
  for (const Case& c : {Case{"read fails", 23}, Case{"file ends early", 38}}) {
    SCOPED_TRACE(c.what);
    fake.windows.messageBoxes.clear();
    SetPayload("data.bin", {Pattern(3000000)});
    StoreResourcesInProgramFile();
    if (c.expectedCode == 23) {
      fake.FailNext("ReadFile", 23, -1);
    } else {
      // The program's file lost its end since it was loaded.
      fake.files.AddFile(fake.resources.programPath, std::string(4096 + 1500000, 'x'));
    }
    int openAtMessage = -1;
    fake.windows.onMessageBox = [&](const FakeWindows::MessageBoxShown&) {
      openAtMessage = fake.files.OpenHandles();
    };

    EXPECT_EQ(ExtractUntilFatal(), c.expectedCode);

    EXPECT_EQ(MessageText().substr(0, 31),
              u"ReadFile failed with error " + DecimalText(c.expectedCode) + u": ");
    EXPECT_EQ(openAtMessage, 0);
    fake.world.faults.erase("ReadFile");
  }
}

TEST_F(ExtractPayloadTest, EmptyFileIsOneWriteOfNothing) {
  SetPayload("empty.txt", {""});

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.writeSizes, std::vector<uint32_t>{0});
  EXPECT_TRUE(fake.files.Exists(kWorkspace + u"empty.txt"));
  EXPECT_EQ(fake.CallCount("PBM_SETPOS"), 0);  // nothing to show
}

TEST_F(ExtractPayloadTest, ShortWritesContinueWhereTheyStopped) {
  const std::string bytes = Pattern(1000000);
  SetPayload("part.bin", {bytes});
  fake.files.writeLimit = 300000;

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.writeSizes, (std::vector<uint32_t>{1000000, 700000, 400000, 100000}));
  EXPECT_EQ(fake.files.Content(kWorkspace + u"part.bin"), bytes);
  // The bar counts bytes, not calls: no call's fraction of a KiB is lost.
  EXPECT_EQ(Progress().position, 976);
  EXPECT_EQ(Progress().rangeHigh, 976);
}

TEST_F(ExtractPayloadTest, FullDiskClosesTheFileAndEndsWithItsCode) {
  SetPayload("Setup.msi;big.bin", {"msi", Pattern(3000000)});
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
  SetPayload("stuck.bin", {"content"});
  fake.files.writeLimit = 0;

  EXPECT_EQ(ExtractUntilFatal(), 29u);

  EXPECT_EQ(
      MessageText(),
      u"WriteFile failed with error 29: The system cannot write to the specified device.\r\n");
  EXPECT_EQ(fake.CallCount("WriteFile"), 1);
}

TEST_F(ExtractPayloadTest, LeftoverWorkspaceThatCannotBeRemovedStopsAtCreateDirectory) {
  SetPayload("a", {"a"});
  fake.files.AddFile(kWorkspace + u"locked.txt", "locked");
  fake.files.SetReadOnly(kWorkspace + u"locked.txt");

  EXPECT_EQ(ExtractUntilFatal(), platform::kErrorAlreadyExists);
  EXPECT_EQ(MessageText().substr(0, 42), u"CreateDirectory failed with error 183: Can");
}

TEST_F(ExtractPayloadTest, FileStandingWhereAFolderShouldBeStopsAtCreateFile) {
  SetPayload("Sub;Sub\\x.bin", {"file", "x"});

  EXPECT_EQ(ExtractUntilFatal(), platform::kErrorPathNotFound);
  EXPECT_EQ(MessageText().substr(0, 33), u"CreateFile failed with error 3: T");
}

TEST_F(ExtractPayloadTest, WithoutTemporaryFolderNothingIsWrittenToTheCurrentFolder) {
  SetPayload("Setup.msi", {"msi"});

  EXPECT_EQ(ExitCodeOf([&] { ExtractPayload(state, fake.os, WString()); }),
            platform::kErrorPathNotFound);

  EXPECT_EQ(MessageText().substr(0, 33), u"GetTempPath failed with error 3: ");
  EXPECT_EQ(fake.CallCount("CreateFileW"), 0);
}

TEST_F(ExtractPayloadTest, WithoutProgressBarEveryFileIsStillWritten) {
  state.mainWindow = fake.windows.MakeDialog(IDD_LAUNCHER);
  SetPayload("a;b", {"1", "2"});

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.Content(kWorkspace + u"b"), "2");
  EXPECT_EQ(fake.CallCount("PBM_SETRANGE32") + fake.CallCount("PBM_SETPOS"), 0);
}

TEST_F(ExtractPayloadTest, StopRequestEndsBetweenChunksWithTheFileClosed) {
  SetPayload("big.bin;later.bin", {Pattern(3000000), "later"});
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
