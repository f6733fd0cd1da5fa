// The fake file system: a tree of nodes keyed by lower-case absolute path.
#include <algorithm>

#include "fake_platform.h"
#include "fake_support.h"

using platform::FindEntry;
using platform::kInvalidHandle;

namespace {

using platform::kErrorSharingViolation;
constexpr uint32_t kErrorDirNotEmpty = 145;

}  // namespace

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

void* FakeFileSystem::FailHandle(uint32_t code) {
  Fail(code);
  return kInvalidHandle;
}

bool FakeFileSystem::IsOpen(const WString& key) const {
  return std::any_of(files_.begin(), files_.end(),
                     [&](const auto& open) { return open.second.key == key; });
}

bool FakeFileSystem::IsHeld(const WString& path) const {
  const WString key = Key(path);
  return std::any_of(files_.begin(), files_.end(), [&](const auto& open) {
    return open.second.key == key && (open.second.mode == OpenMode::kCreateNewWrite ||
                                      open.second.mode == OpenMode::kHoldFile ||
                                      open.second.mode == OpenMode::kHoldFileWhileOpen ||
                                      open.second.mode == OpenMode::kHoldFolder);
  });
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
      return FailHandle(node == nodes_.end() ? platform::kErrorPathNotFound : kErrorInvalidHandle);
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
    if (node == nullptr) return FailHandle(platform::kErrorFileNotFound);
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
  if (IsOpen(key)) return Fail(kErrorSharingViolation);
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
  if (IsOpen(key)) return Fail(kErrorSharingViolation);
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
  // Who may open what beside whom, as the share modes of the real layer say.
  const auto openBy = [&](auto test) {
    return std::any_of(files_.begin(), files_.end(), [&](const auto& open) {
      return open.second.key == key && test(open.second.mode);
    });
  };
  const auto writing = [](OpenMode other) { return other == OpenMode::kCreateNewWrite; };
  if (mode == OpenMode::kCreateNewWrite) {
    if (!ParentIsFolder(key)) return FailHandle(platform::kErrorPathNotFound);
    if (node != nodes_.end()) return FailHandle(platform::kErrorFileExists);
    AddFile(path);
    // No one may write it once its writing handle is closed: the real
    // layer's DACL, which Wine shows as the read-only attribute.
    nodes_[key].attributes = 0x100 | platform::kFileAttributeReadOnly;  // temporary
  } else {
    if (node == nodes_.end()) {
      return FailHandle(ParentIsFolder(key) ? platform::kErrorFileNotFound
                                            : platform::kErrorPathNotFound);
    }
    const bool folderMode = mode == OpenMode::kHoldFolder;
    if (node->second.folder != folderMode) return FailHandle(platform::kErrorAccessDenied);
    // A held file shares reading only; one being written shares it with
    // the hold made beside it alone.
    if (mode == OpenMode::kHoldFile && openBy(writing)) return FailHandle(kErrorSharingViolation);
    if (mode == OpenMode::kReadSequential && openBy(writing)) {
      return FailHandle(kErrorSharingViolation);
    }
  }
  const uintptr_t handle = nextHandle_++;
  files_[handle] = OpenFileEntry{key, mode};
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
  if (open->second.mode != OpenMode::kCreateNewWrite) return Fail(platform::kErrorAccessDenied);
  auto& content = nodes_[open->second.key].content;
  const auto* bytes = static_cast<const uint8_t*>(data);
  content.insert(content.end(), bytes, bytes + count);
  *written = count;
  return true;
}

bool FakeFileSystem::Read(platform::FileHandle file, void* buffer, uint32_t size, uint32_t* read) {
  *read = 0;
  if (world_.Enter("ReadFile")) return false;
  auto open = files_.find(AsNumber(file));
  if (open == files_.end()) return Fail(kErrorInvalidHandle);
  const std::vector<uint8_t>& content = nodes_[open->second.key].content;
  uint64_t& position = readPositions_[open->first];
  const uint64_t left = position < content.size() ? content.size() - position : 0;
  const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(size, left));
  if (count != 0) {
    std::copy_n(content.begin() + static_cast<std::ptrdiff_t>(position), count,
                static_cast<uint8_t*>(buffer));
  }
  position += count;
  *read = count;
  return true;
}

bool FakeFileSystem::Seek(platform::FileHandle file, uint64_t offset) {
  if (world_.Enter("SetFilePointerEx")) return false;
  if (files_.count(AsNumber(file)) == 0) return Fail(kErrorInvalidHandle);
  readPositions_[AsNumber(file)] = offset;
  return true;
}

std::optional<uint64_t> FakeFileSystem::FileSize(platform::FileHandle file) {
  if (world_.Enter("GetFileSizeEx")) return std::nullopt;
  auto open = files_.find(AsNumber(file));
  if (open == files_.end()) {
    Fail(kErrorInvalidHandle);
    return std::nullopt;
  }
  return nodes_[open->second.key].content.size();
}

void FakeFileSystem::CloseFile(platform::FileHandle file) {
  world_.Enter("CloseHandle");
  files_.erase(AsNumber(file));
  readPositions_.erase(AsNumber(file));
}

std::optional<uint32_t> FakeFileSystem::HeldAttributes(platform::FileHandle file) {
  if (world_.Enter("GetFileInformationByHandle")) return std::nullopt;
  auto open = files_.find(AsNumber(file));
  if (open == files_.end()) {
    Fail(kErrorInvalidHandle);
    return std::nullopt;
  }
  return nodes_[open->second.key].attributes;
}

bool FakeFileSystem::ClearReadOnly(platform::FileHandle file) {
  if (world_.Enter("SetFileInformationByHandle")) return false;
  auto open = files_.find(AsNumber(file));
  if (open == files_.end()) return Fail(kErrorInvalidHandle);
  nodes_[open->second.key].attributes &= ~platform::kFileAttributeReadOnly;
  return true;
}

std::optional<uint64_t> FakeFileSystem::FreeSpace(const WString&) {
  if (world_.Enter("GetDiskFreeSpaceExW")) return std::nullopt;
  if (reportedFreeBytes) return reportedFreeBytes;
  if (freeBytes) return freeBytes;
  Fail(platform::kErrorInvalidParameter);
  return std::nullopt;
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
