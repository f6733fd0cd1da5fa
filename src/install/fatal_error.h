// The fatal error reporter: used while the payload is unpacked.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"
#include "platform/text.h"

constexpr int32_t kFormatInvalidArgument = static_cast<int32_t>(0x80070057);
constexpr int32_t kFormatInsufficientBuffer = static_cast<int32_t>(0x8007007A);

// Shows "<what> failed with error <code>: <system text>" in a box captioned
// "Error" and ends the process with the calling thread's last error as exit
// code. Must be called right after the failed call, on its thread. Before the
// box is shown it marks the active launcher's state, so that an exit chosen
// meanwhile does not wait for this thread, and removes what the run made in
// its workspace.
[[noreturn]] void FatalError(const platform::Platform& os, const WString& what);

// FatalError for a failure that no system call reported: `code` becomes the
// last error first.
[[noreturn]] void FailWithError(const platform::Platform& os, uint32_t code, const WString& what);

// Bounded formatter for FatalError's message. Understands %s (a
// null-terminated const WChar*), %d (int32_t) and %%. Writes at most
// capacity - 1 units and always terminates. Returns 0, kFormatInvalidArgument
// (capacity 0 or above 0x7FFFFFFF; nothing written) or
// kFormatInsufficientBuffer (the text was cut).
int32_t FormatBounded(WChar* buffer, size_t capacity, const WChar* format, ...);
