// starter.exe SHOW_COMMAND PROGRAM: starts PROGRAM the way a shortcut set to
// "minimized" would, with STARTUPINFO.wShowWindow = SHOW_COMMAND (a number,
// e.g. 7 for SW_SHOWMINNOACTIVE), waits for it and returns its exit code.

#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(wcstoul(argv[1], nullptr, 10));
  std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\"";
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(argv[2], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return 3;
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 4;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  return static_cast<int>(exitCode);
}
