#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "system/process.h"

extern char** environ;

namespace {

// A file descriptor, closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  int* Out() { return &fd_; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* Get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

// The secret, written whole into a pipe whose reading end the program
// inherits. A password is far smaller than a pipe's buffer, so the write
// does not wait for the reader.
bool MakeSecretPipe(const std::string& secret, Descriptor* readEnd) {
  int ends[2];
  if (pipe(ends) != 0) return false;
  Descriptor writeEnd(ends[1]);
  *readEnd->Out() = ends[0];
  // The write end must not reach the program, or it would never see the end.
  fcntl(writeEnd.Get(), F_SETFD, FD_CLOEXEC);
  size_t written = 0;
  while (written < secret.size()) {
    const ssize_t count = write(writeEnd.Get(), secret.data() + written, secret.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    written += static_cast<size_t>(count);
  }
  return true;
}

}  // namespace

bool SecretsSupported() { return true; }

ProgramResult RunProgram(const std::vector<std::string>& arguments,
                         const std::filesystem::path& log,
                         const std::optional<std::string>& secret) {
  ProgramResult result;
  if (arguments.empty()) return result;
  Descriptor secretPipe;
  std::vector<std::string> passed = arguments;
  if (secret) {
    if (!MakeSecretPipe(*secret, &secretPipe)) return result;
    for (std::string& argument : passed)
      if (argument == "{secret}") argument = "/dev/fd/" + std::to_string(secretPipe.Get());
  }
  std::vector<char*> argv;
  for (std::string& argument : passed) argv.push_back(argument.data());
  argv.push_back(nullptr);

  SpawnActions actions;
  posix_spawn_file_actions_addopen(actions.Get(), STDOUT_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(actions.Get(), STDOUT_FILENO, STDERR_FILENO);
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], actions.Get(), nullptr, argv.data(), environ) != 0)
    return result;
  secretPipe.Close();
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return result;
  }
  result.started = true;
  // A program ended by a signal counts as failed, with the shell's number.
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  // posix_spawnp reports a program it cannot run as exit 127 of the child.
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && !IsOnPath(arguments[0]))
    result.started = false;
  return result;
}

bool IsOnPath(const std::string& name) {
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = end > start ? folders.substr(start, end - start) : ".";
    if (access((folder + "/" + name).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

std::filesystem::path RunningExecutable() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error);
}
