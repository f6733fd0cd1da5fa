// The program's lifetime: the installer-mode worker, its stop and the one
// orderly way out, in both modes.
#pragma once

#include <cstdint>

#include "launcher_state.h"
#include "platform/platform.h"

// The installer-mode worker thread: unpack, install, end.
uint32_t InstallWorker(void* parameter);

// Asks the installer-mode worker to stop and waits a few seconds at most for
// it to end, draining the calling thread's queue meanwhile so that a worker
// waiting on a message sent to this thread can go on. Does not wait for a
// worker that only shows its fatal error box. Called on the main thread
// before the workspace is removed.
void StopInstallWorker(LauncherState& state, const platform::Platform& os);

// Removes the workspace in installer mode, destroys the window, optionally
// starts the game and ends the process with `exitCode`.
[[noreturn]] void ExitLauncher(LauncherState& state, const platform::Platform& os, int32_t exitCode,
                               bool launchGame);
