// Registry reads over advapi32: opened for querying only, in the registry
// view that a 32-bit program gets by default.
#include "platform/windows_include.h"
#include "platform/windows_platform.h"

namespace platform {

uint32_t WindowsRegistry::OpenKey(Root root, const WString& path, KeyHandle* key) {
  HKEY rootKey = root == Root::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
  HKEY opened = nullptr;
  LONG result = RegOpenKeyExW(rootKey, Wide(path), 0, KEY_QUERY_VALUE, &opened);
  if (result == ERROR_SUCCESS) *key = opened;
  return static_cast<uint32_t>(result);
}

uint32_t WindowsRegistry::QueryValue(KeyHandle key, const WString& name, void* data,
                                     uint32_t* size) {
  DWORD bytes = *size;
  LONG result = RegQueryValueExW(static_cast<HKEY>(key), Wide(name), nullptr, nullptr,
                                 static_cast<BYTE*>(data), &bytes);
  *size = bytes;
  return static_cast<uint32_t>(result);
}

void WindowsRegistry::CloseKey(KeyHandle key) { RegCloseKey(static_cast<HKEY>(key)); }

}  // namespace platform
