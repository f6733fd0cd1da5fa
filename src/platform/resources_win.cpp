// Resources of the program's own executable over kernel32 and user32.
#include <algorithm>
#include <vector>

#include "platform/windows_include.h"
#include "platform/windows_platform.h"

namespace platform {

namespace {

HMODULE ProgramModule(ModuleHandle module) { return static_cast<HMODULE>(module); }

}  // namespace

WindowsResources::WindowsResources() : module_(GetModuleHandleW(nullptr)) {}

WString WindowsResources::LoadText(uint32_t id, uint32_t room) {
  // A room of 0 would make LoadStringW hand out a pointer into the resource
  // instead of copying: nothing fits, so nothing is read.
  if (room == 0 || room > INT32_MAX) return WString();
  std::vector<wchar_t> buffer(room, L'\0');
  int length = LoadStringW(ProgramModule(module_), id, buffer.data(), static_cast<int>(room));
  if (length <= 0) return WString();
  // LoadStringW copies a string's NULs and counts them; the text ends at the
  // first one, as any C reader of the buffer takes it.
  const auto copied = buffer.begin() + length;
  const auto end = std::find(buffer.begin(), copied, L'\0');
  return FromWide(buffer.data(), static_cast<size_t>(end - buffer.begin()));
}

ResourceHandle WindowsResources::FindData(uint32_t id) {
  return FindResourceW(ProgramModule(module_), MAKEINTRESOURCEW(static_cast<WORD>(id)), RT_RCDATA);
}

uint32_t WindowsResources::Size(ResourceHandle resource) {
  return SizeofResource(ProgramModule(module_), static_cast<HRSRC>(resource));
}

LoadedResource WindowsResources::Load(ResourceHandle resource) {
  return LoadResource(ProgramModule(module_), static_cast<HRSRC>(resource));
}

const void* WindowsResources::Lock(LoadedResource loaded) {
  return LockResource(static_cast<HGLOBAL>(loaded));
}

void WindowsResources::Free(LoadedResource loaded) { FreeResource(static_cast<HGLOBAL>(loaded)); }

IconHandle WindowsResources::LoadAppIcon(uint32_t id) {
  return LoadIconW(ProgramModule(module_), MAKEINTRESOURCEW(static_cast<WORD>(id)));
}

}  // namespace platform
