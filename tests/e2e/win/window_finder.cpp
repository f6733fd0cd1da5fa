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
  const std::wstring* exeName;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectMatchingDialog(HWND window, LPARAM context) {
  Search& search = *reinterpret_cast<Search*>(context);
  if (WindowClassName(window) != L"#32770") return TRUE;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (SameTextIgnoringCase(ProcessExeName(processId), *search.exeName))
    search.found.push_back(window);
  return TRUE;
}

std::vector<HWND> FindDialogs(const std::wstring& exeName) {
  Search search{&exeName, {}};
  EnumWindows(CollectMatchingDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A message box is a dialog whose buttons are all standard answers
// (IDOK to IDCONTINUE); the launcher's own layouts never are.
bool IsMessageBox(HWND dialog) {
  bool hasButton = false;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!HasClass(child, L"Button")) continue;
    int id = GetDlgCtrlID(child);
    if (id < IDOK || id > IDCONTINUE) return false;
    hasButton = true;
  }
  return hasButton;
}

}  // namespace

std::wstring WindowClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

bool HasClass(HWND window, const wchar_t* className) {
  return SameTextIgnoringCase(WindowClassName(window), className);
}

std::wstring WindowTitle(HWND window) {
  wchar_t title[1024] = {};
  GetWindowTextW(window, title, 1024);
  return title;
}

HWND FindMainDialog(const std::wstring& exeName) {
  for (HWND dialog : FindDialogs(exeName))
    if (!IsMessageBox(dialog)) return dialog;
  return nullptr;
}

std::vector<HWND> FindMessageBoxes(const std::wstring& exeName) {
  std::vector<HWND> boxes;
  for (HWND dialog : FindDialogs(exeName))
    if (IsMessageBox(dialog)) boxes.push_back(dialog);
  return boxes;
}

bool WaitFor(DWORD timeoutMs, const std::function<bool()>& condition) {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(50);
  }
}

HWND WaitForReadyDialog(const std::wstring& exeName, DWORD timeoutMs) {
  HWND dialog = nullptr;
  WaitFor(timeoutMs, [&] {
    dialog = FindMainDialog(exeName);
    DWORD_PTR ignored = 0;
    return dialog && SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored);
  });
  return dialog;
}
