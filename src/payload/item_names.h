// The names of the payload's files, as the manifest lists them: paths
// relative to the workspace, with "\" between folder names. One rule says
// which names are safe to unpack: the product tool refuses to embed any
// other, and the program refuses to write one, whoever made its manifest.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"

namespace payload {

// Why `name` cannot be unpacked safely into the workspace (a UTF-8 sentence
// that starts after "payload name "), or nullopt when it can. Refused: names
// that leave the workspace or name another place (".." or "." parts, empty
// parts such as a leading or doubled backslash, a drive or stream colon, a
// part ending in a full stop or a blank, which Windows drops, so that "..."
// names the parent), names with ";" (the manifest's item separator), and
// names Windows cannot create (control characters, <>"/|?*, device names).
std::optional<std::string> ItemNameProblem(WStringView name);

// The parts of a name between its backslashes, empty parts included, so
// "a\\b" gives {"a", "b"} and "a\\" gives {"a", ""}.
std::vector<WString> SplitPathParts(WStringView name);

}  // namespace payload
