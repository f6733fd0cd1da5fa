// The temporary workspace folder of installer mode.
#pragma once

#include "platform/platform.h"
#include "platform/text.h"

// Removes the folder with everything in it as far as possible; reports
// nothing. Never descends into a link: a link is removed itself.
void DeleteDirectoryTree(const platform::Platform& os, WString path);
