#include <windows.h>

#include <vector>

#include "system/process.h"
#include "system/wide_text.h"

namespace {

// A kernel handle, closed when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  ~Handle() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// One argument as the C runtime's command-line parser reads it back:
// quoted when it holds a space, a tab or a quote, with the backslashes
// before a quote (and before the closing quote) doubled.
void AppendQuoted(const std::wstring& argument, std::wstring* line) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
    *line += argument;
    return;
  }
  *line += L'"';
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') backslashes = backslashes * 2 + 1;
    line->append(backslashes, L'\\');
    backslashes = 0;
    *line += c;
  }
  line->append(backslashes * 2, L'\\');
  *line += L'"';
}

}  // namespace

// Windows has no path through which a child reads an inherited pipe; the
// PKCS#12 form of signing, which needs one, is for hosts that have it.
bool SecretsSupported() { return false; }

ProgramResult RunProgram(const std::vector<std::string>& arguments,
                         const std::filesystem::path& log,
                         const std::optional<std::string>& secret) {
  ProgramResult result;
  if (arguments.empty() || secret) return result;
  std::wstring commandLine;
  for (const std::string& argument : arguments) {
    if (!commandLine.empty()) commandLine += L' ';
    AppendQuoted(Utf8ToWide(argument), &commandLine);
  }
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  // Shared every way: a program that started programs of its own may leave
  // them holding the log for a moment after it ends.
  Handle output(CreateFileW(log.wstring().c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!output.Valid()) return result;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output.Get();
  startup.hStdError = output.Get();
  PROCESS_INFORMATION process = {};
  std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back(L'\0');
  // No application name: the system finds the program as a command line
  // would, on PATH, with ".exe" added.
  if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process))
    return result;
  Handle processHandle(process.hProcess);
  Handle threadHandle(process.hThread);
  WaitForSingleObject(processHandle.Get(), INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(processHandle.Get(), &exitCode);
  result.started = true;
  // An NTSTATUS (a crash) as a code of its own, never as 0.
  result.exitCode = exitCode > 255 ? 255 : static_cast<int>(exitCode);
  return result;
}

bool IsOnPath(const std::string& name) {
  wchar_t found[MAX_PATH];
  return SearchPathW(nullptr, Utf8ToWide(name).c_str(), L".exe", MAX_PATH, found, nullptr) != 0;
}

std::filesystem::path RunningExecutable() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::filesystem::path();
    if (length < buffer.size()) return std::filesystem::path(std::wstring(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}
