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
  return dataSizes_.size() == 1 ? exeDataOffset_ : payload::kVolumeHeaderBytes;
}

uint64_t PayloadStreamWriter::Capacity() const {
  return (dataSizes_.size() == 1 ? exeSize_ : volumeSize_) - DataStart();
}

std::string PayloadStreamWriter::NextVolume() {
  if (volume_.is_open()) {
    volume_.close();
    if (!volume_) return volumes_.back().string() + ": cannot be written";
  }
  const uint32_t number = static_cast<uint32_t>(volumes_.size()) + 1;
  // The files grew since they were measured: the plan has no room.
  if (number > volumeCount_) return "the payload files changed while they were being copied";
  volumes_.push_back(VolumePath(volumeStem_, number));
  volume_.open(volumes_.back(), std::ios::binary | std::ios::trunc);
  // The header waits for the finished table, which names the build.
  const std::vector<uint8_t> placeholder(payload::kVolumeHeaderBytes);
  volume_.write(reinterpret_cast<const char*>(placeholder.data()),
                static_cast<std::streamsize>(placeholder.size()));
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
  if (volume_.is_open()) {
    volume_.close();
    if (!volume_) return volumes_.back().string() + ": cannot be written";
  }
  for (uint32_t index = 0; index < volumes_.size(); ++index) {
    payload::VolumeHeader header;
    header.number = index + 1;
    header.count = static_cast<uint32_t>(volumes_.size());
    header.buildId = table.buildId;
    header.dataSize = dataSizes_[index + 1];
    const std::vector<uint8_t> bytes = payload::EncodeVolumeHeader(header);
    std::fstream out(volumes_[index], std::ios::binary | std::ios::in | std::ios::out);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) return volumes_[index].string() + ": cannot be written";
  }
  return std::string();
}

void PayloadStreamWriter::RemoveVolumes() {
  volume_.close();
  std::error_code ignored;
  for (const fs::path& volume : volumes_) fs::remove(volume, ignored);
}
