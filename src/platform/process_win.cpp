// The process, its threads and system information over kernel32.
#include <new>

#include "platform/windows_include.h"
#include "platform/windows_platform.h"
// After windows.h, which it needs: RtlGenRandom.
#include <ntsecapi.h>

namespace platform {

namespace {

// What a new thread runs: the logic's plain procedure and its parameter,
// handed over on the heap because the system's thread entry has its own
// calling convention and takes one pointer.
struct ThreadStart {
  ThreadProcedure procedure;
  void* parameter;
};

DWORD WINAPI RunThread(void* startRecord) {
  ThreadStart start = *static_cast<ThreadStart*>(startRecord);
  delete static_cast<ThreadStart*>(startRecord);
  return start.procedure(start.parameter);
}

}  // namespace

uint32_t WindowsProcess::LastError() { return GetLastError(); }

void WindowsProcess::SetLastError(uint32_t code) { ::SetLastError(code); }

void WindowsProcess::CreateInstanceMutex(const WString& name, bool* alreadyExists) {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, Wide(name));
  *alreadyExists = GetLastError() == ERROR_ALREADY_EXISTS;
  // The handle is never closed: the name must exist as long as this process
  // runs, and the system closes it when the process ends.
  if (mutex != nullptr) ReleaseMutex(mutex);
}

uint16_t WindowsProcess::UserDefaultLanguage() { return GetUserDefaultLangID(); }

bool WindowsProcess::RandomBytes(void* buffer, uint32_t count) {
  return RtlGenRandom(buffer, count) != FALSE;
}

WString WindowsProcess::SystemFolder() {
  wchar_t buffer[MAX_PATH];
  UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return WString();
  return FromWide(buffer, length) + u"\\";
}

std::optional<WString> WindowsProcess::SystemErrorText(uint32_t code) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text),
      0, nullptr);
  if (length == 0 || text == nullptr) return std::nullopt;
  WString description = FromWide(text, length);
  LocalFree(text);
  return description;
}

void WindowsProcess::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

uint32_t WindowsProcess::TickCount() { return GetTickCount(); }

uint32_t WindowsProcess::WaitForProcess(ProcessHandle process, uint32_t milliseconds) {
  return WaitForSingleObject(process, milliseconds);
}

void WindowsProcess::CloseProcess(ProcessHandle process) { CloseHandle(process); }

ThreadHandle WindowsProcess::StartThread(ThreadProcedure procedure, void* parameter,
                                         uint32_t* threadId) {
  ThreadStart* start = new (std::nothrow) ThreadStart{procedure, parameter};
  if (start == nullptr) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, RunThread, start, 0, &id);
  if (thread == nullptr) {
    const DWORD error = GetLastError();
    delete start;
    ::SetLastError(error);
    return nullptr;
  }
  if (threadId != nullptr) *threadId = id;
  return thread;
}

uint32_t WindowsProcess::CurrentThreadId() { return GetCurrentThreadId(); }

bool WindowsProcess::WaitForThread(ThreadHandle thread, uint32_t milliseconds) {
  return WaitForSingleObject(thread, milliseconds) == WAIT_OBJECT_0;
}

void WindowsProcess::Terminate(uint32_t code) { ExitProcess(code); }

}  // namespace platform
