#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "payload/sha256.h"
#include "payload/sha256_rounds.h"
#include "payload/table.h"

namespace {

using payload::Item;
using payload::Place;
using payload::Table;

// The exe's data at 4096 (100 bytes), then two volumes of 50 and 30: an item
// in resource, one crossing from the exe into volume 1, one ending volume 2.
Table SampleTable() {
  Table table;
  table.buildId = payload::BuildId(payload::kBuildIdBytes, 0xB1);
  table.manifestChecksum = 0x1122334455667788;
  table.exeDataOffset = 4096;
  table.exeDataSize = 100;
  table.volumeDataSizes = {50, 30};
  table.volumeDigests = {payload::Sha256Digest{0x51}, payload::Sha256Digest{0x52, 0x53}};
  table.items = {
      {Place::kResource, 0, 0, 7, 0xAAAA},
      {Place::kData, 0, 4096 + 90, 20, 0xBBBB},
      {Place::kData, 2, 10, 20, 0xCCCC},
  };
  return table;
}

std::optional<Table> RoundTrip(const Table& table) {
  const std::vector<uint8_t> bytes = payload::EncodeTable(table);
  return payload::DecodeTable(bytes.data(), bytes.size());
}

TEST(PayloadTable, RoundTripKeepsEveryFieldAndPlacesItemsInTheStream) {
  const Table table = SampleTable();
  std::vector<uint8_t> bytes = payload::EncodeTable(table);
  bytes.resize(bytes.size() + 5, 0xEE);  // resources may carry padding

  ASSERT_TRUE(payload::TableIntact(bytes.data(), bytes.size()));
  const std::optional<Table> decoded = payload::DecodeTable(bytes.data(), bytes.size());
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->buildId, table.buildId);
  EXPECT_EQ(decoded->manifestChecksum, table.manifestChecksum);
  EXPECT_EQ(decoded->exeDataOffset, 4096u);
  EXPECT_EQ(decoded->volumeDataSizes, table.volumeDataSizes);
  EXPECT_EQ(decoded->volumeDigests, table.volumeDigests);
  ASSERT_EQ(decoded->items.size(), 3u);
  EXPECT_EQ(decoded->items[2].checksum, 0xCCCCu);
  EXPECT_EQ(payload::StreamPosition(*decoded, decoded->items[1]), 90u);
  EXPECT_EQ(payload::StreamPosition(*decoded, decoded->items[2]), 160u);
}

std::string Hex(const payload::Sha256Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
}

// The standard's examples, and lengths around the padding's edges, fed in
// pieces of every size; the processor's rounds give what the portable ones
// give, where this processor has them.
TEST(Sha256, KnownDigestsWhateverThePieces) {
  struct Case {
    std::string message;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    for (size_t piece : {size_t{1}, size_t{63}, size_t{64}, size_t{65}, c.message.size() + 1}) {
      payload::Sha256 sha256;
      for (size_t at = 0; at < c.message.size(); at += piece) {
        sha256.Add(c.message.data() + at, std::min(piece, c.message.size() - at));
      }
      EXPECT_EQ(Hex(sha256.Finish()), c.digest) << c.message.size() << " in pieces of " << piece;
    }
  }
  if (!payload::Sha256UsesProcessorInstructions()) return;
  std::string blocks(64 * 9, '\0');
  for (size_t i = 0; i < blocks.size(); ++i) blocks[i] = static_cast<char>(i * 31 + 7);
  uint32_t portable[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  uint32_t fast[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  payload::Sha256PortableRounds(portable, reinterpret_cast<const uint8_t*>(blocks.data()), 9);
  payload::Sha256RoundsWithShaInstructions(fast, reinterpret_cast<const uint8_t*>(blocks.data()),
                                           9);
  EXPECT_EQ(std::memcmp(portable, fast, sizeof portable), 0);
}

TEST(PayloadTable, EveryFlippedByteBreaksTheTable) {
  const std::vector<uint8_t> bytes = payload::EncodeTable(SampleTable());
  for (size_t at = 0; at < bytes.size(); ++at) {
    std::vector<uint8_t> damaged = bytes;
    damaged[at] ^= 0x04;
    EXPECT_FALSE(payload::TableIntact(damaged.data(), damaged.size())) << "byte " << at;
  }
  EXPECT_FALSE(payload::TableIntact(bytes.data(), bytes.size() - 1));
  EXPECT_FALSE(payload::DecodeTable(bytes.data(), bytes.size() - 1));
}

TEST(PayloadTable, TablesWhoseItemsCannotLieInTheirFilesAreRefused) {
  struct Case {
    const char* what;
    std::function<void(Table&)> change;
  };
  const std::vector<Case> cases = {
      {"exe data offset and size overflow",
       [](Table& t) {
         t.exeDataOffset = UINT64_MAX - 50;
         t.items.resize(1);
       }},
      {"volume sizes overflow",
       [](Table& t) {
         t.volumeDataSizes = {UINT64_MAX - 100, 200};
       }},
      {"volume size overflows with its trailer",
       [](Table& t) { t.volumeDataSizes[1] = UINT64_MAX; }},
      {"item before its file's data", [](Table& t) { t.items[1].offset = 4095; }},
      {"item starting past its file's data", [](Table& t) { t.items[2].offset = 31; }},
      {"item running past the stream", [](Table& t) { t.items[2].size = 21; }},
      {"item offset wrapping around", [](Table& t) { t.items[2].offset = UINT64_MAX; }},
      {"item in a volume that is not there", [](Table& t) { t.items[2].file = 3; }},
      {"resource over 4 GiB", [](Table& t) { t.items[0].size = uint64_t{1} << 32; }},
      {"resource with an offset", [](Table& t) { t.items[0].offset = 1; }},
      {"unknown place", [](Table& t) { t.items[0].place = static_cast<Place>(2); }},
      {"too many volumes",
       [](Table& t) {
         t.volumeDataSizes.assign(payload::kMaxVolumes + 1, 0);
         t.items.resize(1);
       }},
  };
  ASSERT_TRUE(RoundTrip(SampleTable()));
  for (const Case& c : cases) {
    Table table = SampleTable();
    c.change(table);
    EXPECT_FALSE(RoundTrip(table)) << c.what;
  }
}

TEST(PayloadVolumeTrailer, BelongsOnlyToItsOwnTableAndNumber) {
  const Table table = SampleTable();
  payload::VolumeTrailer trailer;
  trailer.number = 2;
  trailer.count = 2;
  trailer.buildId = table.buildId;
  trailer.dataSize = 30;
  const std::vector<uint8_t> bytes = payload::EncodeVolumeTrailer(trailer);
  ASSERT_EQ(bytes.size(), payload::kVolumeTrailerBytes);
  const std::optional<payload::VolumeTrailer> decoded =
      payload::DecodeVolumeTrailer(bytes.data(), bytes.size());
  ASSERT_TRUE(decoded);
  EXPECT_TRUE(payload::BelongsTo(*decoded, table, 2));
  EXPECT_FALSE(payload::BelongsTo(*decoded, table, 1));
  EXPECT_FALSE(payload::DecodeVolumeTrailer(bytes.data(), bytes.size() - 1));

  const std::vector<std::function<void(payload::VolumeTrailer&)>> foreign = {
      [](payload::VolumeTrailer& h) { h.count = 3; },
      [](payload::VolumeTrailer& h) { h.buildId[15] ^= 0x01; },
      [](payload::VolumeTrailer& h) { h.dataSize = 31; },
  };
  for (const auto& change : foreign) {
    payload::VolumeTrailer other = trailer;
    change(other);
    EXPECT_FALSE(payload::BelongsTo(other, table, 2));
  }
}

}  // namespace
