// The message pump and the main loop, over the seam only.
#pragma once

#include "platform/platform.h"

// Handles every message waiting in the calling thread's queue, with `dialog`
// getting its keyboard navigation, then returns without waiting.
void PumpMessages(const platform::Platform& os, platform::WindowHandle dialog);

// The entry point's loop: pump, then pause, for ever. The program ends only
// through its orderly exit, which ends the process.
[[noreturn]] void RunMainLoop(const platform::Platform& os, platform::WindowHandle dialog);
