#include "window_finder.h"

#include <cwctype>

namespace {

std::wstring ProcessExeName(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return {};
  wchar_t path[MAX_PATH * 2];
  DWORD size = MAX_PATH * 2;
  std::wstring name;
  if (QueryFullProcessImageNameW(process, 0, path, &size)) {
    name.assign(path, size);
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
  }
  CloseHandle(process);
  return name;
}

bool SameTextIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

struct Search {
  const WindowQuery* query;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectMatchingDialog(HWND window, LPARAM context) {
  Search& search = *reinterpret_cast<Search*>(context);
  if (WindowClassName(window) != L"#32770") return TRUE;
  if (!search.query->title.empty() && WindowTitle(window) != search.query->title) return TRUE;
  if (!search.query->exeName.empty()) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (!SameTextIgnoringCase(ProcessExeName(processId), search.query->exeName)) return TRUE;
  }
  search.found.push_back(window);
  return TRUE;
}

}  // namespace

std::wstring WindowClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring WindowTitle(HWND window) {
  wchar_t title[1024] = {};
  GetWindowTextW(window, title, 1024);
  return title;
}

std::vector<HWND> FindDialogs(const WindowQuery& query) {
  Search search{&query, {}};
  EnumWindows(CollectMatchingDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool IsMessageBox(HWND dialog) {
  bool hasButton = false;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!SameTextIgnoringCase(WindowClassName(child), L"Button")) continue;
    int id = GetDlgCtrlID(child);
    if (id < IDOK || id > IDCONTINUE) return false;
    hasButton = true;
  }
  return hasButton;
}

HWND FindMainDialog(const WindowQuery& query) {
  for (HWND dialog : FindDialogs(query))
    if (!IsMessageBox(dialog)) return dialog;
  return nullptr;
}

std::vector<HWND> FindMessageBoxes(const WindowQuery& query) {
  std::vector<HWND> boxes;
  for (HWND dialog : FindDialogs(query))
    if (IsMessageBox(dialog)) boxes.push_back(dialog);
  return boxes;
}
