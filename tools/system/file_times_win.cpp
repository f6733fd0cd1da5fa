#include <windows.h>

#include "system/file_times.h"

bool SetFileTimesTo(const std::filesystem::path& path, int64_t secondsSinceEpoch) {
  // FILETIME counts 100 ns from 1601; Unix time, seconds from 1970.
  constexpr int64_t kEpochDifference = 11644473600;
  const uint64_t ticks = static_cast<uint64_t>(secondsSinceEpoch + kEpochDifference) * 10000000u;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  // Folders open only with backup semantics; a link is set, not its target.
  HANDLE file =
      CreateFileW(path.wstring().c_str(), FILE_WRITE_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool set = SetFileTime(file, nullptr, &time, &time) != 0;
  CloseHandle(file);
  return set;
}
