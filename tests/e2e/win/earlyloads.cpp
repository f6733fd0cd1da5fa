// earlyloads.exe: the launcher's static imports and nothing else. Without
// arguments it returns at once, so the DLLs loaded while it runs are the ones
// the loader itself brings in before any program code runs (Wine's own system
// DLLs pull in a few of theirs from the program's folder). With
// "load NAME..." it loads those DLLs the unrestricted way, as a program that
// forgot to restrict its DLL search would.

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc >= 2 && std::wcscmp(argv[1], L"load") == 0) {
    for (int i = 2; i < argc; ++i) LoadLibraryW(argv[i]);
  }
  // Keep the imports the launcher has: advapi32 and user32 as well.
  HKEY key = nullptr;
  if (argc < 0 && RegOpenKeyExW(HKEY_CURRENT_USER, L"", 0, KEY_READ, &key) == ERROR_SUCCESS)
    RegCloseKey(key);
  if (argc < 0) MessageBoxW(nullptr, L"", L"", MB_OK);
  LocalFree(argv);
  return 0;
}
