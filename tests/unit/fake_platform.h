// An in-memory stand-in for Windows, for host unit tests of the logic.
//
// Each group of the seam keeps its state in plain containers that tests set
// up and inspect. Any operation can be made to fail with a chosen error code
// by its Win32 name: `fake.FailNext("WriteFile", 112)`. Every call is
// appended to `fake.calls` by its Win32 name, so tests can check the order
// of operations where the order matters.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/text.h"

// Thrown by FakeProcess::Terminate so that a test sees the process end.
struct ProcessTerminated {
  uint32_t code;
};

// Runs `action`, which must end the process; returns the exit code it ended
// with, or 0xFFFFFFFF and a test failure when it returned instead.
template <typename Action>
uint32_t ExitCodeOf(Action action) {
  try {
    action();
  } catch (const ProcessTerminated& end) {
    return end.code;
  }
  ADD_FAILURE() << "the process did not end";
  return 0xFFFFFFFF;
}

// The fake's temporary folder and the workspace the unpacking makes below it
// from the fake's first random bytes (FakeProcess::RandomBytes). The user
// name holds a blank, as real profile folders may.
inline const WString kTempFolder = u"C:\\Users\\Jane Doe\\Temp\\";
inline const WString kWorkspace = kTempFolder + u"CorvaneInstaller-0001020304050607\\";
// The name the next random bytes give, after a clash with the first.
inline const WString kSecondWorkspace = kTempFolder + u"CorvaneInstaller-08090a0b0c0d0e0f\\";

// State shared by the fake's groups: fault plan, last error and call log.
struct FakeWorld {
  struct Fault {
    uint32_t code;
    int remaining;  // calls still to fail; negative: every call
  };
  std::map<std::string, Fault> faults;
  uint32_t lastError = 0;
  std::vector<std::string> calls;
  // Runs after each logged call, so a test can act at a chosen moment (for
  // example ask the worker to stop after its first write).
  std::function<void(const std::string& operation)> onCall;

  // Records the call; when a failure is planned for it, sets the last error
  // and returns the code.
  std::optional<uint32_t> Enter(const std::string& operation);
};

// The bytes of `text` as UTF-16LE, as the registry stores text; no terminator.
std::vector<uint8_t> Utf16LeBytes(const WString& text);

class FakeRegistry : public platform::Registry {
 public:
  explicit FakeRegistry(FakeWorld& world) : world_(world) {}

  void CreateKey(Root root, const WString& path);
  void DeleteKey(Root root, const WString& path);
  void SetBytes(Root root, const WString& path, const WString& name, std::vector<uint8_t> bytes);
  void SetDword(const WString& path, const WString& name, uint32_t value);  // below HKLM
  // A REG_SZ below HKLM, stored with its terminating NUL.
  void SetString(const WString& path, const WString& name, const WString& text);
  int openKeys = 0;  // keys opened and not yet closed

  uint32_t OpenKey(Root root, const WString& path, platform::KeyHandle* key) override;
  uint32_t QueryValue(platform::KeyHandle key, const WString& name, void* data,
                      uint32_t* size) override;
  void CloseKey(platform::KeyHandle key) override;

 private:
  using KeyName = std::pair<Root, WString>;
  FakeWorld& world_;
  std::map<KeyName, std::map<WString, std::vector<uint8_t>>> keys_;
  std::map<uintptr_t, KeyName> handles_;
  uintptr_t nextHandle_ = 0x100;
};

class FakeFileSystem : public platform::FileSystem {
 public:
  struct Node {
    WString name;  // the last component as created, case kept
    bool folder = false;
    uint32_t attributes = 0;
    std::vector<uint8_t> content;
    WString linkTarget;  // for links: the folder they point at
  };
  explicit FakeFileSystem(FakeWorld& world) : world_(world) {}

  // Relative paths are resolved against this folder (ends with a backslash).
  WString currentFolder = u"D:\\";
  WString tempPath = kTempFolder;
  // When set, TempPath reports this length instead of the path's (0 = failure).
  std::optional<uint32_t> tempPathResult;
  // Bytes that can still be written; writes beyond fail with 112 (disk full).
  std::optional<uint64_t> freeBytes;
  // What FreeSpace reports, when it is not freeBytes (another program may
  // fill the disk after the check); FreeSpace fails when neither is set.
  std::optional<uint64_t> reportedFreeBytes;
  // When set, one write call writes at most this many bytes.
  std::optional<uint32_t> writeLimit;
  std::vector<uint32_t> writeSizes;  // requested size of every Write call

  // Set-up: folders above a new entry are created as needed.
  void AddFolder(const WString& path);
  void AddFile(const WString& path, const std::string& content = "");
  void AddLink(const WString& path, const WString& target);  // a directory link
  void SetReadOnly(const WString& path);

  bool Exists(const WString& path) const;
  bool IsFolder(const WString& path) const;
  std::string Content(const WString& path) const;
  // Paths below `folder` (full, as stored), sorted.
  std::vector<WString> ListTree(const WString& folder) const;
  int OpenHandles() const { return static_cast<int>(files_.size() + finds_.size()); }
  // Whether a handle holds `path` open so that no one can remove, rename or
  // write it (the hold modes, or a handle writing it).
  bool IsHeld(const WString& path) const;

  platform::FindHandle FindFirst(const WString& pattern, platform::FindEntry* entry) override;
  bool FindNext(platform::FindHandle find, platform::FindEntry* entry) override;
  void FindClose(platform::FindHandle find) override;
  bool RemoveFile(const WString& path) override;
  bool RemoveFolder(const WString& path) override;
  bool MakeFolder(const WString& path) override;
  uint32_t Attributes(const WString& path) override;
  platform::FileHandle OpenFile(const WString& path, OpenMode mode) override;
  bool Write(platform::FileHandle file, const void* data, uint32_t size,
             uint32_t* written) override;
  bool Read(platform::FileHandle file, void* buffer, uint32_t size, uint32_t* read) override;
  bool Seek(platform::FileHandle file, uint64_t offset) override;
  std::optional<uint64_t> FileSize(platform::FileHandle file) override;
  void CloseFile(platform::FileHandle file) override;
  std::optional<uint32_t> HeldAttributes(platform::FileHandle file) override;
  bool ClearReadOnly(platform::FileHandle file) override;
  uint32_t TempPath(uint32_t room, WString* path) override;
  std::optional<uint64_t> FreeSpace(const WString& folder) override;

  // The lookup key of a path: absolute, backslashes, no doubled or trailing
  // separator, ASCII lower case.
  WString Key(const WString& path) const;

 private:
  bool Fail(uint32_t code);
  void* FailHandle(uint32_t code);  // a failed open or listing
  bool IsOpen(const WString& key) const;
  const Node* Find(const WString& path) const;
  bool ParentIsFolder(const WString& key) const;
  WString ParentKey(const WString& key) const;

  FakeWorld& world_;
  std::map<WString, Node> nodes_;
  struct Listing {
    std::vector<platform::FindEntry> entries;
    size_t next = 0;
  };
  std::map<uintptr_t, Listing> finds_;
  struct OpenFileEntry {
    WString key;
    OpenMode mode;
  };
  std::map<uintptr_t, OpenFileEntry> files_;  // open handle -> what it holds
  std::map<uintptr_t, uint64_t> readPositions_;
  uintptr_t nextHandle_ = 0x1000;
};

class FakeResources : public platform::Resources {
 public:
  explicit FakeResources(FakeWorld& world) : world_(world) {}

  std::map<uint32_t, WString> strings;
  void SetData(uint32_t id, const std::string& bytes) { data_[id] = bytes; }
  void RemoveData(uint32_t id) { data_.erase(id); }
  const std::map<uint32_t, std::string>& data() const { return data_; }
  WString programPath = u"D:\\Installer.exe";
  // Where each data block lies in the program's file; a block without an
  // entry is not stored there as it is.
  std::map<uint32_t, uint64_t> fileOffsets;
  int loaded = 0;                           // LoadResource calls not yet matched by FreeResource
  std::map<uint32_t, std::string> bitmaps;  // RT_BITMAP resources by id

  WString LoadText(uint32_t id, uint32_t room) override;
  platform::ResourceHandle FindData(uint32_t id) override;
  uint32_t Size(platform::ResourceHandle resource) override;
  platform::LoadedResource Load(platform::ResourceHandle resource) override;
  const void* Lock(platform::LoadedResource loaded) override;
  void Free(platform::LoadedResource loaded) override;
  platform::ResourceHandle FindBitmap(uint32_t id) override;
  WString ProgramPath() override;
  std::optional<uint64_t> FileOffset(const void* bytes, uint32_t size) override;

 private:
  // The bytes of a data block's or a bitmap's handle, or null.
  const std::string* Bytes(const void* handle) const;

  FakeWorld& world_;
  std::map<uint32_t, std::string> data_;
};

// A window or control of the fake dialog.
struct FakeWindow {
  int controlId = 0;  // 0 for the dialog itself
  WString className;  // as the template names it
  uint32_t style = 0;
  WString text;
  bool enabled = true;
  bool visible = true;
  bool destroyed = false;
  int showCommand = -1;  // last Show() command, -1 when never shown
  uint32_t iconId = 0;   // the icon group set last, 0 when none
  std::vector<FakeWindow*> children;
  std::vector<WString> items;  // combo box
  int selection = -1;
  // A dropped-down list closes, as the real one does, when it is emptied or
  // loses the focus.
  bool dropped = false;
  int32_t rangeLow = 0, rangeHigh = 100, position = 0;  // progress bar
  std::vector<int32_t> postedPositions;                 // every PBM_SETPOS, in order
};

class FakeWindows : public platform::Windows {
 public:
  explicit FakeWindows(FakeWorld& world) : world_(world) {}

  struct MessageBoxShown {
    platform::WindowHandle owner;
    WString text;
    WString caption;
    uint32_t style;
  };
  std::vector<MessageBoxShown> messageBoxes;
  std::function<void(const MessageBoxShown&)> onMessageBox;
  platform::DialogProcedure procedure = nullptr;
  uint32_t templateId = 0;
  platform::WindowHandle focus = nullptr;
  // Whether the message being handled is a mouse click (HandlingMouseClick).
  bool mouseClick = false;
  platform::CursorHandle cursor = nullptr;
  platform::CursorHandle waitCursor = reinterpret_cast<platform::CursorHandle>(0xC0);
  // The room inside the launcher layout's picture; the installer layout has
  // no picture.
  platform::PixelSize pictureRoom{166, 356};
  struct PictureShown {
    uint32_t bitmapId;
    platform::PixelRect source;
    platform::PixelSize size;
  };
  std::vector<PictureShown> picturesShown;  // ShowPicture calls, in order
  // Messages waiting in the queue; HandleNextMessage runs the first one.
  std::deque<std::function<void()>> queue;

  // The dialog created last, and its control of the given id.
  FakeWindow* Dialog() { return dialog_; }
  FakeWindow* Control(int controlId);
  // Creates a dialog with the controls of template 129 or 145 without a call
  // being logged, for tests that start after start-up.
  platform::WindowHandle MakeDialog(uint32_t templateId);

  platform::WindowHandle CreateDialogWindow(uint32_t templateId,
                                            platform::DialogProcedure procedure) override;
  platform::WindowHandle DialogItem(platform::WindowHandle dialog, int controlId) override;
  bool IsWindowAlive(platform::WindowHandle window) override;
  void SetText(platform::WindowHandle window, const WString& text) override;
  void Enable(platform::WindowHandle window, bool enabled) override;
  void Focus(platform::WindowHandle window) override;
  bool HasFocus(platform::WindowHandle window) override;
  bool HandlingMouseClick() override { return mouseClick; }
  void Show(platform::WindowHandle window, int showCommand) override;
  void Update(platform::WindowHandle window) override;
  void Destroy(platform::WindowHandle window) override;
  std::vector<platform::DialogControl> Controls(platform::WindowHandle dialog) override;
  void SetStyle(platform::WindowHandle window, uint32_t style) override;
  void SetNameOnly(platform::WindowHandle window, const WString& text) override;
  void SetIcons(platform::WindowHandle window, uint32_t iconId) override;
  std::optional<platform::PixelSize> PictureRoom(platform::WindowHandle dialog) override;
  bool ShowPicture(platform::WindowHandle dialog, uint32_t bitmapId, platform::PixelRect source,
                   platform::PixelSize size) override;
  // Queues the message for the fake dialog's procedure.
  void Post(platform::WindowHandle window, uint32_t message) override;
  void ComboReset(platform::WindowHandle combo) override;
  void ComboAdd(platform::WindowHandle combo, const WString& item) override;
  void ComboSelect(platform::WindowHandle combo, int index) override;
  int ComboSelection(platform::WindowHandle combo) override;
  std::vector<WString> ComboItems(platform::WindowHandle combo) override;
  void ProgressSetRange(platform::WindowHandle bar, int32_t low, int32_t high) override;
  void ProgressPostPosition(platform::WindowHandle bar, int32_t position) override;
  int MessageBox(platform::WindowHandle owner, const WString& text, const WString& caption,
                 uint32_t style) override;
  platform::CursorHandle LoadWaitCursor() override;
  void SetCursor(platform::CursorHandle cursor) override;
  bool HandleNextMessage(platform::WindowHandle dialog) override;
  void IdleWait(uint32_t milliseconds) override;

 private:
  FakeWindow* New(FakeWindow window);
  FakeWindow* AsWindow(platform::WindowHandle handle);
  // Logs the call and finds its window.
  FakeWindow* Logged(const char* operation, platform::WindowHandle handle);

  FakeWorld& world_;
  std::deque<FakeWindow> windows_;
  FakeWindow* dialog_ = nullptr;
};

class FakeShell : public platform::Shell {
 public:
  explicit FakeShell(FakeWorld& world) : world_(world) {}

  struct Execution {
    WString verb, file, parameters, directory;
    int showCommand;
  };
  std::vector<Execution> executed;  // ShellExecuteW calls
  std::vector<Execution> started;   // ShellExecuteExW calls
  // Polls (WaitForSingleObject with timeout 0) a started process survives.
  int pollsUntilExit = 0;
  std::map<uintptr_t, int> running;  // process handle -> polls left

  bool Execute(const WString& verb, const WString& file, const WString& parameters,
               const WString& directory, int showCommand) override;
  platform::ProcessHandle StartProcess(const WString& file, const WString& parameters,
                                       const WString& directory, int showCommand) override;

 private:
  FakeWorld& world_;
  uintptr_t nextHandle_ = 0x2000;
};

class FakeProcess : public platform::Process {
 public:
  FakeProcess(FakeWorld& world, FakeShell& shell) : world_(world), shell_(shell) {}

  // Mutex names that exist already, as if another copy held them.
  std::set<WString> existingMutexes;
  std::vector<WString> createdMutexes;
  uint16_t userLanguage = 1033;
  WString systemFolder = u"C:\\windows\\system32\\";
  std::map<uint32_t, WString> errorTexts;  // codes without an entry have no text
  std::vector<uint32_t> sleeps;
  // What GetTickCount answers; tests move it on (from onCall, for example).
  uint32_t tickCount = 0;
  int closedProcesses = 0;
  uint32_t threadId = 1;
  struct StartedThread {
    platform::ThreadProcedure procedure;
    void* parameter;
  };
  std::vector<StartedThread> threads;
  // What WaitForThread answers; called with the milliseconds asked for.
  std::function<bool(uint32_t)> onWaitForThread;

  uint32_t LastError() override { return world_.lastError; }
  void SetLastError(uint32_t code) override { world_.lastError = code; }
  void CreateInstanceMutex(const WString& name, bool* alreadyExists) override;
  uint16_t UserDefaultLanguage() override { return userLanguage; }
  // Counts up from 0: the first call gives 00 01 02 ..., the next goes on.
  bool RandomBytes(void* buffer, uint32_t count) override;
  uint8_t nextRandomByte = 0;
  WString SystemFolder() override { return systemFolder; }
  std::optional<WString> SystemErrorText(uint32_t code) override;
  void Sleep(uint32_t milliseconds) override;
  uint32_t TickCount() override { return tickCount; }
  uint32_t WaitForProcess(platform::ProcessHandle process, uint32_t milliseconds) override;
  void CloseProcess(platform::ProcessHandle process) override;
  platform::ThreadHandle StartThread(platform::ThreadProcedure procedure, void* parameter,
                                     uint32_t* threadId) override;
  uint32_t CurrentThreadId() override { return threadId; }
  bool WaitForThread(platform::ThreadHandle thread, uint32_t milliseconds) override;
  [[noreturn]] void Terminate(uint32_t code) override;

 private:
  FakeWorld& world_;
  FakeShell& shell_;
};

// The whole fake; pass `os` to the logic.
class FakePlatform {
 public:
  FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  // The next `times` calls of `operation` (a Win32 name) fail with `code`;
  // times < 0: every call.
  void FailNext(const std::string& operation, uint32_t code, int times = 1);
  const std::vector<std::string>& calls() const { return world.calls; }
  // Number of logged calls of `operation`.
  int CallCount(const std::string& operation) const;
  // Position of the first logged call of `operation` in calls(); its size
  // when there was none.
  size_t FirstCall(const std::string& operation) const;

  FakeWorld world;
  FakeRegistry registry{world};
  FakeFileSystem files{world};
  FakeResources resources{world};
  FakeWindows windows{world};
  FakeShell shell{world};
  FakeProcess process{world, shell};
  platform::Platform os{registry, files, resources, windows, shell, process};
};
