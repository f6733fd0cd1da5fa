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

ResourceHandle WindowsResources::FindBitmap(uint32_t id) {
  return FindResourceW(ProgramModule(module_), MAKEINTRESOURCEW(static_cast<WORD>(id)), RT_BITMAP);
}

WString WindowsResources::ProgramPath() {
  // Long enough for any path the system hands out, with its \\?\ prefix.
  std::vector<wchar_t> buffer(32768, L'\0');
  const DWORD room = static_cast<DWORD>(buffer.size());
  const DWORD length = GetModuleFileNameW(ProgramModule(module_), buffer.data(), room);
  if (length == 0 || length >= room) return WString();
  return FromWide(buffer.data(), length);
}

std::optional<uint64_t> WindowsResources::FileOffset(const void* bytes, uint32_t size) {
  // The headers are those of the image the loader mapped: its own, valid.
  const auto* base = static_cast<const unsigned char*>(module_);
  const auto* dosHeader = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* ntHeaders = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dosHeader->e_lfanew);
  const auto* at = static_cast<const unsigned char*>(bytes);
  if (at < base) return std::nullopt;
  const uint64_t address = static_cast<uint64_t>(at - base);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(ntHeaders);
  for (WORD index = 0; index < ntHeaders->FileHeader.NumberOfSections; ++index, ++section) {
    const uint64_t start = section->VirtualAddress;
    // Only the part with raw data is in the file; the rest is zero-filled.
    if (address >= start && address + size <= start + section->SizeOfRawData) {
      return section->PointerToRawData + (address - start);
    }
  }
  return std::nullopt;
}

}  // namespace platform
