// The files a product embeds in its installer exe: their names as the
// payload manifest lists them (payload/item_names.h), and the limits they
// must respect.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/diagnostics.h"

struct PayloadFile {
  std::string name;  // UTF-8, backslash between folders: the manifest item
  std::filesystem::path source;
  uint64_t size = 0;
};

// Every regular file below `folder`, sorted by manifest name, so that a
// product builds to the same exe on every machine. Links are followed; one
// that leads outside `productFolder` is warned about, as the build embeds
// what it leads to. Names that are not UTF-8 or that the program would
// refuse to unpack are reported per file; the result is empty when there is
// any error.
std::vector<PayloadFile> CollectPayloadFiles(const std::filesystem::path& folder,
                                             const std::filesystem::path& productFolder,
                                             Diagnostics& diagnostics);

// Checks what the whole payload must satisfy: the package at its root under
// `packageName` (UTF-8) and the number of files.
// `where` names the payload field of product.toml.
void CheckPayload(const std::vector<PayloadFile>& files, const std::string& packageName,
                  const std::string& where, Diagnostics& diagnostics);
