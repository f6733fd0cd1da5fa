#include "install/payload_sources.h"

#include <utility>

#include "install/fatal_error.h"
#include "install/read_exactly.h"
#include "install/resource_bytes.h"
#include "payload/locations.h"
#include "payload/manifest.h"
#include "platform/unique_handles.h"
#include "resource_ids.h"

namespace {

// Opens the files one by one and keeps them; a failure closes every one
// before it is reported.
class DataFiles {
 public:
  explicit DataFiles(const platform::Platform& os) : os_(os) {}

  // Opens `path` and keeps it, open to readers only until the stream is
  // closed; returns its size. A file with a `digest` must have it.
  uint64_t Open(const WString& path, WString name, uint64_t dataStart, uint64_t dataSize,
                std::optional<payload::Sha256Digest> digest = std::nullopt) {
    platform::UniqueFileHandle handle(
        os_.files, os_.files.OpenFile(path, platform::FileSystem::OpenMode::kReadSequential));
    if (!handle) Fail(os_.process.LastError(), name);
    files_.push_back(
        StreamFile{std::move(name), std::move(handle), dataStart, dataSize, std::move(digest)});
    const std::optional<uint64_t> size = os_.files.FileSize(files_.back().handle.get());
    if (!size) Fail(os_.process.LastError(), files_.back().name);
    return *size;
  }

  // Reads the volume trailer at `at` in the file opened last; nullopt when
  // the bytes there are not one.
  std::optional<payload::VolumeTrailer> ReadTrailer(uint64_t at) {
    const StreamFile& file = files_.back();
    if (!os_.files.Seek(file.handle.get(), at)) Fail(os_.process.LastError(), file.name);
    uint8_t bytes[payload::kVolumeTrailerBytes];
    if (!ReadExactly(os_, file.handle.get(), bytes, sizeof bytes)) {
      Fail(os_.process.LastError(), file.name);
    }
    return payload::DecodeVolumeTrailer(bytes, sizeof bytes);
  }

  [[noreturn]] void Fail(uint32_t code, const WString& name) {
    const WString what = u"Opening " + name;
    files_.clear();
    FailWithError(os_, code, what);
  }

  std::vector<StreamFile> Take() { return std::move(files_); }

 private:
  const platform::Platform& os_;
  std::vector<StreamFile> files_;
};

}  // namespace

std::optional<payload::Table> LoadPayloadTable(const platform::Platform& os,
                                               std::string_view manifestBytes, size_t itemCount) {
  const platform::ResourceHandle resource = os.resources.FindData(IDR_PAYLOAD_TABLE);
  if (resource == nullptr) return std::nullopt;
  const uint32_t size = os.resources.Size(resource);
  platform::UniqueLoadedResource loaded(os.resources, os.resources.Load(resource));
  const auto* bytes = static_cast<const uint8_t*>(LockLoadedResource(os, loaded));

  std::optional<payload::Table> table;
  if (payload::TableIntact(bytes, size)) table = payload::DecodeTable(bytes, size);
  if (!table || table->items.size() != itemCount) {
    FailWithError(os, platform::kErrorCrc, u"Verifying the payload table");
  }
  if (payload::ManifestChecksum(manifestBytes) != table->manifestChecksum) {
    FailWithError(os, platform::kErrorCrc, u"Verifying the payload manifest");
  }
  return table;
}

std::vector<StreamFile> OpenPayloadData(const platform::Platform& os, const payload::Table& table) {
  if (table.exeDataSize == 0 && table.volumeDataSizes.empty()) return {};
  const WString program = os.resources.ProgramPath();
  if (program.empty()) FatalError(os, u"GetModuleFileName");
  const size_t separator = program.rfind(u'\\');
  const WString folder = separator == WString::npos ? WString() : program.substr(0, separator + 1);

  DataFiles files(os);
  const WString programName = program.substr(folder.size());
  // DecodeTable saw to it that the sums below do not overflow.
  const uint64_t programSize =
      files.Open(program, programName, table.exeDataOffset, table.exeDataSize);
  if (programSize < table.exeDataOffset + table.exeDataSize) {
    files.Fail(platform::kErrorHandleEof, programName);
  }
  const uint32_t count = static_cast<uint32_t>(table.volumeDataSizes.size());
  for (uint32_t number = 1; number <= count; ++number) {
    const WString name = payload::VolumeName(number);
    // Without a folder the name alone would be looked for in the current one.
    if (folder.empty()) files.Fail(platform::kErrorPathNotFound, name);
    const uint64_t dataSize = table.volumeDataSizes[number - 1];
    // DecodeTable gives every volume its digest.
    const uint64_t volumeSize =
        files.Open(folder + name, name, 0, dataSize, table.volumeDigests[number - 1]);
    // DecodeTable saw to it that dataSize + kVolumeTrailerBytes fits.
    if (volumeSize >= dataSize + payload::kVolumeTrailerBytes) {
      const std::optional<payload::VolumeTrailer> trailer = files.ReadTrailer(dataSize);
      if (!trailer || !payload::BelongsTo(*trailer, table, number)) {
        files.Fail(platform::kErrorInvalidData, name);
      }
      continue;
    }
    // Too short: a volume cut off on its way here, or another build's
    // volume, whose own trailer ends it.
    if (volumeSize >= payload::kVolumeTrailerBytes &&
        files.ReadTrailer(volumeSize - payload::kVolumeTrailerBytes)) {
      files.Fail(platform::kErrorInvalidData, name);
    }
    files.Fail(platform::kErrorHandleEof, name);
  }
  return files.Take();
}
