#include "system/background_digest.h"

#include <algorithm>

namespace {

constexpr size_t kBufferBytes = 1 << 20;
constexpr size_t kBuffers = 4;

}  // namespace

BackgroundDigest::BackgroundDigest() {
  for (size_t i = 0; i < kBuffers; ++i) spare_.emplace_back();
  filling_.reserve(kBufferBytes);
  thread_ = std::thread([this] { Run(); });
}

BackgroundDigest::~BackgroundDigest() { Finish(); }

void BackgroundDigest::Add(const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const size_t part = std::min(count, kBufferBytes - filling_.size());
    filling_.insert(filling_.end(), bytes, bytes + part);
    bytes += part;
    count -= part;
    if (filling_.size() == kBufferBytes) HandOver();
  }
}

void BackgroundDigest::HandOver() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !spare_.empty(); });
  std::vector<uint8_t> next = std::move(spare_.back());
  spare_.pop_back();
  full_.push_back(std::move(filling_));
  filling_ = std::move(next);
  filling_.clear();
  filling_.reserve(kBufferBytes);
  changed_.notify_all();
}

void BackgroundDigest::Run() {
  for (;;) {
    std::vector<uint8_t> buffer;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return !full_.empty() || ending_; });
      if (full_.empty()) return;  // ending, and everything hashed
      buffer = std::move(full_.front());
      full_.pop_front();
    }
    digest_->Update(buffer.data(), buffer.size());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      spare_.push_back(std::move(buffer));
    }
    changed_.notify_all();
  }
}

std::optional<std::string> BackgroundDigest::Finish() {
  if (std::unique_ptr<Sha256> digest = Drain()) result_ = digest->FinishHex();
  return result_;
}

std::unique_ptr<Sha256> BackgroundDigest::Drain() {
  if (drained_) return nullptr;
  drained_ = true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    full_.push_back(std::move(filling_));
    ending_ = true;
  }
  changed_.notify_all();
  thread_.join();
  return std::move(digest_);
}
