// The controls that only show something (the art, the group frame, the
// installer's label and progress bar) kept out of the way of keyboard and
// screen reader users.
#pragma once

#include "platform/platform.h"

// Arrow keys move the focus within a group of controls (a control with
// WS_GROUP starts one) and skip only hidden or disabled ones, so a control
// that takes no focus from Tab could still take it from an arrow key: each
// of them is put in a group of its own, and the control after it starts the
// next group. A picture loses the name accessibility tools read from its
// template text (a reference to its image); its image stays.
void QuietenPassiveControls(const platform::Platform& os, platform::WindowHandle dialog);
