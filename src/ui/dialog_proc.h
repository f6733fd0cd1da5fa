// The dialog procedure of the one window, in both layouts.
#pragma once

#include <cstdint>

#include "launcher_state.h"
#include "platform/platform.h"

// Registered with the dialog; acts on the active launcher. Returns 0 for
// every message.
intptr_t LauncherDialogProc(platform::WindowHandle window, uint32_t message, uintptr_t wParam,
                            intptr_t lParam);

// The work of the dialog procedure, for a given launcher.
void HandleDialogMessage(LauncherState& state, const platform::Platform& os, uint32_t message,
                         uintptr_t wParam, intptr_t lParam);
