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
//                                       moved, holding the worker from its
//                                       first instruction on and letting it
//                                       run in short slices: Exit comes
//                                       mid-way however fast the disk and
//                                       however the threads are scheduled
//                                       (MS: how long the bar may take)
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

// Milliseconds from now until `deadline`; 0 once it has passed.
DWORD MillisecondsUntil(ULONGLONG deadline) {
  const ULONGLONG now = GetTickCount64();
  if (now >= deadline) return 0;
  return static_cast<DWORD>(deadline - now < INFINITE ? deadline - now : INFINITE - 1);
}

// The first breakpoint after attaching; a 32-bit process under a 64-bit
// system may report it with the WOW64 code.
bool IsBreakpoint(const DEBUG_EVENT& event) {
  const DWORD kWow64Breakpoint = 0x4000001F;
  if (event.dwDebugEventCode != EXCEPTION_DEBUG_EVENT) return false;
  const DWORD code = event.u.Exception.ExceptionRecord.ExceptionCode;
  return code == EXCEPTION_BREAKPOINT || code == kWow64Breakpoint;
}

// Attached to a process as its debugger, which stops the whole process at
// every thread it starts, before that thread runs an instruction. Detaches
// when it goes, leaving the process running.
class DebuggerAttachment {
 public:
  explicit DebuggerAttachment(DWORD processId)
      : processId_(processId), attached_(DebugActiveProcess(processId) != FALSE) {
    // Whatever happens to this tool, the installer must live on.
    if (attached_) DebugSetProcessKillOnExit(FALSE);
  }
  ~DebuggerAttachment() {
    if (attached_) DebugActiveProcessStop(processId_);
  }
  DebuggerAttachment(const DebuggerAttachment&) = delete;
  DebuggerAttachment& operator=(const DebuggerAttachment&) = delete;

  bool Attached() const { return attached_; }

  // The next event, or false once `deadline` has passed without one. The
  // files an event hands over are closed at once: nothing here reads them.
  bool Next(ULONGLONG deadline, DEBUG_EVENT* event) {
    if (!WaitForDebugEvent(event, MillisecondsUntil(deadline))) return false;
    HANDLE file = nullptr;
    if (event->dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT)
      file = event->u.CreateProcessInfo.hFile;
    if (event->dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) file = event->u.LoadDll.hFile;
    if (file != nullptr) CloseHandle(file);
    return true;
  }

  // Lets the process go on as it would without a debugger: exceptions go
  // back to its own handlers, except the breakpoint that attaching raised.
  void Continue(const DEBUG_EVENT& event, bool isAttachBreakpoint) {
    const bool passOn = event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT && !isAttachBreakpoint;
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId,
                       passOn ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE);
  }

 private:
  DWORD processId_;
  bool attached_;
};

// A thread held with SuspendThread; resumed for good and closed when this
// goes.
class HeldThread {
 public:
  explicit HeldThread(HANDLE thread) : thread_(thread) {}
  ~HeldThread() {
    if (thread_ == nullptr) return;
    ResumeThread(thread_);
    CloseHandle(thread_);
  }
  HeldThread(HeldThread&& other) noexcept : thread_(other.thread_) { other.thread_ = nullptr; }
  HeldThread(const HeldThread&) = delete;
  HeldThread& operator=(const HeldThread&) = delete;
  HeldThread& operator=(HeldThread&&) = delete;

  bool Holds() const { return thread_ != nullptr; }

  // Lets the thread run for about `microseconds`, then holds it again. It
  // spins: Sleep may take far longer, and a fast disk writes megabytes
  // meanwhile.
  void RunFor(LONGLONG microseconds) {
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    ResumeThread(thread_);
    QueryPerformanceCounter(&start);
    do {
      QueryPerformanceCounter(&now);
    } while ((now.QuadPart - start.QuadPart) * 1000000 < microseconds * frequency.QuadPart);
    SuspendThread(thread_);
  }

 private:
  HANDLE thread_;
};

// Presses Continue and holds the worker it starts before the worker's first
// instruction, so however the threads are scheduled no byte is written yet.
// The tool is the installer's debugger only meanwhile: the system then stops
// the process as each new thread is reported, until the report is answered.
HeldThread PressContinueAndHoldWorker(HWND dialog, DWORD processId, ULONGLONG deadline,
                                      std::wstring* error) {
  DebuggerAttachment debugger(processId);
  if (!debugger.Attached()) {
    *error = L"DebugActiveProcess failed with error " + std::to_wstring(GetLastError());
    return HeldThread(nullptr);
  }
  // Attaching reports the process, its threads and modules, and then a
  // breakpoint from a thread started for it: any thread reported after that
  // breakpoint was started later.
  DEBUG_EVENT event = {};
  for (bool attachBreakpointSeen = false; !attachBreakpointSeen;) {
    if (!debugger.Next(deadline, &event)) {
      *error = L"attaching as a debugger never ended";
      return HeldThread(nullptr);
    }
    attachBreakpointSeen = IsBreakpoint(event);
    debugger.Continue(event, attachBreakpointSeen);
  }
  // Posted: the window's thread stands still while a report waits for this
  // thread to answer it, so a click sent from here could wait for ever.
  if (!PostMessageW(GetDlgItem(dialog, IDC_CONTINUE), BM_CLICK, 0, 0)) {
    *error = L"pressing Continue failed with error " + std::to_wstring(GetLastError());
    return HeldThread(nullptr);
  }
  // The window's thread starts no other thread before the worker, and the
  // worker none before it is released.
  for (;;) {
    if (!debugger.Next(deadline, &event)) {
      *error = L"Continue started no worker";
      return HeldThread(nullptr);
    }
    if (event.dwDebugEventCode == CREATE_THREAD_DEBUG_EVENT) {
      // The event's own handle goes when the debugger detaches.
      HANDLE worker = OpenThread(THREAD_SUSPEND_RESUME, FALSE, event.dwThreadId);
      if (worker != nullptr)
        SuspendThread(worker);
      else
        *error = L"OpenThread failed with error " + std::to_wstring(GetLastError());
      debugger.Continue(event, false);
      return HeldThread(worker);
    }
    debugger.Continue(event, false);
    if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
      *error = L"the installer ended before Continue started a worker";
      return HeldThread(nullptr);
    }
  }
}

int ExitMidWay(const std::wstring& exeName, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  HWND dialog = WaitForReadyDialog(exeName, timeoutMs);
  if (!dialog) return PrintReport(false, "error", L"no window");
  DWORD processId = 0;
  GetWindowThreadProcessId(dialog, &processId);
  HWND progress = GetDlgItem(dialog, IDC_PROGRESS);

  std::wstring error;
  HeldThread worker = PressContinueAndHoldWorker(dialog, processId, deadline, &error);
  if (!worker.Holds()) return PrintReport(false, "error", error);

  DWORD_PTR position = 0;
  DWORD_PTR high = 0;
  for (;;) {
    if (GetTickCount64() >= deadline)
      return PrintReport(false, "error", L"the progress bar never moved");
    // A slice of about 0.2 ms, then a pause longer than the 16 ms the
    // worker lets pass between two positions it posts: its first position
    // then comes after one slice of writing, however fast the disk. In the
    // pause the window's thread, never held, also takes in the position
    // posted, which a message sent at once would overtake.
    worker.RunFor(200);
    Sleep(20);
    if (SendMessageTimeoutW(progress, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position) &&
        SendMessageTimeoutW(progress, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 1000, &high) &&
        position > 0) {
      break;
    }
  }
  const std::wstring pressedAt = std::to_wstring(position) + L" of " + std::to_wstring(high);
  if (position >= high / 10 * 9)
    return PrintReport(false, "error",
                       L"the bar was past nine tenths at its first move: " + pressedAt);
  // The window's thread handles the click and then waits for the worker,
  // so no answer comes before the worker goes on: the timeout is expected.
  SendMessageTimeoutW(GetDlgItem(dialog, IDC_EXIT), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 200, nullptr);
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
