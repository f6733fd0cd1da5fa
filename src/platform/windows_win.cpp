// The dialog window, its controls and the message queue over user32. The
// common-control messages need only commctrl.h's numbers: the library itself
// is loaded by the entry point.
#include "platform/windows_include.h"
#include "platform/windows_platform.h"

namespace platform {

namespace {

HWND Window(WindowHandle window) { return static_cast<HWND>(window); }

// The system calls dialog procedures with its own calling convention (stdcall
// on 32-bit x86), while the logic's procedure is a plain function pointer.
// The program creates one dialog, so one slot is enough; it is set before
// CreateDialogParamW, which already sends the first messages.
DialogProcedure activeDialogProcedure = nullptr;

INT_PTR CALLBACK ForwardDialogMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (activeDialogProcedure == nullptr) return FALSE;
  return activeDialogProcedure(window, message, wParam, lParam);
}

}  // namespace

WindowsWindows::WindowsWindows() : module_(GetModuleHandleW(nullptr)) {}

WindowHandle WindowsWindows::CreateDialogWindow(uint32_t templateId, DialogProcedure procedure) {
  activeDialogProcedure = procedure;
  return CreateDialogParamW(static_cast<HINSTANCE>(module_),
                            MAKEINTRESOURCEW(static_cast<WORD>(templateId)), nullptr,
                            ForwardDialogMessage, 0);
}

WindowHandle WindowsWindows::DialogItem(WindowHandle dialog, int controlId) {
  return GetDlgItem(Window(dialog), controlId);
}

bool WindowsWindows::IsWindowAlive(WindowHandle window) { return IsWindow(Window(window)) != 0; }

void WindowsWindows::SetText(WindowHandle window, const WString& text) {
  SetWindowTextW(Window(window), Wide(text));
}

void WindowsWindows::Enable(WindowHandle window, bool enabled) {
  EnableWindow(Window(window), enabled ? TRUE : FALSE);
}

void WindowsWindows::Focus(WindowHandle window) { SetFocus(Window(window)); }

void WindowsWindows::Show(WindowHandle window, int showCommand) {
  ShowWindow(Window(window), showCommand);
}

void WindowsWindows::Update(WindowHandle window) { UpdateWindow(Window(window)); }

void WindowsWindows::Destroy(WindowHandle window) { DestroyWindow(Window(window)); }

void WindowsWindows::SetIcons(WindowHandle window, IconHandle icon) {
  // One icon serves as large and small icon, of the window and its class.
  const LONG_PTR iconValue = reinterpret_cast<LONG_PTR>(icon);
  SetClassLongPtrW(Window(window), GCLP_HICON, iconValue);
  SetClassLongPtrW(Window(window), GCLP_HICONSM, iconValue);
  SendMessageW(Window(window), WM_SETICON, ICON_BIG, iconValue);
  SendMessageW(Window(window), WM_SETICON, ICON_SMALL, iconValue);
}

void WindowsWindows::ComboReset(WindowHandle combo) {
  SendMessageW(Window(combo), CB_RESETCONTENT, 0, 0);
}

void WindowsWindows::ComboAdd(WindowHandle combo, const WString& item) {
  SendMessageW(Window(combo), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item)));
}

void WindowsWindows::ComboSelect(WindowHandle combo, int index) {
  SendMessageW(Window(combo), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int WindowsWindows::ComboSelection(WindowHandle combo) {
  return static_cast<int>(SendMessageW(Window(combo), CB_GETCURSEL, 0, 0));
}

void WindowsWindows::ProgressSetRange(WindowHandle bar, int32_t low, int32_t high) {
  SendMessageW(Window(bar), PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
}

void WindowsWindows::ProgressPostPosition(WindowHandle bar, int32_t position) {
  PostMessageW(Window(bar), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int WindowsWindows::MessageBox(WindowHandle owner, const WString& text, const WString& caption,
                               uint32_t style) {
  return MessageBoxW(Window(owner), Wide(text), Wide(caption), style);
}

CursorHandle WindowsWindows::LoadWaitCursor() { return LoadCursorW(nullptr, IDC_WAIT); }

void WindowsWindows::SetCursor(CursorHandle cursor) { ::SetCursor(static_cast<HCURSOR>(cursor)); }

bool WindowsWindows::HandleNextMessage(WindowHandle dialog) {
  MSG message;
  if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  HWND dialogWindow = Window(dialog);
  if (dialogWindow != nullptr && IsWindow(dialogWindow) &&
      IsDialogMessageW(dialogWindow, &message)) {
    return true;  // keyboard navigation among the dialog's controls
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
  return true;
}

void WindowsWindows::IdleWait(uint32_t milliseconds) {
  // Wakes for messages sent or posted from another thread (the worker's hide
  // request waits for its answer; its progress positions should show at
  // once); input still waits for the next pass.
  MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_SENDMESSAGE | QS_POSTMESSAGE, 0);
}

}  // namespace platform
