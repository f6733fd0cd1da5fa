#include "ui/refresh_window.h"

#include "localization/catalogue.h"
#include "localization/language_list.h"
#include "resource_ids.h"

namespace {

constexpr WStringView kProductPlaceholder = u"{P}";

void SetControlText(const LauncherState& state, const platform::Platform& os, int controlId,
                    StringId textId) {
  os.windows.SetText(os.windows.DialogItem(state.mainWindow, controlId),
                     GetLocalizedString(state, textId, state.selectedLcid));
}

void FillLanguageCombo(const LauncherState& state, const platform::Platform& os, bool installed) {
  platform::Windows& windows = os.windows;
  const platform::WindowHandle combo = windows.DialogItem(state.mainWindow, IDC_LANGUAGE);
  // Once the game is installed its language is settled.
  windows.Enable(combo, !installed);
  // Refilling the list, or selecting again, while it is dropped down would
  // close it or scroll it under the player's keys; its entries only differ
  // the first time.
  if (windows.ComboItems(combo) != state.languageNames) {
    windows.ComboReset(combo);
    for (const WString& name : state.languageNames) windows.ComboAdd(combo, name);
  }
  if (windows.ComboSelection(combo) != state.selectedIndex) {
    windows.ComboSelect(combo, state.selectedIndex);
  }
}

void RefreshLauncherControls(const LauncherState& state, const platform::Platform& os,
                             bool installed, bool moveFocus) {
  platform::Windows& windows = os.windows;
  const auto item = [&](int controlId) { return windows.DialogItem(state.mainWindow, controlId); };

  SetControlText(state, os, IDC_INSTALL, STR_INSTALL);
  windows.Enable(item(IDC_INSTALL), !installed);
  if (!installed && moveFocus) windows.Focus(item(IDC_INSTALL));

  SetControlText(state, os, IDC_PLAY, STR_PLAY);
  windows.Enable(item(IDC_PLAY), installed);
  if (installed && moveFocus) windows.Focus(item(IDC_PLAY));

  SetControlText(state, os, IDC_UNINSTALL, STR_UNINSTALL);
  windows.Enable(item(IDC_UNINSTALL), installed);

  SetControlText(state, os, IDC_README, STR_VIEW_README);

  const WString label = ComposeWebsiteLabel(
      GetLocalizedString(state, STR_WEBSITE, state.selectedLcid), SelectedProductName(state));
  windows.SetText(item(IDC_WEBSITE), label);
  windows.Enable(item(IDC_WEBSITE), true);

  SetControlText(state, os, IDC_EXIT, STR_EXIT);
}

void RefreshInstallerControls(const LauncherState& state, const platform::Platform& os,
                              bool moveFocus) {
  SetControlText(state, os, IDC_STATIC_LABEL, STR_SELECT_LANGUAGE);
  SetControlText(state, os, IDC_CONTINUE, STR_CONTINUE);
  SetControlText(state, os, IDC_EXIT, STR_EXIT);
  // Continue keeps whatever state the template or the Continue command gave it.
  if (moveFocus) os.windows.Focus(os.windows.DialogItem(state.mainWindow, IDC_EXIT));
}

}  // namespace

WString ReplaceProductPlaceholder(WStringView text, WStringView productName) {
  WString result(text);
  const size_t at = result.find(kProductPlaceholder);
  if (at != WString::npos) result.replace(at, kProductPlaceholder.size(), productName);
  return result;
}

WString ComposeWebsiteLabel(WStringView websiteText, WStringView productName) {
  WString label = ReplaceProductPlaceholder(websiteText, productName);
  // The first colon, wherever it comes from, breaks the line: a long product
  // name such as "Title 2: Subtitle" then fits the multi-line button.
  const size_t colon = label.find(u':');
  if (colon != WString::npos) label.insert(colon + 1, 1, u'\n');
  return label;
}

WString SelectedProductName(const LauncherState& state) {
  const int32_t index = state.selectedIndex;
  if (index < 0 || static_cast<size_t>(index) >= state.productNames.size()) return WString();
  return state.productNames[static_cast<size_t>(index)];
}

void RefreshWindow(LauncherState& state, const platform::Platform& os, bool installed,
                   RefreshFocus focus) {
  // A list that an installation has just locked cannot keep the focus.
  const bool moveFocus = focus == RefreshFocus::kLeadingControl || installed;
  os.windows.SetText(state.mainWindow, SelectedProductName(state));
  FillLanguageCombo(state, os, installed);
  if (state.launcherMode) {
    RefreshLauncherControls(state, os, installed, moveFocus);
  } else {
    RefreshInstallerControls(state, os, moveFocus);
  }
  state.transformName = TransformForEntry(state, state.selectedIndex, state.selectedLcid);
}
