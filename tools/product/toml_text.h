// product.toml's text made safe for the TOML parser.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/diagnostics.h"

// toml++ 3.3 reaches an unreachable point (undefined behaviour) when it tests
// many non-ASCII characters for blanks: Latin-1 letters such as "é", Cyrillic,
// some CJK punctuation. It tests where a blank may stand: outside strings,
// and in a multi-line basic string after a line-ending backslash. So before
// parsing, every non-ASCII character in a basic string ("..." and """...""")
// becomes its \u or \U escape, which means the same; literal strings and
// comments are never tested and stay as they are; anywhere else a non-ASCII
// character is not TOML, and is refused here, as is a table header that
// does not start with a key, on which the parser asserts. Returns the text to parse, or
// nullopt with the refusal reported at "`where`:LINE:COLUMN".
std::optional<std::string> EscapeForTomlParser(std::string_view text, const std::string& where,
                                               Diagnostics& diagnostics);
