// Where the payload's bytes come from, checked before anything is written:
// the payload table, and the program's file and volumes that hold the data
// it names. Every failure ends the process through FatalError, with the
// workspace still empty.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "install/payload_stream.h"
#include "payload/table.h"
#include "platform/platform.h"

// The program's payload table, or nullopt when it has none: its payload is
// then unpacked as it is, unverified. A table that is damaged, lists another
// number of files than the manifest's `itemCount` or was made for other
// manifest bytes ends the process with ERROR_CRC.
std::optional<payload::Table> LoadPayloadTable(const platform::Platform& os,
                                               std::string_view manifestBytes, size_t itemCount);

// Opens the program's file and every volume, in stream order, when the table
// puts data there (none otherwise). Volumes are looked for beside the
// program only, never in the current folder: a disc or download folder may
// hold planted ones. Each must be this build's volume of its number and hold
// the data the table gives it, with the SHA-256 the table gives it (checked
// as the stream reads it).
std::vector<StreamFile> OpenPayloadData(const platform::Platform& os, const payload::Table& table);
