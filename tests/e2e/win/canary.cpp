// canary.dll: proves a DLL was loaded from where it must not be. The bench
// copies it under the names of system DLLs beside the launcher and into its
// current folder; when the loader picks such a copy, DllMain leaves a marker
// file named after the copy in the folder given by CANARY_DIR.

#include <windows.h>

#include <string>

#include "json_writer.h"

namespace {

void LeaveMarker(HMODULE self) {
  wchar_t folder[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(L"CANARY_DIR", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  wchar_t modulePath[MAX_PATH] = {};
  if (!GetModuleFileNameW(self, modulePath, MAX_PATH)) return;
  std::wstring path = modulePath;
  std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  std::wstring marker = std::wstring(folder) + L"\\" + name + L".loaded";
  HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  // The marker names the copy that was loaded, so a failure says where from.
  const std::string utf8 = JsonWriter::ToUtf8(path);
  DWORD written = 0;
  WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMarker(instance);
  return TRUE;
}
