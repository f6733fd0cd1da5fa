// Security descriptors over advapi32, made once per process.
#include "platform/private_security_win.h"

#include <vector>

#include "platform/windows_include.h"

namespace platform {

namespace {

using SidBytes = std::vector<BYTE>;

SidBytes WellKnownSid(WELL_KNOWN_SID_TYPE type) {
  DWORD size = SECURITY_MAX_SID_SIZE;
  SidBytes sid(size);
  if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) return SidBytes();
  sid.resize(size);
  return sid;
}

// The user this process runs as, from its token.
SidBytes ProcessUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return SidBytes();
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  const bool ok = size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  const DWORD error = GetLastError();
  CloseHandle(token);
  if (!ok) {
    SetLastError(error);
    return SidBytes();
  }
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  SidBytes copy(GetLengthSid(sid));
  if (!CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid)) return SidBytes();
  return copy;
}

// A descriptor whose protected DACL (nothing inherited from the temporary
// folder) gives `access` to each of the SIDs and to no one else.
class PrivateDescriptor {
 public:
  PrivateDescriptor(DWORD access, DWORD inheritance, bool restrictOwner) {
    std::vector<SidBytes> sids = {ProcessUserSid(), WellKnownSid(WinLocalSystemSid),
                                  WellKnownSid(WinBuiltinAdministratorsSid)};
    // The owner may otherwise always change the DACL: OWNER RIGHTS takes
    // that from it (Windows Vista and later; where the SID is unknown the
    // DACL still bars writing).
    if (restrictOwner) {
      SidBytes ownerRights = WellKnownSid(WinCreatorOwnerRightsSid);
      if (!ownerRights.empty()) sids.push_back(ownerRights);
    }
    DWORD aclSize = sizeof(ACL);
    for (const SidBytes& sid : sids) {
      if (sid.empty()) return;
      aclSize += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + static_cast<DWORD>(sid.size());
    }
    acl_.resize(aclSize);
    ACL* acl = reinterpret_cast<ACL*>(acl_.data());
    if (!InitializeAcl(acl, aclSize, ACL_REVISION)) return;
    for (SidBytes& sid : sids) {
      if (!AddAccessAllowedAceEx(acl, ACL_REVISION, inheritance, access, sid.data())) return;
    }
    if (!InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
      return;
    }
    sids_ = std::move(sids);
    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
    made_ = true;
  }

  SECURITY_ATTRIBUTES* get() { return made_ ? &attributes_ : nullptr; }

 private:
  std::vector<SidBytes> sids_;  // the ACEs point into these
  std::vector<BYTE> acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
  bool made_ = false;
};

}  // namespace

SECURITY_ATTRIBUTES* PrivateFolderSecurity() {
  static PrivateDescriptor descriptor(FILE_ALL_ACCESS, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                      false);
  return descriptor.get();
}

SECURITY_ATTRIBUTES* ReadOnlyFileSecurity() {
  // Reading, and what removing the file takes; never writing its data.
  static PrivateDescriptor descriptor(
      FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | FILE_WRITE_ATTRIBUTES | DELETE, 0, true);
  return descriptor.get();
}

}  // namespace platform
