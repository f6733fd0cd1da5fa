// A linked exe, as the kit holds it: a PE32 or PE32+ image without
// resources, read and checked before a resource section is added to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "base/diagnostics.h"
#include "pe/resource.h"

struct LinkedExe {
  Bytes image;  // the whole file: code and headers, small enough to patch in memory
  std::filesystem::perms permissions = std::filesystem::perms::none;

  // What the writer needs of the headers.
  size_t optionalHeader = 0;
  size_t sectionCountField = 0;
  size_t newSectionHeader = 0;  // where the added section's header goes
  size_t resourceDirectory = 0;
  size_t checksumField = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint64_t imageEnd = 0;  // the end of the last section in memory

  // Whether the linker wrote a checksum; an exe made from it then gets one
  // too, over its own bytes.
  bool HasChecksum() const;
};

// The exe at `path`, or nullopt, with the reason reported, when it cannot
// be read or cannot take another section: not a PE image, damaged headers,
// resources already, data after its last section (a symbol table, a
// signature) or no room for another section header.
std::optional<LinkedExe> ReadLinkedExe(const std::filesystem::path& path, Diagnostics& diagnostics);
