// fault_tool: answers what the installation scenarios must know from inside
// the Wine prefix, where the system's own answers are the ones the launcher
// will meet. Prints one JSON object.
//
//   fault_tool error-text CODE          the system's description of CODE, as
//                                       FormatMessageW gives it to the launcher
//   fault_tool run EXIT_FILE PROGRAM    runs PROGRAM, waits for it and writes
//                                       its whole exit code to EXIT_FILE (wine
//                                       itself passes on only the low 8 bits)
//   fault_tool exit-mid-way EXE MS      presses Continue in EXE's window,
//                                       then Exit once the progress bar has
//                                       moved, holding the worker meanwhile:
//                                       Exit comes mid-way however fast the
//                                       disk (MS: how long the bar may take)
//   fault_tool drive-type ROOT          the kind of drive ROOT ("D:\\") is
//
// Exit code 0 when the command succeeded, 1 when it failed, 2 for a
// malformed command line.

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <tlhelp32.h>

#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "json_writer.h"
#include "resource_ids.h"
#include "window_finder.h"

namespace {

int Fail(const std::wstring& what) {
  return PrintReport(false, "error",
                     what + L" failed with error " + std::to_wstring(GetLastError()));
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
  return PrintReport(true, "text", description);
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
  return PrintReport(true, "exit_code", std::to_wstring(exitCode));
}

// The threads of `processId` that are not in `known`, opened to be held.
std::vector<HANDLE> OpenNewThreads(DWORD processId, std::set<DWORD>* known) {
  std::vector<HANDLE> opened;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return opened;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != processId || !known->insert(entry.th32ThreadID).second)
      continue;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
    if (thread != nullptr) opened.push_back(thread);
  }
  CloseHandle(snapshot);
  return opened;
}

void ResumeAll(const std::vector<HANDLE>& threads) {
  for (HANDLE thread : threads) ResumeThread(thread);
}

void SuspendAll(const std::vector<HANDLE>& threads) {
  for (HANDLE thread : threads) SuspendThread(thread);
}

void SpinMicroseconds(LONGLONG microseconds) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  do {
    QueryPerformanceCounter(&now);
  } while ((now.QuadPart - start.QuadPart) * 1000000 < microseconds * frequency.QuadPart);
}

int ExitMidWay(const std::wstring& exeName, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  HWND dialog = WaitForReadyDialog(exeName, timeoutMs);
  if (!dialog) return PrintReport(false, "error", L"no window");
  DWORD processId = 0;
  const DWORD windowThread = GetWindowThreadProcessId(dialog, &processId);
  HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
  // The threads that run before Continue are not the worker.
  std::set<DWORD> known = {windowThread};
  for (HANDLE thread : OpenNewThreads(processId, &known)) CloseHandle(thread);
  HANDLE windowThreadHandle = OpenThread(THREAD_SUSPEND_RESUME, FALSE, windowThread);
  if (windowThreadHandle == nullptr) return Fail(L"OpenThread");

  // The click is answered once the worker has started. The window's thread
  // is held at once: the worker's first message to it (the bar's range),
  // sent before any byte is written, then waits until the worker is held
  // too.
  if (!SendMessageTimeoutW(GetDlgItem(dialog, IDC_CONTINUE), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000,
                           nullptr)) {
    CloseHandle(windowThreadHandle);
    return Fail(L"pressing Continue");
  }
  SuspendThread(windowThreadHandle);
  std::vector<HANDLE> workers = OpenNewThreads(processId, &known);
  SuspendAll(workers);
  ResumeThread(windowThreadHandle);
  CloseHandle(windowThreadHandle);
  if (workers.empty()) return PrintReport(false, "error", L"Continue started no worker");

  DWORD_PTR position = 0;
  DWORD_PTR high = 0;
  for (;;) {
    if (GetTickCount64() >= deadline) {
      ResumeAll(workers);
      return PrintReport(false, "error", L"the progress bar never moved");
    }
    // A slice of about 0.2 ms: Sleep may take far longer, and a fast disk
    // writes megabytes meanwhile.
    ResumeAll(workers);
    SpinMicroseconds(200);
    SuspendAll(workers);
    // The window's thread is never held: it answers at once.
    if (SendMessageTimeoutW(progress, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position) &&
        SendMessageTimeoutW(progress, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 1000, &high) &&
        position > 0) {
      break;
    }
  }
  const std::wstring pressedAt = std::to_wstring(position) + L" of " + std::to_wstring(high);
  if (position >= high / 10 * 9) {
    ResumeAll(workers);
    return PrintReport(false, "error",
                       L"the bar was past nine tenths at its first move: " + pressedAt);
  }
  // The window's thread handles the click and then waits for the worker,
  // so no answer comes before the worker goes on: the timeout is expected.
  SendMessageTimeoutW(GetDlgItem(dialog, IDC_EXIT), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 200, nullptr);
  ResumeAll(workers);
  for (HANDLE thread : workers) CloseHandle(thread);
  return PrintReport(true, "pressed_at", pressedAt);
}

// The kind of drive a root folder ("D:\\") is, as GetDriveTypeW says:
// 5 for a CD-ROM drive.
int DriveType(const std::wstring& root) {
  return PrintReport(true, "drive_type", std::to_wstring(GetDriveTypeW(root.c_str())));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"error-text" && argc == 3) return ErrorText(wcstoul(argv[2], nullptr, 10));
  if (command == L"run" && argc == 4) return RunProgram(argv[2], argv[3]);
  if (command == L"drive-type" && argc == 3) return DriveType(argv[2]);
  if (command == L"exit-mid-way" && argc == 4)
    return ExitMidWay(argv[2], wcstoul(argv[3], nullptr, 10));
  PrintReport(false, "error",
              L"usage: fault_tool error-text CODE | run EXIT_FILE PROGRAM | exit-mid-way EXE MS | "
              L"drive-type ROOT");
  return 2;
}
