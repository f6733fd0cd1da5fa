// The View Readme action and the documentation country table.
#pragma once

#include "launcher_state.h"
#include "platform/platform.h"
#include "platform/text.h"

// Fills countryCodes with its 18 entries.
void FillCountryCodes(LauncherState& state);

// True when the file can be opened (a folder counts as missing).
bool FileExists(const platform::Platform& os, const WString& path);

void ShowReadme(LauncherState& state, const platform::Platform& os);
