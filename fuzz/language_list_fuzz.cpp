// The language ids and product names as a product's string table may carry
// them (any UTF-16 units, NULs included), and any preferred LCID.
#include <set>

#include "config/product_config.h"
#include "fake_platform.h"
#include "fuzz_check.h"
#include "localization/catalogue.h"
#include "localization/language_list.h"
#include "resource_ids.h"
#include "ui/refresh_window.h"

namespace {

// A shown text holds no NUL (the window would cut it there) and fits the
// buffer it was read into.
bool FitsItsBuffer(const WString& text, uint32_t room) {
  return text.size() < room && text.find(u'\0') == WString::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const auto preference = static_cast<int32_t>(input.U32());
  FakePlatform fake;
  fake.resources.strings[IDS_LANGUAGE_IDS] = input.Text();
  fake.resources.strings[IDS_PRODUCT_NAMES] = input.Text();

  // As start-up does it.
  LauncherState state;
  state.selectedLcid = preference;
  SetDefaultLanguage(state, preference);
  state.selectedIndex = -1;
  const WString languageIds = fake.os.resources.LoadText(IDS_LANGUAGE_IDS, kStringRoom);
  FUZZ_CHECK(FitsItsBuffer(languageIds, kStringRoom));
  BuildLanguageList(state, fake.os, languageIds);

  const size_t count = state.languageIds.size();
  FUZZ_CHECK(count > 0);
  FUZZ_CHECK(state.languageNames.size() == count && state.productNames.size() == count);
  FUZZ_CHECK(state.selectedIndex >= 0 && static_cast<size_t>(state.selectedIndex) < count);
  FUZZ_CHECK(state.languageIds[static_cast<size_t>(state.selectedIndex)] == state.selectedLcid);

  std::set<WString> cultureCodes;
  for (size_t k = 0; k < count; ++k) {
    const int32_t lcid = state.languageIds[k];
    FUZZ_CHECK(cultureCodes.insert(GetLocalizedString(state, STR_CULTURE_CODE, lcid)).second);
    if (k > 0) FUZZ_CHECK(GetSortKey(state, state.languageIds[k - 1]) <= GetSortKey(state, lcid));
    FUZZ_CHECK(FitsItsBuffer(state.productNames[k], kProductNamesRoom));
    FUZZ_CHECK(FitsItsBuffer(state.languageNames[k], kStringRoom));
  }
  FUZZ_CHECK(FitsItsBuffer(SelectedProductName(state), kProductNamesRoom));
  return 0;
}
