// Unpacking the embedded payload into the workspace.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "platform/text.h"
#include "shell/launcher_state.h"

bool ExtractPayload(LauncherState& state, const platform::Platform& os, WString workspace);
