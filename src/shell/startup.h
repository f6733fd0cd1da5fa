// Start-up: from the single-instance guard to the window on screen.
#pragma once

#include "launcher_state.h"
#include "platform/platform.h"

// Runs the whole start-up sequence. True when the window is up and the main
// loop may start; false when start-up is refused (another copy runs, or the
// window could not be created).
bool InitInstance(LauncherState& state, const platform::Platform& os,
                  platform::ModuleHandle instance, int showCommand);
