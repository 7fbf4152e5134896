#include "runner/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace runner {
namespace {

struct Parsed {
  Action action;
  Options options;
  std::string error;
};

Parsed parse(std::vector<std::string> args) {
  args.insert(args.begin(), "vex2d-run");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Parsed p{};
  p.action = parseOptions(static_cast<int>(args.size()), argv.data(), &p.options, &p.error);
  return p;
}

std::vector<std::string> names(const Options& o) {
  std::vector<std::string> v;
  for (const TestInfo* t : o.tests) v.push_back(t->name);
  return v;
}

TEST(Options, DefaultsAreOneHeadlessDirectCompleteRun) {
  const Parsed p = parse({});
  ASSERT_EQ(p.action, Action::Run);
  EXPECT_TRUE(p.options.all);
  EXPECT_EQ(p.options.tests.size(), 8u);
  EXPECT_FALSE(p.options.buffered);
  EXPECT_EQ(p.options.repeat, 1);
  EXPECT_EQ(p.options.warmup, 0);
  EXPECT_EQ(p.options.display, DisplayKind::Headless);
  EXPECT_FALSE(p.options.out || p.options.json || p.options.csv || p.options.markdown);
}

TEST(Options, BothSpellingsOfAValueGiveTheSameOptions) {
  for (const auto& args : {std::vector<std::string>{"--mode", "buffered", "--repeat", "3", "--warmup", "2",
                                                    "--screen", "320x200", "--json", "r.json", "--csv", "r.csv"},
                           std::vector<std::string>{"--mode=buffered", "--repeat=3", "--warmup=2",
                                                    "--screen=320x200", "--json=r.json", "--csv=r.csv"}}) {
    const Parsed p = parse(args);
    ASSERT_EQ(p.action, Action::Run) << p.error;
    EXPECT_TRUE(p.options.buffered);
    EXPECT_EQ(p.options.repeat, 3);
    EXPECT_EQ(p.options.warmup, 2);
    EXPECT_EQ(p.options.width, 320);
    EXPECT_EQ(p.options.height, 200);
    EXPECT_EQ(p.options.json.value_or(""), "r.json");
    EXPECT_EQ(p.options.csv.value_or(""), "r.csv");
  }
  EXPECT_EQ(parse({"--display=sdl"}).options.display, DisplayKind::Sdl);
  EXPECT_EQ(parse({"--display", "sdl"}).options.display, DisplayKind::Sdl);
}

TEST(Options, SeveralTestsRunInRunOrderWhateverTheOrderGiven) {
  const Parsed p = parse({"--test", "stretch,text,spline,line"});
  ASSERT_EQ(p.action, Action::Run) << p.error;
  EXPECT_FALSE(p.options.all);
  EXPECT_EQ(names(p.options), (std::vector<std::string>{"text", "line", "spline", "stretch"}));
  // The last --test counts; "all" goes back to the complete run.
  const Parsed q = parse({"--test", "line", "--test", "all"});
  EXPECT_TRUE(q.options.all);
  EXPECT_EQ(q.options.tests.size(), 8u);
}

TEST(Options, ListVersionAndHelpAreActionsNotRuns) {
  EXPECT_EQ(parse({"--list"}).action, Action::List);
  EXPECT_EQ(parse({"--version"}).action, Action::Version);
  EXPECT_EQ(parse({"--help"}).action, Action::Help);
  EXPECT_EQ(parse({"-h"}).action, Action::Help);
  EXPECT_EQ(parse({"--list", "--help"}).action, Action::Help);
}

TEST(Options, UsageErrorsSayWhatIsWrong) {
  const struct {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"--out"}, "--out needs a value"},
      {{"--json"}, "--json needs a value"},
      {{"--out", ""}, "--out needs a non-empty path"},
      {{"--out="}, "--out needs a non-empty path"},
      {{"--csv="}, "--csv needs a non-empty path"},
      {{"--mode", "sideways"}, "--mode must be direct or buffered, not sideways"},
      {{"--display", "x11"}, "--display must be headless or sdl, not x11"},
      {{"--test", "dots"}, "unknown test dots"},
      {{"--test", "line,"}, "--test has an empty name in line,"},
      {{"--test", "line,line"}, "test line is named twice"},
      {{"--test", "all,line"}, "unknown test all"},
      {{"--screen", "10x10"}, "--screen must be WxH with sizes from 64 to 16384, not 10x10"},
      {{"--screen", "640"}, "--screen must be WxH with sizes from 64 to 16384, not 640"},
      {{"--repeat", "0"}, "--repeat must be a number from 1 to 1000, not 0"},
      {{"--repeat", "-1"}, "--repeat must be a number from 1 to 1000, not -1"},
      {{"--warmup", "x"}, "--warmup must be a number from 0 to 1000, not x"},
      {{"stray"}, "unexpected argument stray"},
      {{"--json", "a", "--markdown", "a"}, "two outputs are both a"},
      {{"--screen", "640x480", "--display", "sdl"},
       "--screen sets the headless screen; with --display sdl the real screen's size is used"},
  };
  for (const auto& c : cases) {
    const Parsed p = parse(c.args);
    EXPECT_EQ(p.action, Action::UsageError) << c.args.front();
    EXPECT_EQ(p.error, c.error) << c.args.front();
  }
}

}  // namespace
}  // namespace runner
