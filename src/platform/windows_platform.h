// The real platform: each seam interface implemented over Win32 in its own
// *_win.cpp file. Every method only translates its arguments and forwards to
// the Win32 function of the same meaning; the decisions stay in the logic.
#pragma once

#include <optional>
#include <vector>

#include "platform/platform.h"
#include "platform/text.h"

namespace platform {

class WindowsRegistry final : public Registry {
 public:
  uint32_t OpenKey(Root root, const WString& path, KeyHandle* key) override;
  uint32_t QueryValue(KeyHandle key, const WString& name, void* data, uint32_t* size) override;
  void CloseKey(KeyHandle key) override;
};

class WindowsFileSystem final : public FileSystem {
 public:
  FindHandle FindFirst(const WString& pattern, FindEntry* entry) override;
  bool FindNext(FindHandle find, FindEntry* entry) override;
  void FindClose(FindHandle find) override;
  bool RemoveFile(const WString& path) override;
  bool RemoveFolder(const WString& path) override;
  bool MakeFolder(const WString& path) override;
  uint32_t Attributes(const WString& path) override;
  FileHandle OpenFile(const WString& path, OpenMode mode) override;
  bool Write(FileHandle file, const void* data, uint32_t size, uint32_t* written) override;
  bool Read(FileHandle file, void* buffer, uint32_t size, uint32_t* read) override;
  bool Seek(FileHandle file, uint64_t offset) override;
  std::optional<uint64_t> FileSize(FileHandle file) override;
  void CloseFile(FileHandle file) override;
  std::optional<uint32_t> HeldAttributes(FileHandle file) override;
  bool ClearReadOnly(FileHandle file) override;
  uint32_t TempPath(uint32_t room, WString* path) override;
  std::optional<uint64_t> FreeSpace(const WString& folder) override;
};

// Reads the resources of the program's own executable.
class WindowsResources final : public Resources {
 public:
  WindowsResources();
  WString LoadText(uint32_t id, uint32_t room) override;
  ResourceHandle FindData(uint32_t id) override;
  uint32_t Size(ResourceHandle resource) override;
  LoadedResource Load(ResourceHandle resource) override;
  const void* Lock(LoadedResource loaded) override;
  void Free(LoadedResource loaded) override;
  ResourceHandle FindBitmap(uint32_t id) override;
  WString ProgramPath() override;
  std::optional<uint64_t> FileOffset(const void* bytes, uint32_t size) override;

 private:
  ModuleHandle module_;
};

// Owns an object of the Windows layer (a GDI object, an icon, a device
// context) and releases it with the function it was made for.
class OwnedObject {
 public:
  using Releaser = void (*)(void*);
  OwnedObject() = default;
  OwnedObject(void* object, Releaser release) : object_(object), release_(release) {}
  OwnedObject(const OwnedObject&) = delete;
  OwnedObject& operator=(const OwnedObject&) = delete;
  OwnedObject(OwnedObject&& other) noexcept;
  OwnedObject& operator=(OwnedObject&& other) noexcept;
  ~OwnedObject() { Reset(); }

  void* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  void Reset();

 private:
  void* object_ = nullptr;
  Releaser release_ = nullptr;
};

class WindowsWindows final : public Windows {
 public:
  WindowsWindows();
  WindowHandle CreateDialogWindow(uint32_t templateId, DialogProcedure procedure) override;
  WindowHandle DialogItem(WindowHandle dialog, int controlId) override;
  bool IsWindowAlive(WindowHandle window) override;
  void SetText(WindowHandle window, const WString& text) override;
  void Enable(WindowHandle window, bool enabled) override;
  void Focus(WindowHandle window) override;
  bool HasFocus(WindowHandle window) override;
  bool HandlingMouseClick() override;
  void Show(WindowHandle window, int showCommand) override;
  void Update(WindowHandle window) override;
  void Destroy(WindowHandle window) override;
  std::vector<DialogControl> Controls(WindowHandle dialog) override;
  void SetStyle(WindowHandle window, uint32_t style) override;
  void SetNameOnly(WindowHandle window, const WString& text) override;
  void SetIcons(WindowHandle window, uint32_t iconId) override;
  std::optional<PixelSize> PictureRoom(WindowHandle dialog) override;
  bool ShowPicture(WindowHandle dialog, uint32_t bitmapId, PixelRect source,
                   PixelSize size) override;
  void Post(WindowHandle window, uint32_t message) override;
  void ComboReset(WindowHandle combo) override;
  void ComboAdd(WindowHandle combo, const WString& item) override;
  void ComboSelect(WindowHandle combo, int index) override;
  int ComboSelection(WindowHandle combo) override;
  std::vector<WString> ComboItems(WindowHandle combo) override;
  void ProgressSetRange(WindowHandle bar, int32_t low, int32_t high) override;
  void ProgressPostPosition(WindowHandle bar, int32_t position) override;
  int MessageBox(WindowHandle owner, const WString& text, const WString& caption,
                 uint32_t style) override;
  CursorHandle LoadWaitCursor() override;
  void SetCursor(CursorHandle cursor) override;
  bool HandleNextMessage(WindowHandle dialog) override;
  void IdleWait(uint32_t milliseconds) override;

 private:
  ModuleHandle module_;
  // What the window shows and Windows does not own: its icons at the current
  // DPI and the art scaled for its picture.
  OwnedObject bigIcon_;
  OwnedObject smallIcon_;
  OwnedObject picture_;
  // Set while HandleNextMessage hands a mouse button message on.
  bool handlingMouseClick_ = false;
};

// Takes ShellExecuteW and ShellExecuteExW from shell32 as the entry point
// loaded it (null: it could not be loaded, and every start fails).
void UseShellLibrary(void* shell32);

class WindowsShell final : public Shell {
 public:
  bool Execute(const WString& verb, const WString& file, const WString& parameters,
               const WString& directory, int showCommand) override;
  ProcessHandle StartProcess(const WString& file, const WString& parameters,
                             const WString& directory, int showCommand) override;
};

class WindowsProcess final : public Process {
 public:
  uint32_t LastError() override;
  void SetLastError(uint32_t code) override;
  void CreateInstanceMutex(const WString& name, bool* alreadyExists) override;
  uint16_t UserDefaultLanguage() override;
  bool RandomBytes(void* buffer, uint32_t count) override;
  WString SystemFolder() override;
  std::optional<WString> SystemErrorText(uint32_t code) override;
  void Sleep(uint32_t milliseconds) override;
  uint32_t TickCount() override;
  uint32_t WaitForProcess(ProcessHandle process, uint32_t milliseconds) override;
  void CloseProcess(ProcessHandle process) override;
  ThreadHandle StartThread(ThreadProcedure procedure, void* parameter, uint32_t* threadId) override;
  uint32_t CurrentThreadId() override;
  bool WaitForThread(ThreadHandle thread, uint32_t milliseconds) override;
  [[noreturn]] void Terminate(uint32_t code) override;
};

// The six groups and the Platform that the logic takes, for the entry point.
struct WindowsPlatform {
  WindowsPlatform() = default;
  WindowsPlatform(const WindowsPlatform&) = delete;
  WindowsPlatform& operator=(const WindowsPlatform&) = delete;

  WindowsRegistry registry;
  WindowsFileSystem files;
  WindowsResources resources;
  WindowsWindows windows;
  WindowsShell shell;
  WindowsProcess process;
  Platform os{registry, files, resources, windows, shell, process};
};

}  // namespace platform
