// fault_tool: answers what the installation scenarios must know from inside
// the Wine prefix, where the system's own answers are the ones the launcher
// will meet. Prints one JSON object.
//
//   fault_tool error-text CODE          the system's description of CODE, as
//                                       FormatMessageW gives it to the launcher
//   fault_tool run EXIT_FILE PROGRAM    runs PROGRAM, waits for it and writes
//                                       its whole exit code to EXIT_FILE (wine
//                                       itself passes on only the low 8 bits)
//   fault_tool exit-mid-way EXE MS      waits (MS at most) until the progress
//                                       bar of EXE's window has moved but is
//                                       below nine tenths (a finished bar may
//                                       stop short of its end by a step per
//                                       file), then presses Exit at once: a
//                                       separate look and click would come too
//                                       late for a fast unpacking
//   fault_tool drive-type ROOT          the kind of drive ROOT ("D:\\") is
//
// Exit code 0 when the command succeeded, 1 when it failed, 2 for a
// malformed command line.

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cwchar>
#include <string>

#include "json_writer.h"
#include "window_finder.h"

namespace {

int Report(bool ok, const char* key, const std::wstring& value) {
  JsonWriter json;
  json.BeginObject();
  json.Key("ok");
  json.Bool(ok);
  json.Key(key);
  json.String(value);
  json.EndObject();
  PrintJsonLine(json);
  return ok ? 0 : 1;
}

int Fail(const std::wstring& what) {
  return Report(false, "error", what + L" failed with error " + std::to_wstring(GetLastError()));
}

int ErrorText(DWORD code) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text),
      0, nullptr);
  if (length == 0 || !text) return Fail(L"FormatMessageW");
  std::wstring description(text, length);
  LocalFree(text);
  return Report(true, "text", description);
}

int RunProgram(const std::wstring& exitFile, const std::wstring& program) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring commandLine = L"\"" + program + L"\"";
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return Fail(L"CreateProcessW");
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  BOOL known = GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  if (!known) return Fail(L"GetExitCodeProcess");

  std::string text = std::to_string(exitCode) + "\n";
  HANDLE file = CreateFileW(exitFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail(L"CreateFileW");
  DWORD written = 0;
  BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok) return Fail(L"WriteFile");
  return Report(true, "exit_code", std::to_wstring(exitCode));
}

int ExitMidWay(const std::wstring& exeName, DWORD timeoutMs) {
  const int kProgress = 1003;
  const int kExit = 1012;
  WindowQuery query;
  query.exeName = exeName;
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    HWND dialog = FindMainDialog(query);
    HWND progress = dialog ? GetDlgItem(dialog, kProgress) : nullptr;
    DWORD_PTR position = 0;
    DWORD_PTR high = 0;
    if (progress &&
        SendMessageTimeoutW(progress, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position) &&
        SendMessageTimeoutW(progress, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 1000, &high) &&
        position > 0 && position < high / 10 * 9) {
      // Posted like a click: Exit may end the program before it answers.
      PostMessageW(GetDlgItem(dialog, kExit), BM_CLICK, 0, 0);
      return Report(true, "pressed_at",
                    std::to_wstring(position) + L" of " + std::to_wstring(high));
    }
    if (GetTickCount64() >= deadline)
      return Report(false, "error", L"the progress bar never moved");
    Sleep(5);
  }
}

// The kind of drive a root folder ("D:\\") is, as GetDriveTypeW says:
// 5 for a CD-ROM drive.
int DriveType(const std::wstring& root) {
  return Report(true, "drive_type", std::to_wstring(GetDriveTypeW(root.c_str())));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"error-text" && argc == 3) return ErrorText(wcstoul(argv[2], nullptr, 10));
  if (command == L"run" && argc == 4) return RunProgram(argv[2], argv[3]);
  if (command == L"drive-type" && argc == 3) return DriveType(argv[2]);
  if (command == L"exit-mid-way" && argc == 4)
    return ExitMidWay(argv[2], wcstoul(argv[3], nullptr, 10));
  Report(false, "error",
         L"usage: fault_tool error-text CODE | run EXIT_FILE PROGRAM | exit-mid-way EXE MS | "
         L"drive-type ROOT");
  return 2;
}
