// OUT_DIR/build-report.json: what the build read and decided, and every
// output with its size and SHA-256 digest, so that a release can tell what
// it ships and which tool made it.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "product/language_plan.h"
#include "product/payload_files.h"

// Keys stay in the order they are written, which is the order a reader
// expects them in.
using Json = nlohmann::ordered_json;

// The product's part: tool_version, languages (each configured LCID with
// its culture code and name), first_entry, needed_transforms, payload_files
// (names and sizes) and warnings.
Json ProductReport(const LanguagePlan& plan, const std::vector<PayloadFile>& payload,
                   const Diagnostics& diagnostics);

struct OutputFile {
  std::string file;  // relative to OUT_DIR, "/" between folders
  uint64_t size = 0;
  std::string sha256;
};

// The whole report: architecture, signed, product, outputs; with a final
// newline.
std::string BuildReportText(const std::string& architecture, bool isSigned, const Json& product,
                            const std::vector<OutputFile>& outputs);
