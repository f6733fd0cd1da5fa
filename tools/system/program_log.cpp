#include <fstream>
#include <iterator>

#include "system/process.h"

std::string ProgramLog(const std::filesystem::path& log) {
  std::ifstream in(log, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!text.empty() && text.back() != '\n') text += '\n';
  return text;
}
