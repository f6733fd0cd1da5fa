// The storages embedded in a Windows Installer package, read with the
// system's own reader on Windows (msi.dll) and with libmsi elsewhere.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>

// The names (UTF-8) of the storages embedded in `package`: its embedded
// transforms, among others. nullopt when the file cannot be read as a
// Windows Installer database.
std::optional<std::set<std::string>> ReadEmbeddedStorages(const std::filesystem::path& package);
