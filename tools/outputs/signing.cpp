#include "outputs/signing.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "system/process.h"

namespace fs = std::filesystem;

namespace {

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// A failure is a sentence of its own that names the exe, after what the
// signing program printed.
bool Failed(const std::string& sentence, Diagnostics& diagnostics) {
  diagnostics.Error("disc-launcher", sentence);
  return false;
}

bool SignWithPkcs12(const fs::path& exe, const SigningSettings& signing, const fs::path& log,
                    Diagnostics& diagnostics) {
  const std::string name = exe.filename().string();
  if (!SecretsSupported())
    return Failed("signing " + name +
                      ": the pkcs12 form needs osslsigncode and a pipe for the password, which "
                      "this system lacks; sign with the command form (signtool) instead",
                  diagnostics);
  const char* password = std::getenv(signing.passwordEnv.c_str());
  if (password == nullptr)
    return Failed(
        "signing " + name + ": the password variable " + signing.passwordEnv + " is not set",
        diagnostics);
  const fs::path signedExe = exe.string() + ".signed";
  std::vector<std::string> arguments = {
      "osslsigncode", "sign",     "-pkcs12", signing.pkcs12->string(),
      "-readpass",    "{secret}", "-h",      "sha256"};
  if (!signing.timestampUrl.empty()) {
    arguments.push_back("-ts");
    arguments.push_back(signing.timestampUrl);
  }
  arguments.insert(arguments.end(), {"-in", exe.string(), "-out", signedExe.string()});
  const ProgramResult result = RunProgram(arguments, log, std::string(password));
  if (!result.started)
    return Failed("signing " + name + ": osslsigncode could not be started (is it installed?)",
                  diagnostics);
  std::error_code error;
  if (result.exitCode != 0) {
    fs::remove(signedExe, error);
    return Failed(ProgramLog(log) + "signing " + name + " failed (osslsigncode exited with " +
                      std::to_string(result.exitCode) + ")",
                  diagnostics);
  }
  fs::rename(signedExe, exe, error);
  if (error) return Failed("signing " + name + ": " + error.message(), diagnostics);
  return true;
}

bool SignWithCommand(const fs::path& exe, const SigningSettings& signing, const fs::path& log,
                     Diagnostics& diagnostics) {
  std::vector<std::string> arguments;
  for (const std::string& argument : signing.command)
    arguments.push_back(ReplaceAll(argument, "{file}", exe.string()));
  const ProgramResult result = RunProgram(arguments, log);
  const std::string name = exe.filename().string();
  if (!result.started)
    return Failed("the signing command " + arguments.front() + " could not be started for " + name,
                  diagnostics);
  if (result.exitCode != 0)
    return Failed(ProgramLog(log) + "the signing command failed for " + name + " (exit code " +
                      std::to_string(result.exitCode) + ")",
                  diagnostics);
  return true;
}

}  // namespace

bool SignExe(const fs::path& exe, const SigningSettings& signing, const fs::path& logFolder,
             Diagnostics& diagnostics) {
  const fs::path log = logFolder / ("sign-" + exe.filename().string() + ".log");
  return signing.pkcs12 ? SignWithPkcs12(exe, signing, log, diagnostics)
                        : SignWithCommand(exe, signing, log, diagnostics);
}
