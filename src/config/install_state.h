// What the registry and the disk say about the product.
#pragma once

#include <cstdint>

#include "launcher_state.h"
#include "platform/platform.h"
#include "platform/text.h"

// LanguageVal below HKLM\keyPath; 1033 when the value cannot be read, the
// user's default language when the key cannot be opened.
int32_t ReadLanguagePreference(const platform::Platform& os, const WString& keyPath);

// Reads PathVal and probes the game executable; updates installDir,
// gameProbePath and gameExePath. True when the game counts as installed.
bool DetectInstallation(LauncherState& state, const platform::Platform& os);

// True when a handler for ".pdf" files is registered.
bool IsPdfHandlerRegistered(const platform::Platform& os);
