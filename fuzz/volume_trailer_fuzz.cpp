// A volume's trailer as a damaged or planted file beside the exe may carry
// it: any bytes. The trailer is held against a fixed table, an empty one and
// one that the bytes after the trailer's 64 make.
#include <algorithm>

#include "fuzz_check.h"
#include "payload/table.h"

namespace {

using payload::Table;
using payload::VolumeTrailer;

bool SameTrailer(const VolumeTrailer& a, const VolumeTrailer& b) {
  return a.number == b.number && a.count == b.count && a.buildId == b.buildId &&
         a.dataSize == b.dataSize;
}

VolumeTrailer TrailerOf(const Table& table, uint32_t number) {
  VolumeTrailer trailer;
  trailer.number = number;
  trailer.count = static_cast<uint32_t>(table.volumeDataSizes.size());
  trailer.buildId = table.buildId;
  trailer.dataSize = table.volumeDataSizes[number - 1];
  return trailer;
}

// An exe's table with three volumes; its own volumes' trailers belong to it,
// so the checks below are never true only because nothing ever belongs.
const Table& FixedTable() {
  static const Table table = [] {
    Table fixed;
    for (size_t i = 0; i < payload::kBuildIdBytes; ++i) fixed.buildId[i] = 0xB0 + i;
    fixed.exeDataOffset = 0x2000;
    fixed.exeDataSize = 4096;
    fixed.volumeDataSizes = {65536, 65536, 1234};
    for (uint32_t number = 1; number <= 3; ++number) {
      const std::vector<uint8_t> encoded = payload::EncodeVolumeTrailer(TrailerOf(fixed, number));
      const std::optional<VolumeTrailer> trailer =
          payload::DecodeVolumeTrailer(encoded.data(), encoded.size());
      FUZZ_CHECK(trailer && payload::BelongsTo(*trailer, fixed, number));
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

// A volume is taken only when its trailer names it, counts the table's
// volumes, carries the table's build id and holds the data the table records.
void CheckBelonging(const VolumeTrailer& trailer, const Table& table, uint32_t number) {
  if (!payload::BelongsTo(trailer, table, number)) return;
  FUZZ_CHECK(trailer.number == number);
  FUZZ_CHECK(number >= 1 && number <= table.volumeDataSizes.size());
  FUZZ_CHECK(trailer.count == table.volumeDataSizes.size());
  FUZZ_CHECK(trailer.buildId == table.buildId);
  FUZZ_CHECK(trailer.dataSize == table.volumeDataSizes[number - 1]);
}

void CheckAgainst(const VolumeTrailer& trailer, const Table& table, uint32_t asked) {
  const auto count = static_cast<uint32_t>(table.volumeDataSizes.size());
  for (uint32_t number : {trailer.number, trailer.number - 1, trailer.number + 1, asked, 0u, 1u, count,
                          count + 1, UINT32_MAX}) {
    CheckBelonging(trailer, table, number);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Table& fixed = FixedTable();
  const auto copy = ExactCopy(data, size);
  const std::optional<VolumeTrailer> trailer = payload::DecodeVolumeTrailer(copy.get(), size);
  if (size < payload::kVolumeTrailerBytes) FUZZ_CHECK(!trailer);
  if (!trailer) return 0;
  FUZZ_CHECK(trailer->buildId.size() == payload::kBuildIdBytes);

  // Only the trailer's own 64 bytes count: what follows changes nothing.
  const auto alone = ExactCopy(data, payload::kVolumeTrailerBytes);
  const std::optional<VolumeTrailer> trailerAlone =
      payload::DecodeVolumeTrailer(alone.get(), payload::kVolumeTrailerBytes);
  FUZZ_CHECK(trailerAlone && SameTrailer(*trailerAlone, *trailer));
  FUZZ_CHECK(!payload::DecodeVolumeTrailer(alone.get(), payload::kVolumeTrailerBytes - 1));

  const std::vector<uint8_t> encoded = payload::EncodeVolumeTrailer(*trailer);
  FUZZ_CHECK(encoded.size() == payload::kVolumeTrailerBytes);
  const auto encodedCopy = ExactCopy(encoded);
  const std::optional<VolumeTrailer> again =
      payload::DecodeVolumeTrailer(encodedCopy.get(), encoded.size());
  FUZZ_CHECK(again && SameTrailer(*again, *trailer));

  FuzzInput rest(data + payload::kVolumeTrailerBytes, size - payload::kVolumeTrailerBytes);
  const uint32_t asked = rest.U32();
  CheckAgainst(*trailer, fixed, asked);
  CheckAgainst(*trailer, Table{}, asked);
  CheckAgainst(*trailer, TableFrom(rest), asked);
  return 0;
}
