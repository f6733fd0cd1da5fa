#include "product/outside_paths.h"

namespace fs = std::filesystem;

bool LiesOutside(const fs::path& path, const fs::path& folder) {
  std::error_code error;
  const fs::path resolved = fs::weakly_canonical(fs::absolute(path, error), error);
  if (error) return false;
  const fs::path resolvedFolder = fs::weakly_canonical(fs::absolute(folder, error), error);
  if (error) return false;
  const fs::path inside = resolved.lexically_relative(resolvedFolder);
  return inside.empty() || *inside.begin() == "..";
}
