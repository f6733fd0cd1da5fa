// Gives a linked exe its resources: the entries of a .res file become a new
// last section, .rsrc, with the directory tree the system searches with
// FindResource. The data is copied from the .res file in chunks, so memory
// stays small whatever the payload; the linker never sees it (GNU ld holds
// a resource section twice in memory, windres once more).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "exe/installer_payload.h"
#include "exe/res_index.h"

// A volume written beside an installer's exe.
struct WrittenVolume {
  std::filesystem::path path;
  std::string sha256;  // lowercase hex
};

// Writes `outExe`: `linkedExe` (a PE32 or PE32+ image without resources)
// with the resources of `resFile` added, and its headers updated to match:
// the section count, the new section's header, SizeOfImage,
// SizeOfInitializedData, the resource directory and, when the linker wrote
// one, the checksum. The section starts at a FileAlignment boundary of the
// file and at the next SectionAlignment boundary of the image. Returns an
// empty string on success; otherwise what went wrong, naming the file, and
// `outExe` is not left behind.
// `extraEntries` come after the .res file's, each with its data in its own
// source file (ResIndexEntry::source). With `sha256`, the SHA-256 digest of
// the written exe (lowercase hex) is made on a second thread as it is
// written; it stays empty when the exe must be read back for it instead
// (its payload table is written last, see below).
//
// With `payload`, the exe is an installer. Its files become resources 3001
// on while they total at most kMaxResourcePayloadBytes and the exe stays
// within the volume size; otherwise they are written after the last section
// and, past the volume size, into volumes beside `outExe`, which `volumes`
// lists with their SHA-256 digests, made as they were written. Either way the payload table (resource IDR_PAYLOAD_TABLE) says
// where each file is and holds its checksum, made as it was copied.
std::string AddResourceSection(const std::filesystem::path& resFile,
                               const std::filesystem::path& linkedExe,
                               const std::filesystem::path& outExe,
                               const std::vector<ResIndexEntry>& extraEntries = {},
                               std::string* sha256 = nullptr,
                               const InstallerPayload* payload = nullptr,
                               std::vector<WrittenVolume>* volumes = nullptr);
