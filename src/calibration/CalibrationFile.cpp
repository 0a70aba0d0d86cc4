#include "calibration/CalibrationFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <tuple>

#include <unistd.h>

#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"
#include "parameters/ParameterLimits.h"
#include "results/Statistic.h"

namespace tarnwell {

namespace {

struct Token {
  std::string text;
  int index = 0;
};

// Blanks and tabs separate; `#` starts a comment.
std::vector<Token> Tokenize(std::string_view line) {
  const std::size_t hash = line.find('#');
  if (hash != std::string_view::npos) line = line.substr(0, hash);
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) tokens.push_back({std::string(line.substr(start, i - start)), static_cast<int>(tokens.size())});
  }
  return tokens;
}

// The reader of one file: every refusal names the file, the line and the token.
class FileChecker {
 public:
  explicit FileChecker(std::string file) : file_(std::move(file)) {}
  const std::string& File() const { return file_; }
  void At(long line) { line_ = line; }

  [[noreturn]] void Refuse(const Token& t, const std::string& what) const {
    throw TarnwellError(file_ + " line " + std::to_string(line_) + ": \"" + t.text + "\" (token " +
                            std::to_string(t.index) + ") " + what,
                        file_, line_, t.text, t.index);
  }
  [[noreturn]] void RefuseAt(long line, const Token& t, const std::string& what) {
    line_ = line;
    Refuse(t, what);
  }

  double Real(const Token& t) const {
    double v = 0;
    if (!ParseReal(t.text, v)) Refuse(t, "is not a number");
    return v;
  }
  int Count(const Token& t, const char* what) const {
    int v = 0;
    if (!ParseInteger(t.text, v) || v < 1) Refuse(t, std::string("is not a whole number of at least 1 (") + what + ")");
    return v;
  }

 private:
  std::string file_;
  long line_ = 0;
};

bool ParseSeed(std::string_view text, std::uint64_t& seed) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  auto r = std::from_chars(text.data(), text.data() + text.size(), seed);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool ParseMethod(std::string_view text, SearchMethod& method) {
  if (text == "dds") method = SearchMethod::Dds;
  else if (text == "sce") method = SearchMethod::Sce;
  else if (text == "lhs") method = SearchMethod::Lhs;
  else return false;
  return true;
}

bool ParseObjective(std::string_view text, ObjectiveKind& kind) {
  for (ObjectiveKind k : {ObjectiveKind::Kge, ObjectiveKind::Nse, ObjectiveKind::LogNse, ObjectiveKind::Pbias,
                          ObjectiveKind::FdcHigh, ObjectiveKind::FdcMid, ObjectiveKind::FdcLow})
    if (text == ObjectiveName(k)) {
      kind = k;
      return true;
    }
  return false;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

constexpr const char* kObjectives = "kge, nse, lognse, pbias, fdc-high, fdc-mid or fdc-low";

// "kge" alone, or measures each followed by its weight ("kge 0.5 lognse 0.5"). The problem
// and the index of the word it concerns, or an empty problem.
std::pair<std::string, std::size_t> ParseObjectiveWords(const std::vector<std::string>& words, Objective& out) {
  Objective o;
  o.terms.clear();
  for (std::size_t i = 0; i < words.size(); ++i) {
    ObjectiveTerm term;
    if (!ParseObjective(words[i], term.kind)) return {std::string("is not an objective (") + kObjectives + ")", i};
    for (const ObjectiveTerm& t : o.terms)
      if (t.kind == term.kind) return {"is named twice in the objective", i};
    if (words.size() > 1) {
      if (++i == words.size()) return {"needs a weight after it", i - 1};
      if (!ParseReal(words[i], term.weight) || !(term.weight > 0) || !std::isfinite(term.weight))
        return {"is not a weight above 0", i};
    }
    o.terms.push_back(term);
  }
  if (o.terms.empty()) return {"needs a value", 0};
  out = o;
  return {"", 0};
}

// "1991" or "1991-1993".
bool ParseYears(std::string_view text, std::vector<int>& years) {
  const std::size_t dash = text.find('-', 1);
  int first = 0, last = 0;
  if (!ParseInteger(text.substr(0, dash), first)) return false;
  last = first;
  if (dash != std::string_view::npos && !ParseInteger(text.substr(dash + 1), last)) return false;
  if (first < 1 || last > 9999 || first > last) return false;
  for (int y = first; y <= last; ++y) years.push_back(y);
  return true;
}

// Edit distance, for suggesting the name meant.
std::size_t Distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t up = row[j];
      const char ca = static_cast<char>(std::tolower(static_cast<unsigned char>(a[i - 1])));
      const char cb = static_cast<char>(std::tolower(static_cast<unsigned char>(b[j - 1])));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (ca == cb ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

const char* const kSettings[] = {"algorithm",   "evaluations", "objective", "sediment-weight", "warmup",
                                 "calibration", "validation",  "seed",      "batch",           "complexes"};

std::string Suggestion(const std::string& text) {
  std::string best;
  std::size_t bestDistance = 4;  // farther than 3 edits is no suggestion
  std::vector<std::string> names = RealParameterNames();
  names.insert(names.end(), std::begin(kSettings), std::end(kSettings));
  for (const std::string& name : names) {
    const std::size_t d = Distance(text, name);
    if (d < bestDistance) bestDistance = d, best = name;
  }
  return best.empty() ? "" : " (did you mean " + best + "?)";
}

// One bound of a calibrated parameter, for the checks between parameters.
struct Bounds {
  const CalibratedParameter* calibrated = nullptr;
  std::size_t index = 0;  // in the file's order
  double fixed = 0;       // the parameter set's value when not calibrated
};

// Parameters tied by the model's arithmetic: `below` must stay under `above` for every
// point of the search box, and the reason.
struct Tie {
  const char* below;
  const char* above;
  const char* why;
};
const Tie kTies[] = {
    {"WiltingPoint", "FieldCapacity", "transpiration scales with the moisture between them"},
    {"FieldCapacity", "SaturatedWaterContent", "their difference is the specific yield that moves the water table"},
};

}  // namespace

SearchSpace CalibrationConfig::Space() const {
  std::vector<SearchParameter> space;
  for (const CalibratedParameter& p : parameters) space.push_back({p.name, p.lower, p.upper, p.log});
  return SearchSpace(std::move(space));
}

std::vector<std::string> CalibrationConfig::ParameterNames() const {
  std::vector<std::string> names;
  for (const CalibratedParameter& p : parameters) names.push_back(p.name);
  return names;
}

int CalibrationConfig::WorkerCount() const {
  if (workers > 0) return workers;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

int CalibrationConfig::LastYear() const {
  int last = 0;
  for (const auto* list : {&warmupYears, &calibrationYears, &validationYears})
    if (!list->empty()) last = std::max(last, list->back());
  return last;
}

namespace {

// The machine's memory in bytes (16 GiB when it cannot be told).
double PhysicalMemory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
  return pages > 0 && pageSize > 0 ? static_cast<double>(pages) * static_cast<double>(pageSize) : 16.0 * (1LL << 30);
}

std::string Gigabytes(double bytes) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f GB", bytes / 1e9);
  return buf;
}

// The search's sizes against the evaluations and the memory: a complex that no evaluation
// reaches, a batch larger than the budget, or a population and trace the memory cannot hold
// are refused before anything is allocated, naming the setting's line and token. `option`:
// the command-line option that set the evaluations, if one did.
void RequireFeasibleSearch(const CalibrationConfig& c, const std::string& option) {
  const double n = static_cast<double>(c.parameters.size());
  const double evaluations = static_cast<double>(c.search.evaluations);
  auto refuse = [&](const CalibrationConfig::SettingPlace& at, const std::string& what) {
    const std::string with = option.empty() ? ""
                                            : " (with " + option + " " + std::to_string(c.search.evaluations) + ")";
    const std::string setting = &at == &c.complexesAt ? "complexes " + std::to_string(c.search.complexes)
                                : &at == &c.batchAt   ? "batch " + std::to_string(c.search.batch)
                                                      : "evaluations " + std::to_string(c.search.evaluations);
    if (at.line == 0) throw InputError(c.file, 0, "the setting " + setting + " (its default) " + what + with);
    throw TarnwellError(c.file + " line " + std::to_string(at.line) + ": \"" + at.text + "\" (token 1) " + what + with,
                        c.file, at.line, at.text, 1);
  };
  const bool sce = c.search.method == SearchMethod::Sce;
  if (sce && c.search.complexes > c.search.evaluations)
    refuse(c.complexesAt, "is more complexes than the " + std::to_string(c.search.evaluations) +
                              " evaluations can start: every complex needs points of its own");
  // A batch is cut to the evaluations left, so a short run asked for on the command line
  // may keep the file's batch; in the file itself a larger batch is a slip.
  if (!sce && c.batchAt.line != 0 && option.empty() && c.search.batch > c.search.evaluations)
    refuse(c.batchAt, "is more points per batch than the " + std::to_string(c.search.evaluations) + " evaluations");
  // Each evaluation is kept (its values and measures, about 40 doubles beside them); SCE-UA
  // holds its population three times over, points of n values; the Latin hypercube its strata.
  const double perPoint = (n + 8) * 8 + 64;
  const double trace = evaluations * (perPoint + 40 * 8);
  const double population = sce ? 3 * static_cast<double>(c.search.complexes) * (2 * n + 1) * perPoint : 0;
  const double strata = c.search.method == SearchMethod::Lhs ? evaluations * (n * 8 + perPoint) : 0;
  const double available = PhysicalMemory() / 2;
  if (population > available)
    refuse(c.complexesAt, "complexes of " + std::to_string(2 * c.parameters.size() + 1) + " points would need about " +
                              Gigabytes(population) + ", more than half this machine's memory (" +
                              Gigabytes(2 * available) + ")");
  if (trace + strata + population > available)
    refuse(c.evaluationsAt, "evaluations would need about " + Gigabytes(trace + strata + population) +
                                " to keep, more than half this machine's memory (" + Gigabytes(2 * available) + ")");
}

}  // namespace

void CalibrationConfig::RequireYearsWithin(int firstYear, int lastYear, const std::string& data) const {
  for (const auto* list : {&warmupYears, &calibrationYears, &validationYears})
    for (int y : *list) {
      if (y >= firstYear && y <= lastYear) continue;
      const char* kind = list == &warmupYears ? "warm-up" : list == &calibrationYears ? "calibration" : "validation";
      const auto at = yearSources.find(y);
      if (at != yearSources.end() && at->second.line < 0)
        throw std::invalid_argument(at->second.token + " names the " + kind + " year " + std::to_string(y) +
                                    ", outside the years " + std::to_string(firstYear) + " to " +
                                    std::to_string(lastYear) + " that " + data + " cover");
      FileChecker check(file);
      check.At(at == yearSources.end() ? 0 : at->second.line);
      const Token token{at == yearSources.end() ? std::to_string(y) : at->second.token,
                        at == yearSources.end() ? 0 : at->second.index};
      check.Refuse(token, std::string("names the ") + kind + " year " + std::to_string(y) + ", outside the years " +
                              std::to_string(firstYear) + " to " + std::to_string(lastYear) + " that " + data +
                              " cover");
    }
}

CalibrationConfig ReadCalibrationFile(const std::string& fsPath, const std::string& displayName,
                                      const ParameterSet& current) {
  TextReader reader(fsPath, displayName);
  return ReadCalibrationFile(reader, current);
}

CalibrationConfig ReadCalibrationFile(TextReader& reader, const ParameterSet& current) {
  CalibrationConfig config;
  config.file = reader.Name();
  FileChecker check(config.file);
  std::map<std::string, long> settingLine;  // setting -> line that gave it
  std::map<int, std::string> yearList;      // year -> the list that holds it
  std::map<std::string, long, std::less<>> parameterLine;
  std::vector<std::pair<Token, Token>> boundTokens;  // as typed, per calibrated parameter

  while (!reader.AtEnd()) {
    const std::string text = reader.ReadLine();
    const long line = reader.LineNumber();
    check.At(line);
    const std::vector<Token> tokens = Tokenize(text);
    if (tokens.empty()) continue;
    const Token& key = tokens[0];
    const bool isSetting = std::find(std::begin(kSettings), std::end(kSettings), key.text) != std::end(kSettings);

    if (isSetting) {
      auto [seen, fresh] = settingLine.emplace(key.text, line);
      if (!fresh) check.Refuse(key, "is set twice (first on line " + std::to_string(seen->second) + ")");
      if (tokens.size() < 2) check.Refuse(key, "needs a value");
      const bool isYears = key.text == "warmup" || key.text == "calibration" || key.text == "validation";
      if (!isYears && key.text != "objective" && tokens.size() > 2) check.Refuse(tokens[2], "is one value too many");
      const Token& value = tokens[1];
      if (key.text == "algorithm") {
        if (!ParseMethod(value.text, config.search.method))
          check.Refuse(value, "is not an algorithm (dds, sce or lhs)");
      } else if (key.text == "evaluations") {
        config.search.evaluations = check.Count(value, "the number of evaluations");
        config.evaluationsAt = {line, value.text};
      } else if (key.text == "objective") {
        std::vector<std::string> words;
        for (std::size_t i = 1; i < tokens.size(); ++i) words.push_back(tokens[i].text);
        const auto [problem, at] = ParseObjectiveWords(words, config.objective);
        if (!problem.empty()) check.Refuse(tokens[at + 1], problem);
      } else if (key.text == "sediment-weight") {
        config.sedimentWeight = check.Real(value);
        if (!(config.sedimentWeight >= 0 && config.sedimentWeight <= 1))
          check.Refuse(value, "is not a weight from 0 to 1");
      } else if (key.text == "seed") {
        if (!ParseSeed(value.text, config.search.seed))
          check.Refuse(value, "is not a seed (a whole number from 0 to 18446744073709551615)");
      } else if (key.text == "batch") {
        config.search.batch = check.Count(value, "points proposed together");
        config.batchAt = {line, value.text};
      } else if (key.text == "complexes") {
        config.search.complexes = check.Count(value, "the number of complexes");
        config.complexesAt = {line, value.text};
      } else {
        std::vector<int>& years = key.text == "warmup"        ? config.warmupYears
                                  : key.text == "calibration" ? config.calibrationYears
                                                              : config.validationYears;
        for (std::size_t i = 1; i < tokens.size(); ++i) {
          std::vector<int> these;
          if (!ParseYears(tokens[i].text, these))
            check.Refuse(tokens[i], "is not a year or a range of years such as 1991-1993");
          for (int y : these) {
            auto [other, added] = yearList.emplace(y, key.text);
            if (!added)
              check.Refuse(tokens[i], "names " + std::to_string(y) + ", already a " + other->second + " year");
            years.push_back(y);
            config.yearSources[y] = {line, tokens[i].text, tokens[i].index};
          }
        }
        std::sort(years.begin(), years.end());
      }
      continue;
    }

    // A gauge inside the basin: sub-basin weight [file]
    if (key.text == "gauge") {
      if (tokens.size() < 3) check.Refuse(key, "needs a sub-basin number and a weight (gauge 1 0.3)");
      if (tokens.size() > 4) check.Refuse(tokens[4], "is one value too many");
      GaugeTerm g;
      g.line = line;
      const std::size_t subBasins = std::max<std::size_t>(current.RoutingK.size(), 1) - 1;
      if (!ParseInteger(tokens[1].text, g.subBasin) || g.subBasin < 1 ||
          (subBasins > 0 && static_cast<std::size_t>(g.subBasin) > subBasins))
        check.Refuse(tokens[1], "is not a sub-basin of the list (1 to " + std::to_string(subBasins) + ")");
      for (const GaugeTerm& other : config.gauges)
        if (other.subBasin == g.subBasin)
          check.Refuse(tokens[1], "is a gauge twice (first on line " + std::to_string(other.line) + ")");
      g.weight = check.Real(tokens[2]);
      if (!(g.weight > 0 && std::isfinite(g.weight))) check.Refuse(tokens[2], "is not a weight above 0");
      if (tokens.size() > 3) g.file = tokens[3].text;
      config.gauges.push_back(std::move(g));
      continue;
    }

    // A parameter line: name lower upper [log]
    if (key.text == "SimYears") check.Refuse(key, "is the number of simulated years, not a parameter to calibrate");
    const ParameterDomain* domain = FindParameterDomain(key.text);
    if (!domain) check.Refuse(key, "is neither a setting nor a parameter name" + Suggestion(key.text));
    auto [seen, fresh] = parameterLine.emplace(key.text, line);
    if (!fresh) check.Refuse(key, "is calibrated twice (first on line " + std::to_string(seen->second) + ")");
    if (tokens.size() < 3) check.Refuse(key, "needs a lower and an upper bound");
    CalibratedParameter p;
    p.name = key.text;
    p.line = line;
    p.lower = check.Real(tokens[1]);
    p.upper = check.Real(tokens[2]);
    for (int i : {1, 2}) {
      const double v = i == 1 ? p.lower : p.upper;
      if (!domain->Contains(v))
        check.Refuse(tokens[static_cast<std::size_t>(i)], std::string("is outside what the model can take: ") + p.name +
                                                              " must be " + domain->Describe() + " (" + domain->why +
                                                              ")");
    }
    if (!(p.lower < p.upper)) check.Refuse(tokens[2], "must be above the lower bound " + tokens[1].text);
    if (tokens.size() > 3) {
      if (tokens[3].text != "log") check.Refuse(tokens[3], "is not \"log\"");
      if (!(p.lower > 0)) check.Refuse(tokens[1], "must be above 0 for a search in the logarithm (log)");
      p.log = true;
    }
    if (tokens.size() > 4) check.Refuse(tokens[4], "is one value too many");
    // A reach's routing is searched only for a sub-basin the workspace has.
    ParameterSet probe = current;
    if (p.name.rfind("Muskingum", 0) == 0 && !FindParameter(probe, p.name))
      check.Refuse(key, "names a sub-basin the workspace does not have (it has " +
                            std::to_string(std::max<std::size_t>(current.RoutingK.size(), 1) - 1) + ")");
    config.parameters.push_back(p);
    boundTokens.emplace_back(tokens[1], tokens[2]);
  }

  if (config.parameters.empty())
    throw InputError(config.file, 0, "names no parameter to calibrate (a line such as \"FieldCapacity 0.2 0.36\")");
  if (config.calibrationYears.empty())
    throw InputError(config.file, 0, "has no calibration years (a line such as \"calibration 1991-1992\")");

  // A reach's K and x: every corner of their box (a bound, or the sub-basin list's value of
  // the one not searched) must keep the routing coefficients at or above 0, or the routed
  // discharge could fall below 0 (a K of 6 h with x = 0.2 does).
  for (std::size_t k = 1; k < current.RoutingK.size() && k < current.RoutingX.size(); ++k) {
    const std::string kName = "MuskingumK[" + std::to_string(k) + "]", xName = "MuskingumX[" + std::to_string(k) + "]";
    const CalibratedParameter *kp = nullptr, *xp = nullptr;
    std::size_t kAt = 0, xAt = 0;
    for (std::size_t i = 0; i < config.parameters.size(); ++i) {
      if (config.parameters[i].name == kName) kp = &config.parameters[i], kAt = i;
      if (config.parameters[i].name == xName) xp = &config.parameters[i], xAt = i;
    }
    if (!kp && !xp) continue;
    const std::vector<double> ks = kp ? std::vector<double>{kp->lower, kp->upper} : std::vector{current.RoutingK[k]};
    const std::vector<double> xs = xp ? std::vector<double>{xp->lower, xp->upper} : std::vector{current.RoutingX[k]};
    for (double K : ks)
      for (double x : xs) {
        std::string problem = MuskingumDenominatorProblem(K, x);
        if (problem.empty() && !NegativeMuskingumCoefficient(K, x).empty())
          problem = "gives the routing coefficient " + NegativeMuskingumCoefficient(K, x) + " below 0";
        if (problem.empty()) continue;
        // The bound to move: K's lower one when K is searched, else x's upper one.
        const bool atK = kp != nullptr;
        const CalibratedParameter& p = atK ? *kp : *xp;
        const Token& token = atK ? boundTokens[kAt].first : boundTokens[xAt].second;
        check.RefuseAt(p.line, token,
                       "with K = " + ShortestReal(K) + " h and x = " + ShortestReal(x) + " " + problem +
                           ": keep K x at most 12 h and K (1 - x) at least 12 h (half the day of the routing) over the "
                           "whole range");
      }
  }

  // Tied parameters: every point of the box must keep them in order.
  ParameterSet values = current;
  auto bounds = [&](const char* name) {
    Bounds b;
    for (std::size_t i = 0; i < config.parameters.size(); ++i)
      if (config.parameters[i].name == name) b.calibrated = &config.parameters[i], b.index = i;
    b.fixed = *FindParameter(values, name);
    return b;
  };
  for (const Tie& tie : kTies) {
    const Bounds lo = bounds(tie.below), hi = bounds(tie.above);
    if (!lo.calibrated && !hi.calibrated) continue;
    const std::string reason = std::string(" (") + tie.why + ")";
    const double highestBelow = lo.calibrated ? lo.calibrated->upper : lo.fixed;
    const double lowestAbove = hi.calibrated ? hi.calibrated->lower : hi.fixed;
    if (highestBelow < lowestAbove) continue;
    if (lo.calibrated && hi.calibrated) {
      check.RefuseAt(lo.calibrated->line, boundTokens[lo.index].second,
                     "must lie below the lower bound " + ShortestReal(hi.calibrated->lower) + " of " + tie.above +
                         " (line " + std::to_string(hi.calibrated->line) + "): " + tie.below + " must stay below " +
                         tie.above + reason);
    } else if (lo.calibrated) {
      check.RefuseAt(lo.calibrated->line, boundTokens[lo.index].second,
                     std::string("must lie below ") + tie.above + " = " + ShortestReal(hi.fixed) +
                         " of the parameter file: " + tie.below + " must stay below " + tie.above + reason);
    } else {
      check.RefuseAt(hi.calibrated->line, boundTokens[hi.index].first,
                     std::string("must lie above ") + tie.below + " = " + ShortestReal(lo.fixed) +
                         " of the parameter file: " + tie.below + " must stay below " + tie.above + reason);
    }
  }
  RequireFeasibleSearch(config, "");
  return config;
}

void ApplyOverrides(CalibrationConfig& config, const CalibrationOverrides& o) {
  auto count = [](const std::string& option, const std::string& text) {
    int v = 0;
    if (!ParseInteger(text, v) || v < 1)
      throw std::invalid_argument("--" + option + " needs a whole number of at least 1, not \"" + text + "\"");
    return v;
  };
  if (o.algorithm && !ParseMethod(*o.algorithm, config.search.method))
    throw std::invalid_argument("--algorithm is dds, sce or lhs, not \"" + *o.algorithm + "\"");
  if (o.evaluations) config.search.evaluations = count("evaluations", *o.evaluations);
  if (o.objective) {
    const std::string problem = ObjectiveProblem(*o.objective);
    if (!problem.empty()) throw std::invalid_argument("--objective \"" + *o.objective + "\": " + problem);
    ParseObjectiveWords(Words(*o.objective), config.objective);
  }
  if (o.seed && !ParseSeed(*o.seed, config.search.seed))
    throw std::invalid_argument("--seed needs a whole number from 0 to 18446744073709551615, not \"" + *o.seed + "\"");
  if (o.workers) config.workers = count("workers", *o.workers);
  // The periods: each option given replaces its list; no year may stand in two lists.
  const std::tuple<const std::optional<std::string>*, std::vector<int>*, const char*> periods[] = {
      {&o.warmup, &config.warmupYears, "warmup"},
      {&o.calibration, &config.calibrationYears, "calibration"},
      {&o.validation, &config.validationYears, "validation"}};
  for (const auto& [given, years, name] : periods) {
    if (!*given) continue;
    std::string text = **given;
    std::replace(text.begin(), text.end(), ',', ' ');
    const std::string option = "--" + std::string(name) + " " + **given;
    std::vector<int> parsed;
    for (const std::string& word : Words(text)) {
      std::vector<int> these;
      if (!ParseYears(word, these))
        throw std::invalid_argument(option + ": \"" + word + "\" is not a year or a range of years such as 1991-1993");
      parsed.insert(parsed.end(), these.begin(), these.end());
    }
    if (parsed.empty() && std::string(name) == "calibration")
      throw std::invalid_argument(option + ": names no calibration year");
    std::sort(parsed.begin(), parsed.end());
    for (int y : *years) config.yearSources.erase(y);
    *years = parsed;
    for (int y : parsed) config.yearSources[y] = {-1, option, 0};
  }
  for (std::size_t i = 0; i < std::size(periods); ++i)
    for (std::size_t j = i + 1; j < std::size(periods); ++j) {
      const auto& [given, years, name] = periods[i];
      const auto& [other, otherYears, otherName] = periods[j];
      if (!*given && !*other) continue;  // the file's lists were checked as it was read
      for (int y : *years)
        if (std::find(otherYears->begin(), otherYears->end(), y) != otherYears->end())
          throw std::invalid_argument(std::string("the year ") + std::to_string(y) + " is both a " + name + " and a " +
                                      otherName + " year, as the command line sets them");
    }
  if (o.algorithm || o.evaluations) RequireFeasibleSearch(config, o.evaluations ? "--evaluations" : "");
}

std::vector<double> CalibratedValues(const CalibrationConfig& config, const ParameterSet& params) {
  ParameterSet copy = params;
  std::vector<double> values;
  for (const CalibratedParameter& p : config.parameters) {
    const double* v = FindParameter(copy, p.name);
    values.push_back(v ? *v : std::numeric_limits<double>::quiet_NaN());
  }
  return values;
}

std::vector<std::string> StartsOutsideTheirRanges(const CalibrationConfig& config, const ParameterSet& current) {
  const std::vector<double> values = CalibratedValues(config, current);
  std::vector<std::string> found;
  for (std::size_t i = 0; i < config.parameters.size() && i < values.size(); ++i) {
    const CalibratedParameter& p = config.parameters[i];
    const double v = values[i];
    if (v >= p.lower && v <= p.upper) continue;
    found.push_back(config.file + " line " + std::to_string(p.line) + ": the parameter file's " + p.name + " " +
                    ShortestReal(v) + " lies outside its range " + ShortestReal(p.lower) + " to " +
                    ShortestReal(p.upper) + ": the search starts from " +
                    ShortestReal(v < p.lower ? p.lower : p.upper) +
                    " and cannot return to it (widen the range to keep it within reach)");
  }
  return found;
}

void SetCalibratedValues(const CalibrationConfig& config, const std::vector<double>& values, ParameterSet& params) {
  for (std::size_t i = 0; i < config.parameters.size() && i < values.size(); ++i)
    if (double* v = FindParameter(params, config.parameters[i].name)) *v = values[i];
}

const char* MethodName(SearchMethod method) {
  switch (method) {
    case SearchMethod::Dds: return "dds";
    case SearchMethod::Sce: return "sce";
    case SearchMethod::Lhs: return "lhs";
    case SearchMethod::Morris: return "morris";
    case SearchMethod::Sobol: return "sobol";
  }
  return "?";
}

const char* ObjectiveName(ObjectiveKind kind) {
  switch (kind) {
    case ObjectiveKind::Kge: return "kge";
    case ObjectiveKind::Nse: return "nse";
    case ObjectiveKind::LogNse: return "lognse";
    case ObjectiveKind::Pbias: return "pbias";
    case ObjectiveKind::FdcHigh: return "fdc-high";
    case ObjectiveKind::FdcMid: return "fdc-mid";
    case ObjectiveKind::FdcLow: return "fdc-low";
  }
  return "?";
}

std::string ObjectiveProblem(const std::string& text) {
  const std::vector<std::string> words = Words(text);
  Objective o;
  const auto [problem, at] = ParseObjectiveWords(words, o);
  if (problem.empty()) return problem;
  return (at < words.size() ? "\"" + words[at] + "\" " : std::string()) + problem;
}

bool Objective::Uses(ObjectiveKind kind) const {
  for (const ObjectiveTerm& t : terms)
    if (t.kind == kind) return true;
  return false;
}

std::string ObjectiveText(const Objective& objective) {
  if (objective.Single()) return ObjectiveName(objective.terms[0].kind);
  std::string text;
  for (const ObjectiveTerm& t : objective.terms)
    text += (text.empty() ? "" : " ") + std::string(ObjectiveName(t.kind)) + " " + ShortestReal(t.weight);
  return text;
}

}  // namespace tarnwell
