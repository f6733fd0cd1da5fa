// swapper.exe: a program of the same user that tries to swap the files an
// installer unpacks before the installer reads them.
//
//   swapper.exe WATCHED_FOLDER REPLACEMENT STOP_FILE REPORT
//
// Until STOP_FILE exists it walks the folders named CorvaneInstaller... that
// appear in WATCHED_FOLDER (the temporary folder) after it started, again and
// again, and on every file below them tries, in turn: to copy REPLACEMENT
// over it (CopyFileW), to move REPLACEMENT over it (MoveFileExW with
// MOVEFILE_REPLACE_EXISTING, from a copy beside STOP_FILE), to rename it
// (MoveFileExW) and to delete it (DeleteFileW); on every folder, to rename
// it. Once an msiexec.exe has run and no msiexec.exe runs any more, the
// package has been read, and so it stops on its own too: what the installer
// then removes is no longer worth swapping. It writes REPORT as JSON: the
// files and folders it saw, how many tries it made and every try that
// succeeded.
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "json_writer.h"

namespace {

// The entries of the watched folder when the swapper started: left over or
// planted, never an installer's of this run.
std::set<std::wstring> earlier;

struct Report {
  std::set<std::wstring> seen;
  long long tries = 0;
  std::vector<std::wstring> succeeded;

  void Try(const std::wstring& what, bool ok) {
    ++tries;
    if (ok) succeeded.push_back(what);
  }
};

void Attack(const std::wstring& folder, const std::wstring& replacement, const std::wstring& spare,
            Report& report, bool top) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> folders;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L".." || name.find(L".swapper") != std::wstring::npos) continue;
    // The installers' own, not msiexec's or anyone else's temporary files.
    if (top && (name.compare(0, 16, L"CorvaneInstaller") != 0 || earlier.count(name) != 0))
      continue;
    const std::wstring path = folder + L"\\" + name;
    report.seen.insert(path);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      folders.push_back(path);
      continue;
    }
    report.Try(L"CopyFileW over " + path, CopyFileW(replacement.c_str(), path.c_str(), FALSE) != 0);
    if (CopyFileW(replacement.c_str(), spare.c_str(), FALSE)) {
      report.Try(L"MoveFileExW over " + path,
                 MoveFileExW(spare.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0);
      DeleteFileW(spare.c_str());
    }
    const std::wstring renamed = path + L".renamed.swapper";
    report.Try(L"MoveFileExW renaming " + path, MoveFileExW(path.c_str(), renamed.c_str(), 0) != 0);
    report.Try(L"DeleteFileW " + path, DeleteFileW(path.c_str()) != 0);
  } while (FindNextFileW(find, &found));
  FindClose(find);
  for (const std::wstring& path : folders) {
    const std::wstring renamed = path + L".renamed.swapper";
    report.Try(L"MoveFileExW renaming folder " + path,
               MoveFileExW(path.c_str(), renamed.c_str(), 0) != 0);
    Attack(path, replacement, spare, report, false);
  }
}

bool MsiexecRuns() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W process;
  process.dwSize = sizeof(process);
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &process); more && !found;
       more = Process32NextW(snapshot, &process)) {
    found = _wcsicmp(process.szExeFile, L"msiexec.exe") == 0;
  }
  CloseHandle(snapshot);
  return found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: swapper.exe WATCHED_FOLDER REPLACEMENT STOP_FILE REPORT\n");
    return 2;
  }
  const std::wstring watched = argv[1], replacement = argv[2], stop = argv[3], reportPath = argv[4];
  Report report;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((watched + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do earlier.insert(found.cFileName);
    while (FindNextFileW(find, &found));
    FindClose(find);
  }
  bool msiexecSeen = false;
  while (GetFileAttributesW(stop.c_str()) == INVALID_FILE_ATTRIBUTES) {
    const bool msiexecRuns = MsiexecRuns();
    if (msiexecSeen && !msiexecRuns) break;
    msiexecSeen = msiexecSeen || msiexecRuns;
    Attack(watched, replacement, stop + L".spare", report, true);
  }

  JsonWriter json;
  json.BeginObject();
  json.Key("tries").Number(report.tries);
  json.Key("msiexec_seen").Bool(msiexecSeen);
  json.Key("seen").BeginArray();
  for (const std::wstring& path : report.seen) json.String(path);
  json.EndArray();
  json.Key("succeeded").BeginArray();
  for (const std::wstring& what : report.succeeded) json.String(what);
  json.EndArray();
  json.EndObject();
  FILE* out = _wfopen(reportPath.c_str(), L"wb");
  if (out == nullptr) return 1;
  std::fputs(json.Text().c_str(), out);
  std::fclose(out);
  return 0;
}
