#include "compare/result_file.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace compare {

namespace {

using nlohmann::json;

constexpr const char* kSchema = "vex2d-result/1";

std::string textAt(const json& j, std::initializer_list<const char*> keys) {
  const json* at = &j;
  for (const char* k : keys) {
    if (!at->is_object() || !at->contains(k)) return "";
    at = &(*at)[k];
  }
  if (at->is_string()) return at->get<std::string>();
  if (at->is_number_integer()) return std::to_string(at->get<long long>());
  if (at->is_number()) return json(at->get<double>()).dump();
  if (at->is_boolean()) return at->get<bool>() ? "true" : "false";
  return "";
}

std::optional<double> numberAt(const json& j, const char* key) {
  if (!j.is_object() || !j.contains(key) || !j[key].is_number()) return std::nullopt;
  return j[key].get<double>();
}

}  // namespace

const TestResult* ResultFile::find(const std::string& name) const {
  for (const TestResult& t : tests)
    if (t.name == name) return &t;
  return nullptr;
}

std::optional<ResultFile> parseResultFile(const std::string& text, const std::string& path, std::string* error) {
  json j = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (j.is_discarded()) {
    *error = path + ": not a JSON file";
    return std::nullopt;
  }
  if (!j.is_object() || !j.contains("schema") || !j["schema"].is_string()) {
    *error = path + ": not a Vex2D result file (no \"schema\")";
    return std::nullopt;
  }
  ResultFile r;
  r.path = path;
  r.schema = j["schema"].get<std::string>();
  if (r.schema != kSchema) {
    *error = path + ": result schema \"" + r.schema + "\" is not one this program reads (" + kSchema + ")";
    return std::nullopt;
  }
  if (!j.contains("tests") || !j["tests"].is_array()) {
    *error = path + ": result file has no \"tests\" list";
    return std::nullopt;
  }
  r.mode = textAt(j, {"run", "mode"});
  const std::string w = textAt(j, {"context", "screen", "width"}), h = textAt(j, {"context", "screen", "height"});
  if (!w.empty() && !h.empty()) r.screen = w + "x" + h;
  r.display = textAt(j, {"context", "display"});
  r.fontFile = textAt(j, {"context", "font", "file"});
  r.buildType = textAt(j, {"program", "build_type"});
  r.revision = textAt(j, {"program", "revision"});
  r.version = textAt(j, {"program", "version"});
  r.simd = textAt(j, {"context", "simd"});
  r.host = textAt(j, {"context", "host"});
  r.cpu = textAt(j, {"context", "cpu"});
  r.date = textAt(j, {"context", "date"});
  r.complete = textAt(j, {"run", "complete"}) != "false";

  for (const json& t : j["tests"]) {
    TestResult tr;
    if (!t.is_object() || !t.contains("name") || !t["name"].is_string()) {
      *error = path + ": a test without a name";
      return std::nullopt;
    }
    tr.name = t["name"].get<std::string>();
    tr.unit = textAt(t, {"unit"});
    if (t.contains("samples") && t["samples"].is_array()) {
      for (const json& s : t["samples"]) {
        const std::optional<double> rate = numberAt(s, "rate");
        if (!rate) {
          *error = path + ": a sample of " + tr.name + " has no rate";
          return std::nullopt;
        }
        tr.rates.push_back(*rate);
      }
    }
    const std::optional<double> median = numberAt(t, "median_rate");
    if (!median || tr.rates.empty()) {
      *error = path + ": test " + tr.name + " has no samples or no median_rate";
      return std::nullopt;
    }
    tr.medianRate = *median;
    tr.madRate = numberAt(t, "mad_rate").value_or(0);
    tr.noisy = t.contains("noisy") && t["noisy"].is_boolean() && t["noisy"].get<bool>();
    tr.surfaceSha1 = textAt(t, {"surface_sha1"});
    r.tests.push_back(std::move(tr));
  }
  if (j.contains("score") && j["score"].is_object()) {
    r.scoreOfMedians = numberAt(j["score"], "of_medians");
    r.scoreLastRun = numberAt(j["score"], "last_run");
  }
  return r;
}

std::optional<ResultFile> readResultFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path + ": cannot be read";
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    *error = path + ": cannot be read";
    return std::nullopt;
  }
  return parseResultFile(text.str(), path, error);
}

}  // namespace compare
