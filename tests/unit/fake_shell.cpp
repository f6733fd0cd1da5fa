// The fake shell: every start is recorded; started processes run for a set
// number of polls.
#include "fake_platform.h"
#include "fake_support.h"

bool FakeShell::Execute(const WString& verb, const WString& file, const WString& parameters,
                        const WString& directory, int showCommand) {
  executed.push_back({verb, file, parameters, directory, showCommand});
  return !world_.Enter("ShellExecuteW");
}

platform::ProcessHandle FakeShell::StartProcess(const WString& file, const WString& parameters,
                                                const WString& directory, int showCommand) {
  started.push_back({WString(), file, parameters, directory, showCommand});
  if (world_.Enter("ShellExecuteExW")) return nullptr;
  const uintptr_t handle = nextHandle_++;
  running[handle] = pollsUntilExit;
  return AsHandle(handle);
}
