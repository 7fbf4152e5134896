#include "result/result.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace results {

using json = nlohmann::ordered_json;

namespace {

double medianOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Counts (the numerator, the reference rates) are written as integers when
// they are whole, so a reader sees 150000 rather than 150000.0.
json countOrNumber(double v) {
  if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 9007199254740992.0)
    return static_cast<std::int64_t>(v);
  return v;
}

json loadJson(const LoadAverage& l) { return json::array({l.one, l.five, l.fifteen}); }

LoadAverage loadFrom(const json& j) {
  return LoadAverage{j.at(0).get<double>(), j.at(1).get<double>(), j.at(2).get<double>()};
}

// CSV fields are quoted when they hold a separator, a quote or a line end.
std::string csvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

struct Row {
  std::string name, unit, median, mad, min, max, points, cv;
};

std::vector<Row> tableRows(const Result& r) {
  std::vector<Row> rows;
  for (const TestResult& t : r.tests) {
    const Summary s = t.summary();
    rows.push_back(Row{t.name, t.unit, numberText(s.median), numberText(s.mad), numberText(s.min),
                       numberText(s.max), numberText(pointsOf(s.median, t.reference)),
                       s.cv ? numberText(*s.cv) : std::string()});
  }
  return rows;
}

}  // namespace

Summary summarize(const std::vector<double>& rates) {
  Summary s;
  if (rates.empty()) return s;
  s.median = medianOf(rates);
  std::vector<double> deviations;
  deviations.reserve(rates.size());
  for (double r : rates) deviations.push_back(std::fabs(r - s.median));
  s.mad = medianOf(deviations);
  const auto [lo, hi] = std::minmax_element(rates.begin(), rates.end());
  s.min = *lo;
  s.max = *hi;
  if (rates.size() >= 2) {
    double mean = 0;
    for (double r : rates) mean += r;
    mean /= static_cast<double>(rates.size());
    double squares = 0;
    for (double r : rates) squares += (r - mean) * (r - mean);
    const double sd = std::sqrt(squares / static_cast<double>(rates.size() - 1));
    if (mean != 0) s.cv = sd / mean;
  }
  s.noisy = rates.size() >= kNoisyMinSamples && s.cv && *s.cv > kNoisyCv;
  return s;
}

double pointsOf(double rate, double reference) {
  // The slot is a 32-bit integer; a rate that does not fit it is not stored.
  const double rounded = std::nearbyint(rate);  // the default mode: ties to even
  if (!std::isfinite(rounded) || rounded < std::numeric_limits<std::int32_t>::min() ||
      rounded > std::numeric_limits<std::int32_t>::max() || reference == 0)
    return 0;
  return (100.0 / reference) * rounded;
}

std::vector<double> TestResult::rates() const {
  std::vector<double> v;
  v.reserve(samples.size());
  for (const Sample& s : samples) v.push_back(s.rate);
  return v;
}

double scoreOfMedians(const std::vector<TestResult>& tests) {
  if (tests.empty()) return 0;
  double sum = 0;
  for (const TestResult& t : tests) sum += pointsOf(t.summary().median, t.reference);
  return sum / static_cast<double>(tests.size());
}

std::string numberText(double v) { return json(v).dump(); }

json toJson(const Result& r) {
  json j;
  j["schema"] = r.schema;
  j["program"] = {{"name", r.program.name},
                  {"version", r.program.version},
                  {"revision", r.program.revision},
                  {"build_type", r.program.buildType},
                  {"compiler", r.program.compiler}};
  const Context& c = r.context;
  j["context"] = {{"date", c.date},
                  {"host", c.host},
                  {"os", c.os},
                  {"kernel", c.kernel},
                  {"cpu", c.cpu},
                  {"cores", c.cores},
                  {"memory_bytes", c.memoryBytes},
                  {"load_average", {{"start", loadJson(c.loadAtStart)}, {"end", loadJson(c.loadAtEnd)}}},
                  {"simd", c.simd},
                  {"display", c.display},
                  {"screen", {{"width", c.screenWidth}, {"height", c.screenHeight}}},
                  {"font", {{"requested", c.fontRequested}, {"file", c.fontFile}}},
                  {"libraries", c.libraries}};
  j["run"] = {{"mode", r.run.mode},
              {"tests", r.run.tests},
              {"repeat", r.run.repeat},
              {"warmup", r.run.warmup},
              {"complete", r.run.complete}};
  json tests = json::array();
  for (const TestResult& t : r.tests) {
    json samples = json::array();
    for (const Sample& s : t.samples) {
      json o = {{"elapsed_s", s.elapsedS}, {"rate", s.rate}, {"points", s.points}, {"label", s.label}};
      if (s.calls) o["calls"] = *s.calls;
      if (s.randomDraws) o["random_draws"] = *s.randomDraws;
      samples.push_back(std::move(o));
    }
    const Summary m = t.summary();
    tests.push_back({{"name", t.name},
                     {"unit", t.unit},
                     {"numerator", countOrNumber(t.numerator)},
                     {"primitives", t.primitives},
                     {"reference", countOrNumber(t.reference)},
                     {"samples", std::move(samples)},
                     {"median_rate", m.median},
                     {"mad_rate", m.mad},
                     {"min_rate", m.min},
                     {"max_rate", m.max},
                     {"cv", m.cv ? json(*m.cv) : json(nullptr)},
                     {"noisy", m.noisy},
                     {"surface_sha1", t.surfaceSha1.empty() ? json(nullptr) : json(t.surfaceSha1)}});
  }
  j["tests"] = std::move(tests);
  if (r.score) j["score"] = {{"of_medians", r.score->ofMedians}, {"last_run", r.score->lastRun}};
  return j;
}

Result fromJson(const json& j) {
  Result r;
  r.schema = j.at("schema").get<std::string>();
  if (r.schema != kSchema) throw std::runtime_error("not a " + std::string(kSchema) + " document: " + r.schema);
  const json& p = j.at("program");
  r.program = Program{p.at("name").get<std::string>(), p.at("version").get<std::string>(),
                      p.at("revision").get<std::string>(), p.at("build_type").get<std::string>(),
                      p.at("compiler").get<std::string>()};
  const json& c = j.at("context");
  Context& x = r.context;
  x.date = c.at("date").get<std::string>();
  x.host = c.at("host").get<std::string>();
  x.os = c.at("os").get<std::string>();
  x.kernel = c.at("kernel").get<std::string>();
  x.cpu = c.at("cpu").get<std::string>();
  x.cores = c.at("cores").get<int>();
  x.memoryBytes = c.at("memory_bytes").get<std::int64_t>();
  x.loadAtStart = loadFrom(c.at("load_average").at("start"));
  x.loadAtEnd = loadFrom(c.at("load_average").at("end"));
  x.simd = c.at("simd").get<std::string>();
  x.display = c.at("display").get<std::string>();
  x.screenWidth = c.at("screen").at("width").get<int>();
  x.screenHeight = c.at("screen").at("height").get<int>();
  x.fontRequested = c.at("font").at("requested").get<std::string>();
  x.fontFile = c.at("font").at("file").get<std::string>();
  x.libraries = c.at("libraries").get<std::map<std::string, std::string>>();
  const json& run = j.at("run");
  r.run = RunInfo{run.at("mode").get<std::string>(), run.at("tests").get<std::vector<std::string>>(),
                  run.at("repeat").get<int>(), run.at("warmup").get<int>(), run.at("complete").get<bool>()};
  for (const json& t : j.at("tests")) {
    TestResult tr;
    tr.name = t.at("name").get<std::string>();
    tr.unit = t.at("unit").get<std::string>();
    tr.numerator = t.at("numerator").get<double>();
    tr.primitives = t.at("primitives").get<std::int64_t>();
    tr.reference = t.at("reference").get<double>();
    for (const json& s : t.at("samples")) {
      Sample sample{s.at("elapsed_s").get<double>(), s.at("rate").get<double>(), s.at("points").get<double>(),
                    s.at("label").get<std::string>(), std::nullopt, std::nullopt};
      if (s.contains("calls")) sample.calls = s["calls"].get<std::map<std::string, std::uint64_t>>();
      if (s.contains("random_draws")) sample.randomDraws = s["random_draws"].get<std::uint64_t>();
      tr.samples.push_back(std::move(sample));
    }
    const json& sha = t.at("surface_sha1");
    if (!sha.is_null()) tr.surfaceSha1 = sha.get<std::string>();
    r.tests.push_back(std::move(tr));
  }
  if (j.contains("score"))
    r.score = Score{j["score"].at("of_medians").get<double>(), j["score"].at("last_run").get<std::int64_t>()};
  return r;
}

Result readResult(const std::string& text) { return fromJson(json::parse(text)); }

std::string toCsv(const Result& r) {
  std::string out = "name,unit,median,mad,min,max,points,cv\r\n";
  for (const Row& row : tableRows(r)) {
    for (const std::string* f : {&row.name, &row.unit, &row.median, &row.mad, &row.min, &row.max, &row.points})
      out += csvField(*f) + ",";
    out += csvField(row.cv) + "\r\n";
  }
  return out;
}

std::string toMarkdown(const Result& r) {
  std::string out = "| name | unit | median | MAD | min | max | points | cv |\n";
  out += "|---|---|--:|--:|--:|--:|--:|--:|\n";
  for (const Row& row : tableRows(r)) {
    out += "| " + row.name + " | " + row.unit + " | " + row.median + " | " + row.mad + " | " + row.min + " | " +
           row.max + " | " + row.points + " | " + row.cv + " |\n";
  }
  return out;
}

}  // namespace results
