// Starting other programs and documents over shell32.
#include "platform/windows_include.h"
#include "platform/windows_platform.h"

namespace platform {

bool WindowsShell::Execute(const WString& verb, const WString& file, const WString& parameters,
                           const WString& directory, int showCommand) {
  HINSTANCE result = ShellExecuteW(nullptr, WideOrNull(verb), Wide(file), WideOrNull(parameters),
                                   WideOrNull(directory), showCommand);
  // Values above 32 mean success; the rest are error numbers.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

ProcessHandle WindowsShell::StartProcess(const WString& file, const WString& parameters,
                                         int showCommand) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = Wide(file);
  info.lpParameters = Wide(parameters);
  info.nShow = showCommand;
  if (!ShellExecuteExW(&info)) return nullptr;
  return info.hProcess;
}

}  // namespace platform
