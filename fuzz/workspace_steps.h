// How far a payload name reaches above the workspace, judged the way Windows
// may read it rather than the way the program means it: the yardstick the
// targets hold every name the program would write against.
#pragma once

#include <algorithm>
#include <cstddef>

#include "fuzz_check.h"
#include "platform/text.h"

inline bool IsSeparator(WChar unit) { return unit == u'\\' || unit == u'/'; }

// How many folders above the workspace `name` reaches at its deepest, taking
// every component of only dots and blanks with two dots or more as a step
// up, as Windows may (it drops trailing dots and blanks).
inline int StepsAboveWorkspace(const WString& name) {
  int depth = 0;
  int lowest = 0;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const WString part = name.substr(start, end - start);
    const bool onlyDotsAndBlanks = part.find_first_not_of(u". ") == WString::npos;
    const size_t dots = static_cast<size_t>(std::count(part.begin(), part.end(), u'.'));
    if (onlyDotsAndBlanks && dots >= 2) {
      --depth;
    } else if (!part.empty() && !(onlyDotsAndBlanks && dots == 1)) {
      ++depth;
    }
    if (depth < lowest) lowest = depth;
    start = end + 1;
  }
  return -lowest;
}

// What a name the program accepts (payload::ItemNameProblem) must hold: it is
// relative, names no drive or stream, and never climbs out.
inline void CheckLandsInsideWorkspace(const WString& name) {
  FUZZ_CHECK(!name.empty() && !IsSeparator(name.front()));
  FUZZ_CHECK(name.find(u':') == WString::npos);
  FUZZ_CHECK(StepsAboveWorkspace(name) == 0);
}
