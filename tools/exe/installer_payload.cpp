#include "exe/installer_payload.h"

#include <utility>

#include "install/payload_checksum.h"

payload::Table FinishTable(const InstallerPayload& payload, std::vector<payload::Item> items,
                           uint64_t exeDataOffset, uint64_t exeDataSize,
                           std::vector<uint64_t> volumeDataSizes) {
  payload::Table table;
  table.manifestChecksum = payload.manifestChecksum;
  table.exeDataOffset = exeDataOffset;
  table.exeDataSize = exeDataSize;
  table.volumeDataSizes = std::move(volumeDataSizes);
  table.items = std::move(items);
  const std::vector<uint8_t> unidentified = payload::EncodeTable(table);
  uint8_t id[payload::kBuildIdBytes];
  PayloadFingerprint(unidentified.data(), unidentified.size(), id);
  table.buildId.assign(id, id + payload::kBuildIdBytes);
  return table;
}
