// The files a product embeds in its installer exe: their names as the
// program's payload manifest lists them, and the limits they must respect.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "product/diagnostics.h"

// Payload files take the resource ids 3001 to 65535.
constexpr uint64_t kMaxPayloadFiles = 65535 - 3000;

// Payloads up to 1 GiB are resources of the exe, as they always were: the
// image still loads on every 32-bit Windows, whose 2 GiB of address space
// must hold it in one free range. Larger ones are written after the image,
// which is never mapped, and into volumes beside it.
constexpr uint64_t kMaxResourcePayloadBytes = uint64_t{1} << 30;

struct PayloadFile {
  std::string name;  // UTF-8, backslash between folders: the manifest item
  std::filesystem::path source;
  uint64_t size = 0;
};

// Why a manifest item (UTF-8, backslash-separated) cannot be unpacked safely
// into the workspace, or nullopt when it can: names that leave the folder
// (".." or "." components, empty components, a leading backslash, a drive
// or stream colon), names with ";" (the item separator), and names Windows
// cannot create.
std::optional<std::string> PayloadNameProblem(const std::string& name);

// Every regular file below `folder`, sorted by manifest name, so that a
// product builds to the same exe on every machine. Problems are reported
// per file; the result is empty when there is any error.
std::vector<PayloadFile> CollectPayloadFiles(const std::filesystem::path& folder,
                                             Diagnostics& diagnostics);

// Checks what the whole payload must satisfy: the package at its root under
// `packageName` (UTF-8) and the number of files.
// `where` names the payload field of product.toml.
void CheckPayload(const std::vector<PayloadFile>& files, const std::string& packageName,
                  const std::string& where, Diagnostics& diagnostics);

// The manifest resource: every name followed by ";", then a NUL byte.
std::vector<uint8_t> EncodePayloadManifest(const std::vector<PayloadFile>& files);
