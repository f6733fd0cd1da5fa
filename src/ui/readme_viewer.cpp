#include "ui/readme_viewer.h"

#include <cstdint>
#include <utility>

#include "config/install_state.h"
#include "localization/catalogue.h"
#include "localization/document_countries.h"
#include "platform/unique_handles.h"
#include "ui/refresh_window.h"

namespace {

int32_t SelectedEntryLcid(const LauncherState& state) {
  const int32_t index = state.selectedIndex;
  if (index < 0 || static_cast<size_t>(index) >= state.languageIds.size()) {
    return state.selectedLcid;
  }
  return state.languageIds[static_cast<size_t>(index)];
}

// The readme's path without its extension.
WString ReadmeBasePath(const LauncherState& state, bool installed) {
  if (installed) return state.installDir + u"Docs\\Readme";
  // Before installation the disc's folder for the selected country is used,
  // beside the program (never the current folder) until an installation
  // folder is known; an LCID without a folder leaves an empty path element.
  const auto code = state.countryCodes.find(SelectedEntryLcid(state));
  const WString country = code != state.countryCodes.end() ? code->second : WString();
  const WString& base = state.installDir.empty() ? state.programFolder : state.installDir;
  return base + u"Docs\\" + country + u"\\Readme";
}

// Documents start in the program's folder, not in whatever folder the
// program was started from.
void OpenDocument(const LauncherState& state, const platform::Platform& os, const WString& path) {
  os.shell.Execute(u"open", path, WString(), state.programFolder, platform::kShowNormal);
}

void ShowPdfReaderNotice(const LauncherState& state, const platform::Platform& os) {
  const WString productName = SelectedProductName(state);
  const WString text = ReplaceProductPlaceholder(
      GetLocalizedString(state, STR_EMANUAL_NEEDS_READER, state.selectedLcid), productName);
  os.windows.MessageBox(state.mainWindow, text, productName, platform::kMessageBoxOk);
}

}  // namespace

void FillCountryCodes(LauncherState& state) {
  for (const DocumentCountry& country : kDocumentCountries)
    state.countryCodes.emplace(country.lcid, country.code);
}

bool FileExists(const platform::Platform& os, const WString& path) {
  const platform::UniqueFileHandle file(
      os.files, os.files.OpenFile(path, platform::FileSystem::OpenMode::kProbeExisting));
  return file.valid();
}

void ShowReadme(LauncherState& state, const platform::Platform& os) {
  const bool installed = DetectInstallation(state, os);
  const WString base = ReadmeBasePath(state, installed);

  if (FileExists(os, base + u".txt")) {
    OpenDocument(state, os, base + u".txt");
  } else if (FileExists(os, base + u".rtf")) {
    OpenDocument(state, os, base + u".rtf");
  } else if (FileExists(os, base + u".pdf")) {
    if (state.pdfHandlerRegistered) {
      OpenDocument(state, os, base + u".pdf");
    } else {
      ShowPdfReaderNotice(state, os);
    }
  }
}
