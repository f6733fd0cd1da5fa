// What a screen reader learns of each control of the launcher's window: the
// name and role its accessible object (MSAA) gives, as a screen reader asks
// for them from another process.
#pragma once

#include <windows.h>

#include "json_writer.h"

// Writes the whole report: ok, and under "controls", in creation order, each
// control's id, class, accessible name (null when it has none) and role.
// False when not even one control's accessible object could be had.
bool WriteAccessibleNamesReport(JsonWriter& json, HWND dialog);
