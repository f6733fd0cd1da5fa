// Starting other programs and documents over shell32.
//
// shell32 is no import of the exe: it and what it pulls in (shcore, ole32,
// ...) would be loaded before the entry point restricts the library search,
// from a loader that may still look in the exe's folder, where a download
// folder can hold planted copies. The entry point loads it from the system
// folder once the search is restricted (LoadShellFromSystemFolder); until
// then, and where that failed, every start fails as a failed start does.
#include "platform/windows_include.h"
#include "platform/windows_platform.h"

namespace platform {

namespace {

using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);

ShellExecuteFunction shellExecute = nullptr;
ShellExecuteExFunction shellExecuteEx = nullptr;

}  // namespace

void UseShellLibrary(void* shell32) {
  HMODULE library = static_cast<HMODULE>(shell32);
  if (library == nullptr) return;
  shellExecute = reinterpret_cast<ShellExecuteFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "ShellExecuteW")));
  shellExecuteEx = reinterpret_cast<ShellExecuteExFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "ShellExecuteExW")));
}

bool WindowsShell::Execute(const WString& verb, const WString& file, const WString& parameters,
                           const WString& directory, int showCommand) {
  if (shellExecute == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  HINSTANCE result = shellExecute(nullptr, WideOrNull(verb), Wide(file), WideOrNull(parameters),
                                  WideOrNull(directory), showCommand);
  // Values above 32 mean success; the rest are error numbers.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

ProcessHandle WindowsShell::StartProcess(const WString& file, const WString& parameters,
                                         const WString& directory, int showCommand) {
  if (shellExecuteEx == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = Wide(file);
  info.lpParameters = Wide(parameters);
  info.lpDirectory = WideOrNull(directory);
  info.nShow = showCommand;
  if (!shellExecuteEx(&info)) return nullptr;
  return info.hProcess;
}

}  // namespace platform
