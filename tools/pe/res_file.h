// Reads a binary resource file (.res), such as windres makes from the
// dialog script: the kit's base resources, which every exe starts from.
#pragma once

#include <filesystem>
#include <vector>

#include "base/diagnostics.h"
#include "pe/resource.h"

// Every entry of `path` after the leading empty one, in file order, with
// its data. False, with the reason reported, when the file cannot be read
// or is not a 32-bit resource file.
bool ReadResFile(const std::filesystem::path& path, std::vector<Resource>* resources,
                 Diagnostics& diagnostics);
