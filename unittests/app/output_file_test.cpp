#include "runner/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace runner {
namespace {

namespace fs = std::filesystem;

class OutputFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vex2d-output-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (fs::path(dir_) / name).string(); }
  static std::string read(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  // Names in the folder other than `keep`.
  int strays(const std::string& keep) const {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir_)) n += e.path().filename() != keep;
    return n;
  }

  std::string dir_;
};

TEST_F(OutputFile, ReplacesTheFileAndLeavesNoTemporary) {
  std::string why;
  ASSERT_TRUE(writeFileAtomically(path("r.json"), "first", &why)) << why;
  ASSERT_TRUE(writeFileAtomically(path("r.json"), "second, longer", &why)) << why;
  EXPECT_EQ(read(path("r.json")), "second, longer");
  EXPECT_EQ(strays("r.json"), 0);
}

TEST_F(OutputFile, AFailedWriterLeavesThePreviousFileWhole) {
  std::string why;
  ASSERT_TRUE(writeFileAtomically(path("pic.png"), "complete picture", &why));
  const bool ok = replaceFileAtomically(
      path("pic.png"),
      [](const std::string& temporary) {
        std::ofstream(temporary) << "half a pic";
        errno = ENOSPC;
        return false;
      },
      &why);
  EXPECT_FALSE(ok);
  EXPECT_EQ(why, "cannot write " + path("pic.png") + ": No space left on device");
  EXPECT_EQ(read(path("pic.png")), "complete picture");
  EXPECT_EQ(strays("pic.png"), 0);
}

TEST_F(OutputFile, AFullDeviceFailsWithItsReason) {
  std::string why;
  ASSERT_TRUE(isSpecialFile("/dev/full"));
  EXPECT_TRUE(checkOutputFile("/dev/full", &why)) << why;  // it opens; only writing fails
  EXPECT_FALSE(writeFileAtomically("/dev/full", "data", &why));
  EXPECT_EQ(why, "cannot write /dev/full: No space left on device");
  // A device is written in place, never replaced by a rename.
  EXPECT_TRUE(writeFileAtomically("/dev/null", "data", &why)) << why;
  EXPECT_TRUE(isSpecialFile("/dev/null"));
}

TEST_F(OutputFile, ChecksRefuseWhatCannotTakeAFile) {
  std::ofstream(path("afile")) << "x";
  const struct {
    std::string path;
    bool folder;  // checked as the --out folder
    std::string why;
  } cases[] = {
      {"", false, "an output path is empty"},
      {"", true, "an output folder is empty"},
      {dir_, false, dir_ + " is a folder, not a file"},
      {path("missing/r.json"), false, "cannot write " + path("missing/r.json") + ": folder " + path("missing") +
                                          ": No such file or directory"},
      {path("afile/r.json"), false, "cannot write " + path("afile/r.json") + ": " + path("afile") +
                                        " is not a folder"},
      {path("afile"), true, "cannot create the folder " + path("afile") + ": Not a directory"},
      {path("afile/pics"), true, "cannot create the folder " + path("afile/pics") + ": Not a directory"},
  };
  for (const auto& c : cases) {
    std::string why;
    EXPECT_FALSE(c.folder ? prepareOutputFolder(c.path, &why) : checkOutputFile(c.path, &why)) << c.path;
    EXPECT_EQ(why, c.why);
  }
  // Nothing was created on the way, and the probes are gone.
  EXPECT_EQ(strays("afile"), 0);
}

TEST_F(OutputFile, AMissingOutFolderIsCreatedWithItsParents) {
  std::string why;
  EXPECT_TRUE(checkOutputFile(path("r.json"), &why)) << why;
  ASSERT_TRUE(prepareOutputFolder(path("a/b/c"), &why)) << why;
  EXPECT_TRUE(fs::is_directory(path("a/b/c")));
  EXPECT_TRUE(fs::is_empty(path("a/b/c")));  // the probe is gone
  EXPECT_TRUE(prepareOutputFolder(path("a/b/c"), &why)) << why;  // and again, existing
}

}  // namespace
}  // namespace runner
