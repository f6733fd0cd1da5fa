#include "window_report.h"

#include <commctrl.h>

#include <vector>

#include "window_finder.h"

namespace {

// Sent messages cross into the launcher, which only answers while it pumps its
// queue; a limit keeps a hung launcher from hanging the driver too.
const UINT kAnswerLimitMs = 5000;

// Once the launcher has failed to answer, the rest of the report does without
// its answers instead of waiting the limit out for every control.
bool launcherUnresponsive = false;

LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR answer = 0;
  if (launcherUnresponsive || !SendMessageTimeoutW(window, message, wParam, lParam,
                                                   SMTO_ABORTIFHUNG, kAnswerLimitMs, &answer)) {
    launcherUnresponsive = true;
    return -1;
  }
  return static_cast<LRESULT>(answer);
}

void WriteRect(JsonWriter& json, const RECT& rect) {
  json.BeginObject();
  json.Key("left");
  json.Number(rect.left);
  json.Key("top");
  json.Number(rect.top);
  json.Key("right");
  json.Number(rect.right);
  json.Key("bottom");
  json.Number(rect.bottom);
  json.EndObject();
}

void WriteComboDetails(JsonWriter& json, HWND combo) {
  json.Key("items");
  json.BeginArray();
  LRESULT count = Ask(combo, CB_GETCOUNT);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = Ask(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
    std::vector<wchar_t> item(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    if (length >= 0)
      Ask(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
    json.String(std::wstring(item.data()));
  }
  json.EndArray();
  json.Key("selection");
  json.Number(Ask(combo, CB_GETCURSEL));
  json.Key("dropped");
  json.Bool(Ask(combo, CB_GETDROPPEDSTATE) != 0);
}

void WriteProgressDetails(JsonWriter& json, HWND progress) {
  json.Key("range_low");
  json.Number(Ask(progress, PBM_GETRANGE, TRUE, 0));
  json.Key("range_high");
  json.Number(Ask(progress, PBM_GETRANGE, FALSE, 0));
  json.Key("position");
  json.Number(Ask(progress, PBM_GETPOS));
}

void WriteControl(JsonWriter& json, HWND control, HWND focus) {
  std::wstring className = WindowClassName(control);
  LONG style = GetWindowLongW(control, GWL_STYLE);
  RECT rect = {};
  GetWindowRect(control, &rect);
  json.BeginObject();
  // Ids are 16-bit in templates: -1 comes back as 65535.
  json.Key("id");
  json.Number(static_cast<short>(GetDlgCtrlID(control)));
  json.Key("class");
  json.String(className);
  json.Key("text");
  json.String(ControlText(control));
  json.Key("enabled");
  json.Bool(IsWindowEnabled(control) != FALSE);
  json.Key("visible");
  json.Bool(IsWindowVisible(control) != FALSE);
  json.Key("focused");
  json.Bool(focus && (focus == control || IsChild(control, focus)));
  json.Key("tabstop");
  json.Bool((style & WS_TABSTOP) != 0);
  json.Key("style");
  json.Number(static_cast<unsigned long>(style));
  json.Key("rect");
  WriteRect(json, rect);
  if (CompareStringOrdinal(className.c_str(), -1, L"ComboBox", -1, TRUE) == CSTR_EQUAL)
    WriteComboDetails(json, control);
  if (CompareStringOrdinal(className.c_str(), -1, PROGRESS_CLASSW, -1, TRUE) == CSTR_EQUAL)
    WriteProgressDetails(json, control);
  json.EndObject();
}

}  // namespace

std::wstring ControlText(HWND control) {
  LRESULT length = Ask(control, WM_GETTEXTLENGTH);
  if (length < 0) return WindowTitle(control);  // the text Wine keeps for the window
  if (length == 0) return {};
  std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
  Ask(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

HWND FocusedWindow(HWND dialog) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void WriteDialogReport(JsonWriter& json, HWND dialog) {
  HWND focus = FocusedWindow(dialog);
  RECT rect = {};
  GetWindowRect(dialog, &rect);
  RECT screen = {};
  GetWindowRect(GetDesktopWindow(), &screen);
  DWORD processId = 0;
  GetWindowThreadProcessId(dialog, &processId);

  json.BeginObject();
  json.Key("title");
  json.String(WindowTitle(dialog));
  json.Key("process_id");
  json.Number(processId);
  json.Key("visible");
  json.Bool(IsWindowVisible(dialog) != FALSE);
  json.Key("iconic");
  json.Bool(IsIconic(dialog) != FALSE);
  json.Key("enabled");
  json.Bool(IsWindowEnabled(dialog) != FALSE);
  json.Key("foreground");
  json.Bool(GetForegroundWindow() == dialog);
  json.Key("style");
  json.Number(static_cast<unsigned long>(GetWindowLongW(dialog, GWL_STYLE)));
  json.Key("rect");
  WriteRect(json, rect);
  json.Key("screen");
  WriteRect(json, screen);
  json.Key("focus_id");
  if (focus && IsChild(dialog, focus)) {
    // A combo box's focus sits in its own child edit or list on some systems.
    HWND control = focus;
    while (GetParent(control) != dialog) control = GetParent(control);
    json.Number(static_cast<short>(GetDlgCtrlID(control)));
  } else {
    json.Null();
  }
  json.Key("controls");
  json.BeginArray();
  launcherUnresponsive = false;
  // Children come in creation order, which for a dialog is its tab order.
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    WriteControl(json, child, focus);
  json.EndArray();
  json.Key("responding");
  json.Bool(!launcherUnresponsive);
  json.EndObject();
}

void WriteMessageBoxReport(JsonWriter& json, HWND box) {
  std::wstring text;
  json.BeginObject();
  json.Key("title");
  json.String(WindowTitle(box));
  json.Key("buttons");
  json.BeginArray();
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    std::wstring className = WindowClassName(child);
    if (CompareStringOrdinal(className.c_str(), -1, L"Button", -1, TRUE) == CSTR_EQUAL) {
      json.String(ControlText(child));
    } else if (CompareStringOrdinal(className.c_str(), -1, L"Static", -1, TRUE) == CSTR_EQUAL) {
      std::wstring part = ControlText(child);
      if (!part.empty()) text += (text.empty() ? L"" : L"\n") + part;
    }
  }
  json.EndArray();
  json.Key("text");
  json.String(text);
  json.EndObject();
}
