#include "install/resource_bytes.h"

#include <optional>
#include <utility>

#include "install/fatal_error.h"
#include "install/read_exactly.h"

const void* LockLoadedResource(const platform::Platform& os,
                               const platform::UniqueLoadedResource& owner) {
  if (owner.get() == nullptr) FatalError(os, u"LoadResource");
  const void* bytes = os.resources.Lock(owner.get());
  if (bytes == nullptr) FatalError(os, u"LockResource");
  return bytes;
}

ResourceBytes::ResourceBytes(const platform::Platform& os, platform::ResourceHandle resource,
                             uint32_t size)
    : os_(os),
      loaded_(os.resources, os.resources.Load(resource)),
      locked_(static_cast<const unsigned char*>(LockLoadedResource(os, loaded_))) {
  const std::optional<uint64_t> offset = os.resources.FileOffset(locked_, size);
  if (!offset || size == 0) return;
  const WString program = os.resources.ProgramPath();
  if (program.empty()) return;
  platform::UniqueFileHandle file(
      os.files, os.files.OpenFile(program, platform::FileSystem::OpenMode::kReadSequential));
  // Whatever keeps the file from being read, the mapping still holds the
  // bytes: it is used instead.
  if (!file || !os.files.Seek(file.get(), *offset)) return;
  file_ = std::move(file);
  buffer_.resize(size < kChunkBytes ? size : kChunkBytes);
}

const unsigned char* ResourceBytes::Next(uint32_t count) {
  if (!file_) {
    const unsigned char* chunk = locked_ + handedOut_;
    handedOut_ += count;
    return chunk;
  }
  if (!ReadExactly(os_, file_.get(), buffer_.data(), count)) return nullptr;
  handedOut_ += count;
  return buffer_.data();
}
