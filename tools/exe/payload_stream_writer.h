// Copies the payload files after the exe's last section and, once the exe
// holds as much as a volume may, into numbered volumes beside it
// (Installer-1.bin, Installer-2.bin, ...): one pass over the files, with
// each file's checksum and each volume's SHA-256 made as it is copied, and
// memory that stays at a few chunks whatever the payload's size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "install/payload_table.h"
#include "product/payload_files.h"
#include "system/background_digest.h"

class PayloadStreamWriter {
 public:
  // Writes to the exe after its last section; false when it cannot.
  using ExeSink = std::function<bool(const uint8_t* bytes, size_t count)>;

  // The exe's data starts at `exeDataOffset` of its file, which holds at
  // most `exeSize` bytes; each volume holds at most `volumeSize` bytes, and
  // `volumeCount` volumes are made next to `volumeStem` ("dir/Installer"
  // gives dir/Installer-1.bin).
  PayloadStreamWriter(ExeSink exe, uint64_t exeDataOffset, uint64_t exeSize, uint64_t volumeSize,
                      std::filesystem::path volumeStem, uint32_t volumeCount);
  ~PayloadStreamWriter();
  PayloadStreamWriter(const PayloadStreamWriter&) = delete;
  PayloadStreamWriter& operator=(const PayloadStreamWriter&) = delete;

  // Copies every file in order; fills `items` with where each went and its
  // checksum. Empty on success, otherwise what went wrong, naming the file.
  std::string CopyFiles(const std::vector<PayloadFile>& files, std::vector<payload::Item>* items);

  // Ends each volume with its trailer for the finished table.
  std::string FinishVolumes(const payload::Table& table);
  // Removes the volumes, after a failure.
  void RemoveVolumes();

  uint64_t ExeDataSize() const { return dataSizes_.front(); }
  std::vector<uint64_t> VolumeDataSizes() const {
    return std::vector<uint64_t>(dataSizes_.begin() + 1, dataSizes_.end());
  }
  const std::vector<std::filesystem::path>& Volumes() const { return volumes_; }
  // Each volume's SHA-256 in lowercase hex, once FinishVolumes succeeded.
  const std::vector<std::string>& VolumeDigests() const { return volumeDigests_; }

  // The volume file of number `number` next to `stem`.
  static std::filesystem::path VolumePath(const std::filesystem::path& stem, uint32_t number);

 private:
  uint64_t Capacity() const;
  uint64_t DataStart() const;
  std::string CloseVolume();
  std::string NextVolume();
  std::string Write(const uint8_t* bytes, size_t count);

  ExeSink exe_;
  uint64_t exeDataOffset_;
  uint64_t exeSize_;
  uint64_t volumeSize_;
  std::filesystem::path volumeStem_;
  uint32_t volumeCount_;
  // The data written into each file so far: the exe's first.
  std::vector<uint64_t> dataSizes_ = {0};
  std::vector<std::filesystem::path> volumes_;
  std::ofstream volume_;
  // The open volume's digest, then each closed volume's, waiting for its
  // trailer.
  std::optional<BackgroundDigest> volumeDigest_;
  std::vector<std::unique_ptr<Sha256>> waitingDigests_;
  std::vector<std::string> volumeDigests_;
};
