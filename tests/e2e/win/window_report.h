// Describes a dialog as a person would see it: title, state, position, and
// every child control with its text, state, list entries and progress.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "json_writer.h"

// Text of another process's control, read with WM_GETTEXT.
std::wstring ControlText(HWND control);

// The entries of another process's combo box.
std::vector<std::wstring> ComboItems(HWND combo);

// The control holding the keyboard focus in the dialog's thread, or null.
HWND FocusedWindow(HWND dialog);

void WriteDialogReport(JsonWriter& json, HWND dialog);
void WriteMessageBoxReport(JsonWriter& json, HWND box);
