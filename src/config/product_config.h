// The product configuration read from the program's own resources.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"
#include "platform/text.h"

// Room, in UTF-16 units, of the buffers the configuration strings are read into.
constexpr uint32_t kStringRoom = 260;
constexpr uint32_t kProductNamesRoom = 2048;

// The fixed name of the workspace folder under the temporary folder.
extern const WChar kWorkspaceFolderName[];

// True when the payload manifest resource is absent.
bool IsLauncherMode(const platform::Platform& os);

// The temporary folder followed by the workspace folder name and a
// backslash; nullopt when the temporary folder cannot be obtained as an
// absolute path that fits its buffer.
std::optional<WString> FormWorkspaceDir(const platform::Platform& os);
