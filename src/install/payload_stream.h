// The payload's data after the exe and in the volumes, read as one stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "install/chunk_source.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "platform/unique_handles.h"

// One file the stream's data lies in, open for reading.
struct StreamFile {
  WString name;  // as messages name it: the exe's own name, Installer-n.bin
  platform::UniqueFileHandle handle;
  uint64_t dataStart = 0;  // where its part of the stream starts in it
  uint64_t dataSize = 0;
};

// Hands out the stream chunk by chunk from the files in stream order, going
// on at the next file's data start where one file's data ends, so that a
// payload file may cross from one file to the next.
class PayloadStream : public ChunkSource {
 public:
  PayloadStream(const platform::Platform& os, std::vector<StreamFile> files);

  // The next chunk starts at `position` of the stream.
  void MoveTo(uint64_t position);

  const unsigned char* Next(uint32_t count) override;
  WString FailedRead() const override;
  // Closes every file, before a failure is reported.
  void Close();

 private:
  // Reads `count` bytes of the current file's data into the buffer at
  // `filled`; false with the error set when the read failed or came short.
  bool ReadFromCurrent(uint32_t filled, uint32_t count);

  const platform::Platform& os_;
  std::vector<StreamFile> files_;
  size_t current_ = 0;        // the file the next byte is in
  uint64_t offset_ = 0;       // where the next byte is in that file
  uint64_t leftInFile_ = 0;   // the bytes of its data from there on
  bool seekPending_ = false;  // the file's read position is not yet offset_
  size_t failed_ = 0;         // the file a failed read was from
  std::vector<unsigned char> buffer_;
};
