// The running launcher: its state record and the platform it runs on.
//
// Window and thread callbacks carry no context of their own (the dialog is
// created with an initialisation value of 0), so the process keeps one
// pointer to the active launcher for them. Everything else takes the state
// and the platform as arguments.
#pragma once

#include "launcher_state.h"
#include "platform/platform.h"

struct Launcher {
  LauncherState& state;
  const platform::Platform& os;
};

// The launcher that window and thread callbacks act on; null before start-up.
Launcher* ActiveLauncher();
void SetActiveLauncher(Launcher* launcher);
