#include "base/diagnostics.h"

#include <algorithm>
#include <utility>

void Diagnostics::Error(std::string where, std::string message) {
  entries_.push_back({true, std::move(where), std::move(message)});
}

void Diagnostics::Warning(std::string where, std::string message) {
  entries_.push_back({false, std::move(where), std::move(message)});
}

size_t Diagnostics::ErrorCount() const {
  return static_cast<size_t>(std::count_if(entries_.begin(), entries_.end(),
                                           [](const Diagnostic& entry) { return entry.isError; }));
}

std::string Diagnostics::Text() const {
  std::string text;
  for (const Diagnostic& entry : entries_) {
    text += entry.where + (entry.isError ? ": " : ": warning: ") + entry.message + "\n";
  }
  return text;
}
