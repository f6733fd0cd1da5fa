// The disc: the product's disc files with the launcher and an autorun.inf
// that starts it, and optionally its ISO 9660 image.
#pragma once

#include <filesystem>
#include <string>

#include "base/diagnostics.h"

// Copies `source` into `disc` (which must not exist), then adds
// `autorunExe` as Autorun.exe and an autorun.inf that opens it and takes
// its icon. False, with what failed reported, on failure.
bool MakeDiscFolder(const std::filesystem::path& source, const std::filesystem::path& autorunExe,
                    const std::filesystem::path& disc, Diagnostics& diagnostics);

// Masters `iso` from `disc` with xorriso: Joliet keeps long and Unicode
// names for Windows, Rock Ridge for the others; level 3 allows files over
// 4 GiB. With SOURCE_DATE_EPOCH set, the disc folder's files and the
// volume carry that time. False on failure, with xorriso's words reported;
// one sentence when xorriso is not on PATH.
bool MakeDiscImage(const std::filesystem::path& disc, const std::string& label,
                   const std::filesystem::path& iso, const std::filesystem::path& logFolder,
                   Diagnostics& diagnostics);
