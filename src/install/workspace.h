// The run's own workspace: a folder under the temporary folder whose name no
// one can know in advance, and everything this run makes in it, each held
// open from when it is made (a file: from when it is written and checked)
// until the workspace is removed. Another program of the same user can then
// neither plant anything in it nor swap what the installer will read.
#pragma once

#include <cstdint>

#include "launcher_state.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "platform/unique_handles.h"

// What the folder's name starts with, so that a person can tell what it is.
extern const WChar kWorkspaceNamePrefix[];

// The random part of the name: 64 bits from the system's generator, as hex.
constexpr uint32_t kWorkspaceRandomBytes = 8;

// Makes the run's own folder below `tempFolder` (which ends with a
// backslash) under a new random name, trying another name while one is
// taken, holds it and sets state.workspaceDir (with a final backslash).
// False, with the error left, when it cannot be made.
bool CreateWorkspace(LauncherState& state, const platform::Platform& os, const WString& tempFolder);

// Makes the folder `path` inside the workspace and holds it. False, with the
// error left, when anything stands there already (ERROR_ALREADY_EXISTS) or
// it cannot be made.
bool MakeWorkspaceFolder(LauncherState& state, const platform::Platform& os, const WString& path);

// Creates the file `path` inside the workspace for writing; an invalid
// handle, with the error left, when anything stands there already
// (ERROR_FILE_EXISTS) or it cannot be made. From here on the file is the
// run's to remove, written whole or not.
platform::UniqueFileHandle CreateWorkspaceFile(LauncherState& state, const platform::Platform& os,
                                               const WString& path);

// Holds the file `path`, the one created last, that was written and checked
// through `written`, and closes `written`: from here on it can be read, and
// no one can write, remove or rename it until the workspace is removed.
// False, with the error left, when it cannot be held.
bool HoldWrittenFile(LauncherState& state, const platform::Platform& os, const WString& path,
                     platform::UniqueFileHandle written);

// Removes what this run made in its workspace, newest first, and nothing
// else: a folder that holds something it did not make stays. Every removal
// goes by the name this run gave, never through a link. Reports nothing;
// anything made after it is removed again at once.
void RemoveWorkspace(LauncherState& state, const platform::Platform& os);
