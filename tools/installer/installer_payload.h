// What Installer.exe carries beside the resources both exes have: the
// payload files, and how large the exe and its volumes may grow.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "product/payload_files.h"

// More than a signature with its certificate chain and a time stamp takes.
constexpr uint64_t kSignatureRoom = 64 * 1024;

// Payloads up to 1 GiB are resources of the exe, as they always were: the
// image still loads on every 32-bit Windows, whose 2 GiB of address space
// must hold it in one free range. Larger ones are written after the image,
// which is never mapped, and into volumes beside it.
constexpr uint64_t kMaxResourcePayloadBytes = uint64_t{1} << 30;

struct InstallerPayload {
  std::vector<PayloadFile> files;  // in manifest order
  // The most bytes the exe and each volume may hold.
  uint64_t volumeSize = 0;
  // What the exe leaves free of its volume size for the signature that
  // signing appends: kSignatureRoom when the product is signed.
  uint64_t signatureRoom = 0;
  // Name product.toml's payload and volume_size in messages.
  std::string payloadField;
  std::string volumeSizeField;
};
