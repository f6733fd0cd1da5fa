#include "payload/locations.h"

namespace payload {

std::optional<uint16_t> FileResourceId(size_t index) {
  if (index >= kMaxFiles) return std::nullopt;
  return static_cast<uint16_t>(IDR_PAYLOAD_FIRST + index);
}

WString VolumeName(uint32_t number) {
  // Volume numbers stay far below 2^31 (kMaxVolumes).
  return u"Installer-" + DecimalText(static_cast<int32_t>(number)) + u".bin";
}

}  // namespace payload
