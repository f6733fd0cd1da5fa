#include "user_actions.h"

#include "window_finder.h"
#include "window_report.h"

namespace {

std::string FindUsableControl(HWND dialog, int id, HWND& control) {
  control = GetDlgItem(dialog, id);
  if (!control) return "no control with id " + std::to_string(id);
  // A person cannot use what is greyed out or hidden.
  if (!IsWindowVisible(control)) return "control " + std::to_string(id) + " is hidden";
  if (!IsWindowEnabled(control)) return "control " + std::to_string(id) + " is disabled";
  return {};
}

struct KeyStroke {
  const char* name;
  WORD virtualKey;
  bool withAlt;
};

const KeyStroke kKeys[] = {
    {"tab", VK_TAB, false},     {"escape", VK_ESCAPE, false}, {"enter", VK_RETURN, false},
    {"space", VK_SPACE, false}, {"down", VK_DOWN, false},     {"up", VK_UP, false},
    {"alt-f4", VK_F4, true},
};

LPARAM KeyData(WORD virtualKey, bool withAlt, bool release) {
  LPARAM data = 1 | (static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16);
  if (withAlt) data |= 1 << 29;  // context code: Alt is held
  if (release) data |= (1u << 30) | (1u << 31);
  return data;
}

BOOL CALLBACK FindVisibleComboList(HWND window, LPARAM context) {
  if (!HasClass(window, L"ComboLBox") || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(context) = window;
  return FALSE;
}

// The list of a combo box while it is dropped down: a top-level window of
// the combo box's thread.
HWND DroppedListOf(HWND combo) {
  HWND found = nullptr;
  EnumThreadWindows(GetWindowThreadProcessId(combo, nullptr), FindVisibleComboList,
                    reinterpret_cast<LPARAM>(&found));
  return found;
}

bool AskList(HWND list, UINT message, WPARAM wParam, LRESULT& answer) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(list, message, wParam, 0, SMTO_ABORTIFHUNG, 5000, &result)) return false;
  answer = static_cast<LRESULT>(result);
  return answer != LB_ERR;
}

// Moves the mouse to `point` (screen pixels) and clicks the left button there.
std::string ClickAt(POINT point) {
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) input.type = INPUT_MOUSE;
  inputs[0].mi.dx = point.x * 65535 / (screenWidth - 1);
  inputs[0].mi.dy = point.y * 65535 / (screenHeight - 1);
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  if (SendInput(3, inputs, sizeof(INPUT)) != 3) return "SendInput failed";
  return {};
}

}  // namespace

std::string ClickButton(HWND dialog, int id) {
  HWND button = nullptr;
  std::string problem = FindUsableControl(dialog, id, button);
  if (!problem.empty()) return problem;
  // Posted, not sent: the click may end the launcher before it could answer.
  if (!PostMessageW(button, BM_CLICK, 0, 0)) return "BM_CLICK could not be posted";
  return {};
}

std::string MouseClick(HWND dialog, int id) {
  HWND control = nullptr;
  std::string problem = FindUsableControl(dialog, id, control);
  if (!problem.empty()) return problem;
  RECT rect = {};
  GetWindowRect(control, &rect);
  return ClickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

std::string MouseChooseDroppedEntry(HWND dialog, int id, int index) {
  HWND combo = nullptr;
  std::string problem = FindUsableControl(dialog, id, combo);
  if (!problem.empty()) return problem;
  HWND list = DroppedListOf(combo);
  if (!list) return "the list of control " + std::to_string(id) + " is not dropped down";
  LRESULT top = 0, height = 0;
  if (!AskList(list, LB_GETTOPINDEX, 0, top) || !AskList(list, LB_GETITEMHEIGHT, 0, height) ||
      height <= 0)
    return "the dropped-down list does not answer";
  RECT client = {};
  GetClientRect(list, &client);
  LRESULT row = index - top;
  if (row < 0 || (row + 1) * height > client.bottom) {
    // Scrolled into view first, as a person would scroll to it.
    LRESULT ignored = 0;
    AskList(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), ignored);
    if (!AskList(list, LB_GETTOPINDEX, 0, top)) return "the dropped-down list does not answer";
    row = index - top;
  }
  if (row < 0 || (row + 1) * height > client.bottom)
    return "entry " + std::to_string(index) +
           " cannot be brought into view in the dropped-down list";
  POINT point = {client.right / 2, static_cast<LONG>(row * height + height / 2)};
  ClientToScreen(list, &point);
  return ClickAt(point);
}

std::string ChooseComboEntry(HWND dialog, int id, int index) {
  HWND combo = nullptr;
  std::string problem = FindUsableControl(dialog, id, combo);
  if (!problem.empty()) return problem;
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_ABORTIFHUNG,
                           5000, &answer) ||
      static_cast<LRESULT>(answer) != index)
    return "the combo box has no entry " + std::to_string(index);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  return {};
}

std::string PressKey(HWND dialog, const std::string& keyName) {
  for (const KeyStroke& key : kKeys) {
    if (keyName != key.name) continue;
    HWND target = FocusedWindow(dialog);
    if (!target) target = dialog;
    UINT down = key.withAlt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    UINT up = key.withAlt ? WM_SYSKEYUP : WM_KEYUP;
    PostMessageW(target, down, key.virtualKey, KeyData(key.virtualKey, key.withAlt, false));
    PostMessageW(target, up, key.virtualKey, KeyData(key.virtualKey, key.withAlt, true));
    return {};
  }
  return "unknown key " + keyName;
}

std::string CloseFromCaption(HWND dialog) {
  if (!PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0)) return "WM_SYSCOMMAND could not be posted";
  return {};
}

std::string PressMessageBoxOk(HWND box) {
  HWND button = GetDlgItem(box, IDOK);
  if (!button) {
    // A box with a single button other than OK still closes through it.
    for (HWND child = GetWindow(box, GW_CHILD); child && !button;
         child = GetWindow(child, GW_HWNDNEXT))
      if (GetDlgCtrlID(child) >= IDOK && GetDlgCtrlID(child) <= IDCONTINUE) button = child;
  }
  if (!button) return "the message box has no button";
  PostMessageW(button, BM_CLICK, 0, 0);
  return {};
}
