// Brings the window in line with the selected language and the install state.
#pragma once

#include "launcher_state.h"
#include "platform/platform.h"
#include "platform/text.h"

// Replaces the first "{P}" of `text` by `productName`; without "{P}" the
// text is returned unchanged.
WString ReplaceProductPlaceholder(WStringView text, WStringView productName);

// The website button's label: the placeholder replaced, then the first
// colon followed by a line feed.
WString ComposeWebsiteLabel(WStringView websiteText, WStringView productName);

// The product name of the selected language-list entry; empty when the
// selection indexes no entry.
WString SelectedProductName(const LauncherState& state);

// Where the refresh leaves the keyboard focus.
enum class RefreshFocus {
  kLeadingControl,  // Install or Play in the launcher layout, Exit in the installer's
  kUnchanged,       // where the player has it
};

void RefreshWindow(LauncherState& state, const platform::Platform& os, bool installed,
                   RefreshFocus focus = RefreshFocus::kLeadingControl);
