#include "compare/format.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace compare {

namespace {

using Table = std::vector<std::vector<std::string>>;

std::string fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string rateText(double v) { return fixed(v, 0); }

std::string ratioText(const std::optional<double>& r) { return r ? fixed(*r, 3) : ""; }

std::string intervalText(const Cell& cell) {
  if (!cell.interval) return "";
  return fixed(cell.interval->low, 3) + ".." + fixed(cell.interval->high, 3);
}

std::string pText(const Cell& cell) {
  if (!cell.test) return "";
  return cell.test->p < 0.001 ? "<0.001" : fixed(cell.test->p, 3);
}

std::string scoreText(const std::optional<double>& s) { return s ? fixed(*s, 0) : ""; }

// Every cell of the comparison as one table; the formats only differ in how
// they lay it out.
Table buildTable(const Comparison& c) {
  Table t;
  std::vector<std::string> head{"Test"};
  for (std::size_t i = 0; i < c.labels.size(); ++i) {
    head.push_back(c.labels[i] + " median");
    head.push_back("MAD");
    if (i > 0) {
      for (const char* h : {"ratio", "95% interval", "p", "verdict", "pictures"}) head.push_back(h);
    }
  }
  t.push_back(head);
  for (const Row& r : c.rows) {
    std::vector<std::string> line{r.caption};
    for (std::size_t i = 0; i < r.cells.size(); ++i) {
      const Cell& cell = r.cells[i];
      line.push_back(cell.present ? rateText(cell.median) : "-");
      line.push_back(cell.present ? rateText(cell.mad) : "-");
      if (i > 0) {
        line.push_back(ratioText(cell.ratio));
        line.push_back(intervalText(cell));
        line.push_back(pText(cell));
        line.push_back(verdictText(cell.verdict));
        line.push_back(cell.present && r.cells[0].present ? picturesText(cell.pictures) : "");
      }
    }
    t.push_back(line);
  }
  std::vector<std::string> geo{"Geometric mean of ratios"};
  std::vector<std::string> scores{"Score of the medians"};
  std::vector<std::string> last{"Score shown (last run)"};
  for (std::size_t i = 0; i < c.labels.size(); ++i) {
    geo.insert(geo.end(), {"", ""});
    scores.insert(scores.end(), {scoreText(c.scoresOfMedians[i]), ""});
    last.insert(last.end(), {scoreText(c.scoresLastRun[i]), ""});
    if (i > 0) {
      geo.insert(geo.end(), {ratioText(c.geometricMeans[i]), "", "", "", ""});
      std::optional<double> scoreRatio;
      if (c.scoresOfMedians[0] && c.scoresOfMedians[i] && *c.scoresOfMedians[0] > 0)
        scoreRatio = *c.scoresOfMedians[i] / *c.scoresOfMedians[0];
      scores.insert(scores.end(), {ratioText(scoreRatio), "", "", "", ""});
      last.insert(last.end(), {"", "", "", "", ""});
    }
  }
  t.push_back(geo);
  t.push_back(scores);
  t.push_back(last);
  return t;
}

// Display width of UTF-8 text: one column per code point.
std::size_t columns(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char ch : s) n += (ch & 0xC0) != 0x80;
  return n;
}

std::string preamble(const Comparison& c, const char* bullet) {
  std::string out;
  for (std::size_t i = 0; i < c.labels.size(); ++i)
    if (!c.complete[i]) out += std::string(bullet) + c.labels[i] + " is an interrupted run (incomplete)\n";
  if (c.differences.empty()) {
    out += "Context: the files agree on mode, screen, display, font file, build type, program revision and SIMD level.\n";
  } else {
    out += "Context differences that make the comparison questionable:\n";
    for (const ContextDifference& d : c.differences) {
      out += std::string(bullet) + d.what + ":";
      for (std::size_t i = 0; i < d.values.size(); ++i)
        out += std::string(i == 0 ? " " : " | ") + c.labels[i] + " " + (d.values[i].empty() ? "(not recorded)" : d.values[i]);
      out += "\n";
    }
  }
  return out;
}

std::string asText(const Comparison& c) {
  const Table t = buildTable(c);
  std::vector<std::size_t> width(t[0].size(), 0);
  for (const auto& line : t)
    for (std::size_t k = 0; k < line.size(); ++k) width[k] = std::max(width[k], columns(line[k]));
  std::string out = preamble(c, "  ") + "\n";
  for (const auto& line : t) {
    std::string text;
    for (std::size_t k = 0; k < line.size(); ++k) {
      const std::size_t pad = width[k] - columns(line[k]);
      // Names and words left-aligned, numbers right-aligned.
      const bool left = k == 0 || t[0][k] == "verdict" || t[0][k] == "pictures";
      if (k > 0) text += "  ";
      text += left ? line[k] + std::string(pad, ' ') : std::string(pad, ' ') + line[k];
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out += text + "\n";
  }
  return out;
}

std::string asMarkdown(const Comparison& c) {
  const Table t = buildTable(c);
  std::string out = preamble(c, "- ") + "\n";
  for (std::size_t n = 0; n < t.size(); ++n) {
    out += "|";
    for (const std::string& cell : t[n]) out += " " + cell + " |";
    out += "\n";
    if (n == 0) {
      out += "|";
      for (std::size_t k = 0; k < t[0].size(); ++k) out += k == 0 ? "---|" : "---:|";
      out += "\n";
    }
  }
  return out;
}

std::string csvField(const std::string& s) {
  if (s.find_first_of(",\"\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char ch : s) q += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  return q + "\"";
}

std::string asCsv(const Comparison& c) {
  std::string out;
  for (const auto& line : buildTable(c)) {
    for (std::size_t k = 0; k < line.size(); ++k) {
      if (k > 0) out += ',';
      out += csvField(line[k]);
    }
    out += "\r\n";
  }
  return out;
}

nlohmann::json optionalNumber(const std::optional<double>& v) { return v ? nlohmann::json(*v) : nlohmann::json(); }

std::string asJson(const Comparison& c) {
  using nlohmann::json;
  json j;
  j["files"] = c.labels;
  j["complete"] = c.complete;
  j["context_differences"] = json::array();
  for (const ContextDifference& d : c.differences) j["context_differences"].push_back({{"what", d.what}, {"values", d.values}});
  j["tests"] = json::array();
  for (const Row& r : c.rows) {
    json row{{"name", r.name}, {"caption", r.caption}, {"files", json::array()}};
    for (std::size_t i = 0; i < r.cells.size(); ++i) {
      const Cell& cell = r.cells[i];
      json f{{"present", cell.present}};
      if (cell.present) f.update({{"median_rate", cell.median}, {"mad_rate", cell.mad}, {"samples", cell.samples}});
      if (i > 0) {
        f["ratio"] = optionalNumber(cell.ratio);
        if (cell.interval) f["interval"] = {cell.interval->low, cell.interval->high};
        if (cell.test) f["p"] = cell.test->p;
        f["verdict"] = verdictText(cell.verdict);
        f["pictures"] = picturesText(cell.pictures);
      }
      row["files"].push_back(f);
    }
    j["tests"].push_back(row);
  }
  j["geometric_mean"] = json::array();
  j["score_of_medians"] = json::array();
  j["score_last_run"] = json::array();
  for (std::size_t i = 0; i < c.labels.size(); ++i) {
    j["geometric_mean"].push_back(optionalNumber(c.geometricMeans[i]));
    j["score_of_medians"].push_back(optionalNumber(c.scoresOfMedians[i]));
    j["score_last_run"].push_back(optionalNumber(c.scoresLastRun[i]));
  }
  return j.dump(2) + "\n";
}

}  // namespace

std::string formatComparison(const Comparison& c, Format format) {
  switch (format) {
    case Format::Text: return asText(c);
    case Format::Markdown: return asMarkdown(c);
    case Format::Csv: return asCsv(c);
    case Format::Json: return asJson(c);
  }
  return "";
}

}  // namespace compare
