// The security the program gives what it makes in its workspace: folders
// that admit only the user, SYSTEM and Administrators, and files that no
// one may write once the handle they were written through is closed.
#pragma once

#include "platform/windows_include.h"

namespace platform {

// Null when the descriptor could not be made, with the error left for
// GetLastError; the caller then makes nothing rather than something open to
// others.
SECURITY_ATTRIBUTES* PrivateFolderSecurity();
SECURITY_ATTRIBUTES* ReadOnlyFileSecurity();

}  // namespace platform
