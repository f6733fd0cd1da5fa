// Start-up, the message pump, the main loop and the one orderly way out.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "shell/launcher_state.h"

// Runs the whole start-up sequence. True when the window is up and the main
// loop may start; false when start-up is refused (another copy runs, or the
// window could not be created).
bool InitInstance(LauncherState& state, const platform::Platform& os,
                  platform::ModuleHandle instance, int showCommand);

// Handles every message waiting in the calling thread's queue, then returns
// without waiting.
void PumpMessages(LauncherState& state, const platform::Platform& os);

// The entry point's loop: pump, then pause, for ever.
[[noreturn]] void RunMainLoop(LauncherState& state, const platform::Platform& os);

// Removes the workspace in installer mode, destroys the window, optionally
// starts the game and ends the process with `exitCode`.
[[noreturn]] void ExitLauncher(LauncherState& state, const platform::Platform& os,
                               int32_t exitCode, bool launchGame);
