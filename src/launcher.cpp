#include "launcher.h"

namespace {

// Set once by the entry point before start-up; the dialog procedure and the
// worker thread find the launcher through it.
Launcher* activeLauncher = nullptr;

}  // namespace

Launcher* ActiveLauncher() { return activeLauncher; }

void SetActiveLauncher(Launcher* launcher) { activeLauncher = launcher; }
