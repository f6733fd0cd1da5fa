// The payload's data after the exe's image: in the exe while it may grow,
// then in numbered volumes beside it (Installer-1.bin, Installer-2.bin, ...),
// one stream written once, with each volume's SHA-256 made as it is written
// and memory that stays at a few chunks whatever the payload's size: of its
// data for the payload table, and of the whole file for the build report.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "payload/sha256.h"
#include "payload/table.h"
#include "pe/resource.h"
#include "system/background_digest.h"

// A volume written beside an installer's exe.
struct WrittenVolume {
  std::filesystem::path path;
  std::string sha256;  // lowercase hex, of the whole file
};

class VolumeWriter : public ByteSink {
 public:
  // The data starts at `exeDataOffset` of the exe, written through `exe`,
  // which may hold at most `exeSize` bytes; then `volumeCount` volumes of at
  // most `volumeSize` bytes each follow in `folder`. `where` names the
  // payload in messages.
  VolumeWriter(ByteSink& exe, uint64_t exeDataOffset, uint64_t exeSize, uint64_t volumeSize,
               std::filesystem::path folder, uint32_t volumeCount, std::string where,
               Diagnostics& diagnostics);
  ~VolumeWriter() override;
  VolumeWriter(const VolumeWriter&) = delete;
  VolumeWriter& operator=(const VolumeWriter&) = delete;

  // Where a file of `size` bytes written next begins: a file that starts
  // where a full exe or volume ends starts in the next volume. Fills the
  // item's place, file and offset; false when that volume cannot be made.
  bool StartFile(uint64_t size, payload::Item* item);
  bool Write(const uint8_t* bytes, size_t count) override;

  // Once every file is written: false when they did not fill the volumes
  // they were measured for (they changed while they were copied).
  bool EndData();
  uint64_t ExeDataSize() const { return dataSizes_.front(); }
  std::vector<uint64_t> VolumeDataSizes() const {
    return std::vector<uint64_t>(dataSizes_.begin() + 1, dataSizes_.end());
  }
  // The SHA-256 of each volume's data, for the table; once EndData is done.
  const std::vector<payload::Sha256Digest>& VolumeDataDigests() const { return dataDigests_; }

  // Ends each volume with its trailer for the finished table, and gives
  // each volume with its digest.
  bool FinishVolumes(const payload::Table& table, std::vector<WrittenVolume>* volumes);
  // Removes the volumes, after a failure.
  void RemoveVolumes();

 private:
  uint64_t Capacity() const;
  uint64_t DataStart() const;
  bool CloseVolume();
  bool NextVolume();
  bool Changed();

  ByteSink& exe_;
  uint64_t exeDataOffset_;
  uint64_t exeSize_;
  uint64_t volumeSize_;
  std::filesystem::path folder_;
  uint32_t volumeCount_;
  std::string where_;
  Diagnostics& diagnostics_;
  // The data written into each file so far: the exe's first.
  std::vector<uint64_t> dataSizes_ = {0};
  std::vector<std::filesystem::path> volumes_;
  std::ofstream volume_;
  // The open volume's digest, then each closed volume's, waiting for its
  // trailer.
  std::optional<BackgroundDigest> volumeDigest_;
  std::vector<std::unique_ptr<Sha256>> waitingDigests_;
  // The open volume's data digest, made on this thread as the bytes pass
  // (the processor's SHA instructions keep up with the disk), and each
  // closed volume's.
  std::optional<payload::Sha256> dataDigest_;
  std::vector<payload::Sha256Digest> dataDigests_;
};
