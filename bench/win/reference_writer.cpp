// reference_writer.exe SOURCE TARGET_FOLDER [HANDOFFS]
//
// The yardstick for the installer's unpacking speed: brings SOURCE into
// memory (not timed), then writes it to TARGET_FOLDER\reference.bin in
// 256 KiB WriteFile calls, the installer's chunk, as fast as the file system
// allows, and removes the file again. It also times the hand-off the
// installer's worker makes for every progress step: a SendMessageW to a
// window of a thread that polls its queue and sleeps in
// MsgWaitForMultipleObjectsEx, as the launcher's main loop does.
// Prints one JSON line.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// The installer's chunk (src/install/chunk_source.h).
constexpr DWORD kChunkBytes = 256 * 1024;

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(end.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// The source file, mapped read-only. The timed writes read it through views
// of kWindowBytes, mapped one after the other: a 32-bit process finds no room
// for a private copy, nor for one view, of a payload near 1 GiB.
constexpr size_t kWindowBytes = 64 * 1024 * 1024;

struct MappedSource {
  HANDLE file = INVALID_HANDLE_VALUE;
  HANDLE mapping = nullptr;
  // 64 bits: a payload past 4 GiB is measured too, in a 32-bit process.
  uint64_t size = 0;

  ~MappedSource() {
    if (mapping != nullptr) CloseHandle(mapping);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
};

// Opens and maps the source and reads it through once (not timed), so that
// its pages are in memory when the writes are timed, as far as the page
// cache holds them: a source larger than it is partly read from the disk
// again, as the installer reads a payload of that size.
bool OpenSource(const wchar_t* path, MappedSource* source) {
  source->file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (source->file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(source->file, &size) || size.QuadPart <= 0) return false;
  source->size = static_cast<uint64_t>(size.QuadPart);
  std::string buffer(kChunkBytes, '\0');
  DWORD read = 0;
  while (ReadFile(source->file, &buffer[0], kChunkBytes, &read, nullptr) && read != 0) {
  }
  source->mapping = CreateFileMappingW(source->file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  return source->mapping != nullptr;
}

// Writes the bytes the way the installer does: one file, no sharing,
// 256 KiB per call. Returns the seconds from CreateFileW to CloseHandle, or -1.
double TimedWrite(const std::wstring& path, const MappedSource& source) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  bool ok = true;
  for (uint64_t windowStart = 0; ok && windowStart < source.size; windowStart += kWindowBytes) {
    const size_t windowSize =
        static_cast<size_t>(std::min<uint64_t>(kWindowBytes, source.size - windowStart));
    const char* bytes = static_cast<const char*>(
        MapViewOfFile(source.mapping, FILE_MAP_READ, static_cast<DWORD>(windowStart >> 32),
                      static_cast<DWORD>(windowStart), windowSize));
    ok = bytes != nullptr;
    size_t done = 0;
    while (ok && done < windowSize) {
      const size_t left = windowSize - done;
      const DWORD chunk = left < kChunkBytes ? static_cast<DWORD>(left) : kChunkBytes;
      DWORD written = 0;
      ok = WriteFile(file, bytes + done, chunk, &written, nullptr) && written != 0;
      done += written;
    }
    if (bytes != nullptr) UnmapViewOfFile(bytes);
  }
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
  MappedSource source;
  if (!OpenSource(argv[1], &source)) {
    std::fwprintf(stderr, L"cannot read %ls (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  std::wstring target = argv[2];
  if (!target.empty() && target.back() != L'\\') target += L'\\';
  target += L"reference.bin";

  const double writeSeconds = TimedWrite(target, source);
  DeleteFileW(target.c_str());
  if (writeSeconds < 0) {
    std::fwprintf(stderr, L"cannot write %ls (error %lu)\n", target.c_str(), GetLastError());
    return 1;
  }
  const double handoffSeconds = handoffs > 0 ? TimeHandoffs(handoffs) : -1;

  std::printf("{\"bytes\": %llu, \"write_seconds\": %.6f, \"handoff_seconds\": %.9f}\n",
              static_cast<unsigned long long>(source.size), writeSeconds, handoffSeconds);
  return 0;
}
