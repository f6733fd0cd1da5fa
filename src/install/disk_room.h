// Whether the temporary folder's volume has room for the payload, asked
// before a byte is written: a player with too little space learns it at
// once, not after gigabytes were written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"
#include "platform/text.h"

// What `files` files of `bytes` in all take on a disk: their bytes, each
// one's last cluster, which may be nearly empty, and room for the folders'
// records.
uint64_t RoomNeeded(uint64_t bytes, size_t files);

// A size as Windows shows one, in binary units with one decimal: "850.0 MB",
// "12.3 GB".
WString SizeText(uint64_t bytes);

// False when the volume that holds `folder` offers this user less than
// `needed`; true too when its free space cannot be read, since the writes
// then tell.
bool HasRoom(const platform::Platform& os, const WString& folder, uint64_t needed);
