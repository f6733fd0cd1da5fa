// Unpacking the embedded payload into the workspace.
#pragma once

#include <cstdint>

#include "install/progress_report.h"
#include "launcher_state.h"
#include "platform/platform.h"
#include "platform/text.h"

// Empties and re-creates the workspace, then writes every file the payload
// manifest lists into it while the progress bar follows the bytes written
// and ends full. Every
// failure ends the process through FatalError; false only when the worker was
// asked to stop.
bool ExtractPayload(LauncherState& state, const platform::Platform& os, WString workspace);

// Creates every missing folder of `relativeName` below `baseFolder` (which
// ends with a backslash), all but its last part.
bool CreateParentDirectories(const platform::Platform& os, WString baseFolder,
                             WString relativeName);

// Writes the resource's first `size` bytes to `path` in chunks of at most
// 1 MiB, counting every byte written into `progress`. False when the worker
// was asked to stop between two chunks; every failure ends the process
// through FatalError.
bool WriteResourceToFile(LauncherState& state, const platform::Platform& os,
                         platform::ResourceHandle resource, uint32_t size, WString path,
                         ProgressReport& progress);
