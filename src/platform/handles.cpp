// The one definition of the invalid file handle, shared by the Windows layer
// and the fake layer of the unit tests.
#include <cstdint>

#include "platform/platform.h"

namespace platform {

// INVALID_HANDLE_VALUE: the all-ones pointer.
FileHandle const kInvalidHandle = reinterpret_cast<void*>(static_cast<intptr_t>(-1));

}  // namespace platform
