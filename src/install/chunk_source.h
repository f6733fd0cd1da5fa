// Where the bytes of the payload file being written come from: its own
// resource, or the data after the exe and in the volumes.
#pragma once

#include <cstdint>

#include "platform/text.h"

class ChunkSource {
 public:
  // Large enough that the system's cache streams at disk speed, small enough
  // that a stop request is seen within a few milliseconds. Copies under
  // Wine ran fastest at 256-512 KiB per call; 1 MiB calls were slower in the
  // kernel's copy into the page cache.
  static constexpr uint32_t kChunkBytes = 256 * 1024;

  virtual ~ChunkSource() = default;

  // The next `count` bytes (at most kChunkBytes), valid until the next call;
  // null when reading failed or ended early, with the error left for
  // Process::LastError().
  virtual const unsigned char* Next(uint32_t count) = 0;
  // What the failure message names after Next returned null.
  virtual WString FailedRead() const = 0;
};
