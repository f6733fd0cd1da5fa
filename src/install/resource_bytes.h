// The bytes of one payload resource, handed out chunk by chunk.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "platform/unique_handles.h"

// Reads a locked resource's bytes from the program's own file, in order,
// when they lie there as they are; otherwise hands out pointers into the
// locked resource. Reading the file with ReadFile streams the bytes through
// the system's cache at disk speed, where touching the mapped image brings
// them in page by page.
class ResourceBytes {
 public:
  static constexpr uint32_t kChunkBytes = 1024 * 1024;

  ResourceBytes(const platform::Platform& os, const void* locked, uint32_t size);

  // The next `count` bytes (at most kChunkBytes), valid until the next call;
  // null when reading the file failed or ended early, with the error left
  // for Process::LastError().
  const unsigned char* Next(uint32_t count);

  // Closes the program's file, before a failure is reported.
  void Close() { file_.Reset(); }

 private:
  const platform::Platform& os_;
  const unsigned char* locked_;
  uint32_t handedOut_ = 0;
  platform::UniqueFileHandle file_;
  std::vector<unsigned char> buffer_;
};
