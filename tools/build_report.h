// The product's part of OUT_DIR/build-report.json: what the build read and
// decided. scripts/build-product adds the outputs with their sizes and
// SHA-256 digests once they are final.
#pragma once

#include <string>
#include <vector>

#include "diagnostics.h"
#include "package_transforms.h"
#include "payload_files.h"

// The product tool's version, reported so that a release can tell which
// tool built it.
constexpr const char* kProductToolVersion = "1.2.0";

// A JSON object: tool_version, languages (each configured LCID with its
// culture code and name), first_entry, needed_transforms, payload_files
// (names and sizes) and warnings.
std::string ProductReportJson(const LanguagePlan& plan, const std::vector<PayloadFile>& payload,
                              const Diagnostics& diagnostics);
