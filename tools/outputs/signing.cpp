#include "outputs/signing.h"

#include <cstdlib>
#include <vector>

#include "system/process.h"

namespace fs = std::filesystem;

namespace {

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::string SignWithPkcs12(const fs::path& exe, const SigningSettings& signing,
                           const fs::path& log) {
  const std::string name = exe.filename().string();
  if (!SecretsSupported())
    return "signing " + name +
           ": the pkcs12 form needs osslsigncode and a pipe for the password, which this "
           "system lacks; sign with the command form (signtool) instead";
  const char* password = std::getenv(signing.passwordEnv.c_str());
  if (password == nullptr)
    return "signing " + name + ": the password variable " + signing.passwordEnv + " is not set";
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
    return "signing " + name + ": osslsigncode could not be started (is it installed?)";
  std::error_code error;
  if (result.exitCode != 0) {
    fs::remove(signedExe, error);
    return ProgramLog(log) + "signing " + name + " failed (osslsigncode exited with " +
           std::to_string(result.exitCode) + ")";
  }
  fs::rename(signedExe, exe, error);
  if (error) return "signing " + name + ": " + error.message();
  return std::string();
}

std::string SignWithCommand(const fs::path& exe, const SigningSettings& signing,
                            const fs::path& log) {
  std::vector<std::string> arguments;
  for (const std::string& argument : signing.command)
    arguments.push_back(ReplaceAll(argument, "{file}", exe.string()));
  const ProgramResult result = RunProgram(arguments, log);
  const std::string name = exe.filename().string();
  if (!result.started)
    return "the signing command " + arguments.front() + " could not be started for " + name;
  if (result.exitCode != 0)
    return ProgramLog(log) + "the signing command failed for " + name + " (exit code " +
           std::to_string(result.exitCode) + ")";
  return std::string();
}

}  // namespace

std::string SignExe(const fs::path& exe, const SigningSettings& signing,
                    const fs::path& logFolder) {
  const fs::path log = logFolder / ("sign-" + exe.filename().string() + ".log");
  return signing.pkcs12 ? SignWithPkcs12(exe, signing, log) : SignWithCommand(exe, signing, log);
}
