// Unpacking the payload into the workspace.
#pragma once

#include <set>

#include "launcher_state.h"
#include "platform/platform.h"
#include "platform/text.h"

// Checks the payload, makes the run's own workspace (install/workspace.h)
// and writes every file the payload manifest lists into it while the
// progress bar follows the bytes written and ends full; each file is held
// from when it is written and checked until the workspace is removed. Sets
// state.workspaceDir and puts it before state.packagePath. With a payload
// table (payload/table.h) each file's bytes come from where the table puts
// them and must have the checksum it gives, and each volume the SHA-256 it
// gives; without one each comes from its own resource, unchecked. Every
// failure ends the process through FatalError before the installer could
// run; false only when the worker was asked to stop.
bool ExtractPayload(LauncherState& state, const platform::Platform& os);

// Makes every folder of `relativeName` below the workspace `baseFolder`
// (which ends with a backslash), all but its last part, that this run has
// not made yet; `madeFolders` holds those it made (lower case). Anything
// else that stands where one of them goes ends the process.
bool CreateParentDirectories(LauncherState& state, const platform::Platform& os,
                             const WString& baseFolder, const WString& relativeName,
                             std::set<WString>& madeFolders);
