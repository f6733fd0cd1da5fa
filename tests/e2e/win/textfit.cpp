// textfit: tells whether each text of the launcher's window fits its control,
// so that no label is cut off in any language. Prints one JSON object.
//
//   textfit --exe NAME --module PATH [--timeout MS]
//
// NAME finds the running window; PATH is the same exe, whose dialog template
// is opened here once more, hidden. The dialog manager gives that copy the
// very font and control sizes of the window, and the texts are measured with
// them in this process (a font handle cannot cross processes).
//
// Exit code 0 when the measurement was made (whether or not everything fits),
// 1 when it could not be made, 2 for a malformed command line.

#include "json_writer.h"
#include "window_finder.h"

#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

const int kLauncherTemplate = 145;
const int kInstallerTemplate = 129;
const int kInstallButtonId = 1006;
const DWORD kStyleOffset = 12;  // DLGTEMPLATEEX: dlgVer, signature, helpID, exStyle, style
const UINT kAnswerLimitMs = 5000;


struct Options {
    std::wstring exeName;
    std::wstring modulePath;
    DWORD timeoutMs = 30000;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        std::wstring arg = argv[i];
        if (arg == L"--exe") options.exeName = argv[i + 1];
        else if (arg == L"--module") options.modulePath = argv[i + 1];
        else if (arg == L"--timeout") options.timeoutMs = wcstoul(argv[i + 1], nullptr, 10);
        else return false;
    }
    return !options.exeName.empty() && !options.modulePath.empty();
}

std::wstring RemoteText(HWND control) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerLimitMs, &length))
        return {};
    std::vector<wchar_t> text(length + 1, L'\0');
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        kAnswerLimitMs, &ignored);
    return text.data();
}

std::vector<std::wstring> RemoteComboItems(HWND combo) {
    std::vector<std::wstring> items;
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kAnswerLimitMs, &count)) return items;
    for (DWORD_PTR i = 0; i < count && static_cast<LONG_PTR>(count) > 0; ++i) {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kAnswerLimitMs, &length);
        std::vector<wchar_t> item(length + 1, L'\0');
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()), SMTO_ABORTIFHUNG,
                            kAnswerLimitMs, &ignored);
        items.push_back(item.data());
    }
    return items;
}

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
        HRSRC resource = FindResourceW(module_, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5));  // RT_DIALOG
        HGLOBAL loaded = resource ? LoadResource(module_, resource) : nullptr;
        const BYTE* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
        DWORD size = resource ? SizeofResource(module_, resource) : 0;
        if (!bytes || size < kStyleOffset + sizeof(DWORD)) return;
        // DWORD-aligned, as the dialog manager wants its template.
        std::vector<DWORD> copy((size + sizeof(DWORD) - 1) / sizeof(DWORD));
        memcpy(copy.data(), bytes, size);
        DWORD style = 0;
        memcpy(&style, reinterpret_cast<BYTE*>(copy.data()) + kStyleOffset, sizeof style);
        style &= ~static_cast<DWORD>(WS_VISIBLE);
        memcpy(reinterpret_cast<BYTE*>(copy.data()) + kStyleOffset, &style, sizeof style);
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

struct Measure {
    SIZE needed = {};
    SIZE available = {};
    bool Fits() const { return needed.cx <= available.cx && needed.cy <= available.cy; }
};

// Lays `text` out in `control` the way the control draws it.
Measure MeasureText(HWND control, const std::wstring& text, int margin, int sideReserve, bool wraps) {
    Measure measure;
    RECT client = {};
    GetClientRect(control, &client);
    measure.available.cx = client.right - client.left - 2 * margin - sideReserve;
    measure.available.cy = client.bottom - client.top - 2 * margin;
    HDC dc = GetDC(control);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT layout = {0, 0, measure.available.cx, 0};
    UINT flags = DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &layout, flags);
    SelectObject(dc, oldFont);
    ReleaseDC(control, dc);
    measure.needed.cx = layout.right - layout.left;
    measure.needed.cy = layout.bottom - layout.top;
    return measure;
}

void WriteSize(JsonWriter& json, const SIZE& size) {
    json.BeginArray();
    json.Number(size.cx);
    json.Number(size.cy);
    json.EndArray();
}

void WriteMeasure(JsonWriter& json, int id, const std::wstring& text, const Measure& measure) {
    json.BeginObject();
    json.Key("id"); json.Number(id);
    json.Key("text"); json.String(text);
    json.Key("needed"); WriteSize(json, measure.needed);
    json.Key("available"); WriteSize(json, measure.available);
    json.Key("fits"); json.Bool(measure.Fits());
    json.EndObject();
}

bool IsClass(HWND window, const wchar_t* name) {
    return CompareStringOrdinal(WindowClassName(window).c_str(), -1, name, -1, TRUE) == CSTR_EQUAL;
}

// Each labelled control of the window, measured in its counterpart of the copy.
void MeasureWindow(JsonWriter& json, HWND window, HWND copy) {
    std::vector<HWND> shown = Children(window);
    std::vector<HWND> measured = Children(copy);
    json.BeginArray();
    for (size_t i = 0; i < shown.size() && i < measured.size(); ++i) {
        int id = static_cast<short>(GetDlgCtrlID(shown[i]));
        LONG style = GetWindowLongW(shown[i], GWL_STYLE);
        if (IsClass(shown[i], L"Button") && (style & BS_TYPEMASK) != BS_GROUPBOX) {
            std::wstring text = RemoteText(shown[i]);
            // The label is clipped to what the button's 3D frame leaves free.
            WriteMeasure(json, id, text,
                         MeasureText(measured[i], text, GetSystemMetrics(SM_CXEDGE), 0, (style & BS_MULTILINE) != 0));
        } else if (IsClass(shown[i], L"Static") && (style & SS_TYPEMASK) == SS_LEFT) {
            // A left-aligned static wraps its words; lines beyond its height are lost.
            std::wstring text = RemoteText(shown[i]);
            WriteMeasure(json, id, text, MeasureText(measured[i], text, 0, 0, true));
        } else if (IsClass(shown[i], L"ComboBox")) {
            // The closed box shows the item beside its drop-down arrow.
            for (const std::wstring& item : RemoteComboItems(shown[i]))
                WriteMeasure(json, id, item,
                             MeasureText(measured[i], item, GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CXVSCROLL),
                                         false));
        }
    }
    json.EndArray();
}

int Fail(const std::string& error) {
    JsonWriter json;
    json.BeginObject();
    json.Key("ok"); json.Bool(false);
    json.Key("error"); json.String(error);
    json.EndObject();
    PrintJsonLine(json);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Fail("usage: textfit --exe NAME --module PATH [--timeout MS]");
        return 2;
    }
    InitCommonControls();  // the installer layout holds a progress bar

    HWND window = nullptr;
    ULONGLONG deadline = GetTickCount64() + options.timeoutMs;
    while (!(window = FindMainDialog(WindowQuery{options.exeName, L""})) && GetTickCount64() < deadline) Sleep(50);
    if (!window) return Fail("no launcher window appeared");

    int templateId = GetDlgItem(window, kInstallButtonId) ? kLauncherTemplate : kInstallerTemplate;
    TemplateCopy copy(options.modulePath, templateId);
    if (!copy.Dialog()) return Fail("the window's template could not be opened from the module");

    JsonWriter json;
    json.BeginObject();
    json.Key("ok"); json.Bool(true);
    json.Key("controls");
    MeasureWindow(json, window, copy.Dialog());
    json.EndObject();
    PrintJsonLine(json);
    return 0;
}
