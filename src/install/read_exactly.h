// Reading a known number of bytes from a file that someone else may change.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Reads exactly `count` bytes from `file`'s current position into `buffer`.
// False when a read fails, its error left for Process::LastError(), or when
// the file ends first, with ERROR_HANDLE_EOF set: it changed since it was
// measured.
bool ReadExactly(const platform::Platform& os, platform::FileHandle file, void* buffer,
                 uint32_t count);
