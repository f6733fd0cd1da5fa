// Registry reads over advapi32, opened for querying only.
#include "platform/windows_include.h"
#include "platform/windows_platform.h"

namespace platform {

uint32_t WindowsRegistry::OpenKey(Root root, const WString& path, KeyHandle* key) {
  const bool localMachine = root == Root::kLocalMachine;
  // The game's package is 32-bit and writes the 32-bit view of the machine's
  // keys; asking for it explicitly lets the 64-bit build see the same values.
  // A 32-bit process gets that view anyway, and 32-bit Windows ignores the
  // flag. File types are asked in the process's own view, the one its shell
  // opens documents with.
  const REGSAM access = KEY_QUERY_VALUE | (localMachine ? KEY_WOW64_32KEY : 0);
  HKEY opened = nullptr;
  LONG result = RegOpenKeyExW(localMachine ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT, Wide(path), 0,
                              access, &opened);
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
