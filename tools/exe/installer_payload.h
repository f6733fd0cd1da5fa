// What Installer.exe carries beside its resources: the payload files, where
// they go, and the table that tells the program where to find them and what
// they must add up to (src/install/payload_table.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "install/payload_table.h"
#include "product/payload_files.h"

// More than a signature with its certificate chain and a time stamp takes.
constexpr uint64_t kSignatureRoom = 64 * 1024;

struct InstallerPayload {
  std::vector<PayloadFile> files;  // in manifest order
  uint64_t manifestChecksum = 0;   // of the manifest resource before its NUL
  // The most bytes the exe and each volume may hold.
  uint64_t volumeSize = 0;
  // What the exe leaves free of its volume size for the signature that
  // signing appends: kSignatureRoom when the product is signed.
  uint64_t signatureRoom = 0;
  std::string volumeSizeField;  // names product.toml's volume_size in refusals
};

// The table for `payload` once its files were copied: `items` says where
// each went and holds its checksum. The build identifier is made from
// everything else in the table, so that two builds of different bytes have
// different ones and a build made twice has the same.
payload::Table FinishTable(const InstallerPayload& payload, std::vector<payload::Item> items,
                           uint64_t exeDataOffset, uint64_t exeDataSize,
                           std::vector<uint64_t> volumeDataSizes);
