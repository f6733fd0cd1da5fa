// A property set stream, the form of a package's and a transform's summary
// information ("\005SummaryInformation"): what it says about the platform
// and languages a package is for, and what a transform applies to.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The summary information's property ids and value types used here.
constexpr uint32_t kPropertyCodePage = 1;
constexpr uint32_t kPropertyTemplate = 7;    // "Intel;1033,1036": platform and languages
constexpr uint32_t kPropertyLastAuthor = 8;  // a transform: the platform and language it makes
constexpr uint32_t kPropertyRevision = 9;    // a transform: the product codes and versions
constexpr uint32_t kPropertyPageCount = 14;  // the installer version needed
constexpr uint32_t kPropertyCharCount = 16;  // a transform: its validation flags
constexpr uint32_t kTypeInt16 = 2;
constexpr uint32_t kTypeInt32 = 3;
constexpr uint32_t kTypeText = 30;  // VT_LPSTR, in the set's code page

struct PropertySet {
  uint32_t systemVersion = 0x00020006;
  std::array<uint8_t, 16> classId{};
  struct Property {
    uint32_t id = 0;
    uint32_t type = 0;
    Bytes value;  // as stored after the type, padded to whole double words
  };
  std::vector<Property> properties;  // in stored order

  // The text of a kTypeText property, or nullopt.
  std::optional<std::string> Text(uint32_t id) const;
  // Sets a property, replacing one of its id or adding it last.
  void SetText(uint32_t id, const std::string& text);
  void SetNumber(uint32_t id, uint32_t type, uint32_t value);
};

// The set's one section of summary information, or nullopt when the bytes
// are not a property set holding one.
std::optional<PropertySet> DecodePropertySet(const Bytes& bytes);
Bytes EncodePropertySet(const PropertySet& set);
