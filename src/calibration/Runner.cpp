#include "calibration/Runner.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>

#include "calibration/CalibrationFile.h"
#include "calibration/Sensitivity.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell {

namespace {

std::string Describe(const std::vector<SearchParameter>& parameters, const std::vector<double>& values) {
  std::string text;
  for (std::size_t i = 0; i < values.size() && i < parameters.size(); ++i)
    text += (i ? ", " : "") + parameters[i].name + " = " + ShortestReal(values[i]);
  return text;
}

// Keeps the records and the best, writes the trace and tells the observer.
class Recorder {
 public:
  Recorder(const CalibrationRun& run, CalibrationObserver* observer) : run_(run), observer_(observer) {}

  void Take(TraceRecord record, bool fromTrace) {
    if (!fromTrace) AppendLine(run_.tracePath, run_.traceName, TraceLine(record));
    result_.records.push_back(std::move(record));
    const std::size_t i = result_.records.size() - 1;
    if (result_.records[i].loss < result_.records[result_.best].loss) result_.best = i;
    if (fromTrace) ++result_.resumed;
    else if (observer_) observer_->Recorded(result_.records[i], result_.Best(), run_.search.evaluations);
  }
  CalibrationResult& Result() { return result_; }

 private:
  const CalibrationRun& run_;
  CalibrationObserver* observer_;
  CalibrationResult result_;
};

// Beside the trace, the settings its points follow from: a resumed search proposes the
// recorded points only with the same, so a difference is named before anything is replayed.
std::string SettingsPath(const std::string& tracePath) {
  const std::string csv = ".csv";
  if (tracePath.size() > csv.size() && tracePath.compare(tracePath.size() - csv.size(), csv.size(), csv) == 0)
    return tracePath.substr(0, tracePath.size() - csv.size()) + "-settings.txt";
  return tracePath + ".settings";
}

// "key value" lines; the key of a parameter's line is "range <name>" or "start <name>".
std::vector<std::pair<std::string, std::string>> Settings(const CalibrationRun& run) {
  std::vector<std::pair<std::string, std::string>> s;
  const SearchSettings& search = run.search;
  s.emplace_back("algorithm", MethodName(search.method));
  s.emplace_back("evaluations", std::to_string(search.evaluations));
  s.emplace_back("seed", std::to_string(search.seed));
  if (search.method == SearchMethod::Sce) s.emplace_back("complexes", std::to_string(search.complexes));
  else s.emplace_back("batch", std::to_string(search.batch));
  if (search.method == SearchMethod::Morris) s.emplace_back("levels", std::to_string(search.levels));
  for (const SearchParameter& p : run.parameters)
    s.emplace_back("range " + p.name, ShortestReal(p.lower) + " " + ShortestReal(p.upper) + (p.log ? " log" : ""));
  for (const auto& setting : run.modelSettings) s.push_back(setting);
  if (run.start)
    for (std::size_t i = 0; i < run.start->size() && i < run.parameters.size(); ++i)
      s.emplace_back("start " + run.parameters[i].name, ShortestReal((*run.start)[i]));
  return s;
}

std::vector<std::string> SettingsLines(const CalibrationRun& run) {
  std::vector<std::string> lines{"# The settings trace.csv was made with; --resume continues it only with the same."};
  for (const auto& [key, value] : Settings(run)) lines.push_back(key + " " + value);
  return lines;
}

void RequireSameSettings(const CalibrationRun& run) {
  const std::string path = SettingsPath(run.tracePath), name = SettingsPath(run.traceName);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return;  // a trace of before the settings were kept
  const auto now = Settings(run);
  std::map<std::string, std::pair<std::string, long>> then;  // key -> value, line
  TextReader file(path, name);
  while (!file.AtEnd()) {
    const std::string line = file.ReadLine();
    if (line.empty() || line[0] == '#') continue;
    std::size_t cut = line.find(' ');
    if (cut != std::string::npos && (line.compare(0, cut, "range") == 0 || line.compare(0, cut, "start") == 0))
      cut = line.find(' ', cut + 1);
    if (cut == std::string::npos) continue;
    then[line.substr(0, cut)] = {line.substr(cut + 1), file.LineNumber()};
  }
  const std::string remedy =
      ": a search proposes the recorded points only with the settings they were made with; "
      "give the same again, or remove the trace to start afresh";
  for (const auto& [key, value] : now) {
    const auto it = then.find(key);
    if (it == then.end())
      throw InputError(name, 0,
                       "this calibration has " + key + " " + value + ", which the trace " + run.traceName +
                           " was made without" + remedy);
    if (it->second.first != value)
      throw InputError(name, it->second.second,
                       key + ": the trace " + run.traceName + " was made with " + it->second.first +
                           ", this calibration has " + value + remedy);
    then.erase(it);
  }
  if (!then.empty()) {
    const auto& [key, value] = *then.begin();
    throw InputError(name, value.second,
                     key + " " + value.first + ": the trace " + run.traceName +
                         " was made with it, this calibration has no such setting" + remedy);
  }
}

// The trace of an earlier run to replay, or a fresh trace with its header.
std::vector<TraceRecord> OpenTrace(const CalibrationRun& run) {
  const TraceLayout layout = run.Layout();
  const std::string settingsPath = SettingsPath(run.tracePath), settingsName = SettingsPath(run.traceName);
  if (run.resume) {
    RequireSameSettings(run);
    std::vector<TraceRecord> recorded = ReadTrace(run.tracePath, run.traceName, layout);
    if (static_cast<long>(recorded.size()) > run.search.evaluations)
      throw InputError(run.traceName, 0,
                       "holds " + std::to_string(recorded.size()) + " evaluations, more than the " +
                           std::to_string(run.search.evaluations) +
                           " of this calibration: it belongs to another configuration");
    if (recorded.empty()) {
      WriteWholeFile(settingsPath, settingsName, SettingsLines(run));
      WriteWholeFile(run.tracePath, run.traceName, {layout.Header()});
    }
    return recorded;
  }
  if (!run.replaceTrace) {
    std::error_code ec;
    if (std::filesystem::exists(run.tracePath, ec)) {
      // Whatever is in it, its evaluations are not thrown away unasked.
      TextReader existing(run.tracePath, run.traceName);
      long lines = 0;
      while (!existing.AtEnd())
        if (!existing.ReadLine().empty()) ++lines;
      if (lines > 1)
        throw InputError(run.traceName, 0,
                         "already holds " + std::to_string(lines - 1) +
                             " evaluations: continue them with --resume, or remove the file to start afresh");
    }
  }
  WriteWholeFile(settingsPath, settingsName, SettingsLines(run));
  WriteWholeFile(run.tracePath, run.traceName, {layout.Header()});
  return {};
}

}  // namespace

TraceLayout CalibrationRun::Layout() const {
  TraceLayout layout;
  for (const SearchParameter& p : parameters) layout.parameterNames.push_back(p.name);
  layout.lossName = lossName;
  layout.metricNames = metricNames;
  return layout;
}

CalibrationResult RunCalibration(const CalibrationRun& run, EvaluatorPool& pool, CalibrationObserver* observer) {
  const SearchSpace space(run.parameters);
  std::optional<std::vector<double>> startUnit;
  if (run.start) startUnit = space.ToUnit(*run.start);
  std::unique_ptr<Search> search = run.design.empty() ? MakeSearch(run.search, space.Size(), startUnit)
                                                      : MakeFixedDesign(run.design, run.search.batch);

  const std::vector<TraceRecord> recorded = OpenTrace(run);
  Recorder recorder(run, observer);
  std::size_t replayed = 0;
  long number = 0;

  for (;;) {
    const std::vector<std::vector<double>> batch = search->Propose();
    if (batch.empty()) break;
    std::vector<double> losses(batch.size());
    std::vector<EvaluationJob> jobs;
    std::vector<std::size_t> jobSlot;  // where each job's loss goes in the batch
    for (std::size_t i = 0; i < batch.size(); ++i) {
      std::vector<double> values = space.ToValues(batch[i]);
      ++number;
      if (replayed < recorded.size()) {
        // The trace must show the very point the search proposes now.
        const TraceRecord& r = recorded[replayed];
        for (std::size_t j = 0; j < values.size(); ++j)
          if (r.values[j] != values[j]) {
            const std::string token = ShortestReal(r.values[j]);
            throw TarnwellError(run.traceName + " line " + std::to_string(number + 1) + ": \"" + token + "\" (column " +
                                    std::to_string(j + 2) + "): evaluation " + std::to_string(number) + " recorded " +
                                    run.parameters[j].name + " = " + token + " where this calibration proposes " +
                                    ShortestReal(values[j]) +
                                    ": the trace belongs to another configuration (algorithm, seed, batch, ranges or "
                                    "starting parameters); restore it, or remove the trace to start afresh",
                                run.traceName, number + 1, token, static_cast<int>(j + 1));
          }
        losses[i] = r.loss;
        recorder.Take(r, true);
        if (++replayed == recorded.size() && observer) observer->Resumed(recorder.Result().resumed);
        continue;
      }
      jobSlot.push_back(i);
      jobs.push_back({number, std::move(values)});
    }

    if (!jobs.empty()) {
      // Outcomes arrive in any order; they are recorded in evaluation order.
      std::vector<std::optional<EvaluationOutcome>> outcomes(jobs.size());
      std::size_t nextToRecord = 0;
      std::optional<std::size_t> failed;
      pool.Evaluate(jobs, [&](std::size_t index, EvaluationOutcome&& outcome) {
        outcomes[index] = std::move(outcome);
        if (!outcomes[index]->ok && (!failed || index < *failed)) failed = index;
        while (nextToRecord < jobs.size() && outcomes[nextToRecord] && outcomes[nextToRecord]->ok &&
               (!failed || nextToRecord < *failed)) {
          EvaluationOutcome& o = *outcomes[nextToRecord];
          if (o.result.metrics.size() != run.metricNames.size())
            throw std::logic_error("the evaluation gave " + std::to_string(o.result.metrics.size()) + " metrics for " +
                                   std::to_string(run.metricNames.size()) + " names");
          TraceRecord r;
          r.number = jobs[nextToRecord].number;
          r.values = jobs[nextToRecord].values;
          // A loss that is not a number (an undefined fit) ranks below every other.
          r.loss = std::isfinite(o.result.loss) ? o.result.loss : std::numeric_limits<double>::infinity();
          r.metrics = std::move(o.result.metrics);
          r.seconds = o.seconds;
          losses[jobSlot[nextToRecord]] = r.loss;
          recorder.Take(std::move(r), false);
          ++nextToRecord;
        }
        return !failed;
      });
      if (failed) {
        const EvaluationJob& job = jobs[*failed];
        throw EvaluationFailed("evaluation " + std::to_string(job.number) + " (" +
                               Describe(run.parameters, job.values) + ") failed: " + outcomes[*failed]->error);
      }
    }
    search->Tell(losses);
  }
  if (replayed < recorded.size())
    throw InputError(run.traceName, 0,
                     "holds " + std::to_string(recorded.size()) + " evaluations, more than this calibration makes (" +
                         std::to_string(number) + "): it belongs to another configuration");
  return std::move(recorder.Result());
}

}  // namespace tarnwell
