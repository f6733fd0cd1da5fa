// Unpacking the payload into the workspace.
#pragma once

#include "launcher_state.h"
#include "platform/platform.h"
#include "platform/text.h"

// Empties and re-creates the workspace, then writes every file the payload
// manifest lists into it while the progress bar follows the bytes written
// and ends full. With a payload table (payload/table.h) each file's bytes
// come from where the table puts them and must have the checksum it gives;
// without one each comes from its own resource, unchecked. Every failure
// ends the process through FatalError before the installer could run; false
// only when the worker was asked to stop.
bool ExtractPayload(LauncherState& state, const platform::Platform& os, WString workspace);

// Creates every missing folder of `relativeName` below `baseFolder` (which
// ends with a backslash), all but its last part.
bool CreateParentDirectories(const platform::Platform& os, WString baseFolder,
                             WString relativeName);
