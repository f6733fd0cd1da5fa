// The layout of a PE resource section (.rsrc) for the entries of a .res
// file: the directory tree the system searches with FindResource, and where
// each resource's data goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exe/res_file.h"
#include "exe/res_index.h"

struct ResourceSectionLayout {
  // The section's head: the type, name and language directories, the data
  // entries and the directory strings, padded to where the first data goes.
  Bytes head;
  // Where each entry's data lies in the section, in the order the entries
  // were given (which is also the order in the section).
  std::vector<uint32_t> dataOffsets;
  // The section's size: the end of the last data.
  uint32_t size = 0;
  // Says what is wrong when the entries cannot form a section; empty
  // otherwise.
  std::string error;
};

// Every data lies on an 8-byte boundary of the section. `sectionRva` is the
// section's address in the image, which the data entries hold.
ResourceSectionLayout LayOutResourceSection(const std::vector<ResIndexEntry>& entries,
                                            uint32_t sectionRva);
