#include "install/workspace.h"

#include <utility>
#include <vector>

const WChar kWorkspaceNamePrefix[] = u"CorvaneInstaller-";

namespace {

// A clash of 64 random bits is all but impossible; a few tries are plenty,
// and a generator that keeps repeating itself must not loop for ever.
constexpr int kNameTries = 16;

constexpr uint32_t kErrorOperationAborted = 995;

// The worker records what it makes while the main thread may be ending the
// program; the removal and each record take turns.
class WorkspaceLock {
 public:
  WorkspaceLock(LauncherState& state, const platform::Platform& os) : state_(state) {
    while (state_.workspaceLock.test_and_set(std::memory_order_acquire)) os.process.Sleep(1);
  }
  ~WorkspaceLock() { state_.workspaceLock.clear(std::memory_order_release); }
  WorkspaceLock(const WorkspaceLock&) = delete;
  WorkspaceLock& operator=(const WorkspaceLock&) = delete;

 private:
  LauncherState& state_;
};

bool IsFolder(uint32_t attributes) { return (attributes & platform::kFileAttributeDirectory) != 0; }
bool IsLink(uint32_t attributes) {
  return (attributes & platform::kFileAttributeReparsePoint) != 0;
}

// Removes one entry by its own name. The entries inside it went first; its
// hold is closed last, just before the name goes.
void Remove(const platform::Platform& os, WorkspaceEntry& entry) {
  if (entry.folder) {
    entry.hold.Reset();
    os.files.RemoveFolder(entry.path);
    return;
  }
  // A file whose writing failed or stopped was never held.
  if (!entry.hold) {
    entry.hold = platform::UniqueFileHandle(
        os.files, os.files.OpenFile(entry.path, platform::FileSystem::OpenMode::kHoldFile));
  }
  // Where the system reads a file that no one may write as read-only, it
  // would not delete it.
  if (entry.hold) os.files.ClearReadOnly(entry.hold.get());
  entry.hold.Reset();
  os.files.RemoveFile(entry.path);
}

// Keeps the entry until the workspace is removed; when that happened
// already, removes it at once and fails.
bool Record(LauncherState& state, const platform::Platform& os, WorkspaceEntry entry) {
  {
    WorkspaceLock lock(state, os);
    if (!state.workspaceRemoved) {
      state.workspaceEntries.push_back(std::move(entry));
      return true;
    }
  }
  Remove(os, entry);
  os.process.SetLastError(kErrorOperationAborted);
  return false;
}

WString HexText(const uint8_t* bytes, uint32_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  WString text;
  for (uint32_t i = 0; i < count; ++i) {
    text.push_back(static_cast<WChar>(kDigits[bytes[i] >> 4]));
    text.push_back(static_cast<WChar>(kDigits[bytes[i] & 0xF]));
  }
  return text;
}

}  // namespace

bool MakeWorkspaceFolder(LauncherState& state, const platform::Platform& os, const WString& path) {
  if (!os.files.MakeFolder(path)) return false;
  platform::UniqueFileHandle hold(
      os.files, os.files.OpenFile(path, platform::FileSystem::OpenMode::kHoldFolder));
  if (!hold) return false;
  // Something else took the name between its making and its hold.
  const std::optional<uint32_t> attributes = os.files.HeldAttributes(hold.get());
  if (!attributes || !IsFolder(*attributes) || IsLink(*attributes)) {
    os.process.SetLastError(platform::kErrorAlreadyExists);
    return false;
  }
  return Record(state, os, WorkspaceEntry{path, true, std::move(hold)});
}

bool CreateWorkspace(LauncherState& state, const platform::Platform& os,
                     const WString& tempFolder) {
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    uint8_t random[kWorkspaceRandomBytes];
    if (!os.process.RandomBytes(random, sizeof random)) return false;
    const WString folder = tempFolder + kWorkspaceNamePrefix + HexText(random, sizeof random);
    if (MakeWorkspaceFolder(state, os, folder)) {
      state.workspaceDir = folder + u"\\";
      return true;
    }
    if (os.process.LastError() != platform::kErrorAlreadyExists) return false;
  }
  return false;
}

platform::UniqueFileHandle CreateWorkspaceFile(LauncherState& state, const platform::Platform& os,
                                               const WString& path) {
  platform::UniqueFileHandle written(
      os.files, os.files.OpenFile(path, platform::FileSystem::OpenMode::kCreateNewWrite));
  if (!written) return written;
  // Recorded at once, so that a file whose writing fails is removed too.
  {
    WorkspaceLock lock(state, os);
    if (!state.workspaceRemoved) {
      state.workspaceEntries.push_back(WorkspaceEntry{path, false, {}});
      return written;
    }
  }
  written.Reset();
  WorkspaceEntry late{path, false, {}};
  Remove(os, late);
  os.process.SetLastError(kErrorOperationAborted);
  return platform::UniqueFileHandle();
}

bool HoldWrittenFile(LauncherState& state, const platform::Platform& os, const WString& path,
                     platform::UniqueFileHandle written) {
  using OpenMode = platform::FileSystem::OpenMode;
  // Held beside the writing handle first, so that the name cannot be
  // removed or renamed in the moment between the two.
  platform::UniqueFileHandle bridge(os.files,
                                    os.files.OpenFile(path, OpenMode::kHoldFileWhileOpen));
  if (!bridge) return false;
  written.Reset();
  // Shared for reading only: it opens only when no one else has the file
  // open for writing, and keeps it so.
  platform::UniqueFileHandle hold(os.files, os.files.OpenFile(path, OpenMode::kHoldFile));
  if (!hold) return false;
  bridge.Reset();
  const std::optional<uint32_t> attributes = os.files.HeldAttributes(hold.get());
  if (!attributes || IsFolder(*attributes) || IsLink(*attributes)) {
    os.process.SetLastError(platform::kErrorAlreadyExists);
    return false;
  }
  WorkspaceLock lock(state, os);
  // Removed meanwhile: the hold goes with this call, and the file with it.
  if (state.workspaceRemoved || state.workspaceEntries.empty() ||
      state.workspaceEntries.back().path != path) {
    os.process.SetLastError(kErrorOperationAborted);
    return false;
  }
  state.workspaceEntries.back().hold = std::move(hold);
  return true;
}

void RemoveWorkspace(LauncherState& state, const platform::Platform& os) {
  std::vector<WorkspaceEntry> entries;
  {
    WorkspaceLock lock(state, os);
    state.workspaceRemoved = true;
    entries.swap(state.workspaceEntries);
  }
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) Remove(os, *entry);
}
