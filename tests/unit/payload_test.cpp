#include "install/payload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "fake_platform.h"
#include "install/chunk_source.h"
#include "install/disk_room.h"
#include "install/progress_report.h"
#include "install/workspace.h"
#include "launcher.h"
#include "payload/checksum.h"
#include "payload/sha256.h"
#include "payload/table.h"
#include "resource_ids.h"

namespace {

// Bytes that differ from one offset to the next, so a misplaced chunk shows.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

uint64_t Checksum(const std::string& bytes) {
  payload::Checksum checksum;
  checksum.Add(bytes.data(), bytes.size());
  return checksum.Value();
}

payload::Sha256Digest Sha256Of(const std::string& bytes) {
  payload::Sha256 digest;
  digest.Add(bytes.data(), bytes.size());
  return digest.Finish();
}

std::string AsText(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// One file of a payload with a table, and whether its bytes are in the data
// after the exe and in the volumes or in a resource of its own.
struct TabledItem {
  std::string name;
  std::string bytes;
  bool inStream = true;
};

class ExtractPayloadTest : public ::testing::Test {
 protected:
  ExtractPayloadTest() {
    fake.files.AddFolder(kTempFolder);
    state.mainWindow = fake.windows.MakeDialog(IDD_INSTALLER);
    fake.process.errorTexts[29] = u"The system cannot write to the specified device.\r\n";
    fake.process.errorTexts[161] = u"The specified path is invalid.\r\n";
    fake.process.errorTexts[13] = u"The data is invalid.\r\n";
    fake.process.errorTexts[21] = u"The device is not ready.\r\n";
    fake.process.errorTexts[23] = u"Data error (cyclic redundancy check).\r\n";
    fake.process.errorTexts[38] = u"Reached the end of the file.\r\n";
    fake.windows.onMessageBox = [this](const FakeWindows::MessageBoxShown&) {
      openAtMessage = fake.files.OpenHandles();
    };
    state.packagePath = u"Setup.msi";
    // The fatal error reporter removes the workspace of the active launcher.
    SetActiveLauncher(&launcher);
  }
  ~ExtractPayloadTest() override { SetActiveLauncher(nullptr); }

  // The manifest as the product build stores it, with its NUL, and the
  // items' bytes as resources 3001, 3002, ... in manifest order.
  void SetPayload(const std::string& manifest, std::initializer_list<std::string> items = {}) {
    fake.resources.SetData(IDR_PAYLOAD_MANIFEST, manifest + std::string(1, '\0'));
    uint32_t id = 3001;
    for (const std::string& bytes : items) fake.resources.SetData(id++, bytes);
  }

  bool Extract() { return ExtractPayload(state, fake.os); }

  // Starts another run in the same fixture, from the same random bytes.
  void NextRun() {
    fake.world.onCall = nullptr;
    RemoveWorkspace(state, fake.os);
    state.workspaceRemoved = false;
    state.packagePath = u"Setup.msi";
    fake.process.nextRandomByte = 0;
    fake.windows.messageBoxes.clear();
  }

  // Ends the run as the program does, and checks that the workspace went
  // with everything it held.
  void RemoveAndCheckNothingIsLeft() {
    fake.world.onCall = nullptr;
    RemoveWorkspace(state, fake.os);
    EXPECT_FALSE(fake.files.Exists(kWorkspace));
    EXPECT_EQ(fake.files.OpenHandles(), 0);
  }

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

  // Lays the payload out as the product build does with a table: resource
  // items in resources 3001, ... by their place in the manifest, the others
  // one after another in one stream cut into the exe's data and the volumes
  // (`dataSizes`: the exe's first, then volume 1's, ...). The table stays in
  // `table` for a test to change and store again.
  void SetTabledPayload(const std::vector<TabledItem>& items,
                        const std::vector<size_t>& dataSizes) {
    std::string manifest;
    std::string stream;
    table = payload::Table();
    table.buildId = payload::BuildId(payload::kBuildIdBytes, 0x5A);
    for (size_t index = 0; index < items.size(); ++index) {
      const TabledItem& item = items[index];
      manifest += item.name + ";";
      payload::Item record;
      record.size = item.bytes.size();
      record.checksum = Checksum(item.bytes);
      if (item.inStream) {
        record.place = payload::Place::kData;
        uint64_t at = stream.size();
        while (record.file + 1 < dataSizes.size() && at >= dataSizes[record.file]) {
          at -= dataSizes[record.file++];
        }
        record.offset = (record.file == 0 ? kExeDataOffset : 0) + at;
        stream += item.bytes;
      } else {
        fake.resources.SetData(static_cast<uint32_t>(IDR_PAYLOAD_FIRST + index), item.bytes);
      }
      table.items.push_back(record);
    }
    SetPayload(manifest);
    table.manifestChecksum = Checksum(manifest);
    table.exeDataOffset = kExeDataOffset;
    table.exeDataSize = dataSizes[0];
    fake.files.AddFile(fake.resources.programPath,
                       std::string(kExeDataOffset, 'M') + stream.substr(0, dataSizes[0]));
    volumeData.clear();
    size_t taken = dataSizes[0];
    for (size_t n = 1; n < dataSizes.size(); taken += dataSizes[n++]) {
      table.volumeDataSizes.push_back(dataSizes[n]);
      volumeData.push_back(stream.substr(taken, dataSizes[n]));
      table.volumeDigests.push_back(Sha256Of(volumeData.back()));
    }
    ASSERT_EQ(taken, stream.size());
    for (uint32_t n = 1; n <= volumeData.size(); ++n) StoreVolume(n, TrailerOf(n));
    StoreTable();
  }
  void StoreTable() {
    fake.resources.SetData(IDR_PAYLOAD_TABLE, AsText(payload::EncodeTable(table)));
  }
  payload::VolumeTrailer TrailerOf(uint32_t number) const {
    payload::VolumeTrailer trailer;
    trailer.number = number;
    trailer.count = static_cast<uint32_t>(table.volumeDataSizes.size());
    trailer.buildId = table.buildId;
    trailer.dataSize = table.volumeDataSizes[number - 1];
    return trailer;
  }
  // Volume `number`'s file: the volume's data, then `trailer`.
  void StoreVolume(uint32_t number, const payload::VolumeTrailer& trailer) {
    fake.files.AddFile(VolumePath(number),
                       volumeData[number - 1] + AsText(payload::EncodeVolumeTrailer(trailer)));
  }
  WString VolumePath(uint32_t number) const {
    const WString& program = fake.resources.programPath;
    return program.substr(0, program.rfind(u'\\') + 1) + u"Installer-" +
           DecimalText(static_cast<int32_t>(number)) + u".bin";
  }
  // Changes one byte of a file in the fake file system.
  void FlipByte(const WString& path, size_t offset) {
    std::string content = fake.files.Content(path);
    content.at(offset) ^= 0x01;
    fake.files.AddFile(path, content);
  }
  static constexpr size_t kExeDataOffset = 8192;
  FakePlatform fake;
  LauncherState state;
  Launcher launcher{state, fake.os};
  payload::Table table;
  std::vector<std::string> volumeData;  // volume n's at [n - 1]
  int openAtMessage = -1;               // the open handles when the error box appeared
};

TEST_F(ExtractPayloadTest, EmptyItemsTakeNoResourceId) {
  SetPayload("a;;b;", {"first", "second"});

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.Content(kWorkspace + u"a"), "first");
  EXPECT_EQ(fake.files.Content(kWorkspace + u"b"), "second");
  EXPECT_EQ(fake.files.ListTree(kWorkspace).size(), 2u);
  EXPECT_EQ(state.workspaceDir, kWorkspace);
  EXPECT_EQ(state.packagePath, kWorkspace + u"Setup.msi");
  EXPECT_EQ(fake.resources.loaded, 0);
  // Held until the installer has run: the workspace and both files.
  EXPECT_EQ(fake.files.OpenHandles(), 3);
  RemoveAndCheckNothingIsLeft();
}

TEST_F(ExtractPayloadTest, EmptyManifestStillMakesAnEmptyWorkspace) {
  SetPayload(";");
  Progress().rangeHigh = 100;

  EXPECT_TRUE(Extract());

  EXPECT_TRUE(fake.files.IsFolder(kWorkspace));
  EXPECT_TRUE(fake.files.ListTree(kWorkspace).empty());
  EXPECT_EQ(Progress().rangeLow, 0);
  EXPECT_EQ(Progress().rangeHigh, 0);
  EXPECT_EQ(fake.CallCount("WriteFile"), 0);
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

// Every file is created new: a name listed twice, or a file where a folder
// goes, finds what this run made there and ends the run, which removes it.
TEST_F(ExtractPayloadTest, NothingIsWrittenOverWhatStandsThereAlready) {
  struct Case {
    const char* manifest;
    uint32_t code;
    const char16_t* what;
  };
  for (const Case& c :
       {Case{"x.bin;x.bin", platform::kErrorFileExists, u"CreateFile"},
        Case{"Sub;Sub\\x.bin", platform::kErrorAlreadyExists, u"CreateDirectory"}}) {
    FakePlatform fake;
    LauncherState state;
    Launcher launcher{state, fake.os};
    SetActiveLauncher(&launcher);
    fake.files.AddFolder(kTempFolder);
    fake.resources.SetData(IDR_PAYLOAD_MANIFEST, c.manifest + std::string(1, '\0'));
    fake.resources.SetData(3001, "first");
    fake.resources.SetData(3002, "second");

    EXPECT_EQ(ExitCodeOf([&] { ExtractPayload(state, fake.os); }), c.code) << c.manifest;

    ASSERT_EQ(fake.windows.messageBoxes.size(), 1u);
    EXPECT_EQ(
        fake.windows.messageBoxes[0].text.substr(0, std::char_traits<char16_t>::length(c.what)),
        c.what);
    EXPECT_FALSE(fake.files.Exists(kWorkspace)) << c.manifest;
    EXPECT_EQ(fake.files.OpenHandles(), 0);
  }
}

TEST_F(ExtractPayloadTest, MissingResourceEndsTheProgramBeforeTheWorkspaceIsMade) {
  SetPayload("a;b;c", {"a", "b"});

  EXPECT_EQ(ExtractUntilFatal(), platform::kErrorResourceNameNotFound);

  EXPECT_EQ(MessageText(),
            u"FindResource failed trying to find resource ID 3003 failed with error 1814: The "
            u"specified resource name cannot be found in the image file.\r\n");
  EXPECT_EQ(fake.CallCount("CreateFileW"), 0);
  EXPECT_EQ(fake.CallCount("CreateDirectoryW"), 0);
  EXPECT_TRUE(fake.files.ListTree(kTempFolder).empty());
}

TEST_F(ExtractPayloadTest, MissingManifestEndsTheProgram) {
  EXPECT_EQ(ExtractUntilFatal(), platform::kErrorResourceNameNotFound);
  EXPECT_EQ(MessageText().substr(0, 37), u"FindResource failed with error 1814: ");
}

TEST_F(ExtractPayloadTest, NameLeavingTheWorkspaceIsRefusedBeforeAnyWrite) {
  for (const char* name : {"..\\evil.txt", "C:\\evil.txt", "\\evil.txt", "Sub\\..\\..\\evil.txt"}) {
    NextRun();
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
  NextRun();

  const int filesOpened = fake.CallCount("CreateFileW");
  SetPayload("Caf\xE9.txt");
  EXPECT_EQ(ExtractUntilFatal(), 1113u);
  EXPECT_EQ(MessageText().substr(0, 57),
            u"Reading the payload manifest failed with error 1113: Unkn");
  EXPECT_EQ(fake.CallCount("CreateFileW"), filesOpened);
}

TEST_F(ExtractPayloadTest, ManifestWithoutNulEndsWithTheResource) {
  SetPayload("a;b", {"1", "2"});
  fake.resources.SetData(IDR_PAYLOAD_MANIFEST, "a;b");

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.Content(kWorkspace + u"b"), "2");
}

TEST_F(ExtractPayloadTest, LargeFileIsWrittenInWholeChunks) {
  constexpr uint32_t kChunk = ChunkSource::kChunkBytes;
  const std::string bytes = Pattern(2 * kChunk + 1000);
  SetPayload("big.bin", {bytes});

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.writeSizes, (std::vector<uint32_t>{kChunk, kChunk, 1000}));
  EXPECT_EQ(fake.files.Content(kWorkspace + u"big.bin"), bytes);
}

// Positions in KiB after every fourth whole chunk up to `lastWhole`, then
// `end`.
std::vector<int32_t> EveryFourthChunkAndTheEnd(int32_t lastWhole, int32_t end) {
  const int32_t step = static_cast<int32_t>(4 * ChunkSource::kChunkBytes / 1024);
  std::vector<int32_t> positions;
  for (int32_t position = step; position <= lastWhole; position += step)
    positions.push_back(position);
  positions.push_back(end);
  return positions;
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
      {"5 ms writes post every fourth", 5, std::nullopt, EveryFourthChunkAndTheEnd(20480, 20482)},
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

// 12 GiB in 1 MiB writes, 5 ms each: the range and every position stay in
// whole KiB past the 32 bits of bytes, rise steadily and end full.
TEST_F(ExtractPayloadTest, ProgressOfAPayloadPastFourGibibytesRisesSteadilyAndEndsFull) {
  state.mainWindow = fake.windows.MakeDialog(IDD_INSTALLER);
  const uint64_t total = uint64_t{12} << 30;
  ProgressReport progress(fake.os, fake.windows.DialogItem(state.mainWindow, IDC_PROGRESS), total);
  for (uint64_t written = 0; written < total; written += 1048576) {
    fake.process.tickCount += 5;
    progress.Add(1048576);
  }
  progress.Finish();
  const std::vector<int32_t>& posted = Progress().postedPositions;
  EXPECT_EQ(Progress().rangeHigh, 12 * 1024 * 1024);
  ASSERT_GT(posted.size(), 3000u);
  EXPECT_TRUE(std::is_sorted(posted.begin(), posted.end()));
  for (size_t index = 1; index < posted.size(); ++index)
    ASSERT_LE(posted[index] - posted[index - 1], 4 * 1024) << "a jump at " << index;
  EXPECT_EQ(posted.back(), 12 * 1024 * 1024);
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
  // Whole chunks and the rest of big.bin, then "small".
  const int wholeChunks = 2500000 / ChunkSource::kChunkBytes;
  EXPECT_EQ(fake.CallCount("ReadFile"), wholeChunks + 1 + 1);
  EXPECT_EQ(Progress().position, Progress().rangeHigh);
  RemoveAndCheckNothingIsLeft();
}

TEST_F(ExtractPayloadTest, ProgramFileThatCannotBeReadFromTheStartFallsBackToTheMapping) {
  for (const std::string failing : {"GetModuleFileNameW", "the file is gone", "SetFilePointerEx"}) {
    SCOPED_TRACE(failing);
    NextRun();
    SetPayload("data.bin", {"mapped bytes"});
    StoreResourcesInProgramFile();
    if (failing == "the file is gone") {
      fake.files.RemoveFile(fake.resources.programPath);
    } else {
      fake.FailNext(failing, platform::kErrorAccessDenied);
    }

    EXPECT_TRUE(Extract());

    EXPECT_EQ(fake.files.Content(kWorkspace + u"data.bin"), "mapped bytes");
    RemoveAndCheckNothingIsLeft();
  }
}

TEST_F(ExtractPayloadTest, FailedOrEarlyEndingReadEndsWithItsCodeAndEveryHandleClosed) {
  struct Case {
    const char* what;
    uint32_t expectedCode;
  };
  for (const Case& c : {Case{"read fails", 23}, Case{"file ends early", 38}}) {
    SCOPED_TRACE(c.what);
    NextRun();
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
  constexpr uint32_t kChunk = ChunkSource::kChunkBytes;
  const std::string bytes = Pattern(kChunk + 30000);
  SetPayload("part.bin", {bytes});
  const uint32_t limit = kChunk / 3 + 1;
  fake.files.writeLimit = limit;

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.writeSizes,
            (std::vector<uint32_t>{kChunk, kChunk - limit, kChunk - 2 * limit, 30000}));
  EXPECT_EQ(fake.files.Content(kWorkspace + u"part.bin"), bytes);
  // The bar counts bytes, not calls: no call's fraction of a KiB is lost.
  const int32_t kib = static_cast<int32_t>((kChunk + 30000) / 1024);
  EXPECT_EQ(Progress().position, kib);
  EXPECT_EQ(Progress().rangeHigh, kib);
}

// A temporary folder without room for the payload is found before a byte
// is written; a disk that another program fills while the files are
// written still ends the run with the write's own error.
TEST_F(ExtractPayloadTest, FullDiskEndsWithItsCodeBeforeAnyFileOrAtTheWrite) {
  const struct {
    const char* what;
    std::optional<uint64_t> reported;
    const char16_t* message;
  } cases[] = {
      {"no room", std::nullopt,
       u"Unpacking 3.9 MB to C:\\Users\\Jane Doe\\Temp\\ failed with error 112: There is not enough "
       u"space on the disk.\r\n"},
      {"filled meanwhile", uint64_t{10} << 30,
       u"WriteFile failed with error 112: There is not enough space on the disk.\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    NextRun();
    SetPayload("Setup.msi;big.bin", {"msi", Pattern(3000000)});
    fake.files.freeBytes = 2000000;
    fake.files.reportedFreeBytes = c.reported;
    int openAtMessage = -1;
    int loadedAtMessage = -1;
    fake.windows.onMessageBox = [&](const FakeWindows::MessageBoxShown&) {
      openAtMessage = fake.files.OpenHandles();
      loadedAtMessage = fake.resources.loaded;
    };

    EXPECT_EQ(ExtractUntilFatal(), platform::kErrorDiskFull);

    EXPECT_EQ(MessageText(), c.message);
    EXPECT_EQ(openAtMessage, 0);
    EXPECT_EQ(loadedAtMessage, 1);  // only the manifest
    // No later run would find this run's workspace: it went before the box.
    EXPECT_FALSE(fake.files.Exists(kWorkspace));
  }
}

TEST(DiskRoom, SizesAsWindowsShowsThemAndRoomForEachFilesLastCluster) {
  const struct {
    uint64_t bytes;
    const char16_t* text;
  } sizes[] = {
      {0, u"0.0 MB"},
      {52428, u"0.0 MB"},
      {52429, u"0.1 MB"},
      {4056771, u"3.9 MB"},
      {(uint64_t{1} << 30) - 1, u"1024.0 MB"},
      {uint64_t{1} << 30, u"1.0 GB"},
      {uint64_t{12288} << 20, u"12.0 GB"},
      {(uint64_t{123} << 30) / 10, u"12.3 GB"},
      {UINT64_MAX, u"17179869184.0 GB"},
  };
  for (const auto& size : sizes) EXPECT_EQ(SizeText(size.bytes), size.text) << size.bytes;
  EXPECT_EQ(RoomNeeded(3000003, 2), 3000003u + 2 * 4096 + (1u << 20));
  EXPECT_EQ(RoomNeeded(UINT64_MAX - 10, 5), UINT64_MAX);
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

// Whatever stands under the name the run draws first (a folder planted
// there, a link to somewhere else) is passed over and never touched: the run
// makes its own under the next name.
TEST_F(ExtractPayloadTest, ATakenWorkspaceNameIsPassedOverAndLeftAlone) {
  SetPayload("a;Sub\\b", {"a", "b"});
  fake.files.AddFile(kWorkspace + u"Sub\\b", "planted");
  fake.files.SetReadOnly(kWorkspace + u"Sub\\b");
  fake.files.AddFile(u"C:\\Saved Games\\save.dat", "progress");
  fake.files.AddLink(kWorkspace + u"Saves", u"C:\\Saved Games");

  EXPECT_TRUE(Extract());

  EXPECT_EQ(state.workspaceDir, kSecondWorkspace);
  EXPECT_EQ(fake.files.Content(kSecondWorkspace + u"Sub\\b"), "b");
  RemoveWorkspace(state, fake.os);
  EXPECT_FALSE(fake.files.Exists(kSecondWorkspace));
  EXPECT_EQ(fake.files.Content(kWorkspace + u"Sub\\b"), "planted");
  EXPECT_TRUE(fake.files.Exists(kWorkspace + u"Saves"));
  EXPECT_EQ(fake.files.Content(u"C:\\Saved Games\\save.dat"), "progress");
}

TEST_F(ExtractPayloadTest, WithoutTemporaryFolderNothingIsWrittenToTheCurrentFolder) {
  SetPayload("Setup.msi", {"msi"});
  fake.files.tempPathResult = 0;

  EXPECT_EQ(ExitCodeOf([&] { ExtractPayload(state, fake.os); }), platform::kErrorPathNotFound);

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
  EXPECT_FALSE(fake.files.IsHeld(kWorkspace + u"big.bin"));
  EXPECT_EQ(fake.resources.loaded, 0);
  EXPECT_TRUE(fake.windows.messageBoxes.empty());
  // The main thread removes it all, the half-written file too.
  RemoveAndCheckNothingIsLeft();
}

// With a table, each file comes from where the table puts it, however the
// stream is cut between the exe's data and the volumes, and is checked.
TEST_F(ExtractPayloadTest, TableSendsEachFileFromWhereItsBytesLie) {
  struct Case {
    const char* what;
    std::vector<TabledItem> items;
    std::vector<size_t> dataSizes;
  };
  const std::vector<Case> cases = {
      {"data after the exe",
       {{"Setup.msi", "msi", false},
        {"Data\\big.bin", Pattern(2500000)},
        {"small.txt", "small"},
        {"empty.txt", ""}},
       {2500005}},
      {"files crossing into each volume",
       {{"Setup.msi", "msi", false},
        {"a.bin", Pattern(1500000)},
        {"Data\\b.bin", Pattern(3000000)},
        {"c.txt", "tail"}},
       {1000000, 2000000, 1500004}},
      {"volumes only", {{"x.bin", Pattern(100000)}}, {0, 60000, 40000}},
      {"resources only", {{"Setup.msi", "msi", false}, {"a.cab", Pattern(5000), false}}, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NextRun();
    SetTabledPayload(c.items, c.dataSizes);
    fake.files.writeSizes.clear();
    fake.files.writeLimit = 700000;

    EXPECT_TRUE(Extract());

    for (const TabledItem& item : c.items) {
      EXPECT_EQ(fake.files.Content(kWorkspace + Utf8ToUtf16(item.name)), item.bytes) << item.name;
    }
    EXPECT_TRUE(std::all_of(fake.files.writeSizes.begin(), fake.files.writeSizes.end(),
                            [](uint32_t size) { return size <= 1048576; }));
    EXPECT_EQ(fake.resources.loaded, 0);
    EXPECT_EQ(Progress().position, Progress().rangeHigh);
    EXPECT_TRUE(fake.windows.messageBoxes.empty());
    RemoveAndCheckNothingIsLeft();
  }
}

// Files of the same content may share their bytes: the later one reads them
// again, crossing into the volume from its data start anew.
TEST_F(ExtractPayloadTest, FilesSharingTheirBytesAreEachWrittenWhole) {
  SetTabledPayload({{"a.bin", Pattern(1500000)}, {"b.bin", Pattern(1000000)}, {"copy.bin", ""}},
                   {1000000, 1500000});
  table.items[2] = table.items[0];
  StoreTable();

  EXPECT_TRUE(Extract());

  EXPECT_EQ(fake.files.Content(kWorkspace + u"copy.bin"), Pattern(1500000));
  EXPECT_EQ(fake.files.Content(kWorkspace + u"b.bin"), Pattern(1000000));
}

// A damaged byte anywhere in a file's bytes ends the unpacking at that file,
// before the installer could read it, and no later file is written.
TEST_F(ExtractPayloadTest, DamagedFileEndsWithVerifyingItsNameAndNothingAfter) {
  struct Case {
    const char* what;
    bool blobInStream;
    std::function<void()> damage;
  };
  const std::vector<Case> cases = {
      {"in the data after the exe", true,
       [&] { FlipByte(fake.resources.programPath, kExeDataOffset + 5 + 100); }},
      // The file ends before the volume does: its checksum tells first.
      {"in the second volume", true, [&] { FlipByte(VolumePath(2), 500); }},
      {"in its resource, last chunk", false,
       [&] {
         std::string bytes = Pattern(3000000);
         bytes.back() ^= 0x01;
         fake.resources.SetData(3002, bytes);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NextRun();
    std::vector<WString> workspaceAtMessage;
    fake.windows.onMessageBox = [&](const FakeWindows::MessageBoxShown&) {
      openAtMessage = fake.files.OpenHandles();
      workspaceAtMessage = fake.files.ListTree(kTempFolder);
    };
    SetTabledPayload(
        {{"first.txt", "first"},
         {"Data\\blob.bin", Pattern(3000000), c.blobInStream},
         {"later.txt", "later"}},
        c.blobInStream ? std::vector<size_t>{1000005, 1000000, 1000005} : std::vector<size_t>{10});
    c.damage();

    EXPECT_EQ(ExtractUntilFatal(), 23u);

    EXPECT_EQ(MessageText(),
              u"Verifying Data\\blob.bin failed with error 23: Data error (cyclic redundancy "
              u"check).\r\n");
    // The run removed what it made, the damaged file too, before it said so.
    EXPECT_EQ(openAtMessage, 0);
    EXPECT_EQ(workspaceAtMessage, std::vector<WString>());
  }
}

// A volume whose every file has the checksum the table gives, but whose
// bytes are not the ones the build wrote: its SHA-256, which the signed
// table holds, tells, before the installer could read a byte of it. So does
// a volume whose bytes no file reads whole, which no digest can vouch for.
TEST_F(ExtractPayloadTest, ForgedVolumeIsRefusedByItsDigest) {
  struct Case {
    const char* what;
    uint32_t volume;
  };
  for (const Case& c :
       {Case{"the first volume", 1}, Case{"the last volume", 2}, Case{"bytes no file reads", 2}}) {
    SCOPED_TRACE(c.what);
    NextRun();
    SetTabledPayload({{"Setup.msi", "msi", false}, {"a.bin", Pattern(300000)}, {"b.bin", "bb"}},
                     {100000, 150000, 50002});
    if (c.what == std::string("bytes no file reads")) {
      // b.bin, the last volume's last bytes, read from one byte on.
      table.items[2].offset += 1;
      table.items[2].size = 1;
      table.items[2].checksum = Checksum("b");
    } else {
      // The forger's bytes, with checksums to match in a table they could
      // not sign: the same as changing the digest the signed table holds.
      table.volumeDigests[c.volume - 1][0] ^= 0x01;
    }
    StoreTable();

    EXPECT_EQ(ExtractUntilFatal(), 23u);

    const WString expected =
        u"Verifying Installer-" + DecimalText(static_cast<int32_t>(c.volume)) + u".bin failed";
    EXPECT_EQ(MessageText().substr(0, expected.size()), expected);
    EXPECT_FALSE(fake.files.Exists(kWorkspace));
    EXPECT_EQ(fake.files.OpenHandles(), 0);
  }
}

// What does not fit the table is found before anything is written: no
// workspace is made and every handle is closed before the error shows.
TEST_F(ExtractPayloadTest, PayloadThatDoesNotFitItsTableEndsBeforeAnyWrite) {
  struct Case {
    const char* what;
    std::function<void()> change;
    uint32_t code;
    std::u16string failed;
  };
  const std::vector<Case> cases = {
      {"a table byte flipped",
       [&] {
         std::string bytes = fake.resources.data().at(IDR_PAYLOAD_TABLE);
         bytes[100] ^= 0x01;
         fake.resources.SetData(IDR_PAYLOAD_TABLE, bytes);
       },
       23, u"Verifying the payload table"},
      {"the table cut short",
       [&] {
         fake.resources.SetData(IDR_PAYLOAD_TABLE,
                                fake.resources.data().at(IDR_PAYLOAD_TABLE).substr(0, 150));
       },
       23, u"Verifying the payload table"},
      {"a table of fewer files",
       [&] {
         table.items.pop_back();
         StoreTable();
       },
       23, u"Verifying the payload table"},
      {"another manifest", [&] { SetPayload("Setup.msi;a.bin;B.bin"); }, 23,
       u"Verifying the payload manifest"},
      {"a resource of another size", [&] { fake.resources.SetData(3001, "msi!"); }, 23,
       u"Verifying Setup.msi"},
      {"a volume missing", [&] { fake.files.RemoveFile(VolumePath(2)); }, 2,
       u"Opening Installer-2.bin"},
      {"a volume cut shorter than a trailer",
       [&] { fake.files.AddFile(VolumePath(1), fake.files.Content(VolumePath(1)).substr(0, 40)); },
       38, u"Opening Installer-1.bin"},
      {"a volume cut short by a byte",
       [&] {
         const std::string bytes = fake.files.Content(VolumePath(2));
         fake.files.AddFile(VolumePath(2), bytes.substr(0, bytes.size() - 1));
       },
       38, u"Opening Installer-2.bin"},
      {"a volume of another build",
       [&] {
         payload::VolumeTrailer trailer = TrailerOf(2);
         trailer.buildId[0] ^= 0x01;
         StoreVolume(2, trailer);
       },
       13, u"Opening Installer-2.bin"},
      // Shorter than the first, and ended by a trailer of its own.
      {"the second volume in the first one's place",
       [&] { fake.files.AddFile(VolumePath(1), fake.files.Content(VolumePath(2))); }, 13,
       u"Opening Installer-1.bin"},
      // Longer than the second: its data where the trailer should be.
      {"the first volume in the second one's place",
       [&] { fake.files.AddFile(VolumePath(2), fake.files.Content(VolumePath(1))); }, 13,
       u"Opening Installer-2.bin"},
      {"an exe shorter than its data",
       [&] {
         fake.files.AddFile(fake.resources.programPath,
                            fake.files.Content(fake.resources.programPath).substr(0, 9000));
       },
       38, u"Opening Installer.exe"},
      {"a volume that cannot be read", [&] { fake.FailNext("ReadFile", 21); }, 21,
       u"Opening Installer-1.bin"},
      {"a size that cannot be read", [&] { fake.FailNext("GetFileSizeEx", 5); }, 5,
       u"Opening Installer.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NextRun();
    openAtMessage = -1;
    SetTabledPayload(
        {{"Setup.msi", "msi", false}, {"a.bin", Pattern(300000)}, {"b.bin", Pattern(200000)}},
        {100000, 250000, 150000});
    c.change();

    EXPECT_EQ(ExtractUntilFatal(), c.code);

    const WString expected =
        c.failed + u" failed with error " + DecimalText(static_cast<int32_t>(c.code)) + u": ";
    EXPECT_EQ(MessageText().substr(0, expected.size()), expected);
    EXPECT_EQ(openAtMessage, 0);
    EXPECT_FALSE(fake.files.Exists(kWorkspace));
  }
}

// A disc or download folder may hold volumes planted beside where the
// program was started from: only the program's own folder counts.
TEST_F(ExtractPayloadTest, VolumesAreOpenedFromTheProgramsFolderOnly) {
  fake.resources.programPath = u"E:\\Disc\\Installer.exe";
  SetTabledPayload({{"a.bin", Pattern(3000)}}, {1000, 2000});
  const std::string planted = fake.files.Content(VolumePath(1)).substr(0, 64) + Pattern(2000);
  fake.files.AddFile(fake.files.currentFolder + u"Installer-1.bin", planted);

  EXPECT_TRUE(Extract());
  EXPECT_EQ(fake.files.Content(kWorkspace + u"a.bin"), Pattern(3000));

  NextRun();
  fake.files.RemoveFile(VolumePath(1));
  EXPECT_EQ(ExtractUntilFatal(), platform::kErrorFileNotFound);
  EXPECT_EQ(MessageText().substr(0, 45), u"Opening Installer-1.bin failed with error 2: ");
}

// A volume read while it is written out fails with the volume's name: the
// disc was taken out, or the file changed since it was opened.
TEST_F(ExtractPayloadTest, FailedOrEarlyEndingStreamReadNamesItsFile) {
  struct Case {
    const char* what;
    uint32_t code;
  };
  for (const Case& c : {Case{"disc taken out", 21}, Case{"volume cut short", 38}}) {
    SCOPED_TRACE(c.what);
    NextRun();
    // The first chunk takes the exe's data and the start of the volume;
    // the damage comes before the second.
    SetTabledPayload({{"a.bin", Pattern(3000000)}}, {100000, 2900000});
    bool damaged = false;
    fake.world.onCall = [&](const std::string& operation) {
      if (operation != "WriteFile" || damaged) return;
      damaged = true;
      if (c.code == 21) {
        fake.FailNext("ReadFile", 21);
      } else {
        fake.files.AddFile(VolumePath(1), fake.files.Content(VolumePath(1)).substr(0, 100000));
      }
    };

    EXPECT_EQ(ExtractUntilFatal(), c.code);

    const WString expected = u"Reading Installer-1.bin failed with error " +
                             DecimalText(static_cast<int32_t>(c.code)) + u": ";
    EXPECT_EQ(MessageText().substr(0, expected.size()), expected);
    EXPECT_EQ(openAtMessage, 0);
    fake.world.onCall = nullptr;
  }
}

}  // namespace
