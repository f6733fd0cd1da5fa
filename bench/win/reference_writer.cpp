// reference_writer.exe SOURCE TARGET_FOLDER [HANDOFFS]
//
// The yardstick for the installer's unpacking speed: reads SOURCE into memory
// (not timed), then writes it to TARGET_FOLDER\reference.bin in 1 MiB
// WriteFile calls, as fast as the file system allows, and removes the file
// again. It also times the hand-off the installer's worker makes for every
// progress step: a SendMessageW to a window of a thread that polls its queue
// and sleeps in MsgWaitForMultipleObjectsEx, as the launcher's main loop does.
// Prints one JSON line.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kChunkBytes = 1024 * 1024;

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(end.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

bool ReadWhole(const wchar_t* path, std::vector<char>* bytes) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x7FFFFFFF;
  if (ok) bytes->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (ok && done < bytes->size()) {
    DWORD read = 0;
    const size_t left = bytes->size() - done;
    const DWORD want = left < kChunkBytes ? static_cast<DWORD>(left) : kChunkBytes;
    ok = ReadFile(file, bytes->data() + done, want, &read, nullptr) && read != 0;
    done += read;
  }
  CloseHandle(file);
  return ok;
}

// Writes the bytes the way the installer does: one file, no sharing, 1 MiB
// per call. Returns the seconds from CreateFileW to CloseHandle, or -1.
double TimedWrite(const std::wstring& path, const std::vector<char>& bytes) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  size_t done = 0;
  bool ok = true;
  do {
    const size_t left = bytes.size() - done;
    const DWORD chunk = left < kChunkBytes ? static_cast<DWORD>(left) : kChunkBytes;
    DWORD written = 0;
    ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) &&
         (written != 0 || chunk == 0);
    done += written;
  } while (ok && done < bytes.size());
  CloseHandle(file);
  QueryPerformanceCounter(&end);
  return ok ? Seconds(start, end) : -1;
}

struct HandoffRun {
  HWND window;
  int count;
  double seconds;
  volatile LONG finished;
};

DWORD WINAPI SendFromWorker(void* parameter) {
  auto* run = static_cast<HandoffRun*>(parameter);
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  for (int i = 0; i < run->count; ++i) SendMessageW(run->window, WM_USER, 0, 0);
  QueryPerformanceCounter(&end);
  run->seconds = Seconds(start, end);
  InterlockedExchange(&run->finished, 1);
  // Wakes the polling loop so that it sees the end at once.
  SendMessageW(run->window, WM_NULL, 0, 0);
  return 0;
}

// Seconds per cross-thread SendMessageW while this thread runs a polling loop
// like the launcher's: drain the queue, then wait up to 100 ms for a sent one.
double TimeHandoffs(int count) {
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return -1;
  HandoffRun run{window, count, 0, 0};
  HANDLE worker = CreateThread(nullptr, 0, SendFromWorker, &run, 0, nullptr);
  if (worker == nullptr) return -1;
  while (InterlockedCompareExchange(&run.finished, 0, 0) == 0) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    MsgWaitForMultipleObjectsEx(0, nullptr, 100, QS_SENDMESSAGE, 0);
  }
  // The worker's last message is still to be answered.
  while (WaitForSingleObject(worker, 0) == WAIT_TIMEOUT) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    MsgWaitForMultipleObjectsEx(1, &worker, 100, QS_SENDMESSAGE, 0);
  }
  CloseHandle(worker);
  DestroyWindow(window);
  return run.seconds / count;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: reference_writer SOURCE TARGET_FOLDER [HANDOFFS]\n");
    return 2;
  }
  const int handoffs = argc > 3 ? _wtoi(argv[3]) : 2000;
  std::vector<char> bytes;
  if (!ReadWhole(argv[1], &bytes)) {
    std::fwprintf(stderr, L"cannot read %ls (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  std::wstring target = argv[2];
  if (!target.empty() && target.back() != L'\\') target += L'\\';
  target += L"reference.bin";

  const double writeSeconds = TimedWrite(target, bytes);
  DeleteFileW(target.c_str());
  if (writeSeconds < 0) {
    std::fwprintf(stderr, L"cannot write %ls (error %lu)\n", target.c_str(), GetLastError());
    return 1;
  }
  const double handoffSeconds = handoffs > 0 ? TimeHandoffs(handoffs) : -1;

  std::printf("{\"bytes\": %zu, \"write_seconds\": %.6f, \"handoff_seconds\": %.9f}\n",
              bytes.size(), writeSeconds, handoffSeconds);
  return 0;
}
