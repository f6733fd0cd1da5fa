// The product configuration read from the program's own resources.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"
#include "platform/text.h"

// Room, in UTF-16 units, of the buffers the configuration strings are read into.
constexpr uint32_t kStringRoom = 260;
constexpr uint32_t kProductNamesRoom = 2048;

// True when the payload manifest resource is absent.
bool IsLauncherMode(const platform::Platform& os);

// The user's temporary folder, where the workspace is made, with a final
// backslash; nullopt when it cannot be obtained as an absolute path that
// fits its buffer.
std::optional<WString> UsableTempFolder(const platform::Platform& os);

// The folder of the program's own file, with a final backslash: where the
// launcher finds its package and documents. Empty when the system does not
// name an absolute path.
WString ProgramFolder(const platform::Platform& os);
