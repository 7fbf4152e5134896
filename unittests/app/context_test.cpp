#include "runner/context.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace runner {
namespace {

// Sets the zone for the test and puts the previous one back.
class Zone {
 public:
  explicit Zone(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~Zone() {
    if (old_.empty())
      unsetenv("TZ");
    else
      setenv("TZ", old_.c_str(), 1);
    tzset();
  }

 private:
  std::string old_;
};

TEST(Context, DateIsLocalTimeWithTheOffsetWrittenTheIsoWay) {
  const std::time_t t = 1275314587;  // 2010-05-31 14:03:07 UTC
  const struct {
    const char* tz;
    const char* date;
  } cases[] = {
      {"UTC0", "2010-05-31T14:03:07+00:00"},
      {"EAST-1", "2010-05-31T15:03:07+01:00"},
      {"WEST+3:30", "2010-05-31T10:33:07-03:30"},
  };
  for (const auto& c : cases) {
    Zone zone(c.tz);
    EXPECT_EQ(isoDate(t), c.date) << c.tz;
  }
}

TEST(Context, DescribesThisMachine) {
  const results::Context c = machineContext();
  EXPECT_GE(c.cores, 1);
  EXPECT_GT(c.memoryBytes, 0);
  EXPECT_TRUE(c.simd == "sse2" || c.simd == "avx2" || c.simd == "avx512") << c.simd;
  EXPECT_EQ(c.simd, engineSimdLevel());
  EXPECT_EQ(c.fontRequested, "Arial");
  // The engine's own match: a font file that exists.
  EXPECT_TRUE(std::filesystem::is_regular_file(c.fontFile)) << c.fontFile;
  for (const char* lib : {"freetype", "fontconfig", "sdl", "libpng"}) {
    ASSERT_TRUE(c.libraries.count(lib)) << lib;
    EXPECT_NE(c.libraries.at(lib).find('.'), std::string::npos) << lib << " " << c.libraries.at(lib);
  }
  EXPECT_NE(c.kernel.find("Linux"), std::string::npos) << c.kernel;
}

}  // namespace
}  // namespace runner
