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

void WriteRect(JsonWriter& json, const char* key, const RECT& rect) {
  json.Key(key).BeginObject();
  json.Key("left").Number(rect.left);
  json.Key("top").Number(rect.top);
  json.Key("right").Number(rect.right);
  json.Key("bottom").Number(rect.bottom);
  json.EndObject();
}

void WriteComboDetails(JsonWriter& json, HWND combo) {
  json.Key("items").BeginArray();
  for (const std::wstring& item : ComboItems(combo)) json.String(item);
  json.EndArray();
  json.Key("selection").Number(Ask(combo, CB_GETCURSEL));
  json.Key("dropped").Bool(Ask(combo, CB_GETDROPPEDSTATE) != 0);
}

void WriteProgressDetails(JsonWriter& json, HWND progress) {
  json.Key("range_low").Number(Ask(progress, PBM_GETRANGE, TRUE, 0));
  json.Key("range_high").Number(Ask(progress, PBM_GETRANGE, FALSE, 0));
  json.Key("position").Number(Ask(progress, PBM_GETPOS));
}

void WriteControl(JsonWriter& json, HWND control, HWND focus) {
  std::wstring className = WindowClassName(control);
  LONG style = GetWindowLongW(control, GWL_STYLE);
  RECT rect = {};
  GetWindowRect(control, &rect);
  json.BeginObject();
  // Ids are 16-bit in templates: -1 comes back as 65535.
  json.Key("id").Number(static_cast<short>(GetDlgCtrlID(control)));
  json.Key("class").String(className);
  json.Key("text").String(ControlText(control));
  json.Key("enabled").Bool(IsWindowEnabled(control) != FALSE);
  json.Key("visible").Bool(IsWindowVisible(control) != FALSE);
  json.Key("focused").Bool(focus && (focus == control || IsChild(control, focus)));
  json.Key("tabstop").Bool((style & WS_TABSTOP) != 0);
  json.Key("style").Number(static_cast<unsigned long>(style));
  WriteRect(json, "rect", rect);
  if (HasClass(control, L"ComboBox")) WriteComboDetails(json, control);
  if (HasClass(control, PROGRESS_CLASSW)) WriteProgressDetails(json, control);
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

std::vector<std::wstring> ComboItems(HWND combo) {
  std::vector<std::wstring> items;
  LRESULT count = Ask(combo, CB_GETCOUNT);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = Ask(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
    std::vector<wchar_t> item(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    if (length >= 0)
      Ask(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
    items.emplace_back(item.data());
  }
  return items;
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
  json.Key("title").String(WindowTitle(dialog));
  json.Key("process_id").Number(processId);
  json.Key("visible").Bool(IsWindowVisible(dialog) != FALSE);
  json.Key("iconic").Bool(IsIconic(dialog) != FALSE);
  json.Key("enabled").Bool(IsWindowEnabled(dialog) != FALSE);
  json.Key("foreground").Bool(GetForegroundWindow() == dialog);
  json.Key("style").Number(static_cast<unsigned long>(GetWindowLongW(dialog, GWL_STYLE)));
  WriteRect(json, "rect", rect);
  WriteRect(json, "screen", screen);
  json.Key("focus_id");
  if (focus && IsChild(dialog, focus)) {
    // A combo box's focus sits in its own child edit or list on some systems.
    HWND control = focus;
    while (GetParent(control) != dialog) control = GetParent(control);
    json.Number(static_cast<short>(GetDlgCtrlID(control)));
  } else {
    json.Null();
  }
  json.Key("controls").BeginArray();
  launcherUnresponsive = false;
  // Children come in creation order, which for a dialog is its tab order.
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    WriteControl(json, child, focus);
  json.EndArray();
  json.Key("responding").Bool(!launcherUnresponsive);
  json.EndObject();
}

void WriteMessageBoxReport(JsonWriter& json, HWND box) {
  std::wstring text;
  json.BeginObject();
  json.Key("title").String(WindowTitle(box));
  json.Key("buttons").BeginArray();
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (HasClass(child, L"Button")) {
      json.String(ControlText(child));
    } else if (HasClass(child, L"Static")) {
      std::wstring part = ControlText(child);
      if (!part.empty()) text += (text.empty() ? L"" : L"\n") + part;
    }
  }
  json.EndArray();
  json.Key("text").String(text);
  json.EndObject();
}
