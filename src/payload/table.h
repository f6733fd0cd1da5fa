// Where each payload file's bytes are, and what they must add up to: the
// payload table, a resource the program reads before it unpacks anything.
//
// A file's bytes are either a resource of their own (locations.h) or part
// of the data written after the exe's last section and, past the size one
// file may reach, in numbered volumes beside the exe (Installer-1.bin, ...,
// locations.h). The
// exe's data and the volumes' data form one stream, in that order; a file
// may cross from one to the next. A volume is its data followed by a
// trailer that ties it to the exe's table: written last, it lets the
// product build hash each volume as it writes it.
//
// The table lies inside the exe, under its signature; the volumes lie
// beside it, outside. So the table holds each volume's SHA-256 (sha256.h),
// and a volume is used only when its data has that digest: the signature
// protects the volumes through the table. Each file's XXH3 checksum guards
// against damage; it is no guard against a forged volume.
//
// Everything here is plain bytes in and out: the table and the volume
// trailers come from files the program did not make itself (a damaged
// download, a planted volume), so decoding checks every count, offset and
// size before anything relies on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "payload/sha256.h"

namespace payload {

// All numbers are little-endian.
constexpr size_t kTableHeaderBytes = 80;
constexpr size_t kVolumeRecordBytes = 40;
constexpr size_t kItemRecordBytes = 40;
constexpr size_t kVolumeTrailerBytes = 64;
constexpr uint32_t kFormatVersion = 2;
// Volumes are numbered 1 to kMaxVolumes: Installer-1.bin ... Installer-999.bin.
constexpr uint32_t kMaxVolumes = 999;
// The checksum kind the table names: XXH3, 64 bits (checksum.h).
constexpr uint32_t kChecksumXxh3 = 1;

using BuildId = std::vector<uint8_t>;  // 16 bytes
constexpr size_t kBuildIdBytes = 16;

enum class Place : uint32_t {
  kResource = 0,  // a resource of its own
  kData = 1,      // in the data after the exe or in a volume
};

struct Item {
  Place place = Place::kResource;
  uint32_t file = 0;    // kData: 0 for the exe, n for volume n
  uint64_t offset = 0;  // kData: where the bytes start in that file
  uint64_t size = 0;
  uint64_t checksum = 0;
};

struct Table {
  BuildId buildId = BuildId(kBuildIdBytes);
  uint64_t manifestChecksum = 0;  // of the manifest's bytes before its NUL
  uint64_t exeDataOffset = 0;     // where the exe's data starts in its file
  uint64_t exeDataSize = 0;
  std::vector<uint64_t> volumeDataSizes;  // volume n's at [n - 1], before its trailer
  // The SHA-256 of volume n's data (before its trailer) at [n - 1]; as many
  // as volumeDataSizes once encoded (missing ones are encoded as zeros).
  std::vector<Sha256Digest> volumeDigests;
  std::vector<Item> items;  // one per non-empty manifest item, in order
};

struct VolumeTrailer {
  uint32_t number = 0;  // 1 for the first
  uint32_t count = 0;
  BuildId buildId = BuildId(kBuildIdBytes);
  uint64_t dataSize = 0;
};

// The table's bytes, with its own checksum in them.
std::vector<uint8_t> EncodeTable(const Table& table);
// Gives `table` its build identifier, made from everything else in it, so
// that two builds of different bytes have different ones and the same
// build made twice has the same.
void AssignBuildId(Table& table);
size_t EncodedTableBytes(size_t items, size_t volumes);

// The table, or nullopt when the bytes are not one this program can use:
// a wrong magic or version, counts the bytes cannot hold, more than
// kMaxVolumes volumes, an unknown place or checksum kind, an item that does
// not start inside the data its file holds or does not end inside the
// stream (it may go on into the next files), or sizes whose sum does not
// fit in 64 bits. Bytes after the table are ignored. The
// table's own checksum is not looked at here: see TableIntact.
std::optional<Table> DecodeTable(const uint8_t* bytes, size_t size);
// Whether the table's checksum over its header, volume and item records
// matches: false for a damaged table, or bytes too short to hold the
// records their header counts.
bool TableIntact(const uint8_t* bytes, size_t size);

// A volume's trailer sits right after its data, at the data size the table
// gives for it: it is found from the table, never from the file's end.
std::vector<uint8_t> EncodeVolumeTrailer(const VolumeTrailer& trailer);
// The trailer at the start of `bytes`, or nullopt when the magic, the
// version or the trailer size is wrong or `size` is too short. Whether it
// belongs to a given table is the caller's to check (BelongsTo).
std::optional<VolumeTrailer> DecodeVolumeTrailer(const uint8_t* bytes, size_t size);
bool BelongsTo(const VolumeTrailer& trailer, const Table& table, uint32_t number);

// Where an item's bytes start in the stream of the exe's data followed by
// the volumes' data. The item must come from a decoded table.
uint64_t StreamPosition(const Table& table, const Item& item);

}  // namespace payload
