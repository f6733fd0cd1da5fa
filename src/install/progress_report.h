// The unpacking's progress bar, as seen from the worker thread.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Moves the bar with the bytes written, in whole KiB of the total. The
// positions are posted, never sent: the worker goes on writing without
// waiting for the main thread, and posts at most one position per
// kProgressIntervalMilliseconds, so the window repaints about 60 times a
// second at most however fast the disk is. The last position fills the bar.
class ProgressReport {
 public:
  static constexpr uint32_t kProgressIntervalMilliseconds = 16;

  // Sets the bar's range to 0 .. the total's whole KiB. Without a bar
  // (null) nothing is ever sent or posted.
  ProgressReport(const platform::Platform& os, platform::WindowHandle bar, uint64_t totalBytes);

  // Counts `bytes` more as written; posts the position when it moved and the
  // last post is old enough.
  void Add(uint32_t bytes);

  // Posts the final position when it was not posted yet.
  void Finish();

 private:
  int32_t Position() const;
  void Post();

  const platform::Platform& os_;
  platform::WindowHandle bar_;
  uint64_t writtenBytes_ = 0;
  int32_t postedPosition_ = 0;  // where the dialog leaves the bar
  uint32_t lastPostTick_ = 0;
};
