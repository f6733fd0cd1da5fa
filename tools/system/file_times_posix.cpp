#include <fcntl.h>
#include <sys/stat.h>

#include "system/file_times.h"

bool SetFileTimesTo(const std::filesystem::path& path, int64_t secondsSinceEpoch) {
  timespec times[2];
  times[0].tv_sec = static_cast<time_t>(secondsSinceEpoch);
  times[0].tv_nsec = 0;
  times[1] = times[0];
  return utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}
