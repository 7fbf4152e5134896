#include "compare/result_file.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace compare {

const results::TestResult* ResultFile::find(const std::string& name) const {
  for (const results::TestResult& t : result.tests)
    if (t.name == name) return &t;
  return nullptr;
}

std::optional<ResultFile> parseResultFile(const std::string& text, const std::string& path, std::string* error) {
  const nlohmann::ordered_json j = nlohmann::ordered_json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (j.is_discarded()) {
    *error = path + ": not a JSON file";
    return std::nullopt;
  }
  if (!j.is_object() || !j.contains("schema") || !j["schema"].is_string()) {
    *error = path + ": not a Vex2D result file (no \"schema\")";
    return std::nullopt;
  }
  const std::string schema = j["schema"].get<std::string>();
  if (schema != results::kSchema) {
    *error = path + ": result schema \"" + schema + "\" is not one this program reads (" + results::kSchema + ")";
    return std::nullopt;
  }
  ResultFile f;
  f.path = path;
  try {
    f.result = results::fromJson(j);
  } catch (const std::exception& e) {
    // nlohmann's messages name the member ("key 'mode' not found").
    std::string what = e.what();
    if (const std::size_t at = what.find("] "); at != std::string::npos) what = what.substr(at + 2);
    *error = path + ": damaged result file: " + what;
    return std::nullopt;
  }
  for (const results::TestResult& t : f.result.tests) {
    if (t.samples.empty()) {
      *error = path + ": test " + t.name + " has no samples";
      return std::nullopt;
    }
  }
  return f;
}

std::optional<ResultFile> readResultFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad()) {
    *error = path + ": cannot be read";
    return std::nullopt;
  }
  return parseResultFile(text.str(), path, error);
}

}  // namespace compare
