#include "runner/context.h"

#include <SDL.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/gdi/simd.h"
#include "platform/gdi/text.h"
#include "version.h"


namespace runner {

namespace {

// The value after "key:" or "key=" on the first line starting with key.
std::string fieldOf(const char* file, const std::string& key, char separator) {
  std::ifstream f(file);
  std::string line;
  while (std::getline(f, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::size_t at = line.find(separator, key.size());
    if (at == std::string::npos) continue;
    std::string v = line.substr(at + 1);
    v.erase(0, v.find_first_not_of(" \t"));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return v;
  }
  return "";
}

std::string orUnknown(std::string s) { return s.empty() ? "unknown" : s; }

std::string dotted(int major, int minor, int patch) {
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

}  // namespace

results::Program programInfo() {
  results::Program p;
  p.name = "vex2d-run";
  p.version = app::programVersion();
  p.revision = app::programRevision();
  p.buildType = app::programBuildType();
#if defined(__clang__)
  p.compiler = "clang " __clang_version__;
#elif defined(__GNUC__)
  p.compiler = "gcc " __VERSION__;
#else
  p.compiler = "unknown";
#endif
  return p;
}

results::LoadAverage loadAverage() {
  double l[3] = {0, 0, 0};
  if (getloadavg(l, 3) != 3) return {};
  return results::LoadAverage{l[0], l[1], l[2]};
}

std::string engineSimdLevel() { return std::string(gdi::activeSimdLevelName()); }

std::string isoDate(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char buf[40];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S%z", &local);
  std::string s = buf;  // ...+0100: ISO 8601 writes the offset as +01:00
  if (s.size() >= 5) s.insert(s.size() - 2, ":");
  return s;
}

results::Context machineContext() {
  results::Context c;
  c.date = isoDate(std::time(nullptr));
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0) c.host = host;
  c.os = orUnknown(fieldOf("/etc/os-release", "PRETTY_NAME", '='));
  utsname u{};
  if (uname(&u) == 0) c.kernel = std::string(u.sysname) + " " + u.release + " " + u.version + " " + u.machine;
  c.cpu = orUnknown(fieldOf("/proc/cpuinfo", "model name", ':'));
  c.cores = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
  c.memoryBytes = static_cast<std::int64_t>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGE_SIZE);
  c.loadAtStart = c.loadAtEnd = loadAverage();
  c.simd = engineSimdLevel();
  c.fontRequested = "Arial";
  c.fontFile = gdi::detail::fontFileFor("Arial");

  FT_Library ft = nullptr;
  if (FT_Init_FreeType(&ft) == 0) {
    FT_Int major = 0, minor = 0, patch = 0;
    FT_Library_Version(ft, &major, &minor, &patch);
    c.libraries["freetype"] = dotted(major, minor, patch);
    FT_Done_FreeType(ft);
  }
  const int fc = FcGetVersion();
  c.libraries["fontconfig"] = dotted(fc / 10000, fc / 100 % 100, fc % 100);
  SDL_version sdl{};
  SDL_GetVersion(&sdl);
  c.libraries["sdl"] = dotted(sdl.major, sdl.minor, sdl.patch);
  c.libraries["libpng"] = png_get_libpng_ver(nullptr);
  return c;
}

}  // namespace runner
