// vex2d-compare's reading and comparing of result files, on hand-made files.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "compare/chart.h"
#include "compare/comparison.h"
#include "compare/format.h"
#include "compare/result_file.h"

namespace {

using nlohmann::json;
using namespace compare;

// A result file as vex2d-run writes it, with only the fields a comparison reads.
struct Made {
  std::string mode = "direct";
  std::string simd = "avx2";
  std::string revision = "v2-10-gabc";
  std::map<std::string, std::vector<double>> rates;  // test word -> samples
  std::map<std::string, std::string> sha;
  double score = 1000;

  std::string text() const {
    results::Result r;
    r.program = {"vex2d-run", "2.0.0", revision, "Release", "gcc"};
    r.context.date = "2026-12-11T10:00:00+00:00";
    r.context.display = "headless";
    r.context.simd = simd;
    r.context.screenWidth = 1024;
    r.context.screenHeight = 768;
    r.context.fontRequested = "Arial";
    r.context.fontFile = "/fonts/LiberationSans-Regular.ttf";
    r.run = {mode, {}, 1, 0, true};
    for (const auto& [name, samples] : rates) {
      results::TestResult t;
      t.name = name;
      t.unit = "things/sec";
      t.numerator = 1000;
      t.reference = 1000;
      for (double rate : samples) t.samples.push_back({1000 / rate, rate, rate / 10, "label", std::nullopt, std::nullopt});
      const auto s = sha.find(name);
      t.surfaceSha1 = s != sha.end() ? s->second : "da39a3ee5e6b4b0d3255bfef95601890afd80709";
      r.run.tests.push_back(name);
      r.tests.push_back(t);
    }
    r.score = results::Score{score, static_cast<std::int64_t>(score) - 1};
    return results::toJson(r).dump();
  }

  ResultFile parsed(const std::string& path) const {
    std::string error;
    std::optional<ResultFile> f = parseResultFile(text(), path, &error);
    EXPECT_TRUE(f) << error;
    return f ? *f : ResultFile{};
  }
};

std::vector<double> around(double centre, std::size_t n = 6) {
  std::vector<double> v;
  for (std::size_t i = 0; i < n; ++i) v.push_back(centre * (1 + 0.004 * (static_cast<double>(i) - 2.5)));
  return v;
}

std::vector<double> scaled(std::vector<double> v, double by) {
  for (double& x : v) x *= by;
  return v;
}

Made twoTests() {
  Made m;
  m.rates["line"] = around(900000);
  m.rates["spline"] = around(160000);
  return m;
}

const Cell& cellOf(const Comparison& c, const std::string& name, std::size_t file) {
  for (const Row& r : c.rows)
    if (r.name == name) return r.cells.at(file);
  static const Cell none;
  ADD_FAILURE() << "no row " << name;
  return none;
}

TEST(Compare, EqualFilesShowNoChange) {
  const Made a = twoTests();
  const Comparison c = compareResults({a.parsed("a.json"), a.parsed("b.json")});
  EXPECT_TRUE(c.differences.empty());
  ASSERT_EQ(c.rows.size(), 2u);
  // Button order: Line (Command2) before Splines/Bézier (Command8).
  EXPECT_EQ(c.rows[0].caption, "Line");
  EXPECT_EQ(c.rows[1].caption, "Splines/B\xC3\xA9zier");
  for (const Row& r : c.rows) {
    EXPECT_EQ(r.cells[1].verdict, Verdict::NoChange) << r.name;
    EXPECT_DOUBLE_EQ(*r.cells[1].ratio, 1.0);
    EXPECT_EQ(r.cells[1].pictures, Pictures::Same);
  }
  EXPECT_DOUBLE_EQ(*c.geometricMeans[1], 1.0);
  EXPECT_FALSE(slowerThan(c, 0));
}

TEST(Compare, FasterAndSlowerAgainstTheThreshold) {
  const Made base = twoTests();
  Made other = base;
  other.rates["line"] = scaled(base.rates.at("line"), 1.2);     // faster
  other.rates["spline"] = scaled(base.rates.at("spline"), 0.8);  // 20 % slower
  const Comparison c = compareResults({base.parsed("base.json"), other.parsed("other.json")});
  const Cell& line = cellOf(c, "line", 1);
  EXPECT_EQ(line.verdict, Verdict::Faster);
  EXPECT_NEAR(*line.ratio, 1.2, 1e-9);
  ASSERT_TRUE(line.interval);
  EXPECT_LT(line.interval->low, 1.2 + 1e-9);
  EXPECT_GT(line.interval->high, 1.2 - 1e-9);
  EXPECT_LT(line.test->p, 0.01);
  EXPECT_EQ(cellOf(c, "spline", 1).verdict, Verdict::Slower);
  EXPECT_NEAR(*c.geometricMeans[1], std::sqrt(1.2 * 0.8), 1e-9);
  EXPECT_TRUE(slowerThan(c, 10));
  EXPECT_FALSE(slowerThan(c, 25));
}

TEST(Compare, TooFewSamplesGiveNoVerdict) {
  Made base, other;
  base.rates["line"] = around(900000, 3);
  other.rates["line"] = scaled(around(900000, 3), 0.5);
  const Comparison c = compareResults({base.parsed("a.json"), other.parsed("b.json")});
  const Cell& cell = cellOf(c, "line", 1);
  EXPECT_EQ(cell.verdict, Verdict::TooFewSamples);
  EXPECT_FALSE(cell.interval);
  EXPECT_FALSE(cell.test);
  EXPECT_NEAR(*cell.ratio, 0.5, 1e-9);  // the ratio is still shown
  EXPECT_FALSE(slowerThan(c, 10));      // but never gates without significance
  EXPECT_NE(formatComparison(c, Format::Text).find("too few samples"), std::string::npos);
}

TEST(Compare, ContextDifferencesAndPictures) {
  const Made base = twoTests();
  Made other = base;
  other.mode = "buffered";
  other.simd = "avx512";
  other.sha["spline"] = "0000000000000000000000000000000000000000";
  other.rates.erase("line");
  const Comparison c = compareResults({base.parsed("a.json"), other.parsed("b.json")});
  ASSERT_EQ(c.differences.size(), 2u);
  EXPECT_EQ(c.differences[0].what, "mode");
  EXPECT_EQ(c.differences[0].values, (std::vector<std::string>{"direct", "buffered"}));
  EXPECT_EQ(c.differences[1].what, "SIMD level");
  EXPECT_EQ(cellOf(c, "spline", 1).pictures, Pictures::Differ);
  EXPECT_EQ(cellOf(c, "line", 1).verdict, Verdict::Missing);
  const std::string text = formatComparison(c, Format::Text);
  EXPECT_NE(text.find("mode: a.json direct | b.json buffered"), std::string::npos) << text;
  EXPECT_NE(text.find("differ"), std::string::npos);
}

TEST(Compare, RefusesForeignAndDamagedFiles) {
  struct Case {
    std::string text, message;
  } cases[] = {
      {"not json at all", "x.json: not a JSON file"},
      {"{\"name\": \"something else\"}", "x.json: not a Vex2D result file"},
      {"{\"schema\": \"vex2d-result/9\", \"tests\": []}", "is not one this program reads"},
      {"{\"schema\": \"vex2d-result/1\"}", "x.json: damaged result file: key 'program' not found"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(parseResultFile(c.text, "x.json", &error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
  // A real file with one member broken, and one whose test has no samples.
  json wrongType = json::parse(twoTests().text());
  wrongType["tests"][0]["samples"][0]["rate"] = "fast";
  json noSamples = json::parse(twoTests().text());
  noSamples["tests"][1]["samples"] = json::array();
  for (const auto& [j, message] : {std::pair{wrongType, std::string("damaged result file: type must be number")},
                                   std::pair{noSamples, std::string("test spline has no samples")}}) {
    std::string error;
    EXPECT_FALSE(parseResultFile(j.dump(), "x.json", &error));
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(readResultFile("/nonexistent/result.json", &error));
  EXPECT_EQ(error, "/nonexistent/result.json: cannot be read");
}

// Splits CSV as RFC 4180 does (quotes, doubled quotes, CR LF line ends).
std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (quoted) {
      if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') rows.back().back() += '"', ++i;
      else if (ch == '"') quoted = false;
      else rows.back().back() += ch;
    } else if (ch == '"') {
      quoted = true;
    } else if (ch == ',') {
      rows.back().emplace_back();
    } else if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      rows.emplace_back(1);
      ++i;
    } else {
      rows.back().back() += ch;
    }
  }
  rows.pop_back();  // after the last line end
  return rows;
}

TEST(Compare, EveryFormatCarriesTheSameTable) {
  const Made base = twoTests();
  Made other = base;
  other.rates["line"] = scaled(base.rates.at("line"), 1.1);
  const Comparison c = compareResults({base.parsed("a.json"), other.parsed("b.json"), base.parsed("c.json")});

  const auto csv = parseCsv(formatComparison(c, Format::Csv));
  ASSERT_EQ(csv.size(), 1 + 2 + 3u);  // header, two tests, geometric mean and two scores
  for (const auto& row : csv) EXPECT_EQ(row.size(), csv[0].size());
  EXPECT_EQ(csv[1][0], "Line");
  EXPECT_EQ(csv[1][5], "1.100");  // b.json's ratio column

  const std::string md = formatComparison(c, Format::Markdown);
  EXPECT_NE(md.find("| Test | a.json median | MAD |"), std::string::npos) << md;
  EXPECT_NE(md.find("|---|---:|"), std::string::npos);

  const json j = json::parse(formatComparison(c, Format::Json));
  EXPECT_EQ(j["files"].size(), 3u);
  EXPECT_EQ(j["tests"][0]["name"], "line");
  EXPECT_EQ(j["tests"][0]["files"][1]["verdict"], "faster");
  EXPECT_NEAR(j["geometric_mean"][1].get<double>(), std::sqrt(1.1), 1e-9);

  // Text: every table line starts its second column at the same place.
  std::istringstream text(formatComparison(c, Format::Text));
  std::string line;
  std::vector<std::string> table;
  while (std::getline(text, line))
    if (line.rfind("Test ", 0) == 0 || line.rfind("Line ", 0) == 0 || line.rfind("Splines", 0) == 0) table.push_back(line);
  ASSERT_EQ(table.size(), 3u);
}

struct Png {
  int width = 0, height = 0;
  std::vector<unsigned char> bytes;
};

Png readPng(const std::string& path) {
  Png out;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
  image.format = PNG_FORMAT_RGB;
  out.bytes.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.bytes.data(), 0, nullptr)) return Png{};
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  return out;
}

TEST(Compare, ChartDecodesAndIsReproducible) {
  const Made base = twoTests();
  Made other = base;
  other.rates["spline"] = scaled(base.rates.at("spline"), 1.5);
  const Comparison c = compareResults({base.parsed("a.json"), other.parsed("b.json")});
  const std::string one = ::testing::TempDir() + "chart-one.png", two = ::testing::TempDir() + "chart-two.png";
  ASSERT_TRUE(writeChart(c, one));
  ASSERT_TRUE(writeChart(c, two));
  const Png a = readPng(one), b = readPng(two);
  EXPECT_EQ(a.width, 900);
  EXPECT_GT(a.height, 150);
  EXPECT_EQ(a.bytes, b.bytes);
  // Something was drawn besides the white background: the bars' colour.
  std::size_t coloured = 0;
  for (std::size_t i = 0; i + 2 < a.bytes.size(); i += 3)
    coloured += a.bytes[i] == 38 && a.bytes[i + 1] == 110 && a.bytes[i + 2] == 190;
  EXPECT_GT(coloured, 1000u);
  EXPECT_FALSE(writeChart(c, "/nonexistent/chart.png"));
  std::remove(one.c_str());
  std::remove(two.c_str());
}

}  // namespace
