// Writes Installer.exe: the linked program with its resources and its
// payload, placed where the program finds it. The payload table (resource
// IDR_PAYLOAD_TABLE, payload/table.h) says where each file went and holds
// its checksum, made as it was copied; the manifest (IDR_PAYLOAD_MANIFEST)
// lists the files.
//
// The files become resources of their own while they total at most
// kMaxResourcePayloadBytes and the exe stays within its volume size: the
// layout every earlier build had. Otherwise they are written after the
// image and, past the volume size, into volumes beside the exe.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "installer/installer_payload.h"
#include "installer/volume_writer.h"
#include "pe/linked_exe.h"
#include "pe/resource.h"

struct WrittenInstaller {
  // The exe's SHA-256 (lowercase hex), made as it was written; empty when
  // its table was written after its data, so that it must be read back.
  std::string sha256;
  std::vector<WrittenVolume> volumes;  // in number order, beside the exe
};

// Writes `path` from `exe` with `resources` (those both exes carry) and
// `payload`. False, with the reason reported, when it cannot: the volume
// size too small for the exe or for the number of volumes the format
// allows, a payload file that changed since it was listed, a write that
// failed. Neither the exe nor a volume is then left behind.
bool WriteInstaller(const LinkedExe& exe, const std::vector<Resource>& resources,
                    const InstallerPayload& payload, const std::filesystem::path& path,
                    WrittenInstaller* written, Diagnostics& diagnostics);
