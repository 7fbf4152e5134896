#include "version.h"

#include "revision.h"

namespace app {

const char* programVersion() { return VEX2D_VERSION; }
const char* programRevision() { return VEX2D_REVISION; }
const char* programBuildType() { return VEX2D_BUILD_TYPE; }

std::string versionLine(const char* programName) {
  return std::string(programName) + " " + programVersion() + " (" + programRevision() + ")";
}

}  // namespace app
