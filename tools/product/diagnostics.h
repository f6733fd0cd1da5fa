// Errors and warnings about a product, each naming the file (and, for
// product.toml, the field) it is about, in the form build engineers know
// from compilers: "<where>: <message>" or "<where>: warning: <message>".
#pragma once

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

  bool HasErrors() const;
  const std::vector<Diagnostic>& All() const { return entries_; }

  // Every entry as one line, errors and warnings in the order they came.
  std::string Text() const;

 private:
  std::vector<Diagnostic> entries_;
};
