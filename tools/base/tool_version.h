// The tool's version: in the build report, in --version, and in the
// prebuilt files, which must match it (command/kit.h).
#pragma once

// Set by the build from the repository's VERSION file.
#ifndef DISC_LAUNCHER_VERSION
#error "DISC_LAUNCHER_VERSION must be defined by the build"
#endif
constexpr const char* kToolVersion = DISC_LAUNCHER_VERSION;
