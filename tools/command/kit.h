// The prebuilt files a product build starts from, one set per processor:
// the linked program without resources, its base resources (dialogs and
// manifest), our default art and icon, and the version they were built as.
//
// They live in <data>/<arch>/, where <data> is DISC_LAUNCHER_DATA when it
// is set and otherwise ../share/disc-launcher beside the folder of the
// running tool (bin/), so that an installed or unpacked tool finds its own
// wherever it lies.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "base/diagnostics.h"
#include "pe/linked_exe.h"
#include "resources/product_resources.h"

struct Kit {
  std::string arch;  // i686 or x86_64
  LinkedExe program;  // launcher.exe: linked, stripped, no resources
  ResourceInputs inputs;  // launcher.res, the default art and icon
};

// The processors a kit is built for.
bool IsKnownArch(const std::string& arch);

// The kit of `arch`, read, or nullopt with the reason reported: the folder
// or one of its files is missing or damaged, or its version is not this
// tool's (both are named).
std::optional<Kit> FindKit(const std::string& arch, Diagnostics& diagnostics);
