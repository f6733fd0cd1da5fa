// What a product folder reaches outside itself. The tool trusts a product
// folder as make trusts a makefile: it reads what product.toml names and
// what the payload's links lead to, wherever that is, and says so, so that
// a machine that builds others' product folders sees what they take.
#pragma once

#include <filesystem>

// Whether `path`, with every link resolved, lies outside `folder`.
bool LiesOutside(const std::filesystem::path& path, const std::filesystem::path& folder);
