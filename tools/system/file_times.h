// Sets a file's times, for a disc image whose files carry the time of the
// release (SOURCE_DATE_EPOCH) instead of the build's.
#pragma once

#include <cstdint>
#include <filesystem>

// Sets the modification and access times of `path` (a link itself, not what
// it points to) to `secondsSinceEpoch`. True on success.
bool SetFileTimesTo(const std::filesystem::path& path, int64_t secondsSinceEpoch);
