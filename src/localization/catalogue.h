// The catalogue of UI texts in fifteen languages.
#pragma once

#include <cstdint>

#include "launcher_state.h"
#include "platform/text.h"

enum StringId : uint32_t {
  STR_LANGUAGE_NAME = 0,
  STR_CULTURE_CODE = 1,
  STR_SORT_KEY = 2,
  STR_SELECT_LANGUAGE = 3,
  STR_CONTINUE = 4,
  STR_INSTALL = 5,
  STR_PLAY = 6,
  STR_UNINSTALL = 7,
  STR_WEBSITE = 8,
  STR_VIEW_README = 9,
  STR_EMANUAL_NEEDS_READER = 10,
  STR_VIEW_TROUBLESHOOTING = 11,
  STR_VIEW_EULA = 12,
  STR_EXIT = 13,
  STR_PATCH_INSTALLER = 14,
  STR_PATCH_SUCCEEDED = 15,
  STR_PATCH_FAILED = 16,
};

// "???": the answer to a request that cannot be resolved.
extern const WChar UnknownString[];

// The sort key that stands for UnknownString: greater than every table's key.
constexpr uint32_t kUnknownSortKey = 0xFFFFFFFFu;

// The text for `id` in the language `lcid` (0: state.defaultLcid). Never
// null; points into static data. An id above 16, or LCID 0 while
// defaultLcid is 0, gives UnknownString; an LCID without a table of its own
// reads a related or the English table, and a missing text reads English.
// For STR_SORT_KEY it gives the key as decimal text ("1" to "15"), or
// UnknownString when the LCID is unresolved; order entries with GetSortKey.
const WChar* GetLocalizedString(const LauncherState& state, uint32_t id, int32_t lcid);

// The sort key of the table that `lcid` resolves to, or kUnknownSortKey.
uint32_t GetSortKey(const LauncherState& state, int32_t lcid);

// Whether `lcid` reads a table of its language; otherwise its players see
// the English texts.
bool HasOwnTexts(int32_t lcid);

// Stores the start-up preference as the language used for LCID 0.
void SetDefaultLanguage(LauncherState& state, int32_t lcid);
