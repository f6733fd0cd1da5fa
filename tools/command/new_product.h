// disc-launcher new: a starter product for a build engineer to edit, which
// builds as it is into a disc that installs in each of its languages.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/diagnostics.h"

// Writes into `dir`, which must not exist yet: product.toml with a comment
// on every key, placeholder art in every size and an icon, a disc folder
// with a readme in each language's documentation folder, a package source
// (package/game.wxs) with a placeholder game, an empty payload folder and a
// README.txt with the commands that build it. `written` gets the files made.
// False, with the reason reported, when `dir` exists or cannot be written.
bool WriteStarterProduct(const std::filesystem::path& dir, std::vector<std::string>* written,
                         Diagnostics& diagnostics);
