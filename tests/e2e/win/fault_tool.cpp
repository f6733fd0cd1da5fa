// fault_tool: prepares the faults of the installation scenarios from inside
// the Wine prefix, where the system's own answers are the ones the launcher
// will meet. Prints one JSON object.
//
//   fault_tool error-text CODE          the system's description of CODE, as
//                                       FormatMessageW gives it to the launcher
//   fault_tool remove-resource FILE ID  removes raw-data resource ID (in every
//                                       language) from the exe FILE
//
// Exit code 0 when the command succeeded, 1 when it failed, 2 for a
// malformed command line.

#include "json_writer.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

int Report(bool ok, const char* key, const std::wstring& value) {
    JsonWriter json;
    json.BeginObject();
    json.Key("ok"); json.Bool(ok);
    json.Key(key); json.String(value);
    json.EndObject();
    std::string line = json.Text() + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return ok ? 0 : 1;
}

int Fail(const std::wstring& what) {
    return Report(false, "error", what + L" failed with error " + std::to_wstring(GetLastError()));
}

int ErrorText(DWORD code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || !text) return Fail(L"FormatMessageW");
    std::wstring description(text, length);
    LocalFree(text);
    return Report(true, "text", description);
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) {
    reinterpret_cast<std::vector<WORD>*>(context)->push_back(language);
    return TRUE;
}

// The languages the resource exists in: an update removes one language's
// copy at a time.
std::vector<WORD> ResourceLanguages(const std::wstring& file, WORD id) {
    std::vector<WORD> languages;
    HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return languages;
    EnumResourceLanguagesW(module, MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(id), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    FreeLibrary(module);
    return languages;
}

int RemoveResource(const std::wstring& file, WORD id) {
    std::vector<WORD> languages = ResourceLanguages(file, id);
    if (languages.empty()) return Report(false, "error", L"the file has no raw-data resource " + std::to_wstring(id));
    HANDLE update = BeginUpdateResourceW(file.c_str(), FALSE);
    if (!update) return Fail(L"BeginUpdateResourceW");
    for (WORD language : languages) {
        if (!UpdateResourceW(update, MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(id), language, nullptr, 0)) {
            DWORD error = GetLastError();
            EndUpdateResourceW(update, TRUE);
            SetLastError(error);
            return Fail(L"UpdateResourceW");
        }
    }
    if (!EndUpdateResourceW(update, FALSE)) return Fail(L"EndUpdateResourceW");
    return Report(true, "removed", std::to_wstring(languages.size()) + L" language(s)");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"error-text" && argc == 3) return ErrorText(wcstoul(argv[2], nullptr, 10));
    if (command == L"remove-resource" && argc == 4)
        return RemoveResource(argv[2], static_cast<WORD>(wcstoul(argv[3], nullptr, 10)));
    Report(false, "error", L"usage: fault_tool error-text CODE | remove-resource FILE ID");
    return 2;
}
