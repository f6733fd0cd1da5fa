// The payload manifest: the list of embedded files, written by the product
// tool and read by the program before it unpacks anything.
//
// The manifest resource (IDR_PAYLOAD_MANIFEST) is UTF-8 text: every file's
// name (item_names.h) followed by ";", then a NUL. The program reads it
// leniently: empty items (leading, trailing or doubled ";") are skipped and
// the text ends at the first NUL or at the resource's end. The n-th
// non-empty item's bytes lie where the payload table (table.h) puts them:
// in a resource of their own (locations.h) or in the data after the exe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace payload {

// The manifest resource for `names` (UTF-8, in the order their files are
// embedded).
std::vector<uint8_t> EncodeManifest(const std::vector<std::string>& names);

// The manifest's bytes: up to its first NUL, or the whole resource when it
// holds none, so that the text never runs past the resource's end.
std::string_view ManifestBytes(const void* data, uint32_t size);

// The checksum the payload table holds of those bytes, which ties the table
// to the manifest it was made for.
uint64_t ManifestChecksum(std::string_view bytes);

// The manifest's text. Bytes from 0x80 on are read as UTF-8 (a 7-bit
// manifest reads one unit per byte); nullopt when the bytes are not valid
// UTF-8.
std::optional<WString> DecodeManifest(std::string_view bytes);

// The non-empty items in manifest order. Items are taken verbatim: nothing is
// trimmed, and empty items are skipped.
std::vector<WString> ManifestItems(const WString& text);

}  // namespace payload
