// canary.dll: proves a DLL was loaded from where it must not be. The bench
// copies it under the names of system DLLs beside the launcher and into its
// current folder; when the loader picks such a copy, DllMain leaves a marker
// file named after the copy in the folder given by CANARY_DIR.

#include <windows.h>

#include <string>

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
  int size = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size > 0 ? size : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, &utf8[0], size, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size() - 1), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMarker(instance);
  return TRUE;
}
