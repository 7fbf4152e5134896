#include "compare/comparison.h"

#include <algorithm>
#include <filesystem>

namespace compare {

namespace {

struct Known {
  const char* name;
  const char* caption;
};

// The main window's buttons Command1 to Command8, in that order.
constexpr Known kButtons[] = {{"text", "Text"},           {"line", "Line"},
                              {"polygon", "Polygon"},     {"rectangle", "Rectangle"},
                              {"ellipse", "Arc/Ellipse"}, {"blit", "Blitting"},
                              {"stretch", "Stretching"},  {"spline", "Splines/B\xC3\xA9zier"}};

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

void addDifference(Comparison& c, const std::vector<ResultFile>& files, const char* what,
                   std::string ResultFile::*field) {
  ContextDifference d{what, {}};
  for (const ResultFile& f : files) d.values.push_back(f.*field);
  if (std::adjacent_find(d.values.begin(), d.values.end(), std::not_equal_to<>()) != d.values.end())
    c.differences.push_back(std::move(d));
}

Cell compareCell(const TestResult& base, const TestResult& other) {
  Cell cell;
  cell.present = true;
  cell.median = other.medianRate;
  cell.mad = other.madRate;
  cell.samples = other.rates.size();
  if (base.medianRate > 0) cell.ratio = other.medianRate / base.medianRate;
  if (base.rates.size() >= kMinSamples && other.rates.size() >= kMinSamples) {
    cell.test = mannWhitney(other.rates, base.rates);
    cell.interval = ratioInterval(base.rates, other.rates);
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
  addDifference(c, files, "mode", &ResultFile::mode);
  addDifference(c, files, "screen", &ResultFile::screen);
  addDifference(c, files, "display", &ResultFile::display);
  addDifference(c, files, "font file", &ResultFile::fontFile);
  addDifference(c, files, "build type", &ResultFile::buildType);
  addDifference(c, files, "program revision", &ResultFile::revision);
  addDifference(c, files, "SIMD level", &ResultFile::simd);

  // Known tests in button order, then any others in the order they appear.
  std::vector<std::pair<std::string, std::string>> order;
  for (const Known& k : kButtons) order.emplace_back(k.name, k.caption);
  for (const ResultFile& f : files)
    for (const TestResult& t : f.tests)
      if (std::none_of(order.begin(), order.end(), [&](const auto& o) { return o.first == t.name; }))
        order.emplace_back(t.name, t.name);

  std::vector<std::vector<double>> ratios(files.size());
  for (const auto& [name, caption] : order) {
    const TestResult* base = files[0].find(name);
    bool anywhere = false;
    for (const ResultFile& f : files) anywhere = anywhere || f.find(name) != nullptr;
    if (!anywhere) continue;
    Row row{name, caption, {}};
    for (std::size_t i = 0; i < files.size(); ++i) {
      const TestResult* t = files[i].find(name);
      Cell cell;
      if (t == nullptr) {
        cell.verdict = Verdict::Missing;
      } else if (i == 0) {
        cell.present = true;
        cell.median = t->medianRate;
        cell.mad = t->madRate;
        cell.samples = t->rates.size();
      } else if (base == nullptr) {
        cell.present = true;
        cell.median = t->medianRate;
        cell.mad = t->madRate;
        cell.samples = t->rates.size();
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
    c.scoresOfMedians.push_back(files[i].scoreOfMedians);
    c.scoresLastRun.push_back(files[i].scoreLastRun);
    c.complete.push_back(files[i].complete);
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
