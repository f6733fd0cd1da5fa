#include "exe/pe_resource_section.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "exe/byte_writer.h"
#include "exe/payload_stream_writer.h"
#include "exe/pe_checksum.h"
#include "exe/res_index.h"
#include "exe/resource_tree.h"
#include "install/payload_checksum.h"
#include "resource_ids.h"
#include "system/background_digest.h"

namespace {

constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr size_t kSectionHeaderBytes = 40;
constexpr uint32_t kResourceDirectory = 2;
// Initialized data, readable.
constexpr uint32_t kResourceSectionCharacteristics = 0x40000040;
constexpr size_t kCopyChunk = 1 << 20;

// Offsets in the optional header that both layouts share.
constexpr size_t kSizeOfInitializedData = 8;
constexpr size_t kSectionAlignment = 32;
constexpr size_t kFileAlignment = 36;
constexpr size_t kSizeOfImage = 56;
constexpr size_t kSizeOfHeaders = 60;
constexpr size_t kCheckSum = 64;

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// What the writer needs to know of the linked exe's headers.
struct PeHeaders {
  size_t optionalHeader = 0;
  size_t sectionCountField = 0;
  size_t newSectionHeader = 0;  // where the added section's header goes
  size_t resourceDirectory = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint64_t imageEnd = 0;  // the end of the last section in memory
};

// Reads the headers; an empty string when the exe can take a resource
// section, otherwise why not.
std::string ReadHeaders(const std::vector<uint8_t>& exe, PeHeaders* headers) {
  if (exe.size() < 0x40 || exe[0] != 'M' || exe[1] != 'Z') return "is not an exe";
  const size_t pe = ReadLe(exe, 0x3C, 4);
  if (pe > exe.size() - 24 || ReadLe(exe, pe, 4) != 0x00004550) return "is not a PE exe";
  const uint32_t sectionCount = ReadLe(exe, pe + 6, 2);
  const size_t optionalSize = ReadLe(exe, pe + 20, 2);
  const size_t optional = pe + 24;
  if (optional + 2 > exe.size()) return "has a damaged optional header";
  const uint16_t magic = static_cast<uint16_t>(ReadLe(exe, optional, 2));
  if (magic != kMagicPe32 && magic != kMagicPe32Plus)
    return "has an optional header of an unknown kind";
  const size_t directoryCountField = optional + (magic == kMagicPe32Plus ? 108 : 92);
  const size_t directories = directoryCountField + 4;
  if (optionalSize < directories + 8 * 3 - optional || optional + optionalSize > exe.size() ||
      ReadLe(exe, directoryCountField, 4) <= kResourceDirectory ||
      directories + 8 * uint64_t{ReadLe(exe, directoryCountField, 4)} > optional + optionalSize) {
    return "has a damaged optional header";
  }
  headers->optionalHeader = optional;
  headers->sectionCountField = pe + 6;
  headers->resourceDirectory = directories + 8 * kResourceDirectory;
  headers->sectionAlignment = ReadLe(exe, optional + kSectionAlignment, 4);
  headers->fileAlignment = ReadLe(exe, optional + kFileAlignment, 4);
  if (!IsPowerOfTwo(headers->sectionAlignment) || !IsPowerOfTwo(headers->fileAlignment)) {
    return "has a damaged optional header";
  }
  if (ReadLe(exe, headers->resourceDirectory, 4) != 0 ||
      ReadLe(exe, headers->resourceDirectory + 4, 4) != 0) {
    return "already has resources";
  }

  const size_t table = optional + optionalSize;
  if (table + kSectionHeaderBytes * sectionCount > exe.size()) return "has a damaged section table";
  uint64_t firstRawData = ReadLe(exe, optional + kSizeOfHeaders, 4);
  uint64_t fileEnd = firstRawData;
  headers->imageEnd = ReadLe(exe, optional + kSizeOfImage, 4);
  for (uint32_t index = 0; index < sectionCount; ++index) {
    const size_t header = table + kSectionHeaderBytes * index;
    const uint64_t virtualSize = ReadLe(exe, header + 8, 4);
    const uint64_t address = ReadLe(exe, header + 12, 4);
    const uint64_t rawSize = ReadLe(exe, header + 16, 4);
    const uint64_t rawData = ReadLe(exe, header + 20, 4);
    headers->imageEnd = std::max(headers->imageEnd, address + std::max(virtualSize, rawSize));
    if (rawSize == 0) continue;
    firstRawData = std::min(firstRawData, rawData);
    fileEnd = std::max(fileEnd, rawData + rawSize);
  }
  // Whatever lies after the last section (a symbol table, a signature)
  // would end up inside the new one.
  if (exe.size() > AlignUp(fileEnd, headers->fileAlignment))
    return "has data after its last section";
  headers->newSectionHeader = table + kSectionHeaderBytes * sectionCount;
  const size_t headerEnd = headers->newSectionHeader + kSectionHeaderBytes;
  if (sectionCount >= 0xFFFF || headerEnd > firstRawData || headerEnd > exe.size() ||
      std::any_of(exe.begin() + static_cast<std::ptrdiff_t>(headers->newSectionHeader),
                  exe.begin() + static_cast<std::ptrdiff_t>(headerEnd),
                  [](uint8_t byte) { return byte != 0; })) {
    return "has no room for another section header before its first section";
  }
  return std::string();
}

// Feeds the bytes of the exe to be written to the checksum only: the first
// of two passes, when the checksum must be in the header before the digest
// of the whole file can start.
class ChecksumSink {
 public:
  bool Ok() const { return true; }
  uint64_t Position() const { return position_; }
  void Write(const uint8_t* bytes, size_t count) {
    checksum_.Add(bytes, count);
    position_ += count;
  }
  uint32_t Checksum() const { return checksum_.Finish(); }

 private:
  PeChecksum checksum_;
  uint64_t position_ = 0;
};

// Writes bytes to the new exe, feeding them to the checksum and, when
// given, to a digest on the way.
class ExeWriter {
 public:
  ExeWriter(const std::filesystem::path& path, BackgroundDigest* digest)
      : out_(path, std::ios::binary | std::ios::trunc), digest_(digest) {}
  bool Ok() const { return static_cast<bool>(out_); }
  uint64_t Position() const { return position_; }

  void Write(const uint8_t* bytes, size_t count) {
    out_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
    checksum_.Add(bytes, count);
    if (digest_ != nullptr) digest_->Add(bytes, count);
    position_ += count;
  }
  // Overwrites zeros written earlier at `at` with `bytes`, whose length is
  // a multiple of 8, as `at` is: the checksum then takes their words as
  // if they had been written in their place.
  void Patch(uint64_t at, const std::vector<uint8_t>& bytes) {
    out_.seekp(static_cast<std::streamoff>(at));
    out_.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    PeChecksum part;
    part.Add(bytes.data(), bytes.size());
    checksum_.Merge(part);
  }
  // Writes the checksum over everything written at `field`, and closes.
  bool Finish(bool withChecksum, size_t field) {
    if (withChecksum) {
      std::vector<uint8_t> value(4);
      PutLe(value, 0, checksum_.Finish(), 4);
      out_.seekp(static_cast<std::streamoff>(field));
      out_.write(reinterpret_cast<const char*>(value.data()), 4);
    }
    out_.close();
    return static_cast<bool>(out_);
  }
  void Close() { out_.close(); }

 private:
  std::ofstream out_;
  BackgroundDigest* digest_;
  PeChecksum checksum_;
  uint64_t position_ = 0;
};

template <typename Sink>
void ZerosTo(Sink& sink, uint64_t end) {
  static const std::vector<uint8_t> zeros(64 * 1024);
  while (sink.Position() < end)
    sink.Write(zeros.data(),
               static_cast<size_t>(std::min<uint64_t>(end - sink.Position(), zeros.size())));
}

// How an installer's payload goes into the exe: which entries are its
// files and its table, and whether the files come after the image instead.
struct PayloadPlacement {
  const InstallerPayload* payload = nullptr;
  bool afterImage = false;
  uint32_t volumeCount = 0;
  size_t firstFileEntry = 0;  // with the files as resources
  size_t tableEntry = 0;
};

// What one pass over the content learns: the checksums of the payload
// files copied as resources, for the table that follows them.
struct PassState {
  std::vector<payload::Item> items;
};

// Everything the new exe holds, in file order: the linked exe with its
// headers updated, the section's head, each resource's data (from the .res
// file, from its own file, or the payload table) on its boundary, the
// padding to the section's end. Empty on success, otherwise what could not
// be read.
struct ExeContent {
  const std::vector<uint8_t>& exe;
  const std::filesystem::path& resFile;
  const std::vector<ResIndexEntry>& entries;
  const ResourceSectionLayout& layout;
  uint64_t rawData;
  uint64_t rawSize;
  const PayloadPlacement& placement;
};

bool IsPayloadFile(const PayloadPlacement& placement, size_t entry) {
  return placement.payload != nullptr && !placement.afterImage &&
         entry >= placement.firstFileEntry &&
         entry < placement.firstFileEntry + placement.payload->files.size();
}

// The table's bytes when the files are resources: it comes after them, so
// their checksums are known. After the image it is zeros until the data
// is written (see AddResourceSection).
std::vector<uint8_t> TableBytes(const ExeContent& content, const PassState& state) {
  const ResIndexEntry& entry = content.entries[content.placement.tableEntry];
  if (content.placement.afterImage) return std::vector<uint8_t>(entry.dataSize);
  return payload::EncodeTable(FinishTable(*content.placement.payload, state.items, 0, 0, {}));
}

template <typename Sink>
std::string Emit(const ExeContent& content, Sink& sink, PassState& state) {
  std::ifstream res(content.resFile, std::ios::binary);
  if (!res) return content.resFile.string() + ": cannot be read";
  sink.Write(content.exe.data(), content.exe.size());
  ZerosTo(sink, content.rawData);
  sink.Write(content.layout.head.data(), content.layout.head.size());
  std::vector<uint8_t> chunk(kCopyChunk);
  for (size_t entry = 0; entry < content.entries.size() && sink.Ok(); ++entry) {
    const ResIndexEntry& resource = content.entries[entry];
    ZerosTo(sink, content.rawData + content.layout.dataOffsets[entry]);
    if (content.placement.payload != nullptr && entry == content.placement.tableEntry) {
      const std::vector<uint8_t> table = TableBytes(content, state);
      if (table.size() != resource.dataSize) return "the payload table changed its size";
      sink.Write(table.data(), table.size());
      continue;
    }
    std::ifstream ownFile;
    if (!resource.source.empty()) {
      ownFile.open(resource.source, std::ios::binary);
      if (!ownFile) return resource.source.string() + ": cannot be read";
    }
    std::ifstream& in = resource.source.empty() ? res : ownFile;
    const std::filesystem::path& inPath =
        resource.source.empty() ? content.resFile : resource.source;
    const bool payloadFile = IsPayloadFile(content.placement, entry);
    PayloadChecksum checksum;
    in.seekg(static_cast<std::streamoff>(resource.dataOffset));
    for (uint64_t left = resource.dataSize; left > 0 && sink.Ok();) {
      const size_t wanted = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
      if (!in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(wanted)))
        return inPath.string() + ": changed while it was being copied";
      if (payloadFile) checksum.Add(chunk.data(), wanted);
      sink.Write(chunk.data(), wanted);
      left -= wanted;
    }
    // A file of its own must still end where it ended when it was listed.
    if (!resource.source.empty() && in.peek() != std::char_traits<char>::eof())
      return inPath.string() + ": changed while it was being copied";
    if (payloadFile) {
      payload::Item item;
      item.size = resource.dataSize;
      item.checksum = checksum.Value();
      state.items.push_back(item);
    }
  }
  ZerosTo(sink, content.rawData + content.rawSize);
  return std::string();
}

// The payload files as resources 3001 on, each copied from its own file.
std::vector<ResIndexEntry> PayloadFileEntries(const InstallerPayload& payload) {
  std::vector<ResIndexEntry> entries;
  uint16_t id = IDR_PAYLOAD_FIRST;
  for (const PayloadFile& file : payload.files) {
    ResIndexEntry entry;
    entry.type.number = kTypeRcData;
    entry.name.number = id++;
    entry.language = kLanguageEnglishUk;
    entry.dataSize = static_cast<uint32_t>(file.size);
    entry.source = file.source;
    entries.push_back(entry);
  }
  return entries;
}

ResIndexEntry TableEntry(size_t bytes) {
  ResIndexEntry entry;
  entry.type.number = kTypeRcData;
  entry.name.number = IDR_PAYLOAD_TABLE;
  entry.language = kLanguageEnglishUk;
  entry.dataSize = static_cast<uint32_t>(bytes);
  return entry;
}

uint64_t PayloadBytes(const InstallerPayload& payload) {
  uint64_t total = 0;
  for (const PayloadFile& file : payload.files) total += file.size;
  return total;
}

// Where the section goes and how large it is, for a set of entries.
struct SectionPlan {
  ResourceSectionLayout layout;
  uint64_t rawSize = 0;
  uint64_t end = 0;  // of the exe before any data after it
};

SectionPlan PlanSection(const std::vector<ResIndexEntry>& entries, uint64_t sectionRva,
                        uint64_t rawData, uint32_t fileAlignment) {
  SectionPlan plan;
  plan.layout = LayOutResourceSection(entries, static_cast<uint32_t>(sectionRva));
  plan.rawSize = AlignUp(plan.layout.size, fileAlignment);
  plan.end = rawData + plan.rawSize;
  return plan;
}

}  // namespace

std::string AddResourceSection(const std::filesystem::path& resFile,
                               const std::filesystem::path& linkedExe,
                               const std::filesystem::path& outExe,
                               const std::vector<ResIndexEntry>& extraEntries,
                               std::string* sha256, const InstallerPayload* payload,
                               std::vector<WrittenVolume>* volumes) {
  ResIndex index = ReadResIndex(resFile);
  if (!index.error.empty()) return index.error;
  index.entries.insert(index.entries.end(), extraEntries.begin(), extraEntries.end());

  // The linked exe holds code and no resources: small enough to patch in memory.
  std::ifstream linkedIn(linkedExe, std::ios::binary);
  std::vector<uint8_t> exe((std::istreambuf_iterator<char>(linkedIn)),
                           std::istreambuf_iterator<char>());
  if (!linkedIn && !linkedIn.eof()) return linkedExe.string() + ": cannot be read";
  PeHeaders headers;
  if (const std::string refusal = ReadHeaders(exe, &headers); !refusal.empty()) {
    return linkedExe.string() + ": " + refusal;
  }

  const uint64_t sectionRva = AlignUp(headers.imageEnd, headers.sectionAlignment);
  const uint64_t rawData = AlignUp(exe.size(), headers.fileAlignment);
  if (sectionRva > UINT32_MAX) return linkedExe.string() + ": has no room for another section";

  std::vector<ResIndexEntry> entries = index.entries;
  PayloadPlacement placement;
  SectionPlan plan;
  uint64_t exeSize = 0;  // the most the exe may hold before it is signed
  if (payload != nullptr) {
    placement.payload = payload;
    const size_t items = payload->files.size();
    const uint64_t payloadBytes = PayloadBytes(*payload);
    // Signing appends to the exe: it is left the room for that.
    exeSize = payload->volumeSize - std::min(payload->volumeSize / 2, payload->signatureRoom);
    // As resources while they fit: the layout every earlier build had.
    if (payloadBytes <= kMaxResourcePayloadBytes) {
      std::vector<ResIndexEntry> asResources = index.entries;
      placement.firstFileEntry = asResources.size();
      for (ResIndexEntry& file : PayloadFileEntries(*payload)) asResources.push_back(file);
      placement.tableEntry = asResources.size();
      asResources.push_back(TableEntry(payload::EncodedTableBytes(items, 0)));
      plan = PlanSection(asResources, sectionRva, rawData, headers.fileAlignment);
      if (plan.layout.error.empty() && plan.end <= exeSize) entries = asResources;
    }
    if (entries.size() == index.entries.size()) {
      // After the image: the table grows with the volumes it lists, which
      // may push the exe's data into one more volume; the count only grows
      // until it settles.
      placement.afterImage = true;
      placement.tableEntry = entries.size();
      entries.push_back(TableEntry(0));
      const uint64_t perVolume = payload->volumeSize - payload::kVolumeTrailerBytes;
      for (;;) {
        entries.back().dataSize =
            static_cast<uint32_t>(payload::EncodedTableBytes(items, placement.volumeCount));
        plan = PlanSection(entries, sectionRva, rawData, headers.fileAlignment);
        if (!plan.layout.error.empty()) break;
        if (plan.end >= exeSize) {
          return payload->volumeSizeField + ": " + std::to_string(payload->volumeSize) +
                 " bytes cannot hold " + outExe.filename().string() + ", which is " +
                 std::to_string(plan.end) + " bytes before its payload and its table of " +
                 std::to_string(items) + " files" +
                 (exeSize < payload->volumeSize ? ", with room for its signature" : "") +
                 "; it must be larger than that";
        }
        const uint64_t inExe = std::min(payloadBytes, exeSize - plan.end);
        const uint64_t needed = (payloadBytes - inExe + perVolume - 1) / perVolume;
        if (needed > payload::kMaxVolumes) {
          return payload->volumeSizeField + ": " + std::to_string(payload->volumeSize) +
                 " bytes splits the payload's " + std::to_string(payloadBytes) + " bytes into " +
                 std::to_string(needed) + " volumes beside the exe, and at most " +
                 std::to_string(payload::kMaxVolumes) + " are possible; make it larger";
        }
        if (needed == placement.volumeCount) break;
        placement.volumeCount = static_cast<uint32_t>(needed);
      }
    }
  } else {
    plan = PlanSection(entries, sectionRva, rawData, headers.fileAlignment);
  }
  const ResourceSectionLayout& layout = plan.layout;
  if (!layout.error.empty()) return resFile.string() + ": " + layout.error;
  const uint64_t rawSize = plan.rawSize;
  const uint64_t imageSize = AlignUp(sectionRva + layout.size, headers.sectionAlignment);
  const size_t optional = headers.optionalHeader;
  const uint64_t initializedData =
      uint64_t{ReadLe(exe, optional + kSizeOfInitializedData, 4)} + rawSize;
  if (rawData + rawSize > UINT32_MAX || imageSize > UINT32_MAX || initializedData > UINT32_MAX) {
    return resFile.string() + ": makes an exe larger than 4 GiB";
  }

  const size_t section = headers.newSectionHeader;
  const char name[8] = {'.', 'r', 's', 'r', 'c'};
  std::copy(std::begin(name), std::end(name), exe.begin() + static_cast<std::ptrdiff_t>(section));
  PutLe(exe, section + 8, layout.size, 4);
  PutLe(exe, section + 12, static_cast<uint32_t>(sectionRva), 4);
  PutLe(exe, section + 16, static_cast<uint32_t>(rawSize), 4);
  PutLe(exe, section + 20, static_cast<uint32_t>(rawData), 4);
  PutLe(exe, section + 36, kResourceSectionCharacteristics, 4);
  PutLe(exe, headers.sectionCountField, ReadLe(exe, headers.sectionCountField, 2) + 1, 2);
  PutLe(exe, optional + kSizeOfImage, static_cast<uint32_t>(imageSize), 4);
  PutLe(exe, optional + kSizeOfInitializedData, static_cast<uint32_t>(initializedData), 4);
  PutLe(exe, headers.resourceDirectory, static_cast<uint32_t>(sectionRva), 4);
  PutLe(exe, headers.resourceDirectory + 4, layout.size, 4);
  // A linker that left the checksum out gets none; one that wrote it gets
  // it recomputed over the new file, the field counting as zeros.
  const size_t checksumField = optional + kCheckSum;
  const bool withChecksum = ReadLe(exe, checksumField, 4) != 0;
  PutLe(exe, checksumField, 0, 4);
  const ExeContent content{exe, resFile, entries, layout, rawData, rawSize, placement};
  // Data after the image changes the table once it is written: such an
  // exe is read back for its digest.
  if (placement.afterImage) sha256 = nullptr;
  // With a digest, the checksum is summed first, reading everything once
  // (from the page cache, for a payload read a moment ago), so that the
  // digest can follow the writes from the first byte.
  bool checksumInHeader = false;
  if (sha256 != nullptr && withChecksum) {
    ChecksumSink sum;
    PassState firstPass;
    if (const std::string failure = Emit(content, sum, firstPass); !failure.empty())
      return failure;
    PutLe(exe, checksumField, sum.Checksum(), 4);
    checksumInHeader = true;
  }

  std::optional<BackgroundDigest> digest;
  if (sha256 != nullptr) digest.emplace();
  ExeWriter out(outExe, digest ? &*digest : nullptr);
  std::optional<PayloadStreamWriter> data;
  const auto fail = [&](const std::string& message) {
    out.Close();
    std::error_code ignored;
    std::filesystem::remove(outExe, ignored);
    if (data) data->RemoveVolumes();
    return message;
  };
  PassState pass;
  if (const std::string failure = Emit(content, out, pass); !failure.empty()) return fail(failure);
  if (placement.afterImage) {
    const uint64_t dataOffset = rawData + rawSize;
    std::filesystem::path stem = outExe.parent_path() / outExe.stem();
    data.emplace(
        [&out](const uint8_t* bytes, size_t count) {
          out.Write(bytes, count);
          return out.Ok();
        },
        dataOffset, exeSize, payload->volumeSize, stem, placement.volumeCount);
    std::vector<payload::Item> items;
    if (const std::string failure = data->CopyFiles(payload->files, &items); !failure.empty())
      return fail(failure);
    const payload::Table table = FinishTable(*payload, std::move(items), dataOffset,
                                             data->ExeDataSize(), data->VolumeDataSizes());
    out.Patch(rawData + layout.dataOffsets[placement.tableEntry], payload::EncodeTable(table));
    if (const std::string failure = data->FinishVolumes(table); !failure.empty())
      return fail(failure);
  }
  if (!out.Finish(withChecksum && !checksumInHeader, checksumField))
    return fail(outExe.string() + ": cannot be written");
  if (digest) {
    const std::optional<std::string> hex = digest->Finish();
    if (!hex) return fail(outExe.string() + ": its digest could not be made");
    *sha256 = *hex;
  }
  // Executable, as the linker left its exe.
  std::error_code error;
  std::filesystem::permissions(outExe, std::filesystem::status(linkedExe).permissions(), error);
  if (error) return fail(outExe.string() + ": " + error.message());
  if (volumes != nullptr && data) {
    for (size_t index = 0; index < data->Volumes().size(); ++index)
      volumes->push_back({data->Volumes()[index], data->VolumeDigests()[index]});
  }
  return std::string();
}
