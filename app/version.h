// The program's version and the revision it was built from.
#pragma once

#include <string>

namespace app {

const char* programVersion();   // "2.0.0"
const char* programRevision();  // git describe at build time, "unknown" outside a checkout
const char* programBuildType();

// The line `--version` prints: "NAME VERSION (REVISION)".
std::string versionLine(const char* programName);

}  // namespace app
