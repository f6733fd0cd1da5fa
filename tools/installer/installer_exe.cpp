#include "installer/installer_exe.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "installer/payload_copy.h"
#include "payload/locations.h"
#include "payload/manifest.h"
#include "payload/table.h"
#include "pe/exe_writer.h"
#include "resource_ids.h"

namespace fs = std::filesystem;

namespace {

uint64_t PayloadBytes(const InstallerPayload& payload) {
  uint64_t total = 0;
  for (const PayloadFile& file : payload.files) total += file.size;
  return total;
}

// What the table says besides where the files are, and the checksums made
// as they are copied.
struct TableContent {
  uint64_t manifestChecksum = 0;
  std::vector<payload::Item> items;

  payload::Table Finish(uint64_t exeDataOffset, uint64_t exeDataSize,
                        std::vector<uint64_t> volumeDataSizes,
                        std::vector<payload::Sha256Digest> volumeDigests) const {
    payload::Table table;
    table.manifestChecksum = manifestChecksum;
    table.exeDataOffset = exeDataOffset;
    table.exeDataSize = exeDataSize;
    table.volumeDataSizes = std::move(volumeDataSizes);
    table.volumeDigests = std::move(volumeDigests);
    table.items = items;
    payload::AssignBuildId(table);
    return table;
  }
};

Resource TableResource(size_t bytes) {
  return NumberedResource(kTypeRcData, IDR_PAYLOAD_TABLE, Bytes(bytes));
}

// The exe's resources with the files as resources 3001 on, each copied
// from its own file with its checksum made on the way, and the table after
// them, when the checksums are known.
std::vector<Resource> WithFilesAsResources(std::vector<Resource> resources,
                                           const InstallerPayload& payload, TableContent& table,
                                           Diagnostics& diagnostics) {
  table.items.assign(payload.files.size(), payload::Item());
  for (size_t index = 0; index < payload.files.size(); ++index) {
    const PayloadFile& file = payload.files[index];
    Resource resource;
    resource.type = ResourceName::Number(kTypeRcData);
    // CheckPayload saw to it that every file has an id.
    resource.name = ResourceName::Number(*payload::FileResourceId(index));
    resource.streamedSize = static_cast<uint32_t>(file.size);
    payload::Item& item = table.items[index];
    resource.writeData = [&file, &item, &diagnostics](ByteSink& sink) {
      item.size = file.size;
      return CopyPayloadFile(file, sink, &item.checksum, diagnostics);
    };
    resources.push_back(std::move(resource));
  }
  Resource tableResource = TableResource(payload::EncodedTableBytes(payload.files.size(), 0));
  tableResource.streamedSize = static_cast<uint32_t>(tableResource.data.size());
  tableResource.data.clear();
  tableResource.writeData = [&table](ByteSink& sink) {
    const std::vector<uint8_t> bytes = payload::EncodeTable(table.Finish(0, 0, {}, {}));
    return sink.Write(bytes.data(), bytes.size());
  };
  resources.push_back(std::move(tableResource));
  return resources;
}

// How the payload goes after the image: how many volumes it takes, and the
// section planned with a table that lists them.
struct AfterImagePlan {
  uint32_t volumeCount = 0;
  SectionPlan section;
};

// The table grows with the volumes it lists, which may push the exe's data
// into one more volume: the count only grows until it settles.
bool PlanAfterImage(const LinkedExe& exe, std::vector<Resource>& resources,
                    const InstallerPayload& payload, uint64_t exeSize, const fs::path& path,
                    AfterImagePlan* plan, Diagnostics& diagnostics) {
  const size_t items = payload.files.size();
  const uint64_t payloadBytes = PayloadBytes(payload);
  const uint64_t perVolume = payload.volumeSize - payload::kVolumeTrailerBytes;
  resources.push_back(TableResource(0));
  for (;;) {
    resources.back().data.assign(payload::EncodedTableBytes(items, plan->volumeCount), 0);
    if (!PlanSection(exe, resources, path.string(), &plan->section, diagnostics)) return false;
    const uint64_t imageEnd = plan->section.End();
    const std::string volumeSize = std::to_string(payload.volumeSize);
    if (imageEnd >= exeSize) {
      diagnostics.Error(payload.volumeSizeField,
                        volumeSize + " bytes cannot hold " + path.filename().string() +
                            ", which is " + std::to_string(imageEnd) +
                            " bytes before its payload and its table of " + std::to_string(items) +
                            " files" +
                            (exeSize < payload.volumeSize ? ", with room for its signature" : "") +
                            "; it must be larger than that");
      return false;
    }
    const uint64_t inExe = std::min(payloadBytes, exeSize - imageEnd);
    const uint64_t needed = (payloadBytes - inExe + perVolume - 1) / perVolume;
    if (needed > payload::kMaxVolumes) {
      diagnostics.Error(payload.volumeSizeField,
                        volumeSize + " bytes splits the payload's " + std::to_string(payloadBytes) +
                            " bytes into " + std::to_string(needed) +
                            " volumes beside the exe, and at most " +
                            std::to_string(payload::kMaxVolumes) + " are possible; make it larger");
      return false;
    }
    if (needed == plan->volumeCount) return true;
    plan->volumeCount = static_cast<uint32_t>(needed);
  }
}

bool WriteAfterImage(const LinkedExe& exe, std::vector<Resource> resources,
                     const InstallerPayload& payload, uint64_t exeSize, TableContent& table,
                     const fs::path& path, WrittenInstaller* written, Diagnostics& diagnostics) {
  AfterImagePlan plan;
  if (!PlanAfterImage(exe, resources, payload, exeSize, path, &plan, diagnostics)) return false;
  // The table is written last, over the zeros it first is: the exe is read
  // back for its digest.
  ExeWriter writer(path, nullptr, diagnostics);
  const uint64_t dataOffset = plan.section.End();
  VolumeWriter data(writer, dataOffset, exeSize, payload.volumeSize, path.parent_path(),
                    plan.volumeCount, payload.payloadField, diagnostics);
  const auto fail = [&] {
    writer.Discard();
    data.RemoveVolumes();
    return false;
  };
  if (!writer.WriteImage(exe, plan.section, resources)) return fail();
  for (const PayloadFile& file : payload.files) {
    payload::Item item;
    if (!data.StartFile(file.size, &item) ||
        !CopyPayloadFile(file, data, &item.checksum, diagnostics))
      return fail();
    table.items.push_back(item);
  }
  if (!data.EndData()) return fail();
  const payload::Table finished = table.Finish(dataOffset, data.ExeDataSize(),
                                               data.VolumeDataSizes(), data.VolumeDataDigests());
  writer.PatchResource(resources.size() - 1, payload::EncodeTable(finished));
  if (!data.FinishVolumes(finished, &written->volumes) || !writer.Finish()) return fail();
  return true;
}

}  // namespace

bool WriteInstaller(const LinkedExe& exe, const std::vector<Resource>& resources,
                    const InstallerPayload& payload, const fs::path& path,
                    WrittenInstaller* written, Diagnostics& diagnostics) {
  std::vector<std::string> names;
  for (const PayloadFile& file : payload.files) names.push_back(file.name);
  Bytes manifest = payload::EncodeManifest(names);
  TableContent table;
  // Of the manifest's bytes before its NUL, as the program reads them.
  table.manifestChecksum = payload::ManifestChecksum(
      std::string_view(reinterpret_cast<const char*>(manifest.data()), manifest.size() - 1));
  std::vector<Resource> withManifest = resources;
  withManifest.push_back(NumberedResource(kTypeRcData, IDR_PAYLOAD_MANIFEST, std::move(manifest)));

  // Signing appends to the exe: it is left the room for that.
  const uint64_t exeSize =
      payload.volumeSize - std::min(payload.volumeSize / 2, payload.signatureRoom);
  if (PayloadBytes(payload) <= kMaxResourcePayloadBytes) {
    const std::vector<Resource> asResources =
        WithFilesAsResources(withManifest, payload, table, diagnostics);
    SectionPlan plan;
    Diagnostics unused;  // a payload that does not fit goes after the image instead
    if (PlanSection(exe, asResources, path.string(), &plan, unused) && plan.End() <= exeSize)
      return WriteExe(exe, asResources, path, &written->sha256, diagnostics);
    table.items.clear();
  }
  return WriteAfterImage(exe, std::move(withManifest), payload, exeSize, table, path, written,
                         diagnostics);
}
