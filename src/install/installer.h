// Running Windows Installer on the product's package.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "platform/text.h"
#include "shell/launcher_state.h"

// "/i " + the quoted package path (+ the transform option).
WString BuildInstallerParameters(const WString& packagePath, const WString& transformName);

// Starts msiexec, hides the window and waits for the installer to end while
// draining the message queue. False when msiexec could not be started.
bool RunInstaller(LauncherState& state, const platform::Platform& os);

// The installer-mode worker thread: unpack, install, end.
uint32_t InstallWorker(void* parameter);

// Asks the installer-mode worker to stop and waits a few seconds at most for
// it to end, draining the calling thread's queue meanwhile so that a worker
// waiting on a message sent to this thread can go on. Called on the main
// thread before the workspace is removed.
void StopInstallWorker(LauncherState& state, const platform::Platform& os);
