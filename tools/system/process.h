// Runs the programs a build hands work to: a signing tool, the disc image
// maker. Each is found on PATH, its arguments are passed as they are (no
// shell), and what it prints goes to a log file that the caller shows when
// it fails.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct ProgramResult {
  bool started = false;  // false: the program was not found or not started
  int exitCode = -1;
};

// Runs `arguments` (UTF-8; the first names the program) and waits for it.
// Its standard output and error go to `log`. With `secret`, the program can
// read it from a pipe: every argument that is exactly "{secret}" is replaced
// by that pipe's path, so the secret never appears on a command line. Where
// SecretsSupported() is false, a run with a secret is not started.
ProgramResult RunProgram(const std::vector<std::string>& arguments,
                         const std::filesystem::path& log,
                         const std::optional<std::string>& secret = std::nullopt);

// What a program wrote to its log, ending in a newline when not empty: for
// the message of a failed run.
std::string ProgramLog(const std::filesystem::path& log);

// Whether RunProgram can hand a program a secret through a pipe path.
bool SecretsSupported();

// Whether `name` is a program on PATH (on Windows, with ".exe" added).
bool IsOnPath(const std::string& name);

// The path of the running executable.
std::filesystem::path RunningExecutable();
