#include "compare/comparison.h"

#include <algorithm>
#include <filesystem>

#include "platform/forms/forms.h"
#include "tests/registry.h"

namespace compare {

namespace {


std::vector<std::string> shortLabels(const std::vector<ResultFile>& files) {
  std::vector<std::string> labels;
  for (const ResultFile& f : files) labels.push_back(std::filesystem::path(f.path).filename().string());
  // Two files of the same name in different folders keep their paths.
  for (std::size_t i = 0; i < labels.size(); ++i)
    for (std::size_t k = 0; k < labels.size(); ++k)
      if (i != k && labels[i] == std::filesystem::path(files[k].path).filename().string()) {
        labels[i] = files[i].path;
        break;
      }
  return labels;
}

template <typename Field>
void addDifference(Comparison& c, const std::vector<ResultFile>& files, const char* what, Field field) {
  ContextDifference d{what, {}};
  for (const ResultFile& f : files) d.values.push_back(field(f.result));
  if (std::adjacent_find(d.values.begin(), d.values.end(), std::not_equal_to<>()) != d.values.end())
    c.differences.push_back(std::move(d));
}

// The median, spread and count of a test's samples.
Cell describe(const results::TestResult& t) {
  Cell cell;
  const results::Summary s = t.summary();
  cell.present = true;
  cell.median = s.median;
  cell.mad = s.mad;
  cell.samples = t.samples.size();
  return cell;
}

Cell compareCell(const results::TestResult& base, const results::TestResult& other) {
  Cell cell = describe(other);
  const double baseMedian = base.summary().median;
  if (baseMedian > 0) cell.ratio = cell.median / baseMedian;
  const std::vector<double> baseRates = base.rates(), otherRates = other.rates();
  if (baseRates.size() >= kMinSamples && otherRates.size() >= kMinSamples) {
    cell.test = mannWhitney(otherRates, baseRates);
    cell.interval = ratioInterval(baseRates, otherRates);
    if (cell.test->p >= kSignificance || !cell.ratio)
      cell.verdict = Verdict::NoChange;
    else
      cell.verdict = *cell.ratio >= 1 ? Verdict::Faster : Verdict::Slower;
  } else {
    cell.verdict = Verdict::TooFewSamples;
  }
  if (!base.surfaceSha1.empty() && !other.surfaceSha1.empty())
    cell.pictures = base.surfaceSha1 == other.surfaceSha1 ? Pictures::Same : Pictures::Differ;
  return cell;
}

}  // namespace

const char* verdictText(Verdict v) {
  switch (v) {
    case Verdict::Base: return "";
    case Verdict::Faster: return "faster";
    case Verdict::Slower: return "slower";
    case Verdict::NoChange: return "no significant change";
    case Verdict::TooFewSamples: return "too few samples";
    case Verdict::Missing: return "missing";
  }
  return "";
}

const char* picturesText(Pictures p) {
  switch (p) {
    case Pictures::Same: return "same";
    case Pictures::Differ: return "differ";
    case Pictures::Unknown: return "unknown";
  }
  return "";
}

Comparison compareResults(const std::vector<ResultFile>& files) {
  Comparison c;
  if (files.empty()) return c;
  c.labels = shortLabels(files);
  using results::Result;
  addDifference(c, files, "mode", [](const Result& r) { return r.run.mode; });
  addDifference(c, files, "screen", [](const Result& r) {
    return std::to_string(r.context.screenWidth) + "x" + std::to_string(r.context.screenHeight);
  });
  addDifference(c, files, "display", [](const Result& r) { return r.context.display; });
  addDifference(c, files, "font file", [](const Result& r) { return r.context.fontFile; });
  addDifference(c, files, "build type", [](const Result& r) { return r.program.buildType; });
  addDifference(c, files, "program revision", [](const Result& r) { return r.program.revision; });
  addDifference(c, files, "SIMD level", [](const Result& r) { return r.context.simd; });

  // Known tests in button order, then any others in the order they appear.
  std::vector<std::pair<std::string, std::string>> order;
  for (int button = 1; button <= static_cast<int>(drawtests::kTestCount); ++button) {
    const drawtests::TestEntry& t = drawtests::TestOfButton(button);
    order.emplace_back(t.name, forms::windows1252ToUtf8(t.caption));
  }
  for (const ResultFile& f : files)
    for (const results::TestResult& t : f.result.tests)
      if (std::none_of(order.begin(), order.end(), [&](const auto& o) { return o.first == t.name; }))
        order.emplace_back(t.name, t.name);

  std::vector<std::vector<double>> ratios(files.size());
  for (const auto& [name, caption] : order) {
    const results::TestResult* base = files[0].find(name);
    bool anywhere = false;
    for (const ResultFile& f : files) anywhere = anywhere || f.find(name) != nullptr;
    if (!anywhere) continue;
    Row row{name, caption, {}};
    for (std::size_t i = 0; i < files.size(); ++i) {
      const results::TestResult* t = files[i].find(name);
      Cell cell;
      if (t == nullptr) {
        cell.verdict = Verdict::Missing;
      } else if (i == 0) {
        cell = describe(*t);
      } else if (base == nullptr) {
        cell = describe(*t);
        cell.verdict = Verdict::Missing;
      } else {
        cell = compareCell(*base, *t);
        if (cell.ratio) ratios[i].push_back(*cell.ratio);
      }
      row.cells.push_back(std::move(cell));
    }
    c.rows.push_back(std::move(row));
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    c.geometricMeans.push_back(i == 0 ? std::nullopt : geometricMean(ratios[i]));
    const std::optional<results::Score>& score = files[i].result.score;
    c.scoresOfMedians.push_back(score ? std::optional<double>(score->ofMedians) : std::nullopt);
    c.scoresLastRun.push_back(score ? std::optional<double>(static_cast<double>(score->lastRun)) : std::nullopt);
    c.complete.push_back(files[i].result.run.complete);
  }
  return c;
}

bool slowerThan(const Comparison& c, double percent) {
  for (const Row& r : c.rows)
    for (const Cell& cell : r.cells)
      if (cell.verdict == Verdict::Slower && cell.ratio && *cell.ratio < 1 - percent / 100) return true;
  return false;
}

}  // namespace compare
