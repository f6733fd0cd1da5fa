// The state the fake's groups share, and the whole fake.
#include "fake_platform.h"

#include <algorithm>

std::optional<uint32_t> FakeWorld::Enter(const std::string& operation) {
  calls.push_back(operation);
  if (onCall) onCall(operation);
  auto fault = faults.find(operation);
  if (fault == faults.end()) return std::nullopt;
  const uint32_t code = fault->second.code;
  if (fault->second.remaining > 0 && --fault->second.remaining == 0) faults.erase(fault);
  lastError = code;
  return code;
}

FakePlatform::FakePlatform() {
  process.errorTexts = {
      {2, u"The system cannot find the file specified.\r\n"},
      {3, u"The system cannot find the path specified.\r\n"},
      {5, u"Access is denied.\r\n"},
      {112, u"There is not enough space on the disk.\r\n"},
      {183, u"Cannot create a file when that file already exists.\r\n"},
      {1814, u"The specified resource name cannot be found in the image file.\r\n"},
  };
}

void FakePlatform::FailNext(const std::string& operation, uint32_t code, int times) {
  world.faults[operation] = {code, times};
}

int FakePlatform::CallCount(const std::string& operation) const {
  return static_cast<int>(std::count(world.calls.begin(), world.calls.end(), operation));
}

size_t FakePlatform::FirstCall(const std::string& operation) const {
  return static_cast<size_t>(std::find(world.calls.begin(), world.calls.end(), operation) -
                             world.calls.begin());
}
