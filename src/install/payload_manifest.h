// The payload manifest: the list of embedded files, read without touching
// the system so that every rule about it can be tested on any host.
//
// The manifest resource is text whose items are separated by ";"; each
// non-empty item is one file's path relative to the workspace, with "\"
// between folder names. The n-th non-empty item's bytes are in resource
// IDR_PAYLOAD_FIRST + n - 1, unless the payload table (payload_table.h) puts
// them in the data after the exe or in a volume.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/text.h"

// The manifest's bytes: up to its first NUL, or the whole resource when it
// holds none, so that the text never runs past the resource's end.
std::string_view ManifestBytes(const void* data, uint32_t size);

// The manifest's text. Bytes from 0x80 on are read as UTF-8 (a 7-bit
// manifest reads one unit per byte); nullopt when the bytes are not valid
// UTF-8.
std::optional<WString> DecodeManifest(std::string_view bytes);

// The non-empty items in manifest order. Items are taken verbatim: nothing is
// trimmed, and empty items (leading, trailing or doubled ";") are skipped.
std::vector<WString> ManifestItems(const WString& text);

// The parts of a relative name between its backslashes, empty parts
// included, so "a\\b" gives {"a", "b"} and "a\\" gives {"a", ""}.
std::vector<WString> SplitPathParts(const WString& name);

// True when the item names a place inside the workspace: no "..", no drive
// or stream colon, no leading separator. "/" counts as a separator here,
// since Windows treats it as one.
bool StaysInsideWorkspace(const WString& item);
