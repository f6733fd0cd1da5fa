// Whether each text of the launcher's window fits its control, so that no
// label is cut off in any language. The window's dialog template is opened
// once more from the exe, hidden, in this process: the dialog manager gives
// that copy the very font and control sizes of the window, and the texts are
// measured with them here (a font handle cannot cross processes).
#pragma once

#include <windows.h>

#include <string>

#include "json_writer.h"

// Writes the whole report: ok, and under "controls" each text (each entry of
// a combo box) with the size it needs, the size it has and whether it fits.
// False when the template cannot be opened from modulePath.
bool WriteTextFitReport(JsonWriter& json, HWND window, const std::wstring& modulePath);
