// Finds the launcher's dialog and its message boxes among the top-level
// windows of the Wine prefix, by the exe name of the owning process or by title.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct WindowQuery {
  std::wstring exeName;  // file name of the owning process, any case
  std::wstring title;    // exact window title
};

// Top-level dialogs (class "#32770") that match the query.
std::vector<HWND> FindDialogs(const WindowQuery& query);

// A message box is a dialog whose buttons are all standard answers
// (IDOK to IDCONTINUE); the launcher's own layouts never are.
bool IsMessageBox(HWND dialog);

// The launcher's own dialog: the first matching dialog that is no message box.
HWND FindMainDialog(const WindowQuery& query);

std::vector<HWND> FindMessageBoxes(const WindowQuery& query);

std::wstring WindowClassName(HWND window);
std::wstring WindowTitle(HWND window);
