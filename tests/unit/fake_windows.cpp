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

FakeWindow* FakeWindows::Logged(const char* operation, platform::WindowHandle handle) {
  world_.Enter(operation);
  return AsWindow(handle);
}

FakeWindow* FakeWindows::Control(int controlId) {
  return static_cast<FakeWindow*>(DialogItem(dialog_, controlId));
}

platform::WindowHandle FakeWindows::MakeDialog(uint32_t id) {
  struct ControlSpec {
    int id;
    const char16_t* className;
    uint32_t style;
    const char16_t* text;
  };
  // As resources/launcher.rc has them; a picture's text is the reference to
  // its bitmap, as the dialog manager stores it.
  static const ControlSpec kInstaller[] = {
      {IDC_CONTINUE, u"Button", 0x50010000, u"Continue"},
      {IDC_EXIT, u"Button", 0x50010000, u"Exit"},
      {IDC_LANGUAGE, u"ComboBox", 0x50210003, u""},
      {IDC_STATIC_LABEL, u"Static", 0x50020000, u"Select installation language"},
      {IDC_PROGRESS, u"msctls_progress32", 0x50800000, u""},
  };
  static const ControlSpec kLauncher[] = {
      {-1, u"Button", 0x50000007, u""},
      {-1, u"Static", 0x5000104E, u"\uFFFF\u008C"},
      {IDC_INSTALL, u"Button", 0x50010000, u"Install"},
      {IDC_PLAY, u"Button", 0x50010000, u"Play"},
      {IDC_UNINSTALL, u"Button", 0x50010000, u"Uninstall"},
      {IDC_README, u"Button", 0x50010000, u"View Readme"},
      {IDC_WEBSITE, u"Button", 0x50012000, u"Website"},
      {IDC_LANGUAGE, u"ComboBox", 0x50210003, u""},
      {IDC_EXIT, u"Button", 0x50010000, u"Exit"},
  };
  templateId = id;
  dialog_ = New(FakeWindow{});
  auto add = [&](const ControlSpec& spec) {
    FakeWindow control;
    control.controlId = spec.id;
    control.className = spec.className;
    control.style = spec.style;
    control.text = spec.text;
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
  FakeWindow* parent = Logged("GetDlgItem", dialog);
  if (parent == nullptr) return nullptr;
  for (FakeWindow* child : parent->children) {
    if (child->controlId == controlId) return child;
  }
  return nullptr;
}

bool FakeWindows::IsWindowAlive(platform::WindowHandle window) {
  FakeWindow* found = Logged("IsWindow", window);
  return found != nullptr && !found->destroyed;
}

void FakeWindows::SetText(platform::WindowHandle window, const WString& text) {
  if (FakeWindow* found = Logged("SetWindowTextW", window)) found->text = text;
}

void FakeWindows::Enable(platform::WindowHandle window, bool enabled) {
  if (FakeWindow* found = Logged("EnableWindow", window)) found->enabled = enabled;
}

void FakeWindows::Focus(platform::WindowHandle window) {
  world_.Enter("SetFocus");
  if (window != focus) {
    if (FakeWindow* before = AsWindow(focus)) before->dropped = false;
  }
  focus = window;
}

bool FakeWindows::HasFocus(platform::WindowHandle window) {
  world_.Enter("GetFocus");
  return window != nullptr && window == focus;
}

void FakeWindows::Show(platform::WindowHandle window, int showCommand) {
  if (FakeWindow* found = Logged("ShowWindow", window)) {
    found->showCommand = showCommand;
    found->visible = showCommand != platform::kShowHide;
  }
}

void FakeWindows::Update(platform::WindowHandle) { world_.Enter("UpdateWindow"); }

void FakeWindows::Destroy(platform::WindowHandle window) {
  if (FakeWindow* found = Logged("DestroyWindow", window)) found->destroyed = true;
}

std::vector<platform::DialogControl> FakeWindows::Controls(platform::WindowHandle dialog) {
  std::vector<platform::DialogControl> controls;
  if (FakeWindow* parent = Logged("GetWindow", dialog)) {
    for (FakeWindow* child : parent->children)
      controls.push_back({child, child->className, child->style});
  }
  return controls;
}

void FakeWindows::SetStyle(platform::WindowHandle window, uint32_t style) {
  if (FakeWindow* found = Logged("SetWindowLongW", window)) found->style = style;
}

void FakeWindows::SetNameOnly(platform::WindowHandle window, const WString& text) {
  if (FakeWindow* found = Logged("DefWindowProcW", window)) found->text = text;
}

void FakeWindows::SetIcons(platform::WindowHandle window, uint32_t iconId) {
  if (FakeWindow* found = Logged("SetIcons", window)) found->iconId = iconId;
}

std::optional<platform::PixelSize> FakeWindows::PictureRoom(platform::WindowHandle dialog) {
  if (Logged("GetClientRect", dialog) == nullptr || templateId != IDD_LAUNCHER) return std::nullopt;
  return pictureRoom;
}

bool FakeWindows::ShowPicture(platform::WindowHandle dialog, uint32_t bitmapId,
                              platform::PixelRect source, platform::PixelSize size) {
  if (Logged("STM_SETIMAGE", dialog) == nullptr || templateId != IDD_LAUNCHER) return false;
  picturesShown.push_back({bitmapId, source, size});
  return true;
}

void FakeWindows::Post(platform::WindowHandle window, uint32_t message) {
  world_.Enter("PostMessageW");
  queue.push_back([this, window, message] {
    if (procedure != nullptr) procedure(window, message, 0, 0);
  });
}

void FakeWindows::ComboReset(platform::WindowHandle combo) {
  if (FakeWindow* found = Logged("CB_RESETCONTENT", combo)) {
    found->items.clear();
    found->selection = -1;
    found->dropped = false;
  }
}

void FakeWindows::ComboAdd(platform::WindowHandle combo, const WString& item) {
  if (FakeWindow* found = Logged("CB_ADDSTRING", combo)) found->items.push_back(item);
}

void FakeWindows::ComboSelect(platform::WindowHandle combo, int index) {
  FakeWindow* found = Logged("CB_SETCURSEL", combo);
  if (found == nullptr) return;
  const bool valid = index >= 0 && index < static_cast<int>(found->items.size());
  found->selection = valid ? index : -1;
}

int FakeWindows::ComboSelection(platform::WindowHandle combo) {
  FakeWindow* found = Logged("CB_GETCURSEL", combo);
  return found == nullptr ? platform::kComboError : found->selection;
}

std::vector<WString> FakeWindows::ComboItems(platform::WindowHandle combo) {
  FakeWindow* found = Logged("CB_GETLBTEXT", combo);
  return found == nullptr ? std::vector<WString>() : found->items;
}

void FakeWindows::ProgressSetRange(platform::WindowHandle bar, int32_t low, int32_t high) {
  if (FakeWindow* found = Logged("PBM_SETRANGE32", bar)) {
    found->rangeLow = low;
    found->rangeHigh = high;
    found->position = std::clamp(found->position, low, std::max(low, high));
  }
}

void FakeWindows::ProgressPostPosition(platform::WindowHandle bar, int32_t position) {
  FakeWindow* found = Logged("PBM_SETPOS", bar);
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

void FakeWindows::IdleWait(uint32_t) { world_.Enter("MsgWaitForMultipleObjectsEx"); }
