// Writing one payload file into the workspace.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "install/chunk_source.h"
#include "install/progress_report.h"
#include "platform/platform.h"
#include "platform/text.h"

// One payload file: its name below the workspace, its size and, when the
// program has a payload table, the checksum its bytes must have.
struct FileToUnpack {
  WString name;
  uint64_t size = 0;
  std::optional<uint64_t> checksum;
};

// How writing one file ended. A failure is reported by the caller, once it
// has closed its handles.
struct WriteOutcome {
  enum class Kind { kWritten, kStopped, kFailed };
  Kind kind = Kind::kWritten;
  uint32_t code = 0;  // for kFailed: the error, and what failed
  WString what;
};

// Writes the file's bytes from `source` through `output`, a new file the
// caller created, in chunks of at most ChunkSource::kChunkBytes, counting
// every byte written into `progress`. Stops between two writes once
// `stopRequested` is set; a file whose bytes do not have its checksum fails
// as "Verifying <name>" with ERROR_CRC.
WriteOutcome WritePayloadFile(const std::atomic<bool>& stopRequested, const platform::Platform& os,
                              const FileToUnpack& file, platform::FileHandle output,
                              ChunkSource& source, ProgressReport& progress);
