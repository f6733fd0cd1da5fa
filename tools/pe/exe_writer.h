// Gives a linked exe its resources: they become a new last section, .rsrc,
// with the directory tree the system searches with FindResource, and the
// headers are updated to match: the section count, the new section's
// header, SizeOfImage, SizeOfInitializedData, the resource directory and,
// when the linker wrote one, the checksum. The section starts at a
// FileAlignment boundary of the file and at the next SectionAlignment
// boundary of the image. The data is written in order straight to the file,
// so memory stays small whatever the resources hold; the linker never sees
// them (GNU ld holds a resource section twice in memory, windres once more).
//
// The writer knows nothing of what the resources mean. Data after the image
// is the caller's to write, through the writer's sink.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "pe/linked_exe.h"
#include "pe/pe_checksum.h"
#include "pe/resource.h"
#include "pe/section_layout.h"
#include "system/background_digest.h"

// Where the section goes in the exe and how large it is.
struct SectionPlan {
  ResourceSectionLayout layout;
  uint64_t rva = 0;
  uint64_t rawData = 0;  // where it starts in the file
  uint64_t rawSize = 0;
  // The exe's size in its file: where data after the image starts.
  uint64_t End() const { return rawData + rawSize; }
};

// The section for `resources` added to `exe`; false, with the problem
// reported for `where` (the exe to be written), when the resources cannot
// form one or the exe would reach 4 GiB.
bool PlanSection(const LinkedExe& exe, const std::vector<Resource>& resources,
                 const std::string& where, SectionPlan* plan, Diagnostics& diagnostics);

// Writes one exe: the image with its resources, then whatever the caller
// writes after it through Write(), then the checksum. After a failure,
// Discard() leaves no half-written exe behind.
class ExeWriter : public ByteSink {
 public:
  // Creates `path`. With `digest`, every byte written is fed to it on the
  // way; the image's checksum must then be given to WriteImage, as nothing
  // may be patched afterwards.
  ExeWriter(const std::filesystem::path& path, BackgroundDigest* digest, Diagnostics& diagnostics);

  // Writes the image: `exe` with its headers updated for `plan`, the
  // section's head, each resource's data on its boundary, and the padding to
  // the section's end. With `checksum`, that value goes into the header;
  // otherwise Finish() puts there the checksum of everything written.
  bool WriteImage(const LinkedExe& exe, const SectionPlan& plan,
                  const std::vector<Resource>& resources,
                  std::optional<uint32_t> checksum = std::nullopt);
  bool Write(const uint8_t* bytes, size_t count) override;

  // Overwrites the data of resource `index` of the image, which was written
  // as zeros, with `bytes` of the same size, a multiple of 8.
  void PatchResource(size_t index, const Bytes& bytes);

  // Writes the checksum when it is still due, gives the file the linked
  // exe's permissions and closes it.
  bool Finish();
  // Closes and removes the file.
  void Discard();

 private:
  // Writes `bytes` over earlier ones at `at`, leaving the checksum alone.
  bool Overwrite(uint64_t at, const Bytes& bytes);
  bool Failed(const std::string& message);

  std::filesystem::path path_;
  std::ofstream out_;
  BackgroundDigest* digest_;
  Diagnostics& diagnostics_;
  PeChecksum checksum_;
  const LinkedExe* exe_ = nullptr;
  uint64_t sectionStart_ = 0;
  std::vector<uint32_t> dataOffsets_;
  bool checksumDue_ = false;
};

// Writes `exe` with `resources` to `path`, with nothing after the image.
// With `sha256`, the exe's SHA-256 digest (lowercase hex) is made as it is
// written, on a second thread; for an exe with a checksum, the checksum is
// summed first, in a pass that reads the resources' data once more (from
// the page cache, for files read a moment ago). False, with the reason
// reported and no file left at `path`, on failure.
bool WriteExe(const LinkedExe& exe, const std::vector<Resource>& resources,
              const std::filesystem::path& path, std::string* sha256, Diagnostics& diagnostics);
