#include "text_fit.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

#include "resource_ids.h"
#include "window_finder.h"
#include "window_report.h"

namespace {

const DWORD kStyleOffset = 12;  // DLGTEMPLATEEX: dlgVer, signature, helpID, exStyle, style

std::vector<HWND> Children(HWND dialog) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    children.push_back(child);
  return children;
}

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A copy of the window's template, created hidden in this process.
class TemplateCopy {
 public:
  TemplateCopy(const std::wstring& modulePath, int templateId) {
    module_ = LoadLibraryExW(modulePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module_) return;
    HRSRC resource =
        FindResourceW(module_, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5));  // RT_DIALOG
    HGLOBAL loaded = resource ? LoadResource(module_, resource) : nullptr;
    const BYTE* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    DWORD size = resource ? SizeofResource(module_, resource) : 0;
    if (!bytes || size < kStyleOffset + sizeof(DWORD)) return;
    // DWORD-aligned, as the dialog manager wants its template.
    std::vector<DWORD> copy((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    std::memcpy(copy.data(), bytes, size);
    DWORD style = 0;
    BYTE* styleBytes = reinterpret_cast<BYTE*>(copy.data()) + kStyleOffset;
    std::memcpy(&style, styleBytes, sizeof style);
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    std::memcpy(styleBytes, &style, sizeof style);
    dialog_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                         reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()), nullptr,
                                         IgnoreMessages, 0);
  }
  ~TemplateCopy() {
    if (dialog_) DestroyWindow(dialog_);
    if (module_) FreeLibrary(module_);
  }
  TemplateCopy(const TemplateCopy&) = delete;
  TemplateCopy& operator=(const TemplateCopy&) = delete;

  HWND Dialog() const { return dialog_; }

 private:
  HMODULE module_ = nullptr;
  HWND dialog_ = nullptr;
};

void WriteSize(JsonWriter& json, const char* key, LONG width, LONG height) {
  json.Key(key).BeginArray();
  json.Number(width);
  json.Number(height);
  json.EndArray();
}

// Lays `text` out in `control` the way the control draws it.
void WriteMeasure(JsonWriter& json, int id, HWND control, const std::wstring& text, int margin,
                  int sideReserve, bool wraps) {
  RECT client = {};
  GetClientRect(control, &client);
  LONG availableWidth = client.right - client.left - 2 * margin - sideReserve;
  LONG availableHeight = client.bottom - client.top - 2 * margin;
  HDC dc = GetDC(control);
  HGDIOBJ oldFont =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT layout = {0, 0, availableWidth, 0};
  UINT flags = DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &layout, flags);
  SelectObject(dc, oldFont);
  ReleaseDC(control, dc);
  LONG neededWidth = layout.right - layout.left;
  LONG neededHeight = layout.bottom - layout.top;

  json.BeginObject();
  json.Key("id").Number(id);
  json.Key("text").String(text);
  WriteSize(json, "needed", neededWidth, neededHeight);
  WriteSize(json, "available", availableWidth, availableHeight);
  json.Key("fits").Bool(neededWidth <= availableWidth && neededHeight <= availableHeight);
  json.EndObject();
}

// Each labelled control of the window, measured in its counterpart of the copy.
void MeasureWindow(JsonWriter& json, HWND window, HWND copy) {
  std::vector<HWND> shown = Children(window);
  std::vector<HWND> measured = Children(copy);
  const int edge = GetSystemMetrics(SM_CXEDGE);
  json.Key("controls").BeginArray();
  for (size_t i = 0; i < shown.size() && i < measured.size(); ++i) {
    int id = static_cast<short>(GetDlgCtrlID(shown[i]));
    LONG style = GetWindowLongW(shown[i], GWL_STYLE);
    if (HasClass(shown[i], L"Button") && (style & BS_TYPEMASK) != BS_GROUPBOX) {
      // The label is clipped to what the button's 3D frame leaves free.
      WriteMeasure(json, id, measured[i], ControlText(shown[i]), edge, 0,
                   (style & BS_MULTILINE) != 0);
    } else if (HasClass(shown[i], L"Static") && (style & SS_TYPEMASK) == SS_LEFT) {
      // A left-aligned static wraps its words; lines beyond its height are lost.
      WriteMeasure(json, id, measured[i], ControlText(shown[i]), 0, 0, true);
    } else if (HasClass(shown[i], L"ComboBox")) {
      // The closed box shows the item beside its drop-down arrow.
      for (const std::wstring& item : ComboItems(shown[i]))
        WriteMeasure(json, id, measured[i], item, edge, GetSystemMetrics(SM_CXVSCROLL), false);
    }
  }
  json.EndArray();
}

}  // namespace

bool WriteTextFitReport(JsonWriter& json, HWND window, const std::wstring& modulePath) {
  InitCommonControls();  // the installer layout holds a progress bar
  TemplateCopy copy(modulePath, GetDlgItem(window, IDC_INSTALL) ? IDD_LAUNCHER : IDD_INSTALLER);
  json.BeginObject();
  json.Key("ok").Bool(copy.Dialog() != nullptr);
  if (copy.Dialog())
    MeasureWindow(json, window, copy.Dialog());
  else
    json.Key("error").String(std::string("the window's template could not be opened"));
  json.EndObject();
  return copy.Dialog() != nullptr;
}
