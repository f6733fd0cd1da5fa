// The fake resources of the executable: strings and data blocks by id.
#include "fake_platform.h"
#include "fake_support.h"

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
