// A Windows Installer package as the compound file (structured storage) it
// is: the streams and storages that language transforms add to it. With
// libgsf on Linux, which writes the file anew, and with the system's
// structured storage on Windows.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "platform/text.h"

// A storage held in memory with everything in it: a transform, which is
// small. Names are UTF-16, as the compound file holds them.
struct StorageContent {
  std::array<uint8_t, 16> classId{};
  std::map<WString, std::vector<uint8_t>> streams;
  std::map<WString, StorageContent> storages;

  bool operator==(const StorageContent& other) const {
    return classId == other.classId && streams == other.streams && storages == other.storages;
  }
};

// The whole compound file at `path`, or nullopt when it is not one.
std::optional<StorageContent> ReadStorageFile(const std::filesystem::path& path);

// The stream `name` at the root of `package`, or the storage `name` with
// everything in it; nullopt when the package cannot be read or has none.
std::optional<std::vector<uint8_t>> ReadPackageStream(const std::filesystem::path& package,
                                                      const WString& name);
std::optional<StorageContent> ReadPackageStorage(const std::filesystem::path& package,
                                                 const WString& name);

// Writes `streams` and `storages` at the root of `package`, each replacing
// one of its name, and keeps every other stream and storage and the root's
// class id as they are. False when the package cannot be read or written;
// it is then unchanged.
bool UpdatePackage(const std::filesystem::path& package,
                   const std::map<WString, std::vector<uint8_t>>& streams,
                   const std::map<WString, StorageContent>& storages);
