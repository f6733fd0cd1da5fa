#include "exe/payload_stream_writer.h"

#include <algorithm>
#include <utility>

#include "install/payload_checksum.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kCopyChunk = 1 << 20;

}  // namespace

PayloadStreamWriter::PayloadStreamWriter(ExeSink exe, uint64_t exeDataOffset, uint64_t exeSize,
                                         uint64_t volumeSize, fs::path volumeStem,
                                         uint32_t volumeCount)
    : exe_(std::move(exe)),
      exeDataOffset_(exeDataOffset),
      exeSize_(exeSize),
      volumeSize_(volumeSize),
      volumeStem_(std::move(volumeStem)),
      volumeCount_(volumeCount) {}

PayloadStreamWriter::~PayloadStreamWriter() = default;

fs::path PayloadStreamWriter::VolumePath(const fs::path& stem, uint32_t number) {
  fs::path path = stem;
  path += "-" + std::to_string(number) + ".bin";
  return path;
}

uint64_t PayloadStreamWriter::DataStart() const {
  return dataSizes_.size() == 1 ? exeDataOffset_ : 0;
}

uint64_t PayloadStreamWriter::Capacity() const {
  return dataSizes_.size() == 1 ? exeSize_ - exeDataOffset_
                                : volumeSize_ - payload::kVolumeTrailerBytes;
}

std::string PayloadStreamWriter::CloseVolume() {
  if (!volume_.is_open()) return std::string();
  volume_.close();
  waitingDigests_.push_back(volumeDigest_->Drain());
  volumeDigest_.reset();
  return volume_ ? std::string() : volumes_.back().string() + ": cannot be written";
}

std::string PayloadStreamWriter::NextVolume() {
  if (std::string failure = CloseVolume(); !failure.empty()) return failure;
  const uint32_t number = static_cast<uint32_t>(volumes_.size()) + 1;
  // The files grew since they were measured: the plan has no room.
  if (number > volumeCount_) return "the payload files changed while they were being copied";
  volumes_.push_back(VolumePath(volumeStem_, number));
  volume_.open(volumes_.back(), std::ios::binary | std::ios::trunc);
  volumeDigest_.emplace();
  dataSizes_.push_back(0);
  return volume_ ? std::string() : volumes_.back().string() + ": cannot be written";
}

std::string PayloadStreamWriter::Write(const uint8_t* bytes, size_t count) {
  while (count > 0) {
    if (dataSizes_.back() == Capacity()) {
      if (std::string failure = NextVolume(); !failure.empty()) return failure;
    }
    const size_t part =
        static_cast<size_t>(std::min<uint64_t>(count, Capacity() - dataSizes_.back()));
    if (dataSizes_.size() == 1) {
      if (!exe_(bytes, part)) return "the exe cannot be written";
    } else {
      volume_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(part));
      if (!volume_) return volumes_.back().string() + ": cannot be written";
      volumeDigest_->Add(bytes, part);
    }
    dataSizes_.back() += part;
    bytes += part;
    count -= part;
  }
  return std::string();
}

std::string PayloadStreamWriter::CopyFiles(const std::vector<PayloadFile>& files,
                                           std::vector<payload::Item>* items) {
  std::vector<uint8_t> chunk(kCopyChunk);
  for (const PayloadFile& file : files) {
    // A file that starts where a full one ends starts in the next volume.
    if (file.size > 0 && dataSizes_.back() == Capacity()) {
      if (std::string failure = NextVolume(); !failure.empty()) return failure;
    }
    payload::Item item;
    item.place = payload::Place::kData;
    item.file = static_cast<uint32_t>(dataSizes_.size() - 1);
    item.offset = DataStart() + dataSizes_.back();
    item.size = file.size;

    const std::string changed = file.source.string() + ": changed while it was being copied";
    std::ifstream in(file.source, std::ios::binary);
    if (!in) return file.source.string() + ": cannot be read";
    PayloadChecksum checksum;
    for (uint64_t left = file.size; left > 0;) {
      const size_t wanted = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
      if (!in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(wanted)))
        return changed;
      checksum.Add(chunk.data(), wanted);
      if (std::string failure = Write(chunk.data(), wanted); !failure.empty()) return failure;
      left -= wanted;
    }
    if (in.peek() != std::char_traits<char>::eof()) return changed;
    item.checksum = checksum.Value();
    items->push_back(item);
  }
  if (volumes_.size() != volumeCount_) return "the payload files changed while they were being copied";
  return std::string();
}

std::string PayloadStreamWriter::FinishVolumes(const payload::Table& table) {
  if (std::string failure = CloseVolume(); !failure.empty()) return failure;
  for (uint32_t index = 0; index < volumes_.size(); ++index) {
    payload::VolumeTrailer trailer;
    trailer.number = index + 1;
    trailer.count = static_cast<uint32_t>(volumes_.size());
    trailer.buildId = table.buildId;
    trailer.dataSize = dataSizes_[index + 1];
    const std::vector<uint8_t> bytes = payload::EncodeVolumeTrailer(trailer);
    std::ofstream out(volumes_[index], std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) return volumes_[index].string() + ": cannot be written";
    waitingDigests_[index]->Update(bytes.data(), bytes.size());
    const std::optional<std::string> digest = waitingDigests_[index]->FinishHex();
    if (!digest) return volumes_[index].string() + ": its digest could not be made";
    volumeDigests_.push_back(*digest);
  }
  return std::string();
}

void PayloadStreamWriter::RemoveVolumes() {
  volume_.close();
  volumeDigest_.reset();
  std::error_code ignored;
  for (const fs::path& volume : volumes_) fs::remove(volume, ignored);
}
