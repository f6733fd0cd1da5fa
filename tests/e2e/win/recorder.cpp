// recorder.exe: stands in for the programs the launcher starts (the game, the
// shell's handlers). It appends one JSON line with its command line, current
// folder and the titles of the visible top-level windows at its start to the
// file named by RECORDER_LOG, or to recorder.log beside itself.

#include <windows.h>

#include <string>
#include <vector>

#include "json_writer.h"

namespace {

std::wstring LogPath() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(L"RECORDER_LOG", path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return path;
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring beside = path;
  return beside.substr(0, beside.find_last_of(L"\\/") + 1) + L"recorder.log";
}

BOOL CALLBACK AddVisibleTitle(HWND window, LPARAM titles) {
  if (!IsWindowVisible(window)) return TRUE;
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  if (title[0]) reinterpret_cast<std::vector<std::wstring>*>(titles)->push_back(title);
  return TRUE;
}

// What was on the screen when this program started: shows, for example,
// whether the launcher's window was already gone when it started the game.
std::vector<std::wstring> VisibleWindowTitles() {
  std::vector<std::wstring> titles;
  EnumWindows(AddVisibleTitle, reinterpret_cast<LPARAM>(&titles));
  return titles;
}

}  // namespace

int wmain() {
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  JsonWriter json;
  json.BeginObject();
  json.Key("command_line").String(std::wstring(GetCommandLineW()));
  json.Key("current_folder").String(std::wstring(folder));
  json.Key("visible_windows").BeginArray();
  for (const std::wstring& title : VisibleWindowTitles()) json.String(title);
  json.EndArray();
  json.EndObject();
  std::string line = json.Text() + "\n";

  HANDLE log = CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  BOOL ok = WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(log);
  return ok ? 0 : 1;
}
