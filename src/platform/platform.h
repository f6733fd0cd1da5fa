// The seam between the launcher's logic and Windows.
//
// The logic in src/shell, src/localization, src/config, src/ui and
// src/install reaches the operating system only through these interfaces.
// The Windows layer (*_win.cpp) forwards each call to the Win32 function of
// the same meaning; the fake layer (tests/unit/fake_*.cpp) keeps its
// state in plain containers and can make any operation fail with a chosen
// error code. Methods keep Windows semantics: an operation that fails
// leaves its error code for Process::LastError(), as GetLastError() would.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/text.h"

namespace platform {

// Opaque handles. The Windows layer stores the real handle; the fake stores
// a small number. A null handle means "none" for every kind; the file and
// find handles use kInvalidHandle for failure, as Windows does.
using WindowHandle = void*;
using ModuleHandle = void*;
using ResourceHandle = void*;
using LoadedResource = void*;
using KeyHandle = void*;
using FileHandle = void*;
using FindHandle = void*;
using ProcessHandle = void*;
using ThreadHandle = void*;
using CursorHandle = void*;

extern FileHandle const kInvalidHandle;  // INVALID_HANDLE_VALUE

// Windows error codes the logic compares against or reports, and constants.
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorInvalidData = 13;
constexpr uint32_t kErrorCrc = 23;
constexpr uint32_t kErrorWriteFault = 29;
constexpr uint32_t kErrorHandleEof = 38;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorBadPathname = 161;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kErrorNoUnicodeTranslation = 1113;
constexpr uint32_t kErrorResourceNameNotFound = 1814;
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;
constexpr uint32_t kFileAttributeReadOnly = 0x1;
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kFileAttributeReparsePoint = 0x400;
constexpr uint32_t kWaitObject0 = 0;
constexpr uint32_t kWaitTimeout = 258;
constexpr uint32_t kWaitFailed = 0xFFFFFFFF;

// Show commands (SW_*).
constexpr int kShowHide = 0;
constexpr int kShowNormal = 1;
constexpr int kShowMinimized = 2;
constexpr int kShowDefault = 10;

// Message box styles (MB_*).
constexpr uint32_t kMessageBoxOk = 0x0;
constexpr uint32_t kMessageBoxIconError = 0x10;

// Window messages and notifications the dialog procedure looks at.
constexpr uint32_t kMessageClose = 0x0010;       // WM_CLOSE
constexpr uint32_t kMessageInitDialog = 0x0110;  // WM_INITDIALOG
constexpr uint32_t kMessageCommand = 0x0111;     // WM_COMMAND
constexpr uint32_t kMessageDpiChanged = 0x02E0;  // WM_DPICHANGED
// The launcher's own message, posted to itself once the dialog manager has
// laid the window out anew at another DPI (WM_APP + 1).
constexpr uint32_t kMessageLayoutChanged = 0x8001;
constexpr uint32_t kComboSelectionChanged = 1;  // CBN_SELCHANGE
constexpr int kComboError = -1;                 // CB_ERR

// Control styles the logic reads and sets.
constexpr uint32_t kStyleTabStop = 0x00010000;  // WS_TABSTOP
constexpr uint32_t kStyleGroup = 0x00020000;    // WS_GROUP
constexpr uint32_t kStaticTypeMask = 0x1F;      // SS_TYPEMASK
constexpr uint32_t kStaticIcon = 0x03;          // SS_ICON
constexpr uint32_t kStaticBitmap = 0x0E;        // SS_BITMAP

// The dialog procedure shape: (window, message, wParam, lParam) -> result.
using DialogProcedure = intptr_t (*)(WindowHandle, uint32_t, uintptr_t, intptr_t);
// A thread body: (parameter) -> exit code.
using ThreadProcedure = uint32_t (*)(void*);

// A size in pixels.
struct PixelSize {
  int32_t width = 0;
  int32_t height = 0;
};

// A rectangle in pixels: its top left corner and its size.
struct PixelRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// A control of a dialog: its window, its class name and its style.
struct DialogControl {
  WindowHandle window = nullptr;
  WString className;
  uint32_t style = 0;
};

// One entry of a folder listing (the fields of WIN32_FIND_DATAW we use).
struct FindEntry {
  WString name;
  uint32_t attributes = 0;
};

// Registry, read-only (advapi32). Keys are opened with KEY_QUERY_VALUE and
// without a registry-view flag.
class Registry {
 public:
  enum class Root { kLocalMachine, kClassesRoot };
  virtual ~Registry() = default;
  // RegOpenKeyExW. Returns the error code; *key is set only on success.
  virtual uint32_t OpenKey(Root root, const WString& path, KeyHandle* key) = 0;
  // RegQueryValueExW without a type: copies the value's bytes into `data`
  // (room: *size bytes) and sets *size to the bytes it holds. Returns the
  // error code (kErrorMoreData when the value does not fit).
  virtual uint32_t QueryValue(KeyHandle key, const WString& name, void* data, uint32_t* size) = 0;
  virtual void CloseKey(KeyHandle key) = 0;
};

// Files and folders (kernel32).
//
// What the program makes in its workspace is private to the user: folders
// admit only the user, SYSTEM and Administrators, and a file it creates
// lets no one write it once the handle it was written through is closed.
class FileSystem {
 public:
  enum class OpenMode {
    kProbeExisting,  // access 0, share read, OPEN_EXISTING, read-only attribute
    // Read and write, share read, CREATE_NEW, temporary attribute, a DACL
    // that admits the user, SYSTEM and Administrators to read it only.
    kCreateNewWrite,
    kReadSequential,  // read, share read, OPEN_EXISTING, sequential scan
    // Holding what the program made, never through a link (the link itself
    // is opened): read and write attributes, OPEN_EXISTING, never shared
    // for deletion, so the name can be neither removed nor renamed while
    // the handle is open.
    kHoldFile,           // shared for reading only: no one can write the file
    kHoldFileWhileOpen,  // shared for reading and writing: beside its writing handle
    kHoldFolder,         // a folder, shared for reading and writing
  };
  virtual ~FileSystem() = default;
  // FindFirstFileW: kInvalidHandle when nothing can be listed.
  virtual FindHandle FindFirst(const WString& pattern, FindEntry* entry) = 0;
  virtual bool FindNext(FindHandle find, FindEntry* entry) = 0;
  virtual void FindClose(FindHandle find) = 0;
  virtual bool RemoveFile(const WString& path) = 0;    // DeleteFileW
  virtual bool RemoveFolder(const WString& path) = 0;  // RemoveDirectoryW
  // CreateDirectoryW with a DACL that admits only the user, SYSTEM and
  // Administrators; fails on anything that stands there already.
  virtual bool MakeFolder(const WString& path) = 0;
  virtual uint32_t Attributes(const WString& path) = 0;                 // GetFileAttributesW
  virtual FileHandle OpenFile(const WString& path, OpenMode mode) = 0;  // CreateFileW
  // WriteFile, synchronous; *written receives the bytes written.
  virtual bool Write(FileHandle file, const void* data, uint32_t size, uint32_t* written) = 0;
  // ReadFile, synchronous; *read receives the bytes read (0 at the end).
  virtual bool Read(FileHandle file, void* buffer, uint32_t size, uint32_t* read) = 0;
  // SetFilePointerEx from the file's start.
  virtual bool Seek(FileHandle file, uint64_t offset) = 0;
  // GetFileSizeEx; nullopt on failure.
  virtual std::optional<uint64_t> FileSize(FileHandle file) = 0;
  virtual void CloseFile(FileHandle file) = 0;
  // GetFileInformationByHandle: the attributes of what the handle holds;
  // nullopt on failure.
  virtual std::optional<uint32_t> HeldAttributes(FileHandle file) = 0;
  // SetFileInformationByHandle(FileBasicInfo) with the normal attribute, so
  // that a file no one may write can be deleted where the system reads
  // that as read-only (Wine).
  virtual bool ClearReadOnly(FileHandle file) = 0;
  // GetTempPathW into a buffer of `room` units. Returns the length the call
  // reported: 0 on failure, more than room - 1 when the path did not fit.
  virtual uint32_t TempPath(uint32_t room, WString* path) = 0;
  // GetDiskFreeSpaceExW: the bytes the volume that holds `folder` offers
  // this user (quotas counted); nullopt on failure.
  virtual std::optional<uint64_t> FreeSpace(const WString& folder) = 0;
};

// Resources of the program's own executable (kernel32, user32).
class Resources {
 public:
  virtual ~Resources() = default;
  // LoadStringW into a buffer of `room` units: at most room - 1 units come
  // back, up to the first NUL; a missing string reads as empty.
  virtual WString LoadText(uint32_t id, uint32_t room) = 0;
  // FindResourceW(module, id, RT_RCDATA): null when absent.
  virtual ResourceHandle FindData(uint32_t id) = 0;
  virtual uint32_t Size(ResourceHandle resource) = 0;        // SizeofResource
  virtual LoadedResource Load(ResourceHandle resource) = 0;  // LoadResource
  virtual const void* Lock(LoadedResource loaded) = 0;       // LockResource
  virtual void Free(LoadedResource loaded) = 0;              // FreeResource
  // FindResourceW(module, id, RT_BITMAP): null when absent.
  virtual ResourceHandle FindBitmap(uint32_t id) = 0;
  // GetModuleFileNameW of the program; empty on failure.
  virtual WString ProgramPath() = 0;
  // Where `size` bytes locked from one of the program's resources lie in the
  // program's file (from the section headers of the loaded image); nullopt
  // when they are not stored there as they are.
  virtual std::optional<uint64_t> FileOffset(const void* bytes, uint32_t size) = 0;
};

// The window, its controls and the message queue (user32, comctl32).
class Windows {
 public:
  virtual ~Windows() = default;
  // CreateDialogParamW(module, template, no owner, procedure, 0).
  virtual WindowHandle CreateDialogWindow(uint32_t templateId, DialogProcedure procedure) = 0;
  virtual WindowHandle DialogItem(WindowHandle dialog, int controlId) = 0;  // GetDlgItem
  virtual bool IsWindowAlive(WindowHandle window) = 0;                      // IsWindow
  virtual void SetText(WindowHandle window, const WString& text) = 0;
  virtual void Enable(WindowHandle window, bool enabled) = 0;
  virtual void Focus(WindowHandle window) = 0;
  // Whether the keyboard focus is on `window` or on a window inside it (the
  // edit or list of a combo box).
  virtual bool HasFocus(WindowHandle window) = 0;
  // Whether the message being handled now is a press or release of a mouse
  // button, rather than a key, the wheel or no input at all (a message sent
  // by another program).
  virtual bool HandlingMouseClick() = 0;
  virtual void Show(WindowHandle window, int showCommand) = 0;
  virtual void Update(WindowHandle window) = 0;
  virtual void Destroy(WindowHandle window) = 0;
  // The dialog's controls in the order they were created, which is its tab
  // order (GetWindow, GetClassNameW, GetWindowLongW).
  virtual std::vector<DialogControl> Controls(WindowHandle dialog) = 0;
  virtual void SetStyle(WindowHandle window, uint32_t style) = 0;  // SetWindowLongW(GWL_STYLE)
  // Sets the text the system keeps for the window, which accessibility tools
  // read as its name, without the control's own procedure seeing it
  // (DefWindowProcW with WM_SETTEXT): a picture's procedure would take a new
  // text for the name of an image to load.
  virtual void SetNameOnly(WindowHandle window, const WString& text) = 0;
  // Loads icon group `iconId` at the big and the small icon size of the
  // window's DPI, each scaled down from the group's nearest larger image
  // (LoadIconWithScaleDown), and sets them as the window's and its class's
  // icons. The icons set before are destroyed once replaced.
  virtual void SetIcons(WindowHandle window, uint32_t iconId) = 0;
  // The room inside the frame of the dialog's picture (the static control
  // that shows a bitmap), as the dialog manager laid it out at the window's
  // DPI; nullopt when the dialog has no picture.
  virtual std::optional<PixelSize> PictureRoom(WindowHandle dialog) = 0;
  // Loads bitmap `bitmapId`, scales its part `source` (rows counted from
  // the top) to `size` with halftone filtering and shows it in the dialog's
  // picture, which it fills. The bitmap shown before is deleted. False when
  // nothing could be shown; the picture then keeps what it showed.
  virtual bool ShowPicture(WindowHandle dialog, uint32_t bitmapId, PixelRect source,
                           PixelSize size) = 0;
  // PostMessageW(window, message, 0, 0).
  virtual void Post(WindowHandle window, uint32_t message) = 0;
  virtual void ComboReset(WindowHandle combo) = 0;                     // CB_RESETCONTENT
  virtual void ComboAdd(WindowHandle combo, const WString& item) = 0;  // CB_ADDSTRING
  virtual void ComboSelect(WindowHandle combo, int index) = 0;         // CB_SETCURSEL
  virtual int ComboSelection(WindowHandle combo) = 0;                  // CB_GETCURSEL
  // The entries in list order (CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT).
  virtual std::vector<WString> ComboItems(WindowHandle combo) = 0;
  virtual void ProgressSetRange(WindowHandle bar, int32_t low, int32_t high) = 0;  // PBM_SETRANGE32
  // PostMessageW with PBM_SETPOS: the caller goes on without waiting for the
  // bar's thread.
  virtual void ProgressPostPosition(WindowHandle bar, int32_t position) = 0;
  // MessageBoxW; returns the button pressed.
  virtual int MessageBox(WindowHandle owner, const WString& text, const WString& caption,
                         uint32_t style) = 0;
  virtual CursorHandle LoadWaitCursor() = 0;  // LoadCursorW(null, IDC_WAIT)
  virtual void SetCursor(CursorHandle cursor) = 0;
  // One pass of the message pump: takes one message from this thread's queue
  // (PeekMessageW, PM_REMOVE), lets IsDialogMessageW handle it for `dialog`
  // when that window still exists, and otherwise translates and dispatches
  // it. Returns false, without waiting, when the queue was empty.
  virtual bool HandleNextMessage(WindowHandle dialog) = 0;
  // The main loop's pause: returns after `milliseconds`, or at once when
  // another thread sends or posts this thread a message, so that neither a
  // synchronous message nor a progress position from the worker waits for
  // the next wake-up.
  virtual void IdleWait(uint32_t milliseconds) = 0;
};

// Starting other programs (shell32, loaded from the system folder at run
// time).
class Shell {
 public:
  virtual ~Shell() = default;
  // ShellExecuteW(no owner, verb or default when empty, file, parameters,
  // directory or none when empty, show). Returns true when the shell reported
  // success (a result above 32).
  virtual bool Execute(const WString& verb, const WString& file, const WString& parameters,
                       const WString& directory, int showCommand) = 0;
  // ShellExecuteExW with SEE_MASK_NOCLOSEPROCESS, default verb, no owner and
  // `directory` as working folder (none when empty). Returns the process
  // handle, or null when the start failed.
  virtual ProcessHandle StartProcess(const WString& file, const WString& parameters,
                                     const WString& directory, int showCommand) = 0;
};

// The process, its threads and the system (kernel32).
class Process {
 public:
  virtual ~Process() = default;
  virtual uint32_t LastError() = 0;  // GetLastError
  virtual void SetLastError(uint32_t code) = 0;
  // CreateMutexW(no security, initial owner, name), released at once when a
  // handle comes back. The handle is deliberately never closed.
  // *alreadyExists = (GetLastError() == ERROR_ALREADY_EXISTS).
  virtual void CreateInstanceMutex(const WString& name, bool* alreadyExists) = 0;
  virtual uint16_t UserDefaultLanguage() = 0;  // GetUserDefaultLangID
  // RtlGenRandom: `count` bytes from the system's random number generator,
  // which no other process can predict.
  virtual bool RandomBytes(void* buffer, uint32_t count) = 0;
  // GetSystemDirectoryW, with a final backslash; empty on failure.
  virtual WString SystemFolder() = 0;
  // FormatMessageW from the system table in the user's language; nullopt
  // when the system has no text for the code.
  virtual std::optional<WString> SystemErrorText(uint32_t code) = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  // GetTickCount: milliseconds since the system started, wrapping at 2^32.
  virtual uint32_t TickCount() = 0;
  // WaitForSingleObject on a process handle.
  virtual uint32_t WaitForProcess(ProcessHandle process, uint32_t milliseconds) = 0;
  virtual void CloseProcess(ProcessHandle process) = 0;
  // CreateThread(no security, default stack, procedure, parameter, run at once).
  virtual ThreadHandle StartThread(ThreadProcedure procedure, void* parameter,
                                   uint32_t* threadId) = 0;
  virtual uint32_t CurrentThreadId() = 0;  // GetCurrentThreadId
  // Waits up to `milliseconds` for the thread to end; true when it ended.
  virtual bool WaitForThread(ThreadHandle thread, uint32_t milliseconds) = 0;
  // Ends the process at once with `code`, without exit-time destruction.
  [[noreturn]] virtual void Terminate(uint32_t code) = 0;
};

// All the groups together; every operation of the logic takes one of these.
struct Platform {
  Registry& registry;
  FileSystem& files;
  Resources& resources;
  Windows& windows;
  Shell& shell;
  Process& process;
};

}  // namespace platform
