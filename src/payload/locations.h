// Where the payload's parts are found: each file's own resource, and the
// volumes beside the exe that hold what the exe does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/text.h"
#include "resource_ids.h"

namespace payload {

// File n (counting from 0, in manifest order) may be resource
// IDR_PAYLOAD_FIRST + n; resource ids are 16-bit, which bounds how many
// files a payload holds.
constexpr uint32_t kLargestResourceId = 0xFFFF;
constexpr uint64_t kMaxFiles = kLargestResourceId - IDR_PAYLOAD_FIRST + 1;

// The resource id of file `index`, or nullopt past the last id.
inline std::optional<uint16_t> FileResourceId(size_t index) {
  if (index >= kMaxFiles) return std::nullopt;
  return static_cast<uint16_t>(IDR_PAYLOAD_FIRST + index);
}

// The file name of volume `number` (1 to kMaxVolumes, table.h), which lies
// beside the exe: "Installer-1.bin".
inline WString VolumeName(uint32_t number) {
  return u"Installer-" + DecimalText(static_cast<int32_t>(number)) + u".bin";
}

}  // namespace payload
