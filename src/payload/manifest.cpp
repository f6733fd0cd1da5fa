#include "payload/manifest.h"

#include <cstring>

#include "payload/checksum.h"

namespace payload {

std::vector<uint8_t> EncodeManifest(const std::vector<std::string>& names) {
  std::vector<uint8_t> manifest;
  for (const std::string& name : names) {
    manifest.insert(manifest.end(), name.begin(), name.end());
    manifest.push_back(';');
  }
  manifest.push_back(0);
  return manifest;
}

std::string_view ManifestBytes(const void* data, uint32_t size) {
  const char* bytes = static_cast<const char*>(data);
  if (bytes == nullptr) return {};
  const void* terminator = std::memchr(bytes, 0, size);
  const size_t length = terminator != nullptr
                            ? static_cast<size_t>(static_cast<const char*>(terminator) - bytes)
                            : size;
  return std::string_view(bytes, length);
}

uint64_t ManifestChecksum(std::string_view bytes) {
  Checksum checksum;
  checksum.Add(bytes.data(), bytes.size());
  return checksum.Value();
}

std::optional<WString> DecodeManifest(std::string_view bytes) {
  WString text;
  if (!DecodeUtf8Strict(bytes, &text)) return std::nullopt;
  return text;
}

std::vector<WString> ManifestItems(const WString& text) {
  std::vector<WString> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u';', start);
    if (end == WString::npos) end = text.size();
    if (end > start) items.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

}  // namespace payload
