// The fake dialog window, its controls and the message queue.
#include <algorithm>

#include "fake_platform.h"
#include "resource_ids.h"

FakeWindow* FakeWindows::New(FakeWindow window) {
  windows_.push_back(std::move(window));
  return &windows_.back();
}

FakeWindow* FakeWindows::AsWindow(platform::WindowHandle handle) {
  for (auto& window : windows_) {
    if (&window == handle) return &window;
  }
  return nullptr;
}

FakeWindow* FakeWindows::Control(int controlId) {
  return static_cast<FakeWindow*>(DialogItem(dialog_, controlId));
}

platform::WindowHandle FakeWindows::MakeDialog(uint32_t id) {
  struct ControlSpec {
    int id;
    const char* className;
    const char16_t* text;
  };
  static const ControlSpec kInstaller[] = {
      {IDC_CONTINUE, "Button", u"Continue"},
      {IDC_EXIT, "Button", u"Exit"},
      {IDC_LANGUAGE, "ComboBox", u""},
      {IDC_STATIC_LABEL, "Static", u"Select installation language"},
      {IDC_PROGRESS, "msctls_progress32", u""},
  };
  static const ControlSpec kLauncher[] = {
      {-1, "Button", u""},
      {-1, "Static", u""},
      {IDC_INSTALL, "Button", u"Install"},
      {IDC_PLAY, "Button", u"Play"},
      {IDC_UNINSTALL, "Button", u"Uninstall"},
      {IDC_README, "Button", u"View Readme"},
      {IDC_WEBSITE, "Button", u"Website"},
      {IDC_LANGUAGE, "ComboBox", u""},
      {IDC_EXIT, "Button", u"Exit"},
  };
  templateId = id;
  FakeWindow dialogWindow;
  dialogWindow.className = "#32770";
  dialog_ = New(dialogWindow);
  auto add = [&](const ControlSpec& spec) {
    FakeWindow control;
    control.controlId = spec.id;
    control.className = spec.className;
    control.text = spec.text;
    control.parent = dialog_;
    dialog_->children.push_back(New(control));
  };
  if (id == IDD_INSTALLER) {
    for (const auto& spec : kInstaller) add(spec);
  } else if (id == IDD_LAUNCHER) {
    for (const auto& spec : kLauncher) add(spec);
  }
  return dialog_;
}

platform::WindowHandle FakeWindows::CreateDialogWindow(uint32_t id,
                                                       platform::DialogProcedure proc) {
  if (world_.Enter("CreateDialogParamW")) return nullptr;
  procedure = proc;
  return MakeDialog(id);
}

platform::WindowHandle FakeWindows::DialogItem(platform::WindowHandle dialog, int controlId) {
  world_.Enter("GetDlgItem");
  FakeWindow* parent = AsWindow(dialog);
  if (parent == nullptr) return nullptr;
  for (FakeWindow* child : parent->children) {
    if (child->controlId == controlId) return child;
  }
  return nullptr;
}

bool FakeWindows::IsWindowAlive(platform::WindowHandle window) {
  world_.Enter("IsWindow");
  FakeWindow* found = AsWindow(window);
  return found != nullptr && !found->destroyed;
}

void FakeWindows::SetText(platform::WindowHandle window, const WString& text) {
  world_.Enter("SetWindowTextW");
  if (FakeWindow* found = AsWindow(window)) found->text = text;
}

void FakeWindows::Enable(platform::WindowHandle window, bool enabled) {
  world_.Enter("EnableWindow");
  if (FakeWindow* found = AsWindow(window)) found->enabled = enabled;
}

void FakeWindows::Focus(platform::WindowHandle window) {
  world_.Enter("SetFocus");
  focus = window;
}

void FakeWindows::Show(platform::WindowHandle window, int showCommand) {
  world_.Enter("ShowWindow");
  if (FakeWindow* found = AsWindow(window)) {
    found->showCommand = showCommand;
    found->visible = showCommand != platform::kShowHide;
  }
}

void FakeWindows::Update(platform::WindowHandle) { world_.Enter("UpdateWindow"); }

void FakeWindows::Destroy(platform::WindowHandle window) {
  world_.Enter("DestroyWindow");
  if (FakeWindow* found = AsWindow(window)) found->destroyed = true;
}

void FakeWindows::SetIcons(platform::WindowHandle window, platform::IconHandle icon) {
  world_.Enter("SetIcons");
  if (FakeWindow* found = AsWindow(window)) found->icon = icon;
}

void FakeWindows::ComboReset(platform::WindowHandle combo) {
  world_.Enter("CB_RESETCONTENT");
  if (FakeWindow* found = AsWindow(combo)) {
    found->items.clear();
    found->selection = -1;
  }
}

void FakeWindows::ComboAdd(platform::WindowHandle combo, const WString& item) {
  world_.Enter("CB_ADDSTRING");
  if (FakeWindow* found = AsWindow(combo)) found->items.push_back(item);
}

void FakeWindows::ComboSelect(platform::WindowHandle combo, int index) {
  world_.Enter("CB_SETCURSEL");
  FakeWindow* found = AsWindow(combo);
  if (found == nullptr) return;
  const bool valid = index >= 0 && index < static_cast<int>(found->items.size());
  found->selection = valid ? index : -1;
}

int FakeWindows::ComboSelection(platform::WindowHandle combo) {
  world_.Enter("CB_GETCURSEL");
  FakeWindow* found = AsWindow(combo);
  return found == nullptr ? platform::kComboError : found->selection;
}

void FakeWindows::ProgressSetRange(platform::WindowHandle bar, int32_t low, int32_t high) {
  world_.Enter("PBM_SETRANGE32");
  if (FakeWindow* found = AsWindow(bar)) {
    found->rangeLow = low;
    found->rangeHigh = high;
    found->position = std::clamp(found->position, low, std::max(low, high));
  }
}

void FakeWindows::ProgressPostPosition(platform::WindowHandle bar, int32_t position) {
  world_.Enter("PBM_SETPOS");
  FakeWindow* found = AsWindow(bar);
  if (found == nullptr) return;
  found->postedPositions.push_back(position);
  // Like the real control, the position is clamped to the range.
  found->position =
      std::clamp(position, found->rangeLow, std::max(found->rangeLow, found->rangeHigh));
}

int FakeWindows::MessageBox(platform::WindowHandle owner, const WString& text,
                            const WString& caption, uint32_t style) {
  world_.Enter("MessageBoxW");
  messageBoxes.push_back({owner, text, caption, style});
  if (onMessageBox) onMessageBox(messageBoxes.back());
  return 1;  // IDOK
}

platform::CursorHandle FakeWindows::LoadWaitCursor() {
  world_.Enter("LoadCursorW");
  return waitCursor;
}

void FakeWindows::SetCursor(platform::CursorHandle newCursor) {
  world_.Enter("SetCursor");
  cursor = newCursor;
}

bool FakeWindows::HandleNextMessage(platform::WindowHandle) {
  world_.Enter("PeekMessageW");
  if (queue.empty()) return false;
  auto message = std::move(queue.front());
  queue.pop_front();
  message();
  return true;
}

void FakeWindows::IdleWait(uint32_t milliseconds) {
  world_.Enter("MsgWaitForMultipleObjectsEx");
  idleWaits.push_back(milliseconds);
}
