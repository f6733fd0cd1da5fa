// A volume's header as a damaged or planted file beside the exe may carry
// it: any bytes. The header is held against a fixed table, an empty one and
// one that the bytes after the header's 64 make.
#include <algorithm>

#include "fuzz_check.h"
#include "install/payload_table.h"

namespace {

using payload::Table;
using payload::VolumeHeader;

bool SameHeader(const VolumeHeader& a, const VolumeHeader& b) {
  return a.number == b.number && a.count == b.count && a.buildId == b.buildId &&
         a.dataSize == b.dataSize;
}

VolumeHeader HeaderOf(const Table& table, uint32_t number) {
  VolumeHeader header;
  header.number = number;
  header.count = static_cast<uint32_t>(table.volumeDataSizes.size());
  header.buildId = table.buildId;
  header.dataSize = table.volumeDataSizes[number - 1];
  return header;
}

// An exe's table with three volumes; its own volumes' headers belong to it,
// so the checks below are never true only because nothing ever belongs.
const Table& FixedTable() {
  static const Table table = [] {
    Table fixed;
    for (size_t i = 0; i < payload::kBuildIdBytes; ++i) fixed.buildId[i] = 0xB0 + i;
    fixed.exeDataOffset = 0x2000;
    fixed.exeDataSize = 4096;
    fixed.volumeDataSizes = {65536, 65536, 1234};
    for (uint32_t number = 1; number <= 3; ++number) {
      const std::vector<uint8_t> encoded = payload::EncodeVolumeHeader(HeaderOf(fixed, number));
      const std::optional<VolumeHeader> header =
          payload::DecodeVolumeHeader(encoded.data(), encoded.size());
      FUZZ_CHECK(header && payload::BelongsTo(*header, fixed, number));
    }
    return fixed;
  }();
  return table;
}

// A table whose build id, volume count and sizes come from the input.
Table TableFrom(FuzzInput& input) {
  Table table;
  const std::vector<uint8_t> buildId = input.Bytes(payload::kBuildIdBytes);
  std::copy(buildId.begin(), buildId.end(), table.buildId.begin());
  const uint32_t countLow = input.Byte();
  const uint32_t count = (countLow | input.Byte() << 8) % (payload::kMaxVolumes + 1);
  for (uint32_t volume = 0; volume < count; ++volume) {
    table.volumeDataSizes.push_back(input.U64());
  }
  return table;
}

// A volume is taken only when its header names it, counts the table's
// volumes, carries the table's build id and holds the data the table records.
void CheckBelonging(const VolumeHeader& header, const Table& table, uint32_t number) {
  if (!payload::BelongsTo(header, table, number)) return;
  FUZZ_CHECK(header.number == number);
  FUZZ_CHECK(number >= 1 && number <= table.volumeDataSizes.size());
  FUZZ_CHECK(header.count == table.volumeDataSizes.size());
  FUZZ_CHECK(header.buildId == table.buildId);
  FUZZ_CHECK(header.dataSize == table.volumeDataSizes[number - 1]);
}

void CheckAgainst(const VolumeHeader& header, const Table& table, uint32_t asked) {
  const auto count = static_cast<uint32_t>(table.volumeDataSizes.size());
  for (uint32_t number : {header.number, header.number - 1, header.number + 1, asked, 0u, 1u, count,
                          count + 1, UINT32_MAX}) {
    CheckBelonging(header, table, number);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Table& fixed = FixedTable();
  const auto copy = ExactCopy(data, size);
  const std::optional<VolumeHeader> header = payload::DecodeVolumeHeader(copy.get(), size);
  if (size < payload::kVolumeHeaderBytes) FUZZ_CHECK(!header);
  if (!header) return 0;
  FUZZ_CHECK(header->buildId.size() == payload::kBuildIdBytes);

  // What follows the header is the volume's data: it changes nothing.
  const auto alone = ExactCopy(data, payload::kVolumeHeaderBytes);
  const std::optional<VolumeHeader> headerAlone =
      payload::DecodeVolumeHeader(alone.get(), payload::kVolumeHeaderBytes);
  FUZZ_CHECK(headerAlone && SameHeader(*headerAlone, *header));
  FUZZ_CHECK(!payload::DecodeVolumeHeader(alone.get(), payload::kVolumeHeaderBytes - 1));

  const std::vector<uint8_t> encoded = payload::EncodeVolumeHeader(*header);
  FUZZ_CHECK(encoded.size() == payload::kVolumeHeaderBytes);
  const auto encodedCopy = ExactCopy(encoded);
  const std::optional<VolumeHeader> again =
      payload::DecodeVolumeHeader(encodedCopy.get(), encoded.size());
  FUZZ_CHECK(again && SameHeader(*again, *header));

  FuzzInput rest(data + payload::kVolumeHeaderBytes, size - payload::kVolumeHeaderBytes);
  const uint32_t asked = rest.U32();
  CheckAgainst(*header, fixed, asked);
  CheckAgainst(*header, Table{}, asked);
  CheckAgainst(*header, TableFrom(rest), asked);
  return 0;
}
