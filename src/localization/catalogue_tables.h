// The compiled-in language tables behind GetLocalizedString.
#pragma once

#include <cstddef>
#include <cstdint>

#include "localization/catalogue.h"
#include "platform/text.h"

constexpr size_t kStringCount = 17;

// One language's texts, indexed by StringId. The STR_SORT_KEY slot holds the
// key's decimal text so that every slot can be handed out as text; the key
// itself, which orders the language list, is `sortKey`.
struct LanguageStrings {
  const WChar* texts[kStringCount];
  uint32_t sortKey;
};

// The tables in storage order, which is also the order of their sort keys.
enum LanguageTable : size_t {
  kEnglishTable,
  kFrenchTable,
  kItalianTable,
  kGermanTable,
  kSpanishTable,
  kDanishTable,
  kSwedishTable,
  kDutchTable,
  kNorwegianTable,
  kBrazilianPortugueseTable,
  kRussianTable,
  kPolishTable,
  kCzechTable,
  kHungarianTable,
  kJapaneseTable,
  kLanguageTableCount
};

extern const LanguageStrings kLanguageTables[kLanguageTableCount];

// Slot `id` of `chosen`, or of `english` when that slot is missing (null or
// empty); UnknownString when the slot finally read holds no text. The sort
// key slot never falls back: another table's key would misplace the entry.
const WChar* TextFromTable(const LanguageStrings& chosen, const LanguageStrings& english,
                           uint32_t id);
