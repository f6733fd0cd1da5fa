// The fake registry: keys and values in a map, looked up without case.
#include <cstring>

#include "fake_platform.h"
#include "fake_support.h"

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

std::vector<uint8_t> Utf16LeBytes(const WString& text) {
  std::vector<uint8_t> bytes;
  for (WChar unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

void FakeRegistry::SetString(const WString& path, const WString& name, const WString& text) {
  SetBytes(Root::kLocalMachine, path, name, Utf16LeBytes(text + WString(1, u'\0')));
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
