#include <windows.h>
// windows.h first: the structured storage headers need its types.
#include <objbase.h>

#include <cstring>

#include "system/package_file.h"

namespace {

// A COM interface, released when it goes out of scope.
template <typename Interface>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  Interface** Out() { return &pointer_; }
  Interface* operator->() const { return pointer_; }
  Interface* Get() const { return pointer_; }

 private:
  Interface* pointer_ = nullptr;
};

// COM for this thread, for as long as the tool works on a package.
class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool ok_;
};

const wchar_t* Wide(const WString& name) { return reinterpret_cast<const wchar_t*>(name.c_str()); }

bool OpenRoot(const std::filesystem::path& path, bool write, ComRef<IStorage>& root) {
  const DWORD mode = write ? STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_TRANSACTED
                           : STGM_READ | STGM_SHARE_DENY_WRITE | STGM_TRANSACTED;
  return SUCCEEDED(StgOpenStorage(path.wstring().c_str(), nullptr, mode, nullptr, 0, root.Out()));
}

std::optional<std::vector<uint8_t>> ReadStream(IStorage* parent, const WString& name) {
  ComRef<IStream> stream;
  if (FAILED(parent->OpenStream(Wide(name), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                stream.Out())))
    return std::nullopt;
  STATSTG stat = {};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || stat.cbSize.QuadPart > 0x7FFFFFFF)
    return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
  ULONG read = 0;
  if (!bytes.empty() &&
      (FAILED(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read)) ||
       read != bytes.size()))
    return std::nullopt;
  return bytes;
}

std::optional<StorageContent> ReadStorage(IStorage* storage) {
  StorageContent content;
  STATSTG self = {};
  if (FAILED(storage->Stat(&self, STATFLAG_NONAME))) return std::nullopt;
  static_assert(sizeof(self.clsid) == 16, "a class id is 16 bytes");
  std::memcpy(content.classId.data(), &self.clsid, 16);
  ComRef<IEnumSTATSTG> children;
  if (FAILED(storage->EnumElements(0, nullptr, 0, children.Out()))) return std::nullopt;
  STATSTG child = {};
  while (children->Next(1, &child, nullptr) == S_OK) {
    const WString name(reinterpret_cast<const char16_t*>(child.pwcsName));
    CoTaskMemFree(child.pwcsName);
    if (child.type == STGTY_STORAGE) {
      ComRef<IStorage> inner;
      if (FAILED(storage->OpenStorage(Wide(name), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                                      nullptr, 0, inner.Out())))
        return std::nullopt;
      std::optional<StorageContent> innerContent = ReadStorage(inner.Get());
      if (!innerContent) return std::nullopt;
      content.storages[name] = std::move(*innerContent);
    } else if (std::optional<std::vector<uint8_t>> bytes = ReadStream(storage, name)) {
      content.streams[name] = std::move(*bytes);
    } else {
      return std::nullopt;
    }
  }
  return content;
}

bool WriteStream(IStorage* parent, const WString& name, const std::vector<uint8_t>& bytes) {
  ComRef<IStream> stream;
  ULONG written = 0;
  return SUCCEEDED(parent->CreateStream(Wide(name), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE,
                                        0, 0, stream.Out())) &&
         SUCCEEDED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) &&
         written == bytes.size();
}

bool WriteStorage(IStorage* parent, const WString& name, const StorageContent& content) {
  ComRef<IStorage> storage;
  CLSID classId;
  std::memcpy(&classId, content.classId.data(), 16);
  if (FAILED(parent->CreateStorage(Wide(name), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                   0, 0, storage.Out())) ||
      FAILED(storage->SetClass(classId)))
    return false;
  for (const auto& [streamName, bytes] : content.streams) {
    if (!WriteStream(storage.Get(), streamName, bytes)) return false;
  }
  for (const auto& [storageName, inner] : content.storages) {
    if (!WriteStorage(storage.Get(), storageName, inner)) return false;
  }
  return SUCCEEDED(storage->Commit(STGC_DEFAULT));
}

}  // namespace

std::optional<StorageContent> ReadStorageFile(const std::filesystem::path& path) {
  const ComScope com;
  ComRef<IStorage> root;
  if (!OpenRoot(path, false, root)) return std::nullopt;
  return ReadStorage(root.Get());
}

std::optional<std::vector<uint8_t>> ReadPackageStream(const std::filesystem::path& package,
                                                      const WString& name) {
  const ComScope com;
  ComRef<IStorage> root;
  if (!OpenRoot(package, false, root)) return std::nullopt;
  return ReadStream(root.Get(), name);
}

std::optional<StorageContent> ReadPackageStorage(const std::filesystem::path& package,
                                                 const WString& name) {
  const ComScope com;
  ComRef<IStorage> root;
  ComRef<IStorage> storage;
  if (!OpenRoot(package, false, root) ||
      FAILED(root->OpenStorage(Wide(name), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                               storage.Out())))
    return std::nullopt;
  return ReadStorage(storage.Get());
}

bool UpdatePackage(const std::filesystem::path& package,
                   const std::map<WString, std::vector<uint8_t>>& streams,
                   const std::map<WString, StorageContent>& storages) {
  const ComScope com;
  ComRef<IStorage> root;
  if (!OpenRoot(package, true, root)) return false;
  for (const auto& [name, content] : storages) {
    root->DestroyElement(Wide(name));  // a storage of that name is replaced
    if (!WriteStorage(root.Get(), name, content)) return false;
  }
  for (const auto& [name, bytes] : streams) {
    if (!WriteStream(root.Get(), name, bytes)) return false;
  }
  // Transacted: nothing reaches the file before this.
  return SUCCEEDED(root->Commit(STGC_DEFAULT));
}
