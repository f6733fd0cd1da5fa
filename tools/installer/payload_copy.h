// Copying one payload file from the product folder into the exe or its
// volumes: the one place where the payload's bytes are read.
#pragma once

#include <cstdint>

#include "base/diagnostics.h"
#include "pe/resource.h"
#include "product/payload_files.h"

// Copies `file` into `sink` in chunks, never holding it whole, and makes
// its checksum (payload/checksum.h) on the way. False, with the reason
// reported, when the file cannot be read or no longer has the size it was
// listed with, or the sink fails.
bool CopyPayloadFile(const PayloadFile& file, ByteSink& sink, uint64_t* checksum,
                     Diagnostics& diagnostics);
