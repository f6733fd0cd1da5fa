// Reads a Windows Installer package's tables, with the system's own reader
// on Windows (msi.dll) and with libmsi elsewhere.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PackageDatabase {
 public:
  // The package, or null when the file cannot be read as a Windows
  // Installer database.
  static std::unique_ptr<PackageDatabase> Open(const std::filesystem::path& package);
  virtual ~PackageDatabase() = default;

  using Row = std::vector<std::string>;  // each column as UTF-8 text, numbers in decimal
  // The rows a SELECT finds, or nullopt when the query fails: a table or
  // column the package does not have.
  virtual std::optional<std::vector<Row>> Select(const std::string& query) = 0;
};
