#include "payload/table.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "payload/checksum.h"

namespace payload {
namespace {

constexpr char kTableMagic[8] = {'D', 'L', 'P', 'A', 'Y', 'T', 'A', 'B'};
constexpr char kVolumeMagic[8] = {'D', 'L', 'V', 'O', 'L', 'U', 'M', 'E'};

class Writer {
 public:
  explicit Writer(size_t size) : bytes_(size) {}
  void Bytes(size_t at, const void* data, size_t count) {
    std::memcpy(bytes_.data() + at, data, count);
  }
  void Number(size_t at, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) bytes_[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

uint64_t Number(const uint8_t* bytes, size_t width) {
  uint64_t value = 0;
  for (size_t i = width; i > 0; --i) value = (value << 8) | bytes[i - 1];
  return value;
}
uint32_t Number32(const uint8_t* bytes) { return static_cast<uint32_t>(Number(bytes, 4)); }

constexpr size_t kTableChecksumField = 72;

// The checksum of the table's bytes with its own field read as zeros.
uint64_t TableChecksum(const uint8_t* bytes, size_t size) {
  static const uint8_t zeros[8] = {};
  Checksum checksum;
  checksum.Add(bytes, kTableChecksumField);
  checksum.Add(zeros, sizeof zeros);
  checksum.Add(bytes + kTableChecksumField + 8, size - kTableChecksumField - 8);
  return checksum.Value();
}

// The bytes the header's counts call for, or 0 when `size` cannot hold them.
size_t RecordedTableBytes(const uint8_t* bytes, size_t size) {
  if (size < kTableHeaderBytes) return 0;
  const uint64_t itemCount = Number32(bytes + 16);
  const uint64_t volumeCount = Number32(bytes + 20);
  // Both counts are below 2^32: the products cannot overflow 64 bits.
  const uint64_t room = size - kTableHeaderBytes;
  if (volumeCount * kVolumeRecordBytes > room ||
      itemCount > (room - volumeCount * kVolumeRecordBytes) / kItemRecordBytes) {
    return 0;
  }
  return static_cast<size_t>(kTableHeaderBytes + volumeCount * kVolumeRecordBytes +
                             itemCount * kItemRecordBytes);
}

// Where a file's data starts in it, and how long it is.
uint64_t DataStart(const Table& table, uint32_t file) {
  return file == 0 ? table.exeDataOffset : 0;
}
uint64_t DataLength(const Table& table, uint32_t file) {
  return file == 0 ? table.exeDataSize : table.volumeDataSizes[file - 1];
}

// The data of the files before `file`, in the stream.
uint64_t StreamPrefix(const Table& table, uint32_t file) {
  uint64_t prefix = 0;
  for (uint32_t before = 0; before < file; ++before) prefix += DataLength(table, before);
  return prefix;
}

// `prefixes` holds StreamPrefix of every file, and the stream's length last.
bool ItemFits(const Table& table, const Item& item, const std::vector<uint64_t>& prefixes) {
  if (item.place == Place::kResource) {
    return item.file == 0 && item.offset == 0 && item.size <= UINT32_MAX;
  }
  if (item.place != Place::kData || item.file > table.volumeDataSizes.size()) return false;
  const uint64_t start = DataStart(table, item.file);
  if (item.offset < start || item.offset - start > DataLength(table, item.file)) return false;
  const uint64_t position = prefixes[item.file] + (item.offset - start);
  return item.size <= prefixes.back() - position;
}

}  // namespace

size_t EncodedTableBytes(size_t items, size_t volumes) {
  return kTableHeaderBytes + kVolumeRecordBytes * volumes + kItemRecordBytes * items;
}

std::vector<uint8_t> EncodeTable(const Table& table) {
  Writer out(EncodedTableBytes(table.items.size(), table.volumeDataSizes.size()));
  out.Bytes(0, kTableMagic, sizeof kTableMagic);
  out.Number(8, kFormatVersion, 4);
  out.Number(12, kTableHeaderBytes, 4);
  out.Number(16, table.items.size(), 4);
  out.Number(20, table.volumeDataSizes.size(), 4);
  out.Number(24, kChecksumXxh3, 4);
  out.Bytes(32, table.buildId.data(), std::min(table.buildId.size(), kBuildIdBytes));
  out.Number(48, table.exeDataOffset, 8);
  out.Number(56, table.exeDataSize, 8);
  out.Number(64, table.manifestChecksum, 8);
  size_t at = kTableHeaderBytes;
  for (size_t volume = 0; volume < table.volumeDataSizes.size(); ++volume) {
    out.Number(at, table.volumeDataSizes[volume], 8);
    if (volume < table.volumeDigests.size()) {
      out.Bytes(at + 8, table.volumeDigests[volume].data(), sizeof(Sha256Digest));
    }
    at += kVolumeRecordBytes;
  }
  for (const Item& item : table.items) {
    out.Number(at, static_cast<uint32_t>(item.place), 4);
    out.Number(at + 4, item.file, 4);
    out.Number(at + 8, item.offset, 8);
    out.Number(at + 16, item.size, 8);
    out.Number(at + 24, item.checksum, 8);
    at += kItemRecordBytes;
  }
  std::vector<uint8_t> bytes = out.Take();
  const uint64_t checksum = TableChecksum(bytes.data(), bytes.size());
  for (size_t i = 0; i < 8; ++i)
    bytes[kTableChecksumField + i] = static_cast<uint8_t>(checksum >> (8 * i));
  return bytes;
}

void AssignBuildId(Table& table) {
  table.buildId.assign(kBuildIdBytes, 0);
  const std::vector<uint8_t> unidentified = EncodeTable(table);
  uint8_t id[kBuildIdBytes];
  Fingerprint(unidentified.data(), unidentified.size(), id);
  table.buildId.assign(id, id + kBuildIdBytes);
}

bool TableIntact(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr) return false;
  const size_t recorded = RecordedTableBytes(bytes, size);
  return recorded != 0 && TableChecksum(bytes, recorded) == Number(bytes + kTableChecksumField, 8);
}

std::optional<Table> DecodeTable(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr || size < kTableHeaderBytes ||
      std::memcmp(bytes, kTableMagic, sizeof kTableMagic) != 0 ||
      Number32(bytes + 8) != kFormatVersion || Number32(bytes + 12) != kTableHeaderBytes ||
      Number32(bytes + 24) != kChecksumXxh3) {
    return std::nullopt;
  }
  const uint64_t itemCount = Number32(bytes + 16);
  const uint64_t volumeCount = Number32(bytes + 20);
  if (volumeCount > kMaxVolumes || RecordedTableBytes(bytes, size) == 0) return std::nullopt;

  Table table;
  table.buildId.assign(bytes + 32, bytes + 32 + kBuildIdBytes);
  table.exeDataOffset = Number(bytes + 48, 8);
  table.exeDataSize = Number(bytes + 56, 8);
  table.manifestChecksum = Number(bytes + 64, 8);
  if (table.exeDataSize > UINT64_MAX - table.exeDataOffset) return std::nullopt;
  std::vector<uint64_t> prefixes = {0, table.exeDataSize};
  const uint8_t* record = bytes + kTableHeaderBytes;
  for (uint64_t volume = 0; volume < volumeCount; ++volume, record += kVolumeRecordBytes) {
    const uint64_t dataSize = Number(record, 8);
    if (dataSize > UINT64_MAX - kVolumeTrailerBytes || dataSize > UINT64_MAX - prefixes.back())
      return std::nullopt;
    prefixes.push_back(prefixes.back() + dataSize);
    table.volumeDataSizes.push_back(dataSize);
    Sha256Digest digest;
    std::memcpy(digest.data(), record + 8, digest.size());
    table.volumeDigests.push_back(digest);
  }
  table.items.reserve(static_cast<size_t>(itemCount));
  for (uint64_t index = 0; index < itemCount; ++index, record += kItemRecordBytes) {
    Item item;
    item.place = static_cast<Place>(Number32(record));
    item.file = Number32(record + 4);
    item.offset = Number(record + 8, 8);
    item.size = Number(record + 16, 8);
    item.checksum = Number(record + 24, 8);
    if (!ItemFits(table, item, prefixes)) return std::nullopt;
    table.items.push_back(item);
  }
  return table;
}

std::vector<uint8_t> EncodeVolumeTrailer(const VolumeTrailer& trailer) {
  Writer out(kVolumeTrailerBytes);
  out.Bytes(0, kVolumeMagic, sizeof kVolumeMagic);
  out.Number(8, kFormatVersion, 4);
  out.Number(12, kVolumeTrailerBytes, 4);
  out.Number(16, trailer.number, 4);
  out.Number(20, trailer.count, 4);
  out.Bytes(24, trailer.buildId.data(), std::min(trailer.buildId.size(), kBuildIdBytes));
  out.Number(40, trailer.dataSize, 8);
  return out.Take();
}

std::optional<VolumeTrailer> DecodeVolumeTrailer(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr || size < kVolumeTrailerBytes ||
      std::memcmp(bytes, kVolumeMagic, sizeof kVolumeMagic) != 0 ||
      Number32(bytes + 8) != kFormatVersion || Number32(bytes + 12) != kVolumeTrailerBytes) {
    return std::nullopt;
  }
  VolumeTrailer trailer;
  trailer.number = Number32(bytes + 16);
  trailer.count = Number32(bytes + 20);
  trailer.buildId.assign(bytes + 24, bytes + 24 + kBuildIdBytes);
  trailer.dataSize = Number(bytes + 40, 8);
  return trailer;
}

bool BelongsTo(const VolumeTrailer& trailer, const Table& table, uint32_t number) {
  return trailer.number == number && number >= 1 && number <= table.volumeDataSizes.size() &&
         trailer.count == table.volumeDataSizes.size() && trailer.buildId == table.buildId &&
         trailer.dataSize == table.volumeDataSizes[number - 1];
}

uint64_t StreamPosition(const Table& table, const Item& item) {
  return StreamPrefix(table, item.file) + (item.offset - DataStart(table, item.file));
}

}  // namespace payload
