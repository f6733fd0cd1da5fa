/* The demo game: a window-less program that says which game it stands for,
   so that Play on the demo disc has something to start. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
  (void)instance, (void)previous, (void)commandLine, (void)show;
  MessageBoxW(NULL, L"Skyforge 2: Iron Vale would start here.", L"Skyforge 2", MB_OK | MB_ICONINFORMATION);
  return 0;
}
