// The layout of a PE resource section (.rsrc) for a list of resources: the
// directory tree the system searches with FindResource, and where each
// resource's data goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "pe/resource.h"

struct ResourceSectionLayout {
  // The section's head: the type, name and language directories, the data
  // entries and the directory strings, padded to where the first data goes.
  Bytes head;
  // Where each resource's data lies in the section, in the order the
  // resources were given (which is also the order in the section).
  std::vector<uint32_t> dataOffsets;
  // The section's size: the end of the last data.
  uint32_t size = 0;
};

// Every data lies on an 8-byte boundary of the section. `sectionRva` is the
// section's address in the image, which the data entries hold. False, with
// the problem reported for `where`, when two resources share a type, name
// and language, or the section would not fit in an exe.
bool LayOutResourceSection(const std::vector<Resource>& resources, uint32_t sectionRva,
                           const std::string& where, ResourceSectionLayout* layout,
                           Diagnostics& diagnostics);
