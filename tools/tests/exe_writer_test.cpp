// The exes the product tool writes, read back the way the system finds
// resources: through the resource data directory. The resource section of
// any linked exe, then an installer's payload each way the exe can carry it.
#include "pe/exe_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <tuple>

#include "installer/installer_exe.h"
#include "payload/checksum.h"
#include "payload/manifest.h"
#include "payload/table.h"
#include "pe/byte_writer.h"
#include "pe/pe_checksum.h"
#include "pe/res_file.h"
#include "system/file_digest.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kFileAlignment = 0x200;

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// The smallest exe a linker could make: the headers and one code section.
struct TinyExe {
  Bytes bytes;
  size_t optional = 0;
  size_t sectionHeader = 0;
};

TinyExe MakeExe(bool pe32Plus, uint32_t checksum) {
  TinyExe exe;
  ByteWriter out;
  out.U16(0x5A4D);  // MZ
  while (out.Size() < 0x3C) out.U8(0);
  out.U32(0x40);
  out.U32(0x00004550);  // PE
  out.U16(pe32Plus ? 0x8664 : 0x14C);
  out.U16(1);  // sections
  out.U32(0), out.U32(0), out.U32(0);
  const uint16_t optionalSize = pe32Plus ? 240 : 224;
  out.U16(optionalSize);
  out.U16(0x0102);  // executable, 32-bit words
  exe.optional = out.Size();
  out.U16(pe32Plus ? 0x20B : 0x10B);
  while (out.Size() < exe.optional + optionalSize) out.U8(0);
  exe.sectionHeader = out.Size();
  for (const char c : {'.', 't', 'e', 'x', 't', '\0', '\0', '\0'}) out.U8(static_cast<uint8_t>(c));
  out.U32(0x10), out.U32(0x1000), out.U32(kFileAlignment), out.U32(kFileAlignment);
  out.U32(0), out.U32(0), out.U32(0), out.U32(0x60000020);
  while (out.Size() < kFileAlignment) out.U8(0);
  while (out.Size() < 2 * kFileAlignment) out.U8(0xC3);
  exe.bytes = out.Take();
  PutLe(exe.bytes, exe.optional + 8, kFileAlignment, 4);  // SizeOfInitializedData
  PutLe(exe.bytes, exe.optional + 32, kSectionAlignment, 4);
  PutLe(exe.bytes, exe.optional + 36, kFileAlignment, 4);
  PutLe(exe.bytes, exe.optional + 56, 0x2000, 4);          // SizeOfImage
  PutLe(exe.bytes, exe.optional + 60, kFileAlignment, 4);  // SizeOfHeaders
  PutLe(exe.bytes, exe.optional + 64, checksum, 4);
  PutLe(exe.bytes, exe.optional + (pe32Plus ? 108 : 92), 16, 4);  // data directories
  return exe;
}

// One .res entry whose type or name may be a text (numbers otherwise).
Bytes ResEntry(const ResourceName& type, const ResourceName& name, uint16_t language,
               const Bytes& data) {
  ByteWriter names;
  for (const ResourceName* field : {&type, &name}) {
    if (field->isText) {
      names.Text(field->text);
      names.U16(0);
    } else {
      names.U16(0xFFFF);
      names.U16(field->number);
    }
  }
  names.AlignTo4();
  ByteWriter out;
  out.U32(static_cast<uint32_t>(data.size()));
  out.U32(static_cast<uint32_t>(8 + names.Size() + 16));
  out.Append(names.Take());
  out.U32(0), out.U16(0x30), out.U16(language), out.U32(0), out.U32(0);
  out.Append(data);
  out.AlignTo4();
  return out.Take();
}

// The empty entry every 32-bit .res file starts with.
Bytes EmptyResEntry() { return ResEntry(ResourceName::Number(0), ResourceName::Number(0), 0, {}); }

ResourceName Number(uint16_t number) { return ResourceName::Number(number); }
ResourceName Text(const WString& text) { return ResourceName::Text(text); }

// The resources of a .res file, or what refused it.
std::vector<Resource> ReadRes(const fs::path& path, std::string* refusal = nullptr) {
  std::vector<Resource> resources;
  Diagnostics diagnostics;
  ReadResFile(path, &resources, diagnostics);
  if (refusal != nullptr) *refusal = diagnostics.Text();
  return resources;
}

// A resource whose data is written as the exe is, from a file as a payload
// file is; it counts how often.
Resource Streamed(uint16_t id, const Bytes& data, int* writes) {
  Resource resource;
  resource.type = Number(10);
  resource.name = Number(id);
  resource.streamedSize = static_cast<uint32_t>(data.size());
  resource.writeData = [&data, writes](ByteSink& sink) {
    ++*writes;
    return sink.Write(data.data(), data.size());
  };
  return resource;
}

// The checksum as the system's reference computes it: word by word.
uint32_t ReferenceChecksum(Bytes file, size_t field) {
  PutLe(file, field, 0, 4);
  uint32_t sum = 0;
  for (size_t at = 0; at < file.size(); at += 2) {
    sum += file[at] | (at + 1 < file.size() ? file[at + 1] << 8 : 0);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return sum + static_cast<uint32_t>(file.size());
}

// A resource found by walking the tree: its path, with texts as they read.
struct FoundResource {
  std::string type, name;
  uint16_t language;
  uint32_t rva;
  Bytes data;
  bool operator==(const FoundResource& other) const {
    return std::tie(type, name, language, data) ==
           std::tie(other.type, other.name, other.language, other.data);
  }
};

class ResourceSectionOf : public ::testing::TestWithParam<bool> {
 protected:
  bool Pe32Plus() const { return GetParam(); }
  size_t DirectoryAt(const TinyExe& exe) const {
    return exe.optional + (Pe32Plus() ? 112 : 96) + 16;
  }

  // Every resource under the data directory, in the order of the tree.
  std::vector<FoundResource> Walk(const Bytes& file, const TinyExe& exe) {
    const uint32_t rootRva = ReadLe(file, DirectoryAt(exe), 4);
    const size_t section = exe.sectionHeader + 40;
    const uint32_t sectionRva = ReadLe(file, section + 12, 4);
    const size_t base = ReadLe(file, section + 20, 4) + (rootRva - sectionRva);
    std::vector<FoundResource> found;
    const auto label = [&](uint32_t field) {
      if ((field & 0x80000000) == 0) return std::to_string(field);
      const size_t at = base + (field & 0x7FFFFFFF);
      std::string text;
      for (uint32_t i = 0; i < ReadLe(file, at, 2); ++i)
        text.push_back(static_cast<char>(file[at + 2 + 2 * i]));
      return "\"" + text + "\"";
    };
    // The entries of one directory, walked in their stored order: the texts
    // first, as many as the header says. The expected list's order then
    // checks the rest of the system's order, texts and numbers ascending.
    const auto entries = [&](uint32_t offset) {
      const size_t at = base + (offset & 0x7FFFFFFF);
      const uint32_t named = ReadLe(file, at + 12, 2);
      const uint32_t count = named + ReadLe(file, at + 14, 2);
      std::vector<std::pair<uint32_t, uint32_t>> list;
      for (uint32_t i = 0; i < count; ++i) {
        const uint32_t name = ReadLe(file, at + 16 + 8 * i, 4);
        EXPECT_EQ((name & 0x80000000) != 0, i < named) << "entry " << i;
        list.emplace_back(name, ReadLe(file, at + 20 + 8 * i, 4));
      }
      return list;
    };
    for (const auto& [type, names] : entries(0x80000000)) {
      for (const auto& [name, languages] : entries(names)) {
        for (const auto& [language, leaf] : entries(languages)) {
          const uint32_t rva = ReadLe(file, base + leaf, 4);
          const size_t data = base + (rva - rootRva);
          const size_t size = ReadLe(file, base + leaf + 4, 4);
          found.push_back({label(type), label(name), static_cast<uint16_t>(language), rva,
                           Bytes(file.begin() + static_cast<std::ptrdiff_t>(data),
                                 file.begin() + static_cast<std::ptrdiff_t>(data + size))});
        }
      }
    }
    return found;
  }

  TempFolder temp_;
};

TEST_P(ResourceSectionOf, TreeInTheSystemsOrderDataAlignedHeadersUpdated) {
  const Bytes odd = {1, 2, 3, 4, 5};
  Bytes res = EmptyResEntry();
  for (const Bytes& entry : {
           ResEntry(Number(10), Text(u"ZETA"), 2057, odd),
           ResEntry(Number(10), Number(7), 1033, {7, 7, 7}),
           ResEntry(Text(u"MYTYPE"), Number(1), 0, Bytes(8, 0xAB)),
           ResEntry(Number(10), Text(u"ALPHA"), 2057, {}),
           ResEntry(Number(10), Number(7), 1031, {6, 6}),
           ResEntry(Number(3), Number(2), 2057, Bytes(3000, 0x33)),
       }) {
    res.insert(res.end(), entry.begin(), entry.end());
  }
  WriteAll(temp_.Path() / "in.res", res);
  std::string refusal;
  std::vector<Resource> resources = ReadRes(temp_.Path() / "in.res", &refusal);
  ASSERT_EQ(resources.size(), 6u) << refusal;
  // Data written as the exe is, after the .res file's entries.
  const Bytes payload(5000, 0x5A);
  int writes = 0;
  resources.push_back(Streamed(3001, payload, &writes));

  for (const uint32_t checksum : {0u, 0x1234u}) {
    SCOPED_TRACE(checksum);
    const TinyExe exe = MakeExe(Pe32Plus(), checksum);
    WriteAll(temp_.Path() / "linked.exe", exe.bytes);
    Diagnostics diagnostics;
    const std::optional<LinkedExe> linked = ReadLinkedExe(temp_.Path() / "linked.exe", diagnostics);
    ASSERT_TRUE(linked) << diagnostics.Text();
    // With its digest made on the way (the checksum summed first when the
    // linker wrote one, so the data is written twice) and without: the same
    // bytes.
    std::string digest;
    writes = 0;
    ASSERT_TRUE(WriteExe(*linked, resources, temp_.Path() / "out.exe", &digest, diagnostics))
        << diagnostics.Text();
    EXPECT_EQ(writes, checksum == 0 ? 1 : 2);
    ASSERT_TRUE(WriteExe(*linked, resources, temp_.Path() / "plain.exe", nullptr, diagnostics))
        << diagnostics.Text();
    const Bytes file = ReadAll(temp_.Path() / "out.exe");
    EXPECT_EQ(file, ReadAll(temp_.Path() / "plain.exe"));
    EXPECT_EQ(std::optional<std::string>(digest), FileSha256(temp_.Path() / "out.exe"));

    const std::vector<FoundResource> expected = {
        {"\"MYTYPE\"", "1", 0, 0, Bytes(8, 0xAB)},
        {"3", "2", 2057, 0, Bytes(3000, 0x33)},
        {"10", "\"ALPHA\"", 2057, 0, {}},
        {"10", "\"ZETA\"", 2057, 0, odd},
        {"10", "7", 1031, 0, {6, 6}},
        {"10", "7", 1033, 0, {7, 7, 7}},
        {"10", "3001", 2057, 0, payload},
    };
    const std::vector<FoundResource> found = Walk(file, exe);
    EXPECT_EQ(found, expected);
    for (const FoundResource& resource : found) EXPECT_EQ(resource.rva % 8, 0u) << resource.name;

    // The section comes after the code in memory and in the file, on the
    // alignments the linker chose.
    const size_t section = exe.sectionHeader + 40;
    EXPECT_EQ(ReadLe(file, 0x46, 2), 2u) << "section count";
    EXPECT_EQ(std::string(file.begin() + static_cast<std::ptrdiff_t>(section),
                          file.begin() + static_cast<std::ptrdiff_t>(section + 8)),
              std::string(".rsrc\0\0\0", 8));
    const uint32_t size = ReadLe(file, section + 8, 4);
    const uint32_t rawSize = ReadLe(file, section + 16, 4);
    EXPECT_EQ(ReadLe(file, section + 12, 4), 0x2000u);
    EXPECT_EQ(ReadLe(file, section + 20, 4), 2 * kFileAlignment);
    EXPECT_EQ(rawSize % kFileAlignment, 0u);
    EXPECT_GE(rawSize, size);
    EXPECT_EQ(ReadLe(file, section + 36, 4), 0x40000040u);
    EXPECT_EQ(file.size(), 2 * kFileAlignment + rawSize);
    EXPECT_EQ(ReadLe(file, DirectoryAt(exe), 4), 0x2000u);
    EXPECT_EQ(ReadLe(file, DirectoryAt(exe) + 4, 4), size);
    EXPECT_EQ(ReadLe(file, exe.optional + 56, 4), 0x2000 + (size + 0xFFFu) / 0x1000 * 0x1000);
    EXPECT_EQ(ReadLe(file, exe.optional + 8, 4), kFileAlignment + rawSize);
    EXPECT_EQ(ReadLe(file, exe.optional + 64, 4),
              checksum == 0 ? 0 : ReferenceChecksum(file, exe.optional + 64));
  }
}

// What a linked exe, a .res file or a set of resources that cannot make an
// exe is refused with; no exe is left behind.
TEST_P(ResourceSectionOf, RefusesWhatItCannotExtendAndLeavesNoExe) {
  Bytes goodRes = EmptyResEntry();
  const Bytes entry = ResEntry(Number(10), Number(1), 2057, {1, 2, 3});
  goodRes.insert(goodRes.end(), entry.begin(), entry.end());
  Bytes twice = goodRes;
  twice.insert(twice.end(), entry.begin(), entry.end());
  const TinyExe exe = MakeExe(Pe32Plus(), 0);
  TinyExe withResources = exe;
  PutLe(withResources.bytes, DirectoryAt(exe), 0x1000, 4);
  TinyExe signedExe = exe;
  signedExe.bytes.resize(exe.bytes.size() + 100, 0x55);
  // The section's data starts right after the table: no room for another header.
  TinyExe crowded = exe;
  const uint32_t tableEnd = static_cast<uint32_t>(exe.sectionHeader + 40);
  PutLe(crowded.bytes, exe.optional + 60, tableEnd, 4);
  PutLe(crowded.bytes, exe.sectionHeader + 20, tableEnd, 4);
  const struct {
    const char* what;
    Bytes res;
    Bytes linked;
    const char* blamed;
    const char* problem;
  } cases[] = {
      {"resources already", goodRes, withResources.bytes, "linked.exe", ": already has resources"},
      {"a signature after the sections", goodRes, signedExe.bytes, "linked.exe",
       "data after its last section"},
      {"no room for the header", goodRes, crowded.bytes, "linked.exe",
       "no room for another section header"},
      {"not an exe", goodRes, Bytes(300, 'x'), "linked.exe", ": is not an exe"},
      {"a cut exe", goodRes, Bytes(exe.bytes.begin(), exe.bytes.begin() + 0x90), "linked.exe",
       "damaged"},
      {"a 16-bit resource file", Bytes(entry.begin(), entry.end()), exe.bytes, "in.res",
       "not a 32-bit"},
      {"a cut resource file", Bytes(goodRes.begin(), goodRes.end() - 4), exe.bytes, "in.res",
       "is cut short"},
      {"no resource file", Bytes{'n', 'o', 't', ' ', 'r', 'e', 's'}, exe.bytes, "in.res",
       "is cut short"},
      {"the same resource twice", twice, exe.bytes, "out.exe",
       "two resources of type 10, name 1 and language 2057"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAll(temp_.Path() / "in.res", c.res);
    WriteAll(temp_.Path() / "linked.exe", c.linked);
    Diagnostics diagnostics;
    std::vector<Resource> resources;
    const std::optional<LinkedExe> linked = ReadLinkedExe(temp_.Path() / "linked.exe", diagnostics);
    if (linked && ReadResFile(temp_.Path() / "in.res", &resources, diagnostics)) {
      EXPECT_FALSE(WriteExe(*linked, resources, temp_.Path() / "out.exe", nullptr, diagnostics));
    }
    const std::string error = diagnostics.Text();
    EXPECT_EQ(error.rfind((temp_.Path() / c.blamed).string() + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(c.problem), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(temp_.Path() / "out.exe"));
  }
}

// An installer's payload, each way the exe can carry it: as resources, and
// after the image with volumes beside it. Either way the manifest lists the
// files and the table says where every file's bytes are and what they add
// up to.
TEST_P(ResourceSectionOf, InstallerPayloadIsFoundThroughItsTable) {
  const TinyExe exe = MakeExe(Pe32Plus(), 0x1234);
  WriteAll(temp_.Path() / "linked.exe", exe.bytes);
  Diagnostics read;
  const std::optional<LinkedExe> linked = ReadLinkedExe(temp_.Path() / "linked.exe", read);
  ASSERT_TRUE(linked) << read.Text();
  const std::vector<Resource> resources = {NumberedResource(5, 129, Bytes{1, 2, 3})};
  std::mt19937 random(11);
  InstallerPayload payload;
  payload.payloadField = "t.toml: payload";
  payload.volumeSizeField = "t.toml: volume_size";
  for (const auto& [name, size] : std::vector<std::pair<const char*, size_t>>{
           {"a.msi", 3000}, {"empty", 0}, {"big.bin", 12000}}) {
    Bytes bytes(size);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    WriteAll(temp_.Path() / name, bytes);
    payload.files.push_back({name, temp_.Path() / name, size});
  }
  const auto checksumOf = [&](const PayloadFile& file) {
    const Bytes bytes = ReadAll(file.source);
    payload::Checksum checksum;
    checksum.Add(bytes.data(), bytes.size());
    return checksum.Value();
  };

  for (const uint64_t volumeSize : {uint64_t{1} << 30, uint64_t{4096}}) {
    SCOPED_TRACE(volumeSize);
    // Room to spare: resources, as ever. 4 KiB: after the image, in volumes.
    const bool asResources = volumeSize == uint64_t{1} << 30;
    payload.volumeSize = volumeSize;
    WrittenInstaller written;
    Diagnostics diagnostics;
    ASSERT_TRUE(WriteInstaller(*linked, resources, payload, temp_.Path() / "Installer.exe",
                               &written, diagnostics))
        << diagnostics.Text();
    const Bytes file = ReadAll(temp_.Path() / "Installer.exe");
    EXPECT_EQ(ReadLe(file, exe.optional + 64, 4), ReferenceChecksum(file, exe.optional + 64));
    std::map<std::string, Bytes> found;
    for (const FoundResource& resource : Walk(file, exe)) found[resource.name] = resource.data;
    EXPECT_EQ(found["129"], (Bytes{1, 2, 3}));
    const Bytes& manifest = found["3000"];
    EXPECT_EQ(std::string(manifest.begin(), manifest.end()),
              std::string("a.msi;empty;big.bin;") + '\0');
    const Bytes& tableBytes = found["2999"];
    ASSERT_TRUE(payload::TableIntact(tableBytes.data(), tableBytes.size()));
    const std::optional<payload::Table> table =
        payload::DecodeTable(tableBytes.data(), tableBytes.size());
    ASSERT_TRUE(table.has_value());
    // Made for the manifest's bytes as the program reads them.
    EXPECT_EQ(table->manifestChecksum,
              payload::ManifestChecksum(payload::ManifestBytes(
                  manifest.data(), static_cast<uint32_t>(manifest.size()))));
    ASSERT_EQ(table->items.size(), payload.files.size());

    // The exe's data, then each volume's before its trailer.
    Bytes stream(file.begin() + static_cast<std::ptrdiff_t>(table->exeDataOffset),
                 file.begin() + static_cast<std::ptrdiff_t>(table->exeDataOffset +
                                                            table->exeDataSize));
    EXPECT_LE(file.size(), volumeSize);
    const std::vector<WrittenVolume>& volumes = written.volumes;
    ASSERT_EQ(volumes.size(), table->volumeDataSizes.size());
    for (uint32_t number = 1; number <= volumes.size(); ++number) {
      const fs::path& path = volumes[number - 1].path;
      EXPECT_EQ(path, temp_.Path() / ("Installer-" + std::to_string(number) + ".bin"));
      // Made as the volume was written, trailer and all.
      EXPECT_EQ(std::optional<std::string>(volumes[number - 1].sha256), FileSha256(path));
      const Bytes volume = ReadAll(path);
      EXPECT_LE(volume.size(), volumeSize);
      const uint64_t dataSize = table->volumeDataSizes[number - 1];
      ASSERT_EQ(volume.size(), dataSize + payload::kVolumeTrailerBytes);
      const std::optional<payload::VolumeTrailer> trailer =
          payload::DecodeVolumeTrailer(volume.data() + dataSize, payload::kVolumeTrailerBytes);
      ASSERT_TRUE(trailer.has_value());
      EXPECT_TRUE(payload::BelongsTo(*trailer, *table, number));
      stream.insert(stream.end(), volume.begin(),
                    volume.begin() + static_cast<std::ptrdiff_t>(dataSize));
    }
    for (size_t index = 0; index < payload.files.size(); ++index) {
      SCOPED_TRACE(payload.files[index].name);
      const payload::Item& item = table->items[index];
      const Bytes expected = ReadAll(payload.files[index].source);
      EXPECT_EQ(item.size, expected.size());
      EXPECT_EQ(item.checksum, checksumOf(payload.files[index]));
      if (asResources) {
        // Small enough for resources: 3001 on, as ever, and the digest made
        // on the way.
        EXPECT_EQ(item.place, payload::Place::kResource);
        EXPECT_EQ(found[std::to_string(3001 + index)], expected);
        EXPECT_EQ(std::optional<std::string>(written.sha256),
                  FileSha256(temp_.Path() / "Installer.exe"));
      } else {
        EXPECT_EQ(item.place, payload::Place::kData);
        const uint64_t at = payload::StreamPosition(*table, item);
        EXPECT_EQ(Bytes(stream.begin() + static_cast<std::ptrdiff_t>(at),
                        stream.begin() + static_cast<std::ptrdiff_t>(at + item.size)),
                  expected);
        EXPECT_EQ(found.count(std::to_string(3001 + index)), 0u);
        EXPECT_EQ(written.sha256, "") << "the table changed after the writes: read back instead";
      }
    }
    if (!asResources) {
      EXPECT_GE(volumes.size(), 3u);
    }
    for (const WrittenVolume& volume : volumes) fs::remove(volume.path);
    fs::remove(temp_.Path() / "Installer.exe");
  }

  // The volume size must hold the exe up to its data, and make no more
  // volumes than the format numbers; a file that is gone, or no longer of
  // the size it was listed with, when it is copied leaves neither an exe
  // nor volumes, in either layout.
  WriteAll(temp_.Path() / "huge.bin", Bytes(4100 * payload::kMaxVolumes, 1));
  const fs::path big = temp_.Path() / "big.bin";
  const fs::path gone = temp_.Path() / "gone.bin";
  const uint64_t bigSize = 12000;
  for (const auto& [what, volumeSize, change, problem] :
       {std::tuple<const char*, uint64_t, const char*, std::string>{
            "too small", 1500, "", "t.toml: volume_size: 1500 bytes cannot hold Installer.exe"},
        {"too many volumes", 4096, "huge.bin", "t.toml: volume_size: 4096 bytes splits"},
        {"a file that grew", 4096, "grown", big.string() + ": changed while it was being copied"},
        {"gone, as a resource", 1 << 30, "gone", gone.string() + ": cannot be read"},
        {"shorter, as a resource", 1 << 30, "shorter",
         big.string() + ": changed while it was being copied"},
        {"longer, as a resource", 1 << 30, "grown",
         big.string() + ": changed while it was being copied"}}) {
    SCOPED_TRACE(what);
    InstallerPayload refused = payload;
    refused.volumeSize = volumeSize;
    const std::string changed = change;
    if (changed == "huge.bin")
      refused.files.push_back({"huge.bin", temp_.Path() / "huge.bin", 4100 * payload::kMaxVolumes});
    if (changed == "grown") refused.files.back().size = bigSize - 100;
    if (changed == "shorter") refused.files.back().size = bigSize + 1;
    if (changed == "gone") refused.files.back().source = gone;
    WrittenInstaller written;
    Diagnostics diagnostics;
    EXPECT_FALSE(WriteInstaller(*linked, resources, refused, temp_.Path() / "Installer.exe",
                                &written, diagnostics));
    EXPECT_NE(diagnostics.Text().find(problem), std::string::npos) << diagnostics.Text();
    EXPECT_FALSE(fs::exists(temp_.Path() / "Installer.exe"));
    EXPECT_FALSE(fs::exists(temp_.Path() / "Installer-1.bin"));
  }
}

INSTANTIATE_TEST_SUITE_P(Architectures, ResourceSectionOf, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Pe32Plus" : "Pe32"; });

TEST(PeChecksum, SameWhereverTheFileIsCutIntoChunks) {
  std::mt19937 random(7);
  Bytes file(100001);
  for (uint8_t& byte : file) byte = static_cast<uint8_t>(random());
  const uint32_t expected = ReferenceChecksum(file, 0x40);
  PutLe(file, 0x40, 0, 4);
  for (const size_t chunk : {size_t{1}, size_t{3}, size_t{8}, size_t{4093}, file.size()}) {
    PeChecksum checksum;
    for (size_t at = 0; at < file.size(); at += chunk)
      checksum.Add(file.data() + at, std::min(chunk, file.size() - at));
    EXPECT_EQ(checksum.Finish(), expected) << chunk;
  }
}

}  // namespace
