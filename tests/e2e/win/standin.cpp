// standin.exe [installer]: a dialog shaped like the launcher (same ids, tab
// order, single-instance guard, polling loop and exits), so the bench and the
// UI driver can be tried without building a product.

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdlib>
#include <cwchar>

#include "resource_ids.h"

namespace {

HWND mainWindow = nullptr;

INT_PTR CALLBACK StandinDialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDC_EXIT)) {
    DestroyWindow(mainWindow);
    std::exit(0);
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDC_PLAY) {
    EnableWindow(GetDlgItem(mainWindow, IDC_PLAY), FALSE);
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
  InitCommonControls();
  CreateMutexW(nullptr, TRUE, L"E2E-STANDIN-6D2B1C1E-9E43-4C55-8C51-4F0D5A3C2B10");
  if (GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  bool installer = std::wcsstr(commandLine, L"installer") != nullptr;
  mainWindow =
      CreateDialogParamW(instance, MAKEINTRESOURCEW(installer ? IDD_INSTALLER : IDD_LAUNCHER),
                         nullptr, StandinDialogProc, 0);
  if (!mainWindow) return 0;
  SetWindowTextW(mainWindow, L"Stand-in \x0421\x043A\x0430\x0439 \x30B9\x30AB\x30A4");
  HWND combo = GetDlgItem(mainWindow, IDC_LANGUAGE);
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"English"));
  SendMessageW(combo, CB_ADDSTRING, 0,
               reinterpret_cast<LPARAM>(L"\x0420\x0443\x0441\x0441\x043A\x0438\x0439"));
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"\x65E5\x672C\x8A9E"));
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  if (!installer) EnableWindow(GetDlgItem(mainWindow, IDC_UNINSTALL), FALSE);
  SetFocus(GetDlgItem(mainWindow, installer ? IDC_CONTINUE : IDC_INSTALL));
  ShowWindow(mainWindow, showCommand);
  UpdateWindow(mainWindow);
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (IsWindow(mainWindow) && IsDialogMessageW(mainWindow, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(100);
  }
}
