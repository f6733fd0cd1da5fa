// Running Windows Installer on the product's package.
#pragma once

#include <cstdint>

#include "launcher_state.h"
#include "platform/platform.h"
#include "platform/text.h"

// "/i " + the quoted package path (+ the transform option).
WString BuildInstallerParameters(const WString& packagePath, const WString& transformName);

// Starts msiexec, hides the window and waits for the installer to end while
// draining the message queue. False when msiexec could not be started.
bool RunInstaller(LauncherState& state, const platform::Platform& os);
