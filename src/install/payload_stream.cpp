#include "install/payload_stream.h"

#include <algorithm>
#include <utility>

#include "install/read_exactly.h"

PayloadStream::PayloadStream(const platform::Platform& os, std::vector<StreamFile> files)
    : os_(os), files_(std::move(files)), digests_(files_.size()) {
  MoveTo(0);
}

void PayloadStream::MoveTo(uint64_t position) {
  current_ = 0;
  // A position at the end of one file's data is the next one's start.
  while (current_ < files_.size() && position >= files_[current_].dataSize) {
    position -= files_[current_].dataSize;
    ++current_;
  }
  if (current_ == files_.size()) {
    leftInFile_ = 0;
    return;
  }
  offset_ = files_[current_].dataStart + position;
  leftInFile_ = files_[current_].dataSize - position;
  seekPending_ = true;
}

const unsigned char* PayloadStream::Next(uint32_t count) {
  if (buffer_.size() < count) buffer_.resize(count);
  uint32_t filled = 0;
  while (filled < count) {
    while (leftInFile_ == 0 && current_ < files_.size()) {
      ++current_;
      if (current_ == files_.size()) break;
      offset_ = files_[current_].dataStart;
      leftInFile_ = files_[current_].dataSize;
      seekPending_ = true;
    }
    // Past the last file's data: the table promised more than there is.
    if (current_ == files_.size()) {
      failed_ = files_.empty() ? 0 : files_.size() - 1;
      os_.process.SetLastError(platform::kErrorHandleEof);
      return nullptr;
    }
    const uint32_t part = static_cast<uint32_t>(std::min<uint64_t>(count - filled, leftInFile_));
    if (!ReadFromCurrent(filled, part)) return nullptr;
    filled += part;
  }
  return buffer_.data();
}

bool PayloadStream::ReadFromCurrent(uint32_t filled, uint32_t count) {
  failed_ = current_;
  platform::FileHandle file = files_[current_].handle.get();
  if (seekPending_) {
    if (!os_.files.Seek(file, offset_)) return false;
    seekPending_ = false;
  }
  if (!ReadExactly(os_, file, buffer_.data() + filled, count)) return false;
  const uint64_t position = offset_ - files_[current_].dataStart;
  offset_ += count;
  leftInFile_ -= count;
  return Hash(position, buffer_.data() + filled, count);
}

bool PayloadStream::Hash(uint64_t position, const unsigned char* bytes, uint32_t count) {
  if (!files_[current_].digest) return true;
  Digest& digest = digests_[current_];
  // Bytes skipped: the digest can no longer be made, and VerifyRest refuses
  // the file. Bytes read again were hashed already: the file is open to
  // readers only, so they are the same.
  if (digest.outOfOrder || position > digest.hashedBytes) {
    digest.outOfOrder = true;
    return true;
  }
  if (position + count <= digest.hashedBytes) return true;
  const uint64_t known = digest.hashedBytes - position;
  digest.sha256.Add(bytes + known, static_cast<size_t>(count - known));
  digest.hashedBytes = position + count;
  if (digest.hashedBytes != files_[current_].dataSize) return true;
  return FinishDigest(current_);
}

bool PayloadStream::FinishDigest(size_t file) {
  Digest& digest = digests_[file];
  if (!digest.finished && !digest.outOfOrder && digest.hashedBytes == files_[file].dataSize) {
    digest.finished = true;
    if (digest.sha256.Finish() == *files_[file].digest) return true;
  }
  failed_ = file;
  verifyFailed_ = true;
  os_.process.SetLastError(platform::kErrorCrc);
  return false;
}

bool PayloadStream::VerifyRest() {
  for (size_t file = 0; file < files_.size(); ++file) {
    if (files_[file].digest && !digests_[file].finished && !FinishDigest(file)) return false;
  }
  return true;
}

WString PayloadStream::FailedRead() const {
  const WString what = verifyFailed_ ? u"Verifying" : u"Reading";
  return failed_ < files_.size() ? what + u" " + files_[failed_].name : what;
}

void PayloadStream::Close() {
  for (StreamFile& file : files_) file.handle.Reset();
}
