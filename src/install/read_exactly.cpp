#include "install/read_exactly.h"

bool ReadExactly(const platform::Platform& os, platform::FileHandle file, void* buffer,
                 uint32_t count) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  for (uint32_t filled = 0; filled < count;) {
    uint32_t read = 0;
    if (!os.files.Read(file, bytes + filled, count - filled, &read)) return false;
    // A read that claims more than was asked for is as wrong as none.
    if (read == 0 || read > count - filled) {
      os.process.SetLastError(platform::kErrorHandleEof);
      return false;
    }
    filled += read;
  }
  return true;
}
