#include "installer/volume_writer.h"

#include <algorithm>
#include <utility>

#include "payload/locations.h"

namespace fs = std::filesystem;

VolumeWriter::VolumeWriter(ByteSink& exe, uint64_t exeDataOffset, uint64_t exeSize,
                           uint64_t volumeSize, fs::path folder, uint32_t volumeCount,
                           std::string where, Diagnostics& diagnostics)
    : exe_(exe),
      exeDataOffset_(exeDataOffset),
      exeSize_(exeSize),
      volumeSize_(volumeSize),
      folder_(std::move(folder)),
      volumeCount_(volumeCount),
      where_(std::move(where)),
      diagnostics_(diagnostics) {}

VolumeWriter::~VolumeWriter() = default;

uint64_t VolumeWriter::DataStart() const { return dataSizes_.size() == 1 ? exeDataOffset_ : 0; }

uint64_t VolumeWriter::Capacity() const {
  return dataSizes_.size() == 1 ? exeSize_ - exeDataOffset_
                                : volumeSize_ - payload::kVolumeTrailerBytes;
}

bool VolumeWriter::Changed() {
  diagnostics_.Error(where_, "the payload files changed while they were being copied");
  return false;
}

bool VolumeWriter::CloseVolume() {
  if (!volume_.is_open()) return true;
  volume_.close();
  waitingDigests_.push_back(volumeDigest_->Drain());
  volumeDigest_.reset();
  dataDigests_.push_back(dataDigest_->Finish());
  dataDigest_.reset();
  if (volume_) return true;
  diagnostics_.Error(volumes_.back().string(), "cannot be written");
  return false;
}

bool VolumeWriter::NextVolume() {
  if (!CloseVolume()) return false;
  const uint32_t number = static_cast<uint32_t>(volumes_.size()) + 1;
  // The files grew since they were measured: the plan has no room.
  if (number > volumeCount_) return Changed();
  volumes_.push_back(folder_ / fs::u8path(Utf16ToUtf8(payload::VolumeName(number))));
  volume_.open(volumes_.back(), std::ios::binary | std::ios::trunc);
  volumeDigest_.emplace();
  dataDigest_.emplace();
  dataSizes_.push_back(0);
  if (volume_) return true;
  diagnostics_.Error(volumes_.back().string(), "cannot be written");
  return false;
}

bool VolumeWriter::StartFile(uint64_t size, payload::Item* item) {
  if (size > 0 && dataSizes_.back() == Capacity() && !NextVolume()) return false;
  item->place = payload::Place::kData;
  item->file = static_cast<uint32_t>(dataSizes_.size() - 1);
  item->offset = DataStart() + dataSizes_.back();
  item->size = size;
  return true;
}

bool VolumeWriter::Write(const uint8_t* bytes, size_t count) {
  while (count > 0) {
    if (dataSizes_.back() == Capacity() && !NextVolume()) return false;
    const size_t part =
        static_cast<size_t>(std::min<uint64_t>(count, Capacity() - dataSizes_.back()));
    if (dataSizes_.size() == 1) {
      if (!exe_.Write(bytes, part)) return false;
    } else {
      volume_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(part));
      if (!volume_) {
        diagnostics_.Error(volumes_.back().string(), "cannot be written");
        return false;
      }
      volumeDigest_->Add(bytes, part);
      dataDigest_->Add(bytes, part);
    }
    dataSizes_.back() += part;
    bytes += part;
    count -= part;
  }
  return true;
}

bool VolumeWriter::EndData() {
  if (!CloseVolume()) return false;
  return volumes_.size() == volumeCount_ || Changed();
}

bool VolumeWriter::FinishVolumes(const payload::Table& table, std::vector<WrittenVolume>* volumes) {
  for (uint32_t index = 0; index < volumes_.size(); ++index) {
    payload::VolumeTrailer trailer;
    trailer.number = index + 1;
    trailer.count = static_cast<uint32_t>(volumes_.size());
    trailer.buildId = table.buildId;
    trailer.dataSize = dataSizes_[index + 1];
    const std::vector<uint8_t> bytes = payload::EncodeVolumeTrailer(trailer);
    std::ofstream out(volumes_[index], std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      diagnostics_.Error(volumes_[index].string(), "cannot be written");
      return false;
    }
    waitingDigests_[index]->Update(bytes.data(), bytes.size());
    const std::optional<std::string> digest = waitingDigests_[index]->FinishHex();
    if (!digest) {
      diagnostics_.Error(volumes_[index].string(), "its digest could not be made");
      return false;
    }
    volumes->push_back({volumes_[index], *digest});
  }
  return true;
}

void VolumeWriter::RemoveVolumes() {
  volume_.close();
  volumeDigest_.reset();
  std::error_code ignored;
  for (const fs::path& volume : volumes_) fs::remove(volume, ignored);
}
