#include "install/disk_room.h"

#include <optional>

namespace {

constexpr uint64_t kClusterBytes = 4096;         // NTFS's usual cluster
constexpr uint64_t kRecordsBytes = 1024 * 1024;  // the folders' and files' records
constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kGiB = uint64_t{1} << 30;

uint64_t SaturatingAdd(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

WString UnsignedText(uint64_t value) {
  WString digits;
  do {
    digits.insert(digits.begin(), static_cast<WChar>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

}  // namespace

uint64_t RoomNeeded(uint64_t bytes, size_t files) {
  const uint64_t clusters = files > UINT64_MAX / kClusterBytes ? UINT64_MAX : files * kClusterBytes;
  return SaturatingAdd(SaturatingAdd(bytes, clusters), kRecordsBytes);
}

WString SizeText(uint64_t bytes) {
  const bool gigabytes = bytes >= kGiB;
  const uint64_t unit = gigabytes ? kGiB : kMiB;
  // Tenths of the unit, rounded half up; at most 2^34 whole gigabytes, so
  // nothing overflows.
  const uint64_t tenths = bytes / unit * 10 + (bytes % unit * 10 + unit / 2) / unit;
  return UnsignedText(tenths / 10) + u"." + UnsignedText(tenths % 10) +
         (gigabytes ? u" GB" : u" MB");
}

bool HasRoom(const platform::Platform& os, const WString& folder, uint64_t needed) {
  const std::optional<uint64_t> free = os.files.FreeSpace(folder);
  return !free || *free >= needed;
}
