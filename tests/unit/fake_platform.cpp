#include "fake_platform.h"

#include <algorithm>
#include <cstring>

#include "resource_ids.h"

using platform::FindEntry;
using platform::kInvalidHandle;

namespace {

constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorDirNotEmpty = 145;
constexpr uint32_t kErrorInvalidHandle = 6;

WString Lower(WString text) {
  for (auto& unit : text) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<WChar>(unit - u'A' + u'a');
  }
  return text;
}

void* AsHandle(uintptr_t value) { return reinterpret_cast<void*>(value); }
uintptr_t AsNumber(const void* handle) { return reinterpret_cast<uintptr_t>(handle); }

}  // namespace

std::optional<uint32_t> FakeWorld::Enter(const std::string& operation) {
  calls.push_back(operation);
  if (onCall) onCall(operation);
  auto fault = faults.find(operation);
  if (fault == faults.end()) return std::nullopt;
  const uint32_t code = fault->second.code;
  if (fault->second.remaining > 0 && --fault->second.remaining == 0) faults.erase(fault);
  lastError = code;
  return code;
}

// ---------------------------------------------------------------- registry

void FakeRegistry::CreateKey(Root root, const WString& path) { keys_[{root, Lower(path)}]; }

void FakeRegistry::DeleteKey(Root root, const WString& path) { keys_.erase({root, Lower(path)}); }

void FakeRegistry::SetBytes(Root root, const WString& path, const WString& name,
                            std::vector<uint8_t> bytes) {
  keys_[{root, Lower(path)}][Lower(name)] = std::move(bytes);
}

void FakeRegistry::SetDword(const WString& path, const WString& name, uint32_t value) {
  std::vector<uint8_t> bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  SetBytes(Root::kLocalMachine, path, name, std::move(bytes));
}

void FakeRegistry::SetString(const WString& path, const WString& name, const WString& text,
                             bool withTerminator) {
  std::vector<uint8_t> bytes;
  for (WChar unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  if (withTerminator) bytes.insert(bytes.end(), {0, 0});
  SetBytes(Root::kLocalMachine, path, name, std::move(bytes));
}

uint32_t FakeRegistry::OpenKey(Root root, const WString& path, platform::KeyHandle* key) {
  if (auto code = world_.Enter("RegOpenKeyExW")) return *code;
  auto found = keys_.find({root, Lower(path)});
  if (found == keys_.end()) return platform::kErrorFileNotFound;
  const uintptr_t handle = nextHandle_++;
  handles_[handle] = found->first;
  *key = AsHandle(handle);
  ++openKeys;
  return platform::kErrorSuccess;
}

uint32_t FakeRegistry::QueryValue(platform::KeyHandle key, const WString& name, void* data,
                                  uint32_t* size) {
  if (auto code = world_.Enter("RegQueryValueExW")) return *code;
  auto handle = handles_.find(AsNumber(key));
  if (handle == handles_.end()) return kErrorInvalidHandle;
  const auto& values = keys_[handle->second];
  auto value = values.find(Lower(name));
  if (value == values.end()) return platform::kErrorFileNotFound;
  const auto& bytes = value->second;
  if (bytes.size() > *size) {
    *size = static_cast<uint32_t>(bytes.size());
    return platform::kErrorMoreData;
  }
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  *size = static_cast<uint32_t>(bytes.size());
  return platform::kErrorSuccess;
}

void FakeRegistry::CloseKey(platform::KeyHandle key) {
  world_.Enter("RegCloseKey");
  if (handles_.erase(AsNumber(key)) != 0) --openKeys;
}

// ------------------------------------------------------------- file system

WString FakeFileSystem::Key(const WString& path) const {
  WString full = path;
  std::replace(full.begin(), full.end(), u'/', u'\\');
  const bool absolute = full.size() >= 2 && full[1] == u':';
  if (!absolute) full = currentFolder + full;
  WString key;
  for (WChar unit : full) {
    if (unit == u'\\' && !key.empty() && key.back() == u'\\') continue;
    key.push_back(unit);
  }
  while (key.size() > 2 && key.back() == u'\\') key.pop_back();
  return Lower(key);
}

WString FakeFileSystem::ParentKey(const WString& key) const {
  const size_t slash = key.rfind(u'\\');
  return slash == WString::npos ? WString() : key.substr(0, slash);
}

bool FakeFileSystem::ParentIsFolder(const WString& key) const {
  const WString parent = ParentKey(key);
  if (parent.size() == 2 && parent[1] == u':') return true;  // a drive root
  auto node = nodes_.find(parent);
  return node != nodes_.end() && node->second.folder;
}

const FakeFileSystem::Node* FakeFileSystem::Find(const WString& path) const {
  auto node = nodes_.find(Key(path));
  return node == nodes_.end() ? nullptr : &node->second;
}

bool FakeFileSystem::Fail(uint32_t code) {
  world_.lastError = code;
  return false;
}

void FakeFileSystem::AddFolder(const WString& path) {
  const WString key = Key(path);
  if (key.size() <= 2) return;
  AddFolder(ParentKey(key));
  Node& node = nodes_[key];
  node.folder = true;
  node.attributes |= platform::kFileAttributeDirectory;
  WString full = path;
  while (!full.empty() && (full.back() == u'\\' || full.back() == u'/')) full.pop_back();
  node.name = full.substr(full.find_last_of(u"\\/") + 1);
}

void FakeFileSystem::AddFile(const WString& path, const std::string& content) {
  const WString key = Key(path);
  AddFolder(ParentKey(key));
  Node& node = nodes_[key];
  node.folder = false;
  node.attributes = 0x80;  // FILE_ATTRIBUTE_NORMAL
  node.content.assign(content.begin(), content.end());
  node.name = path.substr(path.find_last_of(u"\\/") + 1);
}

void FakeFileSystem::AddLink(const WString& path, const WString& target) {
  AddFolder(path);
  Node& node = nodes_[Key(path)];
  node.attributes = platform::kFileAttributeDirectory | platform::kFileAttributeReparsePoint;
  node.linkTarget = Key(target);
}

void FakeFileSystem::SetReadOnly(const WString& path) {
  nodes_[Key(path)].attributes |= platform::kFileAttributeReadOnly;
}

bool FakeFileSystem::Exists(const WString& path) const { return Find(path) != nullptr; }

bool FakeFileSystem::IsFolder(const WString& path) const {
  const Node* node = Find(path);
  return node != nullptr && node->folder;
}

std::string FakeFileSystem::Content(const WString& path) const {
  const Node* node = Find(path);
  return node == nullptr ? std::string() : std::string(node->content.begin(), node->content.end());
}

std::vector<WString> FakeFileSystem::ListTree(const WString& folder) const {
  const WString prefix = Key(folder) + u"\\";
  std::vector<WString> paths;
  for (const auto& [key, node] : nodes_) {
    if (key.compare(0, prefix.size(), prefix) == 0) paths.push_back(key);
  }
  return paths;
}

platform::FindHandle FakeFileSystem::FindFirst(const WString& pattern, FindEntry* entry) {
  if (world_.Enter("FindFirstFileW")) return kInvalidHandle;
  Listing listing;
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, u"\\*") == 0) {
    WString folder = Key(pattern.substr(0, pattern.size() - 2));
    auto node = nodes_.find(folder);
    const bool isRoot = folder.size() == 2;
    if (!isRoot && (node == nodes_.end() || !node->second.folder)) {
      Fail(node == nodes_.end() ? platform::kErrorPathNotFound : kErrorInvalidHandle);
      return kInvalidHandle;
    }
    // A link lists the folder it points at, as the system would.
    if (!isRoot && !node->second.linkTarget.empty()) folder = node->second.linkTarget;
    listing.entries.push_back({u".", platform::kFileAttributeDirectory});
    listing.entries.push_back({u"..", platform::kFileAttributeDirectory});
    const WString prefix = folder + u"\\";
    for (const auto& [key, child] : nodes_) {
      if (key.compare(0, prefix.size(), prefix) == 0 &&
          key.find(u'\\', prefix.size()) == WString::npos) {
        listing.entries.push_back({child.name, child.attributes});
      }
    }
  } else {
    const Node* node = Find(pattern);
    if (node == nullptr) {
      Fail(platform::kErrorFileNotFound);
      return kInvalidHandle;
    }
    listing.entries.push_back({node->name, node->attributes});
  }
  *entry = listing.entries[0];
  listing.next = 1;
  const uintptr_t handle = nextHandle_++;
  finds_[handle] = std::move(listing);
  return AsHandle(handle);
}

bool FakeFileSystem::FindNext(platform::FindHandle find, FindEntry* entry) {
  if (world_.Enter("FindNextFileW")) return false;
  auto listing = finds_.find(AsNumber(find));
  if (listing == finds_.end()) return Fail(kErrorInvalidHandle);
  if (listing->second.next >= listing->second.entries.size()) return Fail(18);  // no more files
  *entry = listing->second.entries[listing->second.next++];
  return true;
}

void FakeFileSystem::FindClose(platform::FindHandle find) {
  world_.Enter("FindClose");
  finds_.erase(AsNumber(find));
}

bool FakeFileSystem::RemoveFile(const WString& path) {
  if (world_.Enter("DeleteFileW")) return false;
  const WString key = Key(path);
  auto node = nodes_.find(key);
  if (node == nodes_.end()) return Fail(platform::kErrorFileNotFound);
  if (node->second.folder) return Fail(platform::kErrorAccessDenied);
  if (node->second.attributes & platform::kFileAttributeReadOnly) {
    return Fail(platform::kErrorAccessDenied);
  }
  for (const auto& [handle, openKey] : files_) {
    if (openKey == key) return Fail(kErrorSharingViolation);
  }
  nodes_.erase(node);
  return true;
}

bool FakeFileSystem::RemoveFolder(const WString& path) {
  if (world_.Enter("RemoveDirectoryW")) return false;
  const WString key = Key(path);
  auto node = nodes_.find(key);
  if (node == nodes_.end()) return Fail(platform::kErrorFileNotFound);
  if (!node->second.folder) return Fail(267);  // ERROR_DIRECTORY
  // A link goes by itself, whatever its target holds.
  if (node->second.linkTarget.empty() && !ListTree(key).empty()) return Fail(kErrorDirNotEmpty);
  nodes_.erase(node);
  return true;
}

bool FakeFileSystem::MakeFolder(const WString& path) {
  if (world_.Enter("CreateDirectoryW")) return false;
  const WString key = Key(path);
  if (nodes_.count(key) != 0) return Fail(platform::kErrorAlreadyExists);
  if (!ParentIsFolder(key)) return Fail(platform::kErrorPathNotFound);
  AddFolder(path);
  return true;
}

uint32_t FakeFileSystem::Attributes(const WString& path) {
  if (world_.Enter("GetFileAttributesW")) return platform::kInvalidFileAttributes;
  const Node* node = Find(path);
  if (node == nullptr) {
    Fail(platform::kErrorFileNotFound);
    return platform::kInvalidFileAttributes;
  }
  return node->attributes;
}

platform::FileHandle FakeFileSystem::OpenFile(const WString& path, OpenMode mode) {
  if (world_.Enter("CreateFileW")) return kInvalidHandle;
  const WString key = Key(path);
  auto node = nodes_.find(key);
  if (mode == OpenMode::kProbeExisting) {
    if (node == nodes_.end()) {
      Fail(ParentIsFolder(key) ? platform::kErrorFileNotFound : platform::kErrorPathNotFound);
      return kInvalidHandle;
    }
    if (node->second.folder) {
      Fail(platform::kErrorAccessDenied);
      return kInvalidHandle;
    }
  } else {
    if (!ParentIsFolder(key)) {
      Fail(platform::kErrorPathNotFound);
      return kInvalidHandle;
    }
    if (node != nodes_.end() &&
        (node->second.folder || (node->second.attributes & platform::kFileAttributeReadOnly))) {
      Fail(platform::kErrorAccessDenied);
      return kInvalidHandle;
    }
    for (const auto& [handle, openKey] : files_) {
      if (openKey == key) {
        Fail(kErrorSharingViolation);
        return kInvalidHandle;
      }
    }
    AddFile(path);
  }
  const uintptr_t handle = nextHandle_++;
  files_[handle] = key;
  return AsHandle(handle);
}

bool FakeFileSystem::Write(platform::FileHandle file, const void* data, uint32_t size,
                           uint32_t* written) {
  *written = 0;
  writeSizes.push_back(size);
  if (world_.Enter("WriteFile")) return false;
  auto open = files_.find(AsNumber(file));
  if (open == files_.end()) return Fail(kErrorInvalidHandle);
  uint32_t count = size;
  if (writeLimit) count = std::min(count, *writeLimit);
  if (freeBytes) {
    if (*freeBytes < count) return Fail(platform::kErrorDiskFull);
    *freeBytes -= count;
  }
  auto& content = nodes_[open->second].content;
  const auto* bytes = static_cast<const uint8_t*>(data);
  content.insert(content.end(), bytes, bytes + count);
  *written = count;
  return true;
}

void FakeFileSystem::CloseFile(platform::FileHandle file) {
  world_.Enter("CloseHandle");
  files_.erase(AsNumber(file));
}

uint32_t FakeFileSystem::TempPath(uint32_t room, WString* path) {
  if (world_.Enter("GetTempPathW")) return 0;
  const uint32_t length = tempPathResult ? *tempPathResult : static_cast<uint32_t>(tempPath.size());
  if (length == 0 || length > room - 1) {
    path->clear();
    return length;
  }
  *path = tempPath.substr(0, length);
  return length;
}

// --------------------------------------------------------------- resources

WString FakeResources::LoadText(uint32_t id, uint32_t room) {
  world_.Enter("LoadStringW");
  auto text = strings.find(id);
  if (text == strings.end() || room == 0) return WString();
  return text->second.substr(0, room - 1);
}

platform::ResourceHandle FakeResources::FindData(uint32_t id) {
  if (world_.Enter("FindResourceW")) return nullptr;
  if (data_.count(id) == 0) {
    world_.lastError = platform::kErrorResourceNameNotFound;
    return nullptr;
  }
  return AsHandle(id);
}

uint32_t FakeResources::Size(platform::ResourceHandle resource) {
  world_.Enter("SizeofResource");
  auto data = data_.find(static_cast<uint32_t>(AsNumber(resource)));
  return data == data_.end() ? 0 : static_cast<uint32_t>(data->second.size());
}

platform::LoadedResource FakeResources::Load(platform::ResourceHandle resource) {
  if (world_.Enter("LoadResource")) return nullptr;
  ++loaded;
  return resource;
}

const void* FakeResources::Lock(platform::LoadedResource loadedResource) {
  if (world_.Enter("LockResource")) return nullptr;
  auto data = data_.find(static_cast<uint32_t>(AsNumber(loadedResource)));
  return data == data_.end() ? nullptr : data->second.data();
}

void FakeResources::Free(platform::LoadedResource) {
  world_.Enter("FreeResource");
  --loaded;
}

platform::IconHandle FakeResources::LoadAppIcon(uint32_t) {
  if (world_.Enter("LoadIconW")) return nullptr;
  return icon;
}

// ----------------------------------------------------------------- windows

FakeWindow* FakeWindows::New(FakeWindow window) {
  windows_.push_back(std::move(window));
  return &windows_.back();
}

FakeWindow* FakeWindows::AsWindow(platform::WindowHandle handle) {
  for (auto& window : windows_) {
    if (&window == handle) return &window;
  }
  return nullptr;
}

FakeWindow* FakeWindows::Control(int controlId) {
  return static_cast<FakeWindow*>(DialogItem(dialog_, controlId));
}

platform::WindowHandle FakeWindows::MakeDialog(uint32_t id) {
  struct ControlSpec {
    int id;
    const char* className;
    const char16_t* text;
  };
  static const ControlSpec kInstaller[] = {
      {IDC_CONTINUE, "Button", u"Continue"},
      {IDC_EXIT, "Button", u"Exit"},
      {IDC_LANGUAGE, "ComboBox", u""},
      {IDC_STATIC_LABEL, "Static", u"Select installation language"},
      {IDC_PROGRESS, "msctls_progress32", u""},
  };
  static const ControlSpec kLauncher[] = {
      {-1, "Button", u""},
      {-1, "Static", u""},
      {IDC_INSTALL, "Button", u"Install"},
      {IDC_PLAY, "Button", u"Play"},
      {IDC_UNINSTALL, "Button", u"Uninstall"},
      {IDC_README, "Button", u"View Readme"},
      {IDC_WEBSITE, "Button", u"Website"},
      {IDC_LANGUAGE, "ComboBox", u""},
      {IDC_EXIT, "Button", u"Exit"},
  };
  templateId = id;
  FakeWindow dialogWindow;
  dialogWindow.className = "#32770";
  dialog_ = New(dialogWindow);
  auto add = [&](const ControlSpec& spec) {
    FakeWindow control;
    control.controlId = spec.id;
    control.className = spec.className;
    control.text = spec.text;
    control.parent = dialog_;
    if (control.className == "msctls_progress32") control.step = 10;
    dialog_->children.push_back(New(control));
  };
  if (id == IDD_INSTALLER) {
    for (const auto& spec : kInstaller) add(spec);
  } else if (id == IDD_LAUNCHER) {
    for (const auto& spec : kLauncher) add(spec);
  }
  return dialog_;
}

platform::WindowHandle FakeWindows::CreateDialogWindow(uint32_t id,
                                                       platform::DialogProcedure proc) {
  if (world_.Enter("CreateDialogParamW")) return nullptr;
  procedure = proc;
  return MakeDialog(id);
}

platform::WindowHandle FakeWindows::DialogItem(platform::WindowHandle dialog, int controlId) {
  world_.Enter("GetDlgItem");
  FakeWindow* parent = AsWindow(dialog);
  if (parent == nullptr) return nullptr;
  for (FakeWindow* child : parent->children) {
    if (child->controlId == controlId) return child;
  }
  return nullptr;
}

bool FakeWindows::IsWindowAlive(platform::WindowHandle window) {
  world_.Enter("IsWindow");
  FakeWindow* found = AsWindow(window);
  return found != nullptr && !found->destroyed;
}

void FakeWindows::SetText(platform::WindowHandle window, const WString& text) {
  world_.Enter("SetWindowTextW");
  if (FakeWindow* found = AsWindow(window)) found->text = text;
}

void FakeWindows::Enable(platform::WindowHandle window, bool enabled) {
  world_.Enter("EnableWindow");
  if (FakeWindow* found = AsWindow(window)) found->enabled = enabled;
}

void FakeWindows::Focus(platform::WindowHandle window) {
  world_.Enter("SetFocus");
  focus = window;
}

void FakeWindows::Show(platform::WindowHandle window, int showCommand) {
  world_.Enter("ShowWindow");
  if (FakeWindow* found = AsWindow(window)) {
    found->showCommand = showCommand;
    found->visible = showCommand != platform::kShowHide;
  }
}

void FakeWindows::Update(platform::WindowHandle) { world_.Enter("UpdateWindow"); }

void FakeWindows::Destroy(platform::WindowHandle window) {
  world_.Enter("DestroyWindow");
  if (FakeWindow* found = AsWindow(window)) found->destroyed = true;
}

void FakeWindows::SetIcons(platform::WindowHandle window, platform::IconHandle icon) {
  world_.Enter("SetIcons");
  if (FakeWindow* found = AsWindow(window)) found->icon = icon;
}

void FakeWindows::ComboReset(platform::WindowHandle combo) {
  world_.Enter("CB_RESETCONTENT");
  if (FakeWindow* found = AsWindow(combo)) {
    found->items.clear();
    found->selection = -1;
  }
}

void FakeWindows::ComboAdd(platform::WindowHandle combo, const WString& item) {
  world_.Enter("CB_ADDSTRING");
  if (FakeWindow* found = AsWindow(combo)) found->items.push_back(item);
}

void FakeWindows::ComboSelect(platform::WindowHandle combo, int index) {
  world_.Enter("CB_SETCURSEL");
  FakeWindow* found = AsWindow(combo);
  if (found == nullptr) return;
  const bool valid = index >= 0 && index < static_cast<int>(found->items.size());
  found->selection = valid ? index : -1;
}

int FakeWindows::ComboSelection(platform::WindowHandle combo) {
  world_.Enter("CB_GETCURSEL");
  FakeWindow* found = AsWindow(combo);
  return found == nullptr ? platform::kComboError : found->selection;
}

void FakeWindows::ProgressSetRange(platform::WindowHandle bar, int32_t low, int32_t high) {
  world_.Enter("PBM_SETRANGE32");
  if (FakeWindow* found = AsWindow(bar)) {
    found->rangeLow = low;
    found->rangeHigh = high;
    found->position = std::clamp(found->position, low, std::max(low, high));
  }
}

void FakeWindows::ProgressSetStep(platform::WindowHandle bar, int32_t step) {
  world_.Enter("PBM_SETSTEP");
  if (FakeWindow* found = AsWindow(bar)) found->step = step;
}

void FakeWindows::ProgressStep(platform::WindowHandle bar) {
  world_.Enter("PBM_STEPIT");
  FakeWindow* found = AsWindow(bar);
  if (found == nullptr) return;
  // Like the real control, the position wraps to the low end past the top.
  found->position += found->step;
  if (found->position > found->rangeHigh) {
    found->position = found->rangeLow + (found->position - found->rangeHigh);
  }
}

int FakeWindows::MessageBox(platform::WindowHandle owner, const WString& text,
                            const WString& caption, uint32_t style) {
  world_.Enter("MessageBoxW");
  messageBoxes.push_back({owner, text, caption, style});
  if (onMessageBox) onMessageBox(messageBoxes.back());
  return 1;  // IDOK
}

platform::CursorHandle FakeWindows::LoadWaitCursor() {
  world_.Enter("LoadCursorW");
  return waitCursor;
}

void FakeWindows::SetCursor(platform::CursorHandle newCursor) {
  world_.Enter("SetCursor");
  cursor = newCursor;
}

bool FakeWindows::HandleNextMessage(platform::WindowHandle) {
  world_.Enter("PeekMessageW");
  if (queue.empty()) return false;
  auto message = std::move(queue.front());
  queue.pop_front();
  message();
  return true;
}

void FakeWindows::IdleWait(uint32_t milliseconds) {
  world_.Enter("MsgWaitForMultipleObjectsEx");
  idleWaits.push_back(milliseconds);
}

// ------------------------------------------------------------------- shell

bool FakeShell::Execute(const WString& verb, const WString& file, const WString& parameters,
                        const WString& directory, int showCommand) {
  executed.push_back({verb, file, parameters, directory, showCommand});
  return !world_.Enter("ShellExecuteW");
}

platform::ProcessHandle FakeShell::StartProcess(const WString& file, const WString& parameters,
                                                int showCommand) {
  started.push_back({WString(), file, parameters, WString(), showCommand});
  if (world_.Enter("ShellExecuteExW")) return nullptr;
  const uintptr_t handle = nextHandle_++;
  running[handle] = pollsUntilExit;
  return AsHandle(handle);
}

// ----------------------------------------------------------------- process

void FakeProcess::CreateInstanceMutex(const WString& name, bool* alreadyExists) {
  createdMutexes.push_back(name);
  if (world_.Enter("CreateMutexW")) {
    *alreadyExists = world_.lastError == platform::kErrorAlreadyExists;
    return;
  }
  *alreadyExists = !existingMutexes.insert(name).second;
  world_.lastError = *alreadyExists ? platform::kErrorAlreadyExists : 0;
}

std::optional<WString> FakeProcess::SystemErrorText(uint32_t code) {
  world_.Enter("FormatMessageW");
  auto text = errorTexts.find(code);
  if (text == errorTexts.end()) return std::nullopt;
  return text->second;
}

void FakeProcess::Sleep(uint32_t milliseconds) {
  world_.Enter("Sleep");
  sleeps.push_back(milliseconds);
}

uint32_t FakeProcess::WaitForProcess(platform::ProcessHandle process, uint32_t) {
  if (world_.Enter("WaitForSingleObject")) return platform::kWaitFailed;
  auto found = shell_.running.find(AsNumber(process));
  if (found == shell_.running.end()) return platform::kWaitFailed;
  if (found->second > 0) {
    --found->second;
    return platform::kWaitTimeout;
  }
  return platform::kWaitObject0;
}

void FakeProcess::CloseProcess(platform::ProcessHandle process) {
  world_.Enter("CloseHandle");
  shell_.running.erase(AsNumber(process));
  ++closedProcesses;
}

platform::ThreadHandle FakeProcess::StartThread(platform::ThreadProcedure procedure,
                                                void* parameter, uint32_t* newThreadId) {
  if (world_.Enter("CreateThread")) return nullptr;
  threads.push_back({procedure, parameter});
  *newThreadId = 100 + static_cast<uint32_t>(threads.size());
  return AsHandle(0x3000 + threads.size());
}

bool FakeProcess::WaitForThread(platform::ThreadHandle, uint32_t milliseconds) {
  world_.Enter("WaitForThread");
  return onWaitForThread ? onWaitForThread(milliseconds) : true;
}

void FakeProcess::Terminate(uint32_t code) {
  world_.Enter("ExitProcess");
  throw ProcessTerminated{code};
}

// ---------------------------------------------------------------- platform

FakePlatform::FakePlatform() {
  process.errorTexts = {
      {2, u"The system cannot find the file specified.\r\n"},
      {3, u"The system cannot find the path specified.\r\n"},
      {5, u"Access is denied.\r\n"},
      {112, u"There is not enough space on the disk.\r\n"},
      {183, u"Cannot create a file when that file already exists.\r\n"},
      {1814, u"The specified resource name cannot be found in the image file.\r\n"},
  };
}

void FakePlatform::FailNext(const std::string& operation, uint32_t code, int times) {
  world.faults[operation] = {code, times};
}

int FakePlatform::CallCount(const std::string& operation) const {
  return static_cast<int>(std::count(world.calls.begin(), world.calls.end(), operation));
}
