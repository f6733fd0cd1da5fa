// The bytes of one payload resource, handed out chunk by chunk.
#pragma once

#include <cstdint>
#include <vector>

#include "install/chunk_source.h"
#include "platform/platform.h"
#include "platform/unique_handles.h"

// The bytes of a loaded resource, readable as long as `owner` holds it. Ends
// the process when loading or locking failed.
const void* LockLoadedResource(const platform::Platform& os,
                               const platform::UniqueLoadedResource& owner);

// Loads a payload resource and reads its bytes from the program's own file,
// in order, when they lie there as they are; otherwise hands out pointers
// into the locked resource. Reading the file with ReadFile streams the bytes
// through the system's cache at disk speed, where touching the mapped image
// brings them in page by page.
class ResourceBytes : public ChunkSource {
 public:
  // Ends the process when the resource cannot be loaded.
  ResourceBytes(const platform::Platform& os, platform::ResourceHandle resource, uint32_t size);

  const unsigned char* Next(uint32_t count) override;
  WString FailedRead() const override { return u"ReadFile"; }

 private:
  const platform::Platform& os_;
  platform::UniqueLoadedResource loaded_;
  const unsigned char* locked_;
  uint32_t handedOut_ = 0;
  platform::UniqueFileHandle file_;
  std::vector<unsigned char> buffer_;
};
