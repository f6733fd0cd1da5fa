// Errors and warnings about a product and its build, each naming the file
// (and, for product.toml, the field) it is about, in the form build
// engineers know from compilers: "<where>: <message>" or
// "<where>: warning: <message>".
//
// The tool's one way to fail: a step that can fail returns false (or an
// empty optional) and has reported why here, so that a run reports every
// problem it found, not only the first.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct Diagnostic {
  bool isError = false;
  std::string where;  // "<path>/product.toml: <field>" or a file's path
  std::string message;
};

class Diagnostics {
 public:
  void Error(std::string where, std::string message);
  void Warning(std::string where, std::string message);

  bool HasErrors() const { return ErrorCount() > 0; }
  size_t ErrorCount() const;
  const std::vector<Diagnostic>& All() const { return entries_; }

  // Every entry as one line, errors and warnings in the order they came.
  std::string Text() const;

 private:
  std::vector<Diagnostic> entries_;
};
