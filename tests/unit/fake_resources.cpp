// The fake resources of the executable: strings, data blocks and bitmaps by id.
#include "fake_platform.h"
#include "fake_support.h"

namespace {

// A bitmap's handle is its id above this, so that Size and Lock tell it
// apart from a data block of the same id.
constexpr uintptr_t kBitmapHandles = 0x10000;

}  // namespace

const std::string* FakeResources::Bytes(const void* handle) const {
  const uintptr_t number = AsNumber(handle);
  const auto& blocks = number >= kBitmapHandles ? bitmaps : data_;
  auto found = blocks.find(static_cast<uint32_t>(number % kBitmapHandles));
  return found == blocks.end() ? nullptr : &found->second;
}

WString FakeResources::LoadText(uint32_t id, uint32_t room) {
  world_.Enter("LoadStringW");
  auto text = strings.find(id);
  if (text == strings.end() || room == 0) return WString();
  // As the Windows layer reads LoadStringW's buffer: cut to the room, then
  // at the first NUL.
  const WString copied = text->second.substr(0, room - 1);
  return copied.substr(0, copied.find(u'\0'));
}

platform::ResourceHandle FakeResources::FindData(uint32_t id) {
  if (world_.Enter("FindResourceW")) return nullptr;
  if (data_.count(id) == 0) {
    world_.lastError = platform::kErrorResourceNameNotFound;
    return nullptr;
  }
  return AsHandle(id);
}

platform::ResourceHandle FakeResources::FindBitmap(uint32_t id) {
  if (world_.Enter("FindResourceW")) return nullptr;
  if (bitmaps.count(id) == 0) {
    world_.lastError = platform::kErrorResourceNameNotFound;
    return nullptr;
  }
  return AsHandle(kBitmapHandles + id);
}

uint32_t FakeResources::Size(platform::ResourceHandle resource) {
  world_.Enter("SizeofResource");
  const std::string* bytes = Bytes(resource);
  return bytes == nullptr ? 0 : static_cast<uint32_t>(bytes->size());
}

platform::LoadedResource FakeResources::Load(platform::ResourceHandle resource) {
  if (world_.Enter("LoadResource")) return nullptr;
  ++loaded;
  return resource;
}

const void* FakeResources::Lock(platform::LoadedResource loadedResource) {
  if (world_.Enter("LockResource")) return nullptr;
  const std::string* bytes = Bytes(loadedResource);
  return bytes == nullptr ? nullptr : bytes->data();
}

void FakeResources::Free(platform::LoadedResource) {
  world_.Enter("FreeResource");
  --loaded;
}

WString FakeResources::ProgramPath() {
  if (world_.Enter("GetModuleFileNameW")) return WString();
  return programPath;
}

std::optional<uint64_t> FakeResources::FileOffset(const void* bytes, uint32_t size) {
  for (const auto& [id, block] : data_) {
    if (block.data() != bytes || block.size() < size) continue;
    auto offset = fileOffsets.find(id);
    if (offset != fileOffsets.end()) return offset->second;
  }
  return std::nullopt;
}
