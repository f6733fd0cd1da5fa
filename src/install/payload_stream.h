// The payload's data after the exe and in the volumes, read as one stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "install/chunk_source.h"
#include "payload/sha256.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "platform/unique_handles.h"

// One file the stream's data lies in, open for reading.
struct StreamFile {
  WString name;  // as messages name it: the exe's own name, Installer-n.bin
  platform::UniqueFileHandle handle;
  uint64_t dataStart = 0;  // where its part of the stream starts in it
  uint64_t dataSize = 0;
  // The SHA-256 its data must have: a volume's, which lies outside the
  // signature. None for the exe's own data.
  std::optional<payload::Sha256Digest> digest;
};

// Hands out the stream chunk by chunk from the files in stream order, going
// on at the next file's data start where one file's data ends, so that a
// payload file may cross from one file to the next.
//
// A file with a digest is hashed as its data is first handed out, and
// refused (ERROR_CRC, "Verifying <volume>") when its last byte shows that
// the data is not what the table says: before that byte leaves the stream.
// Bytes handed out again need no second look: the files are open to readers
// only while the stream has them.
class PayloadStream : public ChunkSource {
 public:
  PayloadStream(const platform::Platform& os, std::vector<StreamFile> files);

  // The next chunk starts at `position` of the stream.
  void MoveTo(uint64_t position);

  const unsigned char* Next(uint32_t count) override;
  WString FailedRead() const override;
  // Whether every file with a digest was read whole, with no byte skipped,
  // and had it; false with ERROR_CRC set and FailedRead naming the first
  // that was not.
  bool VerifyRest();
  // Closes every file, before a failure is reported.
  void Close();

 private:
  // Reads `count` bytes of the current file's data into the buffer at
  // `filled`; false with the error set when the read failed or came short.
  bool ReadFromCurrent(uint32_t filled, uint32_t count);
  // Hashes the bytes just read at `position` of the current file's data;
  // false with ERROR_CRC set when they end a file whose digest differs.
  bool Hash(uint64_t position, const unsigned char* bytes, uint32_t count);
  bool FinishDigest(size_t file);

  // The digest of one file with a digest, as far as its data was read in order.
  struct Digest {
    payload::Sha256 sha256;
    uint64_t hashedBytes = 0;
    bool outOfOrder = false;
    bool finished = false;
  };

  const platform::Platform& os_;
  std::vector<StreamFile> files_;
  size_t current_ = 0;           // the file the next byte is in
  uint64_t offset_ = 0;          // where the next byte is in that file
  uint64_t leftInFile_ = 0;      // the bytes of its data from there on
  bool seekPending_ = false;     // the file's read position is not yet offset_
  size_t failed_ = 0;            // the file a failed read was from
  bool verifyFailed_ = false;    // the failure was a digest's
  std::vector<Digest> digests_;  // one per file
  std::vector<unsigned char> buffer_;
};
