// Writes a binary resource file (.res), from which the product tool then
// makes the exe's resource section (pe_resource_section.h). Writing it
// ourselves keeps every byte of a string or payload file exactly as given,
// whatever it holds, and avoids the resource compiler's slow reading of
// large raw-data resources.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Resource types, by their Windows numbers.
constexpr uint16_t kTypeIcon = 3;
constexpr uint16_t kTypeBitmap = 2;
constexpr uint16_t kTypeString = 6;
constexpr uint16_t kTypeRcData = 10;
constexpr uint16_t kTypeGroupIcon = 14;
constexpr uint16_t kTypeVersion = 16;

// English (United Kingdom): the language of every resource of ours except
// the application manifest.
constexpr uint16_t kLanguageEnglishUk = 2057;

class ResFileWriter {
 public:
  // Creates `path`. When `base` is given, its resources (a .res file, such as
  // windres makes from the dialog script) come first; otherwise the file
  // starts with the empty entry every .res file begins with. Check Ok().
  ResFileWriter(const std::filesystem::path& path, const std::filesystem::path* base);

  void Add(uint16_t type, uint16_t id, uint16_t language, const Bytes& data);

  // Copies `size` bytes of `source` as one resource without holding them in
  // memory; the copy fails when the file no longer has that size.
  void AddFile(uint16_t type, uint16_t id, uint16_t language, const std::filesystem::path& source,
               uint64_t size);

  // Flushes and closes; true when every step succeeded. On failure Error()
  // says what went wrong.
  bool Finish();
  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }

 private:
  void WriteHeader(uint32_t dataSize, uint16_t type, uint16_t id, uint16_t language);
  void Pad(uint64_t dataSize);
  void Fail(std::string message);

  std::filesystem::path path_;
  std::ofstream out_;
  std::string error_;
};

// The header of one entry (32 bytes for numeric type and id). Exposed for
// the tests, which read .res files back.
Bytes ResEntryHeader(uint32_t dataSize, uint16_t type, uint16_t id, uint16_t language);
