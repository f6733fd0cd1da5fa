// Helpers shared by the fake layer's source files.
#pragma once

#include <cstdint>

#include "platform/text.h"

constexpr uint32_t kErrorInvalidHandle = 6;

// ASCII lower case: the fake compares names without case, as Windows does.
inline WString Lower(WString text) {
  for (auto& unit : text) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<WChar>(unit - u'A' + u'a');
  }
  return text;
}

// The fake's handles are small numbers.
inline void* AsHandle(uintptr_t value) { return reinterpret_cast<void*>(value); }
inline uintptr_t AsNumber(const void* handle) { return reinterpret_cast<uintptr_t>(handle); }
