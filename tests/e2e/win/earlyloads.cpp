// earlyloads.exe: the launcher's static imports and nothing else. Without
// arguments it returns at once, so the DLLs loaded while it runs are the ones
// the loader itself brings in before any program code runs (Wine's own system
// DLLs pull in a few of theirs from the program's folder). With
// "load NAME..." it loads those DLLs the unrestricted way, as a program that
// forgot to restrict its DLL search would.

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  // The arguments hold no blanks; the launcher imports no shell32 to split
  // them, and neither does this.
  std::wistringstream words(commandLine);
  std::vector<std::wstring> args;
  for (std::wstring word; words >> word;) args.push_back(word);
  if (!args.empty() && args[0] == L"load") {
    for (size_t i = 1; i < args.size(); ++i) LoadLibraryW(args[i].c_str());
  }
  // Keep the imports the launcher has: advapi32, user32 and gdi32 as well.
  HKEY key = nullptr;
  if (args.size() > 1000 &&
      RegOpenKeyExW(HKEY_CURRENT_USER, L"", 0, KEY_READ, &key) == ERROR_SUCCESS)
    RegCloseKey(key);
  if (args.size() > 1000) MessageBoxW(nullptr, L"", L"", MB_OK);
  if (args.size() > 1000) GetStockObject(WHITE_BRUSH);
  return 0;
}
