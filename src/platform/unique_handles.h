// Move-only owners of the handles the logic opens through the seam, so that
// no early return can leak one. Each closes its handle through the same
// interface that opened it.
#pragma once

#include <utility>

#include "platform/platform.h"

namespace platform {

// Owns a handle of kind Handle, closed by Closer::Close(Owner&, Handle) unless
// it is the invalid value `Invalid()`.
template <typename Owner, typename Handle, typename Closer>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  UniqueHandle(Owner& owner, Handle handle) : owner_(&owner), handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept
      : owner_(other.owner_), handle_(std::exchange(other.handle_, Closer::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      owner_ = other.owner_;
      handle_ = std::exchange(other.handle_, Closer::Invalid());
    }
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  Handle get() const { return handle_; }
  bool valid() const { return handle_ != Closer::Invalid(); }
  explicit operator bool() const { return valid(); }
  void Reset() {
    if (valid() && owner_ != nullptr) Closer::Close(*owner_, handle_);
    handle_ = Closer::Invalid();
  }

 private:
  Owner* owner_ = nullptr;
  Handle handle_ = Closer::Invalid();
};

struct KeyCloser {
  static KeyHandle Invalid() { return nullptr; }
  static void Close(Registry& registry, KeyHandle key) { registry.CloseKey(key); }
};
struct FindCloser {
  static FindHandle Invalid() { return kInvalidHandle; }
  static void Close(FileSystem& files, FindHandle find) { files.FindClose(find); }
};
struct FileCloser {
  static FileHandle Invalid() { return kInvalidHandle; }
  static void Close(FileSystem& files, FileHandle file) { files.CloseFile(file); }
};
struct LoadedResourceCloser {
  static LoadedResource Invalid() { return nullptr; }
  static void Close(Resources& resources, LoadedResource loaded) { resources.Free(loaded); }
};
struct ProcessCloser {
  static ProcessHandle Invalid() { return nullptr; }
  static void Close(Process& process, ProcessHandle handle) { process.CloseProcess(handle); }
};

using UniqueHKey = UniqueHandle<Registry, KeyHandle, KeyCloser>;
using UniqueFindHandle = UniqueHandle<FileSystem, FindHandle, FindCloser>;
using UniqueFileHandle = UniqueHandle<FileSystem, FileHandle, FileCloser>;
using UniqueLoadedResource = UniqueHandle<Resources, LoadedResource, LoadedResourceCloser>;
using UniqueProcessHandle = UniqueHandle<Process, ProcessHandle, ProcessCloser>;

}  // namespace platform
