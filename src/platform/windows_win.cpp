// The dialog window, its controls and the message queue over user32. The
// common-control messages need only commctrl.h's numbers: the library itself
// is loaded by the entry point.
#include <utility>

#include "platform/windows_include.h"
#include "platform/windows_platform.h"

namespace platform {

namespace {

HWND Window(WindowHandle window) { return static_cast<HWND>(window); }

// The system calls dialog procedures with its own calling convention (stdcall
// on 32-bit x86), while the logic's procedure is a plain function pointer.
// The program creates one dialog, so one slot is enough; it is set before
// CreateDialogParamW, which already sends the first messages.
DialogProcedure activeDialogProcedure = nullptr;

INT_PTR CALLBACK ForwardDialogMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (activeDialogProcedure == nullptr) return FALSE;
  return activeDialogProcedure(window, message, wParam, lParam);
}

// A function of a loaded library that older systems lack, or null.
template <typename Function>
Function LookUp(const wchar_t* library, const char* name) {
  HMODULE module = GetModuleHandleW(library);
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool IsMouseClick(UINT message) {
  return (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK) ||
         (message >= WM_XBUTTONDOWN && message <= WM_XBUTTONDBLCLK) ||
         (message >= WM_NCLBUTTONDOWN && message <= WM_NCMBUTTONDBLCLK) ||
         (message >= WM_NCXBUTTONDOWN && message <= WM_NCXBUTTONDBLCLK);
}

void DeleteGdiObject(void* object) { DeleteObject(static_cast<HGDIOBJ>(object)); }
void DeleteDeviceContext(void* dc) { DeleteDC(static_cast<HDC>(dc)); }
void DestroyIconObject(void* icon) { DestroyIcon(static_cast<HICON>(icon)); }

constexpr UINT kDefaultDpi = 96;

// The window's DPI (Windows 10 1607 and later). Older systems give the
// system's DPI, which is the window's but on a second monitor of another
// scale under Windows 8.1.
UINT WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  auto getDpiForWindow = LookUp<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
  if (getDpiForWindow != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

// A system metric at `dpi`; where the system cannot say (before Windows 10
// 1607) the plain metric, which is already that of the system's DPI.
int MetricForDpi(int index, UINT dpi) {
  using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
  auto metricForDpi =
      LookUp<GetSystemMetricsForDpiFunction>(L"user32.dll", "GetSystemMetricsForDpi");
  return metricForDpi != nullptr ? metricForDpi(index, dpi) : GetSystemMetrics(index);
}

// The icon of group `iconId` at width x height, scaled down from the
// group's nearest larger image; without the common controls 6 (which hold
// LoadIconWithScaleDown) the loader's nearest image, stretched if need be.
OwnedObject LoadIconAtSize(HMODULE module, uint32_t iconId, int width, int height) {
  const wchar_t* name = MAKEINTRESOURCEW(static_cast<WORD>(iconId));
  using LoadIconWithScaleDownFunction = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
  auto loadScaled = LookUp<LoadIconWithScaleDownFunction>(L"comctl32.dll", "LoadIconWithScaleDown");
  HICON icon = nullptr;
  if (loadScaled == nullptr || FAILED(loadScaled(module, name, width, height, &icon))) {
    icon = static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
  }
  return OwnedObject(icon, DestroyIconObject);
}

// The dialog's picture: its static control that shows a bitmap.
HWND PictureOf(HWND dialog) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t className[8] = {};
    const bool isStatic =
        GetClassNameW(child, className, 8) == 6 && lstrcmpiW(className, L"Static") == 0;
    if (isStatic && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) return child;
  }
  return nullptr;
}

// Part `part` of bitmap `bitmapId` scaled to `size` with halftone
// filtering, as a 24-bit bitmap that nothing else refers to; empty when it
// cannot be made.
OwnedObject ScaledBitmap(HMODULE module, uint32_t bitmapId, PixelRect part, PixelSize size) {
  OwnedObject source(LoadImageW(module, MAKEINTRESOURCEW(static_cast<WORD>(bitmapId)), IMAGE_BITMAP,
                                0, 0, LR_CREATEDIBSECTION),
                     DeleteGdiObject);
  if (!source) return {};

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size.width;
  info.bmiHeader.biHeight = size.height;  // bottom-up, as the art is stored
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  OwnedObject scaled(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0),
                     DeleteGdiObject);
  OwnedObject sourceDc(CreateCompatibleDC(nullptr), DeleteDeviceContext);
  OwnedObject targetDc(CreateCompatibleDC(nullptr), DeleteDeviceContext);
  if (!scaled || !sourceDc || !targetDc) return {};

  HDC from = static_cast<HDC>(sourceDc.get());
  HDC to = static_cast<HDC>(targetDc.get());
  HGDIOBJ fromBefore = SelectObject(from, source.get());
  HGDIOBJ toBefore = SelectObject(to, scaled.get());
  // Halftone averages the source pixels that fall on each target pixel;
  // the brush origin must be set again after choosing it.
  SetStretchBltMode(to, HALFTONE);
  SetBrushOrgEx(to, 0, 0, nullptr);
  const BOOL drawn = StretchBlt(to, 0, 0, size.width, size.height, from, part.x, part.y, part.width,
                                part.height, SRCCOPY);
  SelectObject(to, toBefore);
  SelectObject(from, fromBefore);
  if (!drawn) return {};
  return scaled;
}

}  // namespace

OwnedObject::OwnedObject(OwnedObject&& other) noexcept
    : object_(std::exchange(other.object_, nullptr)), release_(other.release_) {}

OwnedObject& OwnedObject::operator=(OwnedObject&& other) noexcept {
  if (this != &other) {
    Reset();
    object_ = std::exchange(other.object_, nullptr);
    release_ = other.release_;
  }
  return *this;
}

void OwnedObject::Reset() {
  if (object_ != nullptr && release_ != nullptr) release_(object_);
  object_ = nullptr;
}

WindowsWindows::WindowsWindows() : module_(GetModuleHandleW(nullptr)) {}

WindowHandle WindowsWindows::CreateDialogWindow(uint32_t templateId, DialogProcedure procedure) {
  activeDialogProcedure = procedure;
  return CreateDialogParamW(static_cast<HINSTANCE>(module_),
                            MAKEINTRESOURCEW(static_cast<WORD>(templateId)), nullptr,
                            ForwardDialogMessage, 0);
}

WindowHandle WindowsWindows::DialogItem(WindowHandle dialog, int controlId) {
  return GetDlgItem(Window(dialog), controlId);
}

bool WindowsWindows::IsWindowAlive(WindowHandle window) { return IsWindow(Window(window)) != 0; }

void WindowsWindows::SetText(WindowHandle window, const WString& text) {
  SetWindowTextW(Window(window), Wide(text));
}

void WindowsWindows::Enable(WindowHandle window, bool enabled) {
  EnableWindow(Window(window), enabled ? TRUE : FALSE);
}

void WindowsWindows::Focus(WindowHandle window) { SetFocus(Window(window)); }

bool WindowsWindows::HasFocus(WindowHandle window) {
  HWND focus = GetFocus();
  return focus != nullptr && (focus == Window(window) || IsChild(Window(window), focus));
}

bool WindowsWindows::HandlingMouseClick() { return handlingMouseClick_; }

void WindowsWindows::Show(WindowHandle window, int showCommand) {
  ShowWindow(Window(window), showCommand);
}

void WindowsWindows::Update(WindowHandle window) { UpdateWindow(Window(window)); }

void WindowsWindows::Destroy(WindowHandle window) { DestroyWindow(Window(window)); }

std::vector<DialogControl> WindowsWindows::Controls(WindowHandle dialog) {
  std::vector<DialogControl> controls;
  for (HWND child = GetWindow(Window(dialog), GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    // Class names are at most 256 characters long.
    wchar_t className[257] = {};
    const int length = GetClassNameW(child, className, 257);
    DialogControl control;
    control.window = child;
    control.className = FromWide(className, length > 0 ? static_cast<size_t>(length) : 0);
    control.style = static_cast<uint32_t>(GetWindowLongW(child, GWL_STYLE));
    controls.push_back(std::move(control));
  }
  return controls;
}

void WindowsWindows::SetStyle(WindowHandle window, uint32_t style) {
  SetWindowLongW(Window(window), GWL_STYLE, static_cast<LONG>(style));
}

void WindowsWindows::SetNameOnly(WindowHandle window, const WString& text) {
  DefWindowProcW(Window(window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text)));
}

void WindowsWindows::SetIcons(WindowHandle window, uint32_t iconId) {
  HWND target = Window(window);
  const UINT dpi = WindowDpi(target);
  HMODULE module = static_cast<HMODULE>(module_);
  OwnedObject bigIcon =
      LoadIconAtSize(module, iconId, MetricForDpi(SM_CXICON, dpi), MetricForDpi(SM_CYICON, dpi));
  OwnedObject smallIcon = LoadIconAtSize(module, iconId, MetricForDpi(SM_CXSMICON, dpi),
                                         MetricForDpi(SM_CYSMICON, dpi));
  const LONG_PTR bigValue = reinterpret_cast<LONG_PTR>(bigIcon.get());
  const LONG_PTR smallValue = reinterpret_cast<LONG_PTR>(smallIcon.get());
  SetClassLongPtrW(target, GCLP_HICON, bigValue);
  SetClassLongPtrW(target, GCLP_HICONSM, smallValue);
  SendMessageW(target, WM_SETICON, ICON_BIG, bigValue);
  SendMessageW(target, WM_SETICON, ICON_SMALL, smallValue);
  // The window no longer refers to the icons of the DPI before.
  bigIcon_ = std::move(bigIcon);
  smallIcon_ = std::move(smallIcon);
}

std::optional<PixelSize> WindowsWindows::PictureRoom(WindowHandle dialog) {
  HWND picture = PictureOf(Window(dialog));
  RECT client = {};
  if (picture == nullptr || !GetClientRect(picture, &client)) return std::nullopt;
  return PixelSize{static_cast<int32_t>(client.right - client.left),
                   static_cast<int32_t>(client.bottom - client.top)};
}

bool WindowsWindows::ShowPicture(WindowHandle dialog, uint32_t bitmapId, PixelRect source,
                                 PixelSize size) {
  HWND picture = PictureOf(Window(dialog));
  if (picture == nullptr || size.width <= 0 || size.height <= 0) return false;
  OwnedObject scaled = ScaledBitmap(static_cast<HMODULE>(module_), bitmapId, source, size);
  if (!scaled) return false;
  // The control draws the bitmap it is given without owning it, and hands
  // back the one it showed: the one it loaded from the template (which is
  // ours to delete from now on) or the one set here before.
  const LRESULT previous =
      SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled.get()));
  void* previousBitmap = reinterpret_cast<void*>(previous);
  if (previousBitmap != nullptr && previousBitmap != picture_.get())
    DeleteGdiObject(previousBitmap);
  picture_ = std::move(scaled);
  return true;
}

void WindowsWindows::Post(WindowHandle window, uint32_t message) {
  PostMessageW(Window(window), message, 0, 0);
}

void WindowsWindows::ComboReset(WindowHandle combo) {
  SendMessageW(Window(combo), CB_RESETCONTENT, 0, 0);
}

void WindowsWindows::ComboAdd(WindowHandle combo, const WString& item) {
  SendMessageW(Window(combo), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item)));
}

void WindowsWindows::ComboSelect(WindowHandle combo, int index) {
  SendMessageW(Window(combo), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int WindowsWindows::ComboSelection(WindowHandle combo) {
  return static_cast<int>(SendMessageW(Window(combo), CB_GETCURSEL, 0, 0));
}

std::vector<WString> WindowsWindows::ComboItems(WindowHandle combo) {
  std::vector<WString> items;
  const LRESULT count = SendMessageW(Window(combo), CB_GETCOUNT, 0, 0);
  for (LRESULT index = 0; index < count; ++index) {
    const LRESULT length =
        SendMessageW(Window(combo), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) break;
    std::vector<wchar_t> item(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(Window(combo), CB_GETLBTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(item.data()));
    items.push_back(FromWide(item.data(), copied > 0 ? static_cast<size_t>(copied) : 0));
  }
  return items;
}

void WindowsWindows::ProgressSetRange(WindowHandle bar, int32_t low, int32_t high) {
  SendMessageW(Window(bar), PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
}

void WindowsWindows::ProgressPostPosition(WindowHandle bar, int32_t position) {
  PostMessageW(Window(bar), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int WindowsWindows::MessageBox(WindowHandle owner, const WString& text, const WString& caption,
                               uint32_t style) {
  return MessageBoxW(Window(owner), Wide(text), Wide(caption), style);
}

CursorHandle WindowsWindows::LoadWaitCursor() { return LoadCursorW(nullptr, IDC_WAIT); }

void WindowsWindows::SetCursor(CursorHandle cursor) { ::SetCursor(static_cast<HCURSOR>(cursor)); }

bool WindowsWindows::HandleNextMessage(WindowHandle dialog) {
  MSG message;
  if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  // The controls act on a click while its message is handled: a choice in a
  // combo box's dropped-down list notifies the dialog from within it. Kept
  // around the nested loop that an Install click runs.
  const bool outerMouseClick = std::exchange(handlingMouseClick_, IsMouseClick(message.message));
  HWND dialogWindow = Window(dialog);
  if (dialogWindow == nullptr || !IsWindow(dialogWindow) ||
      !IsDialogMessageW(dialogWindow, &message)) {  // keyboard navigation among the controls
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  handlingMouseClick_ = outerMouseClick;
  return true;
}

void WindowsWindows::IdleWait(uint32_t milliseconds) {
  // Wakes for messages sent or posted from another thread (the worker's hide
  // request waits for its answer; its progress positions should show at
  // once); input still waits for the next pass.
  MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_SENDMESSAGE | QS_POSTMESSAGE, 0);
}

}  // namespace platform
