// SHA-256 on a thread of its own, so that a large exe is hashed while it is
// written rather than read back afterwards: the two take about as long, and
// a build machine has a core to spare.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "system/file_digest.h"

class BackgroundDigest {
 public:
  BackgroundDigest();
  ~BackgroundDigest();
  BackgroundDigest(const BackgroundDigest&) = delete;
  BackgroundDigest& operator=(const BackgroundDigest&) = delete;

  // Copies the bytes into the next buffer; waits only while every buffer is
  // full, which keeps memory to a few MiB whatever the size.
  void Add(const uint8_t* bytes, size_t count);
  // Hashes what is left, ends the thread and gives the digest (lowercase
  // hex), or nullopt when the system's digest failed.
  std::optional<std::string> Finish();
  // Hashes what is left, ends the thread and hands over the digest so far,
  // for bytes that are known only later: a volume's trailer. Null after
  // Finish or an earlier Drain.
  std::unique_ptr<Sha256> Drain();

 private:
  void HandOver();
  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<uint8_t>> full_;
  std::vector<std::vector<uint8_t>> spare_;
  std::vector<uint8_t> filling_;
  bool ending_ = false;
  bool drained_ = false;
  std::unique_ptr<Sha256> digest_ = std::make_unique<Sha256>();
  std::optional<std::string> result_;
  std::thread thread_;
};
