// Files and folders over kernel32.
#include <vector>

#include "platform/private_security_win.h"
#include "platform/windows_include.h"
#include "platform/windows_platform.h"

namespace platform {

namespace {

void CopyEntry(const WIN32_FIND_DATAW& found, FindEntry* entry) {
  entry->name = FromWide(found.cFileName, wcslen(found.cFileName));
  entry->attributes = found.dwFileAttributes;
}

}  // namespace

FindHandle WindowsFileSystem::FindFirst(const WString& pattern, FindEntry* entry) {
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW(Wide(pattern), &found);
  if (find != INVALID_HANDLE_VALUE) CopyEntry(found, entry);
  return find;
}

bool WindowsFileSystem::FindNext(FindHandle find, FindEntry* entry) {
  WIN32_FIND_DATAW found{};
  if (!FindNextFileW(find, &found)) return false;
  CopyEntry(found, entry);
  return true;
}

void WindowsFileSystem::FindClose(FindHandle find) { ::FindClose(find); }

bool WindowsFileSystem::RemoveFile(const WString& path) { return DeleteFileW(Wide(path)) != 0; }

bool WindowsFileSystem::RemoveFolder(const WString& path) {
  return RemoveDirectoryW(Wide(path)) != 0;
}

bool WindowsFileSystem::MakeFolder(const WString& path) {
  SECURITY_ATTRIBUTES* security = PrivateFolderSecurity();
  if (security == nullptr) return false;
  return CreateDirectoryW(Wide(path), security) != 0;
}

uint32_t WindowsFileSystem::Attributes(const WString& path) {
  return GetFileAttributesW(Wide(path));
}

FileHandle WindowsFileSystem::OpenFile(const WString& path, OpenMode mode) {
  switch (mode) {
    case OpenMode::kProbeExisting:
      return CreateFileW(Wide(path), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_READONLY, nullptr);
    // A payload file lives only until the installer has read it: the
    // temporary attribute lets the cache keep it rather than write it out.
    // Its creator's handle may write it whatever the DACL says.
    case OpenMode::kCreateNewWrite: {
      SECURITY_ATTRIBUTES* security = ReadOnlyFileSecurity();
      if (security == nullptr) return INVALID_HANDLE_VALUE;
      return CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, security,
                         CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    }
    case OpenMode::kReadSequential:
      return CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    // No DELETE access: msiexec opens the package shared for reading only,
    // which a handle with delete access would refuse it.
    case OpenMode::kHoldFile:
      return CreateFileW(Wide(path), GENERIC_READ | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    case OpenMode::kHoldFileWhileOpen:
      return CreateFileW(Wide(path), GENERIC_READ | FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    case OpenMode::kHoldFolder:
      return CreateFileW(Wide(path), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  }
  ::SetLastError(ERROR_INVALID_PARAMETER);
  return INVALID_HANDLE_VALUE;
}

bool WindowsFileSystem::Write(FileHandle file, const void* data, uint32_t size, uint32_t* written) {
  DWORD bytesWritten = 0;
  BOOL ok = WriteFile(file, data, size, &bytesWritten, nullptr);
  *written = bytesWritten;
  return ok != 0;
}

bool WindowsFileSystem::Read(FileHandle file, void* buffer, uint32_t size, uint32_t* read) {
  DWORD bytesRead = 0;
  BOOL ok = ReadFile(file, buffer, size, &bytesRead, nullptr);
  *read = bytesRead;
  return ok != 0;
}

bool WindowsFileSystem::Seek(FileHandle file, uint64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != 0;
}

std::optional<uint64_t> WindowsFileSystem::FileSize(FileHandle file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) return std::nullopt;
  return static_cast<uint64_t>(size.QuadPart);
}

void WindowsFileSystem::CloseFile(FileHandle file) { CloseHandle(file); }

std::optional<uint32_t> WindowsFileSystem::HeldAttributes(FileHandle file) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file, &information)) return std::nullopt;
  return information.dwFileAttributes;
}

bool WindowsFileSystem::ClearReadOnly(FileHandle file) {
  FILE_BASIC_INFO basic{};  // times of 0 stay as they are
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof(basic)) != 0;
}

uint32_t WindowsFileSystem::TempPath(uint32_t room, WString* path) {
  // One unit more than asked, so that a path of exactly `room` units (which
  // the call reports as not fitting) never writes past the buffer.
  std::vector<wchar_t> buffer(static_cast<size_t>(room) + 1, L'\0');
  DWORD length = GetTempPathW(room, buffer.data());
  if (length != 0 && length < room) {
    *path = FromWide(buffer.data(), length);
  } else {
    path->clear();
  }
  return length;
}

std::optional<uint64_t> WindowsFileSystem::FreeSpace(const WString& folder) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(Wide(folder), &available, nullptr, nullptr)) return std::nullopt;
  return available.QuadPart;
}

}  // namespace platform
