// Where each resource of a binary resource file (.res) lies, read from the
// entry headers alone: the data stays on disk until it is copied into the
// exe (pe_resource_section.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"

// A resource's type or name: a number, or a text.
struct ResourceName {
  bool isText = false;
  uint16_t number = 0;
  WString text;

  // The order of a resource directory's entries, in which the system
  // searches them: texts first, by their UTF-16 code units, then numbers,
  // ascending.
  bool operator<(const ResourceName& other) const;
  bool operator==(const ResourceName& other) const {
    return isText == other.isText && number == other.number && text == other.text;
  }

  // For messages: 10, or "NAME" in quotes.
  std::string Describe() const;
};

struct ResIndexEntry {
  ResourceName type;
  ResourceName name;
  uint16_t language = 0;
  uint32_t dataSize = 0;
  uint64_t dataOffset = 0;  // in the .res file, or in `source`
  // Empty: the data is in the .res file. Otherwise the file that holds it,
  // copied from `dataOffset` when the exe is written, so that a payload file
  // is copied once, straight into the exe.
  std::filesystem::path source;
};

struct ResIndex {
  std::vector<ResIndexEntry> entries;  // in file order, without the leading empty one
  std::string error;                   // names the file; empty when it was read
};

ResIndex ReadResIndex(const std::filesystem::path& path);
