#include "install/progress_report.h"

namespace {

constexpr uint64_t kBytesPerStep = 1024;
constexpr uint64_t kLargestPosition = 0x7FFFFFFF;

int32_t WholeSteps(uint64_t bytes) {
  const uint64_t steps = bytes / kBytesPerStep;
  return static_cast<int32_t>(steps < kLargestPosition ? steps : kLargestPosition);
}

}  // namespace

ProgressReport::ProgressReport(const platform::Platform& os, platform::WindowHandle bar,
                               uint64_t totalBytes)
    : os_(os), bar_(bar) {
  if (bar_ == nullptr) return;
  // The range is sent once: the positions posted later must find it set.
  os_.windows.ProgressSetRange(bar_, 0, WholeSteps(totalBytes));
  lastPostTick_ = os_.process.TickCount();
}

int32_t ProgressReport::Position() const { return WholeSteps(writtenBytes_); }

void ProgressReport::Add(uint32_t bytes) {
  writtenBytes_ += bytes;
  if (bar_ == nullptr || Position() == postedPosition_) return;
  // Unsigned: the difference stays right when the tick count wraps.
  const uint32_t now = os_.process.TickCount();
  if (now - lastPostTick_ < kProgressIntervalMilliseconds) return;
  lastPostTick_ = now;
  Post();
}

void ProgressReport::Finish() {
  if (bar_ != nullptr && Position() != postedPosition_) Post();
}

void ProgressReport::Post() {
  postedPosition_ = Position();
  os_.windows.ProgressPostPosition(bar_, postedPosition_);
}
