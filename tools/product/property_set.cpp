#include "product/property_set.h"

#include <algorithm>

namespace {

// FMTID_SummaryInformation, F29F85E0-4FF9-1068-AB91-08002B27B3D9, as stored.
constexpr std::array<uint8_t, 16> kSummaryFormat = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F,
                                                    0x68, 0x10, 0xAB, 0x91, 0x08, 0x00,
                                                    0x2B, 0x27, 0xB3, 0xD9};
constexpr size_t kHeaderBytes = 28 + 20;  // the set's header and its one section's entry

uint32_t Dword(const Bytes& bytes, size_t at) {
  return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                               static_cast<uint32_t>(bytes[at + 3]) << 24);
}

void PutDword(Bytes& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
}

}  // namespace

std::optional<std::string> PropertySet::Text(uint32_t id) const {
  for (const Property& property : properties) {
    if (property.id != id || property.type != kTypeText || property.value.size() < 4) continue;
    const size_t length = std::min<size_t>(Dword(property.value, 0), property.value.size() - 4);
    std::string text(property.value.begin() + 4, property.value.begin() + 4 + length);
    return text.substr(0, text.find('\0'));
  }
  return std::nullopt;
}

void PropertySet::SetText(uint32_t id, const std::string& text) {
  Bytes value;
  PutDword(value, static_cast<uint32_t>(text.size() + 1));
  value.insert(value.end(), text.begin(), text.end());
  value.push_back(0);
  while (value.size() % 4 != 0) value.push_back(0);
  const auto found = std::find_if(properties.begin(), properties.end(),
                                  [id](const Property& property) { return property.id == id; });
  if (found != properties.end()) {
    *found = {id, kTypeText, std::move(value)};
  } else {
    properties.push_back({id, kTypeText, std::move(value)});
  }
}

void PropertySet::SetNumber(uint32_t id, uint32_t type, uint32_t value) {
  Bytes bytes;
  PutDword(bytes, type == kTypeInt16 ? value & 0xFFFF : value);
  properties.push_back({id, type, std::move(bytes)});
}

std::optional<PropertySet> DecodePropertySet(const Bytes& bytes) {
  if (bytes.size() < kHeaderBytes || bytes[0] != 0xFE || bytes[1] != 0xFF || Dword(bytes, 24) < 1 ||
      !std::equal(kSummaryFormat.begin(), kSummaryFormat.end(), bytes.begin() + 28))
    return std::nullopt;
  PropertySet set;
  set.systemVersion = Dword(bytes, 4);
  std::copy(bytes.begin() + 8, bytes.begin() + 24, set.classId.begin());
  const size_t section = Dword(bytes, 44);
  if (section > bytes.size() || bytes.size() - section < 8) return std::nullopt;
  const size_t sectionSize = std::min<size_t>(Dword(bytes, section), bytes.size() - section);
  const uint32_t count = Dword(bytes, section + 4);
  if (count > (sectionSize - 8) / 8) return std::nullopt;
  // Each value runs to the next one in the section, or to its end.
  std::vector<std::pair<size_t, uint32_t>> offsets;  // offset in the section, id
  for (uint32_t index = 0; index < count; ++index) {
    const size_t entry = section + 8 + 8 * index;
    offsets.emplace_back(Dword(bytes, entry + 4), Dword(bytes, entry));
  }
  std::vector<std::pair<size_t, uint32_t>> sorted = offsets;
  std::sort(sorted.begin(), sorted.end());
  for (const auto& [offset, id] : offsets) {
    const auto next = std::upper_bound(sorted.begin(), sorted.end(), std::make_pair(offset, UINT32_MAX));
    const size_t end = next == sorted.end() ? sectionSize : next->first;
    if (offset < 8 + 8 * size_t{count} || end > sectionSize || end - offset < 4) return std::nullopt;
    PropertySet::Property property;
    property.id = id;
    property.type = Dword(bytes, section + offset);
    property.value.assign(bytes.begin() + static_cast<std::ptrdiff_t>(section + offset + 4),
                          bytes.begin() + static_cast<std::ptrdiff_t>(section + end));
    set.properties.push_back(std::move(property));
  }
  return set;
}

Bytes EncodePropertySet(const PropertySet& set) {
  Bytes values;
  Bytes entries;
  const uint32_t count = static_cast<uint32_t>(set.properties.size());
  for (const PropertySet::Property& property : set.properties) {
    PutDword(entries, property.id);
    PutDword(entries, 8 + 8 * count + static_cast<uint32_t>(values.size()));
    PutDword(values, property.type);
    values.insert(values.end(), property.value.begin(), property.value.end());
  }
  Bytes bytes = {0xFE, 0xFF, 0, 0};  // byte order, format 0
  PutDword(bytes, set.systemVersion);
  bytes.insert(bytes.end(), set.classId.begin(), set.classId.end());
  PutDword(bytes, 1);  // one section
  bytes.insert(bytes.end(), kSummaryFormat.begin(), kSummaryFormat.end());
  PutDword(bytes, static_cast<uint32_t>(kHeaderBytes));  // the section follows
  PutDword(bytes, static_cast<uint32_t>(8 + entries.size() + values.size()));
  PutDword(bytes, count);
  bytes.insert(bytes.end(), entries.begin(), entries.end());
  bytes.insert(bytes.end(), values.begin(), values.end());
  return bytes;
}
