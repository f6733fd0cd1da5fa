// The payload table as a downloaded exe may carry it, beside the manifest
// whose names its items pair with: any bytes. The first byte is the length
// of the manifest that follows it; the rest is the table.
#include "fuzz_check.h"
#include "payload/item_names.h"
#include "payload/manifest.h"
#include "payload/table.h"
#include "workspace_steps.h"

namespace {

using payload::Item;
using payload::Place;
using payload::Table;
// Wide enough that no sum of a table's 64-bit numbers can wrap.
using Wide = unsigned __int128;

bool SameItem(const Item& a, const Item& b) {
  return a.place == b.place && a.file == b.file && a.offset == b.offset && a.size == b.size &&
         a.checksum == b.checksum;
}

bool SameTable(const Table& a, const Table& b) {
  if (a.items.size() != b.items.size()) return false;
  for (size_t i = 0; i < a.items.size(); ++i) {
    if (!SameItem(a.items[i], b.items[i])) return false;
  }
  return a.buildId == b.buildId && a.manifestChecksum == b.manifestChecksum &&
         a.exeDataOffset == b.exeDataOffset && a.exeDataSize == b.exeDataSize &&
         a.volumeDataSizes == b.volumeDataSizes && a.volumeDigests == b.volumeDigests;
}

// Every byte an accepted table points at exists: the stream's length and each
// item's place in it, recomputed in 128 bits rather than with the helpers the
// program itself uses.
void CheckItemsInsideStream(const Table& table) {
  const size_t volumes = table.volumeDataSizes.size();
  FUZZ_CHECK(volumes <= payload::kMaxVolumes);
  // Every volume has the digest it must be checked against.
  FUZZ_CHECK(table.volumeDigests.size() == volumes);
  FUZZ_CHECK(table.buildId.size() == payload::kBuildIdBytes);
  // Every file's data ends at an offset a 64-bit seek can reach.
  FUZZ_CHECK(Wide{table.exeDataOffset} + table.exeDataSize <= UINT64_MAX);
  // before[f]: the stream's bytes ahead of file f's; the last is its length.
  std::vector<Wide> before = {0, table.exeDataSize};
  for (uint64_t dataSize : table.volumeDataSizes) {
    // The trailer after the data is found at an offset a seek can reach.
    FUZZ_CHECK(Wide{payload::kVolumeTrailerBytes} + dataSize <= UINT64_MAX);
    before.push_back(before.back() + dataSize);
  }
  const Wide length = before.back();
  FUZZ_CHECK(length <= UINT64_MAX);

  for (const Item& item : table.items) {
    if (item.place == Place::kResource) {
      FUZZ_CHECK(item.size <= UINT32_MAX);
      continue;
    }
    FUZZ_CHECK(item.place == Place::kData);
    FUZZ_CHECK(item.file <= volumes);
    const uint64_t start = item.file == 0 ? table.exeDataOffset : 0;
    const uint64_t fileData =
        item.file == 0 ? table.exeDataSize : table.volumeDataSizes[item.file - 1];
    FUZZ_CHECK(item.offset >= start && item.offset - start <= fileData);
    const Wide position = before[item.file] + (item.offset - start);
    FUZZ_CHECK(payload::StreamPosition(table, item) == position);
    FUZZ_CHECK(position + item.size <= length);
  }
}

// What the product tool would write for this table reads back as the same
// table, and the checksum sees it cut short or with any one bit changed.
void CheckEncodingAgain(const Table& table, uint32_t damage) {
  const std::vector<uint8_t> encoded = payload::EncodeTable(table);
  FUZZ_CHECK(encoded.size() ==
             payload::EncodedTableBytes(table.items.size(), table.volumeDataSizes.size()));
  const auto copy = ExactCopy(encoded);
  FUZZ_CHECK(payload::TableIntact(copy.get(), encoded.size()));
  const std::optional<Table> again = payload::DecodeTable(copy.get(), encoded.size());
  FUZZ_CHECK(again && SameTable(*again, table));

  const auto shorter = ExactCopy(encoded.data(), encoded.size() - 1);
  FUZZ_CHECK(!payload::TableIntact(shorter.get(), encoded.size() - 1));
  FUZZ_CHECK(!payload::DecodeTable(shorter.get(), encoded.size() - 1));

  std::vector<uint8_t> damaged = encoded;
  damaged[(damage >> 3) % damaged.size()] ^= static_cast<uint8_t>(1u << (damage & 7));
  const auto damagedCopy = ExactCopy(damaged);
  FUZZ_CHECK(!payload::TableIntact(damagedCopy.get(), damaged.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const std::vector<uint8_t> manifestBytes = input.Bytes(input.Byte());
  const std::vector<uint8_t> tableBytes = input.Rest();
  const auto tableCopy = ExactCopy(tableBytes);

  const bool intact = payload::TableIntact(tableCopy.get(), tableBytes.size());
  const std::optional<Table> table = payload::DecodeTable(tableCopy.get(), tableBytes.size());
  if (!table) return 0;
  CheckItemsInsideStream(*table);

  // Bytes after the table's records change nothing; one byte fewer and it is refused.
  const size_t recorded =
      payload::EncodedTableBytes(table->items.size(), table->volumeDataSizes.size());
  FUZZ_CHECK(recorded <= tableBytes.size());
  const auto exact = ExactCopy(tableBytes.data(), recorded);
  const std::optional<Table> alone = payload::DecodeTable(exact.get(), recorded);
  FUZZ_CHECK(alone && SameTable(*alone, *table));
  FUZZ_CHECK(payload::TableIntact(exact.get(), recorded) == intact);
  FUZZ_CHECK(!payload::DecodeTable(exact.get(), recorded - 1));

  CheckEncodingAgain(*table, static_cast<uint32_t>(size * 131 + recorded));

  // The n-th manifest name is written with the n-th item's bytes; whatever
  // the items say, a name the program accepts stays in the workspace.
  const auto manifestCopy = ExactCopy(manifestBytes);
  const std::optional<WString> text = payload::DecodeManifest(
      payload::ManifestBytes(manifestCopy.get(), static_cast<uint32_t>(manifestBytes.size())));
  if (!text) return 0;
  const std::vector<WString> names = payload::ManifestItems(*text);
  for (size_t i = 0; i < names.size() && i < table->items.size(); ++i) {
    if (!payload::ItemNameProblem(names[i])) CheckLandsInsideWorkspace(names[i]);
  }
  return 0;
}
