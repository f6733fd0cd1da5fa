// Finds the launcher's dialog and its message boxes among the top-level
// windows of the Wine prefix, by the exe name of the owning process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The launcher's own dialog: the first dialog of the process that is no
// message box.
HWND FindMainDialog(const std::wstring& exeName);

std::vector<HWND> FindMessageBoxes(const std::wstring& exeName);

// Polls a condition until it holds or the time is up: every wait of the bench
// is on something observable, never on a fixed delay.
bool WaitFor(DWORD timeoutMs, const std::function<bool()>& condition);

// Waits until the main dialog exists and its thread answers messages, so
// that start-up is over and the launcher's loop is pumping; returns it (null
// when none appeared).
HWND WaitForReadyDialog(const std::wstring& exeName, DWORD timeoutMs);

std::wstring WindowClassName(HWND window);
bool HasClass(HWND window, const wchar_t* className);  // any case
std::wstring WindowTitle(HWND window);
