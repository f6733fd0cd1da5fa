// What a person does to the launcher's window, done from another process.
// Each returns an empty text on success, or what stood in the way.
#pragma once

#include <windows.h>

#include <string>

// BM_CLICK, posted: the button notifies the dialog as for a mouse click.
std::string ClickButton(HWND dialog, int id);

// A real mouse click (SendInput) in the middle of the control.
std::string MouseClick(HWND dialog, int id);

// A real mouse click on entry `index` of the combo box's list, which must be
// dropped down; the list is scrolled to the entry first when need be.
std::string MouseChooseDroppedEntry(HWND dialog, int id, int index);

// Picks a list entry and tells the dialog, as the combo box does when the
// user picks one: CB_SETCURSEL, then WM_COMMAND with CBN_SELCHANGE.
std::string ChooseComboEntry(HWND dialog, int id, int index);

// Posts a key press to the control holding the focus, where the launcher's
// IsDialogMessage sees it. Names: tab, escape, enter, space, alt-f4.
std::string PressKey(HWND dialog, const std::string& keyName);

// The caption's close box: WM_SYSCOMMAND with SC_CLOSE.
std::string CloseFromCaption(HWND dialog);

// Presses a message box's OK (or its only) button.
std::string PressMessageBoxOk(HWND box);
