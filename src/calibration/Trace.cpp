#include "calibration/Trace.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell {

namespace {

// A value that is not a finite number (a loss or metric that could not be scored) is an
// empty field: spreadsheets and pandas read it as missing, and no "inf" or "nan" stands
// where a number is expected.
void AppendNumber(std::string& line, double v) {
  if (!std::isfinite(v)) return;
  line += ShortestReal(v);
}

std::vector<std::string> SplitCommas(const std::string& line) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    out.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) return out;
    start = comma + 1;
  }
}

// Exact decimal (or inf / nan, as older traces write a loss that could not be scored).
bool ParseTraceNumber(const std::string& token, double& v) {
  if (token.empty()) return false;
  auto r = std::from_chars(token.data(), token.data() + token.size(), v);
  return r.ec == std::errc() && r.ptr == token.data() + token.size();
}

}  // namespace

std::string TraceLayout::Header() const {
  std::string h = "evaluation";
  for (const std::string& n : parameterNames) h += "," + n;
  h += "," + lossName;
  for (const std::string& n : metricNames) h += "," + n;
  return h + ",seconds";
}

std::string TraceLine(const TraceRecord& r) {
  std::string line = std::to_string(r.number);
  for (double v : r.values) line += ',', AppendNumber(line, v);
  line += ',';
  AppendNumber(line, r.loss);
  for (double v : r.metrics) line += ',', AppendNumber(line, v);
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, ",%.3f", r.seconds);
  return line + seconds;
}

std::vector<TraceRecord> ReadTrace(const std::string& fsPath, const std::string& displayName,
                                   const TraceLayout& layout) {
  std::error_code ec;
  if (!std::filesystem::exists(fsPath, ec) || std::filesystem::file_size(fsPath, ec) == 0) return {};
  TextReader reader(fsPath, displayName);
  const std::string header = reader.ReadLine();
  const std::vector<std::string> expected = SplitCommas(layout.Header());
  const std::vector<std::string> found = SplitCommas(header);
  for (std::size_t i = 0; i < std::max(expected.size(), found.size()); ++i) {
    const std::string want = i < expected.size() ? expected[i] : "(nothing)";
    const std::string got = i < found.size() ? found[i] : "";
    if (want != got)
      throw TarnwellError(displayName + " line 1: \"" + got + "\" (column " + std::to_string(i + 1) +
                              ") where this calibration writes \"" + want +
                              "\": the trace belongs to another calibration (other parameters or "
                              "objective); remove it to start afresh",
                          displayName, 1, got, static_cast<int>(i));
  }
  std::vector<TraceRecord> records;
  const std::size_t n = layout.parameterNames.size(), metrics = layout.metricNames.size();
  while (!reader.AtEnd()) {
    const std::string text = reader.ReadLine();
    const long line = reader.LineNumber();
    if (text.empty()) continue;
    const std::vector<std::string> tokens = SplitCommas(text);
    auto refuse = [&](std::size_t i, const std::string& what) {
      const std::string token = i < tokens.size() ? tokens[i] : "";
      throw TarnwellError(displayName + " line " + std::to_string(line) + ": \"" + token + "\" (column " +
                              std::to_string(i + 1) + ") " + what,
                          displayName, line, token, static_cast<int>(i));
    };
    if (tokens.size() != expected.size())
      refuse(std::min(tokens.size(), expected.size()) - 1, "ends a line of " + std::to_string(tokens.size()) +
                                                               " columns; the header has " +
                                                               std::to_string(expected.size()));
    TraceRecord r;
    double number = 0;
    if (!ParseTraceNumber(tokens[0], number) || number != static_cast<double>(records.size() + 1))
      refuse(0, "should be evaluation " + std::to_string(records.size() + 1));
    r.number = static_cast<long>(records.size() + 1);
    std::vector<double> numbers(tokens.size());
    for (std::size_t i = 1; i < tokens.size(); ++i) {
      // The loss and the metrics may be empty: not scored.
      const bool scored = i > n && i + 1 < tokens.size();
      if (scored && tokens[i].empty()) {
        numbers[i] = i == 1 + n ? std::numeric_limits<double>::infinity() : std::nan("");
        continue;
      }
      if (!ParseTraceNumber(tokens[i], numbers[i])) refuse(i, "is not a number");
    }
    r.values.assign(numbers.begin() + 1, numbers.begin() + 1 + static_cast<std::ptrdiff_t>(n));
    r.loss = numbers[1 + n];
    r.metrics.assign(numbers.begin() + 2 + static_cast<std::ptrdiff_t>(n),
                     numbers.begin() + 2 + static_cast<std::ptrdiff_t>(n + metrics));
    r.seconds = numbers.back();
    records.push_back(std::move(r));
  }
  return records;
}

}  // namespace tarnwell
