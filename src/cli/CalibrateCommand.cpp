// "tarnwell calibrate": the search for parameter values that fit the whole-basin discharge,
// every evaluation a whole simulation in memory, on every worker thread and, under mpirun,
// on every rank; then the best set written as a parameter file, the charts, a normal run with
// it under Output/calibration/ (the workspace's own results stay those of its parameter
// files), and the fit before and after for every calibration and validation year.
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <limits>
#include <optional>

#include "app/Check.h"
#include "app/DayEngine.h"
#include "app/Driver.h"
#include "app/Evaluator.h"
#include "app/Progress.h"
#include "app/RunSettings.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "app/WorkspaceLock.h"
#include "calibration/CalibrationCharts.h"
#include "calibration/ModelCalibration.h"
#include "calibration/Objective.h"
#include "calibration/Progress.h"
#include "calibration/Report.h"
#include "calibration/Sensitivity.h"
#include "calibration/Summary.h"
#include "calibration/Uncertainty.h"
#ifdef TARNWELL_HAVE_SOBOL
#include "sobol/Sobol.h"
#endif
#include "calibration/ThreadPool.h"
#include "cli/Commands.h"
#include "inputs/TextFile.h"
#include "model/Calendar.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"
#include "parameters/ParameterLimits.h"
#ifdef TARNWELL_HAVE_MPI
#include "mpi/MpiPool.h"
#endif
#ifdef TARNWELL_PNG
#include "charts/image/ImageCanvas.h"
#endif
#ifdef TARNWELL_GEO
#include "geo/BandFile.h"
#endif

namespace tarnwell::cli {

namespace {

constexpr const char* kCalibrationFile = "..\\Parameters\\calibration.txt";
constexpr const char* kCalibrationDir = "..\\Output\\calibration";
constexpr const char* kSensitivityDir = "..\\Output\\sensitivity";
constexpr const char* kUncertaintyDir = "..\\Output\\uncertainty";

struct CalibrateOptions {
  std::string workspace = ".";
  std::string config;  // empty: Parameters/calibration.txt
  bool init = false, resume = false, apply = false;
  CalibrationOverrides overrides;
  std::string algorithm, evaluations, objective, seed, workers;
  std::string warmup, calibration, validation;  // empty: the calibration file's years
  std::string carryOver;                        // empty: the workspace's run settings
  std::string groundwaterSum;                   // empty: the workspace's run settings
  // tarnwell sensitivity: a design over the calibration file's parameters instead of a
  // search: Morris's of this many trajectories on this many levels, or Saltelli's of this
  // many base points for Sobol's indices.
  bool sensitivity = false;
  std::string method = "morris";
  int trajectories = 20, levels = 4;
  long samples = 256;
  // tarnwell uncertainty: GLUE over a Latin hypercube of `samples` sets (default 500), or
  // over the sets of a trace already made; behavioural: the best `keep` of the scored sets,
  // or every set whose loss is below `threshold`.
  bool uncertainty = false;
  std::string fromTrace;
  double keep = 0.1;
  std::optional<double> threshold;
};

// This process's place in an MPI job (rank 0 of 1 without mpirun).
struct Ranks {
  int rank = 0, size = 1;
  bool Leader() const { return rank == 0; }
  // Every rank learns whether every rank got this far (a barrier that carries failures).
  void Agree(const std::string& problem) const {
#ifdef TARNWELL_HAVE_MPI
    if (size > 1) return mpi::AgreeReady(problem);
#endif
    if (!problem.empty()) throw std::runtime_error(problem);
  }
};

Ranks CurrentRanks() {
  Ranks r;
  r.rank = MpiRank();
  r.size = MpiSize();
  return r;
}

// Years whose every simulated value is not a number: they score as the worst fit.
std::vector<BasinYear> UnscorableYears(const std::vector<int>& calendarYears) {
  std::vector<BasinYear> years;
  const double nan = std::nan("");
  for (int y : calendarYears) {
    const auto days = static_cast<std::size_t>(YearLength(y));
    BasinYear b;
    b.year = y;
    b.simFlow.assign(days, nan);
    b.obsFlow.assign(days, nan);
    b.simSediment.assign(days, nan);
    b.obsSediment.assign(days, nan);
    years.push_back(std::move(b));
  }
  return years;
}

std::string Attempt(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& e) {
    return e.what();
  }
  return std::string();
}

ParameterSet LoadCurrent(Session& session) {
  TextReader file = session.Open(session.state.ParamFilePath);
  ParameterSet p;
  LoadParameters(file, p);
  RequireComputableParameters(p, file.Name());
  // The reaches' routing as the sub-basin list gives it, for a calibration that searches it.
  p.RoutingK = session.state.SubBasinK;
  p.RoutingX = session.state.SubBasinX;
  return p;
}

// The calibration file: --config FILE (as given) or Parameters/calibration.txt of the workspace.
std::pair<std::string, std::string> ConfigPath(const Session& session, const CalibrateOptions& o) {
  if (!o.config.empty()) return {o.config, o.config};
  const std::string model = session.state.ProgramDir + kCalibrationFile;
  return {session.ws.Resolve(model), session.Display(model)};
}

// The calendar years a run of the workspace simulates, by the first sub-basin's blocks.
std::vector<int> SimulatedYears(const Session& session, int years) { return CheckInputs(session, years).front().years; }

// How many years the simulation must run to reach every year the file names, which must be
// among the years the meteorological files hold, in order from the first.
int YearsToSimulate(const CalibrationConfig& config, int firstYear) {
  const int needed = config.LastYear() - firstYear + 1;
  if (needed < 1)
    throw InputError(config.file, 0,
                     "the years it names end before the workspace's first year " + std::to_string(firstYear));
  return needed;
}

void CheckNamedYears(const CalibrationConfig& config, const std::vector<int>& simulated) {
  for (const std::vector<int>* list : {&config.warmupYears, &config.calibrationYears, &config.validationYears})
    for (int y : *list)
      if (std::find(simulated.begin(), simulated.end(), y) == simulated.end())
        throw InputError(config.file, 0,
                         "names the year " + std::to_string(y) +
                             ", which the workspace's meteorological "
                             "files do not hold among the years they simulate (" +
                             std::to_string(simulated.front()) + " to " + std::to_string(simulated.back()) + ")");
}

// The years before a given one are simulated too: the search scores only what it needs.
int IndexAfter(const std::vector<int>& simulated, int year) {
  const auto it = std::find(simulated.begin(), simulated.end(), year);
  return static_cast<int>(it - simulated.begin()) + 1;
}

// The fit is formed against the outlet's observations: when they alone leave it undefined,
// no parameter set can be scored, and the search is refused before its first evaluation.
void RequireScorableObservations(const Session& session, const CalibrationConfig& config,
                                 const BasinEvaluator& search) {
  const ObjectiveSettings objective = CalibrationObjective(config);
  const std::string why = UndefinedFit(search.Observations(), objective);
  if (why.empty()) return;
  std::string years;
  for (int y : config.calibrationYears) years += (years.empty() ? "" : ", ") + std::to_string(y);
  throw InputError(session.Display(session.state.ProgramDir + kRiverFilePath), 0,
                   why + " in the calibration years " + years + " (" + config.file +
                       "): the fit is undefined for every parameter set, so nothing is evaluated");
}

// A chart as PNG beside its SVG, when the build draws images.
void WritePng(int width, int height, const std::function<void(Canvas&)>& draw, const std::string& path) {
#ifdef TARNWELL_PNG
  EnsureImageApplication();
  if (!DrawPng(width, height, draw, path)) throw FileError(path, 0, "cannot write");
#else
  (void)width, (void)height, (void)draw, (void)path;
#endif
}

void WriteCharts(const std::string& dir, const std::vector<CalibrationChart>& charts) {
  WriteSvgCharts(dir, charts);
  for (const CalibrationChart& c : charts)
    WritePng(
        kCalibrationChartWidth, kCalibrationChartHeight, [&](Canvas& canvas) { DrawXYChart(canvas, c.chart); },
        dir + "/" + c.name + ".png");
}

// The sensitivity of the loss and of each metric of the trace to every parameter, as
// Output/sensitivity/morris.csv or sobol.csv, a chart per output and a table on standard
// output.
int WriteSensitivity(Session& session, const std::string& dirModel, const CalibrationConfig& config,
                     const CalibrationRun& run, const CalibrationResult& result) {
  const std::size_t n = run.parameters.size();
  const bool sobol = config.search.method == SearchMethod::Sobol;
  std::vector<std::string> outputs{run.lossName}, names;
  outputs.insert(outputs.end(), run.metricNames.begin(), run.metricNames.end());
  for (const SearchParameter& p : run.parameters) names.push_back(p.name);
  // Chart files are named by the output; the loss's by its role, its name holds the years.
  const auto chartName = [&](std::size_t o) { return o == 0 ? std::string("loss") : outputs[o]; };
  const std::string dir = session.ws.ResolveForWriting(dirModel);
  std::vector<std::vector<double>> ys;
  for (std::size_t o = 0; o < outputs.size(); ++o) {
    std::vector<double> y;
    for (const TraceRecord& r : result.records)
      y.push_back(o == 0 ? r.loss : o - 1 < r.metrics.size() ? r.metrics[o - 1] : std::nan(""));
    ys.push_back(std::move(y));
  }
  char line[200];
  std::string csv, csvModel;
  if (!sobol) {
    const int trajectories = static_cast<int>(config.search.evaluations / (static_cast<long>(n) + 1));
    const std::vector<std::vector<double>> points = MorrisPoints(n, trajectories, config.search.levels,
                                                                 config.search.seed);
    std::vector<std::vector<MorrisIndex>> indices;
    std::vector<CalibrationChart> charts;
    for (std::size_t o = 0; o < outputs.size(); ++o) {
      indices.push_back(MorrisIndices(points, ys[o], n, config.search.seed));
      charts.push_back(MorrisChart(outputs[o], names, indices.back()));
      charts.back().name = "morris-" + chartName(o);
    }
    WriteCharts(dir, charts);
    csvModel = dirModel + "\\morris.csv";
    csv = FormatMorrisCsv(outputs, names, indices);
    std::snprintf(line, sizeof line, "%-28s %12s %21s %12s\n", "Parameter", "mu*", "95 % of mu*", "sigma");
    std::cout << "Elementary effects on " << run.lossName << " (per unit of each range, " << trajectories
              << " trajectories of " << config.search.levels << " levels)\n"
              << line;
    for (std::size_t i = 0; i < n; ++i) {
      const MorrisIndex& m = indices[0][i];
      std::snprintf(line, sizeof line, "%-28s %12.4g %10.4g-%-10.4g %12.4g\n", names[i].c_str(), m.muStar, m.muStarLow,
                    m.muStarHigh, m.sigma);
      std::cout << line;
    }
  } else {
#ifdef TARNWELL_HAVE_SOBOL
    std::vector<std::vector<SobolIndex>> indices;
    for (std::size_t o = 0; o < outputs.size(); ++o) {
      indices.push_back(SobolIndices(run.design, ys[o], n, config.search.samples, config.search.seed));
      const IndexChart chart = SobolChart(outputs[o], names, indices.back());
      const std::string path = dir + "/sobol-" + chartName(o);
      WriteSvgIndexChart(path + ".svg", chart);
      WritePng(
          kIndexChartWidth, IndexChartHeight(chart), [&](Canvas& canvas) { DrawIndexChart(canvas, chart); },
          path + ".png");
    }
    csvModel = dirModel + "\\sobol.csv";
    csv = FormatSobolCsv(outputs, names, indices);
    std::snprintf(line, sizeof line, "%-28s %8s %17s %8s %17s\n", "Parameter", "first", "95 %", "total", "95 %");
    std::cout << "Sobol indices of " << run.lossName << " (" << indices[0].front().samples << " of "
              << config.search.samples << " base points scored)\n"
              << line;
    for (std::size_t i = 0; i < n; ++i) {
      const SobolIndex& s = indices[0][i];
      std::snprintf(line, sizeof line, "%-28s %8.3f %8.3f-%-8.3f %8.3f %8.3f-%-8.3f\n", names[i].c_str(), s.first,
                    s.firstLow, s.firstHigh, s.total, s.totalLow, s.totalHigh);
      std::cout << line;
    }
#endif
  }
  ReplaceFile(session.ws.ResolveForWriting(csvModel), session.Display(csvModel), csv);
  std::cout << "every output and metric: " << session.Display(csvModel) << " and its charts\n";
  return 0;
}

// A table as CSV lines ending in LF, as the analyses' other tables.
void WriteCsv(Session& session, const std::string& model, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  ReplaceFile(session.ws.ResolveForWriting(model), session.Display(model), text);
}

// "1991-01-01" for day `index` (0-based) of `year`.
std::string DateOf(int year, int index) {
  int month = 1, day = index + 1;
  while (day > MonthLength(year, month)) day -= MonthLength(year, month++);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

// GLUE's band of the outlet discharge over every year named (the warm-up left out): the
// behavioural sets simulated again over the whole period, on every worker; the band as
// CSV, NetCDF (with the geodata library) and a chart; the share of observed days inside it
// and its width per year; the behavioural sets and their weights.
int WriteUncertainty(Session& session, const std::string& dirModel, const CalibrationConfig& config,
                     const CalibrationRun& run, const std::vector<TraceRecord>& records, const BasinEvaluator& whole,
                     const ParameterSet& current, const CalibrateOptions& o) {
  const std::optional<double> threshold = o.threshold ? o.threshold : ThresholdKeeping(records, o.keep);
  const std::vector<GlueSet> sets = threshold ? BehaviouralSets(records, *threshold) : std::vector<GlueSet>{};
  if (sets.empty())
    throw ResultError("no behavioural parameter set: none of the " + std::to_string(records.size()) + " sets has a " +
                      run.lossName + " below " +
                      (threshold ? ShortestReal(*threshold) : std::string("any threshold (none was scored)")) +
                      "; give a larger --threshold or --keep");
  // Each behavioural set's daily discharge over every year simulated.
  std::vector<std::vector<BasinYear>> simulated(sets.size());
  {
    WorkerPool pool(std::min(config.WorkerCount(), static_cast<int>(sets.size())));
    const int workers = pool.Size();
    pool.Run([&](int share) {
      for (std::size_t j = static_cast<std::size_t>(share); j < sets.size(); j += static_cast<std::size_t>(workers)) {
        ParameterSet p = current;
        SetCalibratedValues(config, records[sets[j].record].values, p);
        try {
          simulated[j] = whole.Evaluate(p);
        } catch (const ResultError&) {
          simulated[j] = UnscorableYears(whole.CalendarYears());
        }
      }
    });
  }
  const std::vector<int>& years = whole.CalendarYears();
  const auto named = [&](const std::vector<int>& list, int y) {
    return std::find(list.begin(), list.end(), y) != list.end();
  };
  std::vector<std::vector<double>> series(sets.size());
  std::vector<double> weights, observed;
  std::vector<std::pair<int, int>> days;  // (year index, day index)
  for (const GlueSet& s : sets) weights.push_back(s.weight);
  for (std::size_t y = 0; y < years.size(); ++y) {
    if (!named(config.calibrationYears, years[y]) && !named(config.validationYears, years[y])) continue;
    const BasinYear& first = simulated.front()[y];
    for (std::size_t d = 0; d < first.simFlow.size(); ++d) {
      days.emplace_back(static_cast<int>(y), static_cast<int>(d));
      observed.push_back(d < first.obsFlow.size() ? first.obsFlow[d] : -1);
      for (std::size_t j = 0; j < sets.size(); ++j)
        series[j].push_back(d < simulated[j][y].simFlow.size() ? simulated[j][y].simFlow[d] : std::nan(""));
    }
  }
  const Band band = WeightedBand(series, weights);
  const auto number = [](double v) { return std::isfinite(v) ? ShortestReal(v) : std::string(); };

  std::vector<std::string> bandLines{"date,observed,low,median,high"};
  for (std::size_t i = 0; i < days.size(); ++i)
    bandLines.push_back(DateOf(years[static_cast<std::size_t>(days[i].first)], days[i].second) + "," +
                        (observed[i] >= 0 ? ShortestReal(observed[i]) : std::string()) + "," + number(band.low[i]) +
                        "," + number(band.median[i]) + "," + number(band.high[i]));
  const std::string bandModel = dirModel + "\\glue-band.csv";
  WriteCsv(session, bandModel, bandLines);

  std::vector<std::string> yearLines{"year,period,observed_days,inside,share_inside,mean_width_m3s"};
  std::cout << "GLUE: " << sets.size() << " behavioural of " << records.size() << " sets (" << run.lossName << " below "
            << ShortestReal(*threshold) << "); the 5-95 % band of the outlet discharge:\n"
            << "  year  period       observed days  inside  share  mean width (m3/s)\n";
  std::size_t at = 0;
  for (std::size_t y = 0; y < years.size(); ++y) {
    std::vector<double> obs, low, high;
    for (; at < days.size() && days[at].first == static_cast<int>(y); ++at)
      obs.push_back(observed[at]), low.push_back(band.low[at]), high.push_back(band.high[at]);
    if (obs.empty()) continue;
    const BandYear b = BandYearStats(years[y], obs, low, high);
    const char* period = named(config.calibrationYears, years[y]) ? "calibration" : "validation";
    yearLines.push_back(std::to_string(b.year) + "," + period + "," + std::to_string(b.observed) + "," +
                        std::to_string(b.inside) + "," + number(b.Share()) + "," + number(b.meanWidth));
    char line[160];
    std::snprintf(line, sizeof line, "  %4d  %-11s  %13d  %6d  %5.2f  %17.3f\n", b.year, period, b.observed, b.inside,
                  b.Share(), b.meanWidth);
    std::cout << line;
  }
  const std::string yearsModel = dirModel + "\\glue-years.csv";
  WriteCsv(session, yearsModel, yearLines);

  std::string header = "evaluation";
  for (const SearchParameter& p : run.parameters) header += "," + p.name;
  std::vector<std::string> setLines{header + "," + run.lossName + ",weight"};
  for (const GlueSet& s : sets) {
    const TraceRecord& r = records[s.record];
    std::string line = std::to_string(r.number);
    for (double v : r.values) line += "," + ShortestReal(v);
    setLines.push_back(line + "," + ShortestReal(s.loss) + "," + ShortestReal(s.weight));
  }
  const std::string setsModel = dirModel + "\\glue-behavioural.csv";
  WriteCsv(session, setsModel, setLines);

  // The band over the days, the median and the observations.
  CalibrationChart chart;
  chart.name = "glue-band";
  XYChart& c = chart.chart;
  c.title = "Outlet discharge: the 5-95 % GLUE band of " + std::to_string(sets.size()) + " behavioural sets";
  c.xCaption = "day (1 = " + DateOf(years[static_cast<std::size_t>(days.front().first)], days.front().second) + ")";
  c.yCaption = "m3/s";
  c.yMin = 0;
  XYSeries low{{}, {}, kSilver, XYStyle::Line, 1}, high{{}, {}, kSilver, XYStyle::Line, 1},
      median{{}, {}, kBlue, XYStyle::Line, 1}, obs{{}, {}, kRed, XYStyle::Points, 1};
  for (std::size_t i = 0; i < days.size(); ++i) {
    const double x = static_cast<double>(i + 1);
    low.x.push_back(x), low.y.push_back(band.low[i]);
    high.x.push_back(x), high.y.push_back(band.high[i]);
    median.x.push_back(x), median.y.push_back(band.median[i]);
    if (observed[i] >= 0) obs.x.push_back(x), obs.y.push_back(observed[i]);
  }
  c.series = {low, high, median, obs};
  c.note = "grey: 5 and 95 %; blue: the weighted median; red: observed";
  WriteCharts(session.ws.ResolveForWriting(dirModel), {chart});
#ifdef TARNWELL_GEO
  const std::string ncModel = dirModel + "\\glue-band.nc";
  std::vector<int> sinceFirst;
  for (const auto& [y, d] : days) {
    int offset = d;
    for (int k = 0; k < y; ++k) offset += YearLength(years[static_cast<std::size_t>(k)]);
    sinceFirst.push_back(offset);
  }
  geo::WriteBandFile(session.ws.ResolveForWriting(ncModel), session.Display(ncModel), years.front(), sinceFirst,
                     observed, band.low, band.median, band.high);
#endif
  std::cout << "the band: " << session.Display(bandModel)
            << "; the sets and their weights: " << session.Display(setsModel) << "\n";
  return 0;
}

// The band of an uncertainty analysis of the same years, when there is one: its low and
// high discharge of every day, if its days are the calibration and validation years' days.
Band StoredBand(Session& session, const CalibrationConfig& config) {
  const std::string model = session.state.ProgramDir + kUncertaintyDir + "\\glue-band.csv";
  if (!session.ws.FileExists(model)) return {};
  std::vector<int> years = config.calibrationYears;
  years.insert(years.end(), config.validationYears.begin(), config.validationYears.end());
  std::size_t days = 0;
  for (int y : years) days += static_cast<std::size_t>(YearLength(y));
  Band band;
  TextReader file = session.Open(model);
  file.ReadLine();
  std::string first;
  while (!file.AtEnd()) {
    const std::string line = file.ReadLine();
    if (line.empty()) continue;
    std::vector<std::string> fields(1);
    for (char c : line) {
      if (c == ',') fields.emplace_back();
      else fields.back().push_back(c);
    }
    if (fields.size() != 5) return {};
    if (first.empty()) first = fields[0];
    double low = std::nan(""), high = std::nan("");
    if (!fields[2].empty()) ParseReal(fields[2], low);
    if (!fields[4].empty()) ParseReal(fields[4], high);
    band.low.push_back(low), band.high.push_back(high);
  }
  if (band.low.size() != days || first != DateOf(years.front(), 0)) return {};
  return band;
}

// Output/calibration/report.html: the fit per year with KGE's parts, the hydrograph (with the
// uncertainty band when one of the same years is stored), the flow-duration curves and the
// parameters with their bounds.
void WriteReport(Session& session, const std::string& dirModel, const CalibrationConfig& config,
                 const CalibrationRun& run, const CalibrationResult& result, const std::vector<BasinYear>& before,
                 const std::vector<BasinYear>& after, const ParameterSet& current) {
  CalibrationReport r;
  r.workspace = std::filesystem::absolute(session.ws.Resolve(session.state.ProgramDir + ".."))
                    .lexically_normal()
                    .filename()
                    .string();
  r.lossName = run.lossName;
  r.evaluations = static_cast<long>(result.records.size());
  r.bestNumber = result.Best().number;
  r.parameters = run.parameters;
  r.before = CalibratedValues(config, current);
  r.after = result.Best().values;
  r.beforeYears = before;
  r.afterYears = after;
  r.calibrationYears = config.calibrationYears;
  r.validationYears = config.validationYears;
  r.band = StoredBand(session, config);
  if (!r.band.low.empty()) r.bandSource = "GLUE, Output/uncertainty/glue-band.csv";
  const std::string model = dirModel + "\\report.html";
  ReplaceFile(session.ws.ResolveForWriting(model), session.Display(model), CalibrationReportHtml(r));
  std::cout << "report: " << session.Display(model) << "\n";
}

// The normal run with the best set: every usual output file, for every year calibrated and
// validated, in the calibration's directory (流域k/, 全流域/ and Mark.out there). Output/流域k
// and Output/全流域 keep the results of the run of the parameter files.
void FinalRun(Session& session, const ParameterSet& best, int years, const RunSettings& settings,
              std::shared_ptr<const WorkspaceInputs> inputs) {
  session.state.OutputDir = kCalibrationDir;
  const std::string mark = session.state.ProgramDir + RunMarkPath(session.state);
  if (!session.ws.FileExists(mark)) CreateEmptyFile(session.ws.ResolveForWriting(mark), session.Display(mark));
  ProgressObserver quiet;
  std::unique_ptr<DayEngine> engine = MakeDayEngine("fused", 0);
  ParameterSet p = best;
  p.SimYears = years;
  session.params = p;
  // The best set's routing of each reach, when the calibration searched it.
  if (p.RoutingK.size() == session.state.SubBasinK.size() && p.RoutingX.size() == session.state.SubBasinX.size()) {
    session.state.SubBasinK = p.RoutingK;
    session.state.SubBasinX = p.RoutingX;
  }
  Driver driver(session, quiet, *engine);
  driver.UseInputs(std::move(inputs));
  driver.UseParameters(p);
  driver.SetCarryOver(settings.carryOver);
  driver.SetGroundwaterSum(settings.groundwaterSum);
  driver.Run();
  while (session.state.YearIndex < years)
    if (driver.NextYear() != Driver::StepResult::Simulated) break;
}

int Calibrate(const CalibrateOptions& o) {
  const Ranks ranks = CurrentRanks();
  Session session(o.workspace);
  std::unique_ptr<WorkspaceLock> lock;
  // Rank 0 alone starts the workspace up (it writes); the others read after it.
  if (ranks.Leader()) {
    lock = WorkspaceLock::Acquire(session.ws, "tarnwell calibrate");
    StartUpWorkspace(session);
  }
  ranks.Agree(std::string());
  if (!ranks.Leader()) ReadStartUp(session);
  const auto [configPath, configName] = ConfigPath(session, o);

  if (o.init) {
    if (!ranks.Leader()) return 0;
    const ParameterSet current = LoadCurrent(session);
    const std::vector<int> years = SimulatedYears(session, std::max(1, current.SimYears));
    if (std::filesystem::exists(configPath))
      throw FileError(configName, 0, "exists already: not replaced (remove it, or name another file with --config)");
    const std::string target = o.config.empty()
                                   ? session.ws.ResolveForWriting(session.state.ProgramDir + kCalibrationFile)
                                   : configPath;
    WorkspaceInputs inputs;
    const BasinTraits basin = MeasureBasin(CheckInputs(session, static_cast<int>(years.size()), &inputs), inputs);
    WriteWholeFile(target, configName, DefaultCalibrationFile(years.front(), years.back(), &basin));
    std::cout << configName << "\n";
    return 0;
  }

  // Every rank prepares the same evaluation: the parameter file, the calibration file and the
  // workspace's inputs, read once.
  ParameterSet current;
  CalibrationConfig config;
  std::unique_ptr<BasinEvaluator> search, whole;
  std::vector<int> simulated;
  int searchYears = 0;
  RunSettings settings;
  std::string problem = Attempt([&] {
    settings = LoadRunSettings(session);
    if (!o.carryOver.empty()) settings.carryOver = *ParseCarryOver(o.carryOver);
    if (!o.groundwaterSum.empty()) settings.groundwaterSum = *ParseGroundwaterSum(o.groundwaterSum);
    current = LoadCurrent(session);
    config = ReadCalibrationFile(configPath, configName, current);
    CalibrationOverrides overrides;
    if (!o.algorithm.empty()) overrides.algorithm = o.algorithm;
    if (!o.evaluations.empty()) overrides.evaluations = o.evaluations;
    if (!o.objective.empty()) overrides.objective = o.objective;
    if (!o.seed.empty()) overrides.seed = o.seed;
    if (!o.workers.empty()) overrides.workers = o.workers;
    if (!o.warmup.empty()) overrides.warmup = o.warmup;
    if (!o.calibration.empty()) overrides.calibration = o.calibration;
    if (!o.validation.empty()) overrides.validation = o.validation;
    ApplyOverrides(config, overrides);
    if (o.sensitivity && o.method == "morris") {
      const long points = static_cast<long>(config.parameters.size()) + 1;
      config.search.method = SearchMethod::Morris;
      config.search.levels = o.levels;
      config.search.evaluations = o.trajectories * points;
      config.search.batch = static_cast<int>(points);
    } else if (o.uncertainty) {
      config.search.method = SearchMethod::Lhs;
      config.search.evaluations = o.samples;
    } else if (o.sensitivity) {
#ifndef TARNWELL_HAVE_SOBOL
      throw std::runtime_error(
          "--method sobol: this build has no Sobol analysis (it needs OpenTURNS, Debian's "
          "libopenturns-dev)");
#endif
      // A base point and its d + 1 companions form one batch.
      const long points = static_cast<long>(config.parameters.size()) + 2;
      config.search.method = SearchMethod::Sobol;
      config.search.samples = o.samples;
      config.search.evaluations = o.samples * points;
      config.search.batch = static_cast<int>(points);
    }
    // The years the data cover: a year named beyond them is the calibration file's fault,
    // not a missing block of the meteorological files.
    const std::vector<SubBasinCheck> found = CheckInputs(session, 1);
    const int firstYear = found.front().years.front();
    int blocks = found.front().yearBlocks;
    for (const SubBasinCheck& c : found) blocks = std::min(blocks, c.yearBlocks);
    config.RequireYearsWithin(firstYear, firstYear + blocks - 1,
                              "the " + std::to_string(blocks) + " year blocks of the meteorological files");
    whole = std::make_unique<BasinEvaluator>(session, YearsToSimulate(config, firstYear));
    whole->SetCarryOver(settings.carryOver);
    whole->SetGroundwaterSum(settings.groundwaterSum);
    simulated = whole->CalendarYears();
    CheckNamedYears(config, simulated);
    LoadGaugeFiles(config, session, simulated);
    searchYears = IndexAfter(simulated, config.calibrationYears.back());
    search = std::make_unique<BasinEvaluator>(session, searchYears);
    search->SetCarryOver(settings.carryOver);
    search->SetGroundwaterSum(settings.groundwaterSum);
    RequireScorableObservations(session, config, *search);
  });
  ranks.Agree(problem);

  // A parameter set whose simulation leaves the finite numbers cannot be scored: it ranks
  // last instead of ending the calibration.
  const BasinEvaluator& searcher = *search;
  const BasinSimulator simulate = [&searcher](const ParameterSet& p) {
    try {
      return searcher.Evaluate(p);
    } catch (const ResultError&) {
      return UnscorableYears(searcher.CalendarYears());
    }
  };
  const EvaluationFunction evaluate = ModelEvaluation(config, current, simulate);

#ifdef TARNWELL_HAVE_MPI
  if (!ranks.Leader()) {
    mpi::ServeEvaluations(evaluate, config.WorkerCount());
    return 0;
  }
#endif

  const std::string dirModel = session.state.ProgramDir + (o.uncertainty   ? kUncertaintyDir
                                                           : o.sensitivity ? kSensitivityDir
                                                                           : kCalibrationDir);
  std::string why;
  if (!session.ws.CreateDirectory(dirModel, &why))
    throw FileError(session.Display(dirModel), 0, "cannot create the directory: " + why);
  const std::string dir = session.ws.ResolveForWriting(dirModel);
  // The analyses keep a trace each, so that one does not stand in the way of the other.
  const std::string traceModel = dirModel +
                                 (!o.sensitivity && !o.uncertainty ? "\\trace.csv" : "\\" + o.method + "-trace.csv");
  CalibrationRun run = PlanCalibration(config, current, session.ws.ResolveForWriting(traceModel),
                                       session.Display(traceModel), o.resume);
#ifdef TARNWELL_HAVE_SOBOL
  if (config.search.method == SearchMethod::Sobol)
    run.design = SobolPoints(run.parameters.size(), config.search.samples, config.search.seed);
#endif
  // A trace is resumed only with the run settings it was made with (the documented ones are
  // not named, so traces of before the settings resume as they were made).
  if (settings.carryOver != CarryOver::Mean)
    run.modelSettings.emplace_back("carry_over", CarryOverName(settings.carryOver));
  if (settings.groundwaterSum != GroundwaterSum::Twice)
    run.modelSettings.emplace_back("groundwater_sum", GroundwaterSumName(settings.groundwaterSum));
  for (const std::string& w : StartsOutsideTheirRanges(config, current)) std::cerr << "warning: " << w << "\n";
  CalibrationProgress progress(std::cerr, ::isatty(STDERR_FILENO) == 1, run.lossName);
  std::optional<CalibrationResult> result;
  {
#ifdef TARNWELL_HAVE_MPI
    std::unique_ptr<EvaluatorPool> pool;
    if (ranks.size > 1) pool = std::make_unique<mpi::MpiEvaluatorPool>(evaluate, config.WorkerCount());
    else pool = std::make_unique<ThreadEvaluatorPool>(evaluate, config.WorkerCount());
#else
    auto pool = std::make_unique<ThreadEvaluatorPool>(evaluate, config.WorkerCount());
#endif
    // GLUE over a trace already made: its sets, scored as this configuration scores them.
    if (!o.fromTrace.empty()) {
      result.emplace();
      result->records = ReadTrace(o.fromTrace, o.fromTrace, run.Layout());
      if (result->records.empty()) throw FileError(o.fromTrace, 0, "holds no evaluations");
    } else {
      const auto began = std::chrono::steady_clock::now();
      try {
        result = RunCalibration(run, *pool, &progress);
      } catch (...) {
        progress.Finish();
        throw;
      }
      progress.Finish();
      // The search's own pace: evaluations made in this session (not those taken from a trace).
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
      const long made = static_cast<long>(result->records.size()) - result->resumed;
      if (made > 0 && seconds > 0)
        std::cerr << "search: " << made << " evaluations in " << ClockTime(seconds) << " ("
                  << static_cast<long>(std::lround(static_cast<double>(made) * 3600.0 / seconds)) << " per hour, "
                  << pool->Capacity() << " at once)\n";
    }
  }

  // Evaluations whose simulation left the finite numbers rank last; the trace leaves their
  // loss empty. Say how many, and name no best set when none could be scored.
  const long unscored = static_cast<long>(std::count_if(result->records.begin(), result->records.end(),
                                                        [](const TraceRecord& r) { return !std::isfinite(r.loss); }));
  if (unscored == static_cast<long>(result->records.size()))
    throw ResultError("none of the " + std::to_string(unscored) +
                      " evaluations could be scored (each simulation "
                      "left the finite numbers or gave an undefined fit; their loss is empty in " +
                      session.Display(traceModel) + "): there is no best parameter set, and nothing else is written");
  if (unscored > 0)
    std::cerr << unscored << " of " << result->records.size()
              << " evaluations could not be scored (their loss is empty in " << session.Display(traceModel)
              << "); they rank last\n";
  if (o.uncertainty) return WriteUncertainty(session, dirModel, config, run, result->records, *whole, current, o);
  if (o.sensitivity) return WriteSensitivity(session, dirModel, config, run, *result);

  // The best set as a parameter file the dialog can load.
  ParameterSet best = current;
  SetCalibratedValues(config, result->Best().values, best);
  const std::string bestModel = dirModel + "\\best-parameters.txt";
  WriteParameterFile(session.ws.ResolveForWriting(bestModel), session.Display(bestModel), best);
  // The reaches' routing, when searched, as a sub-basin list (the parameter file holds none).
  const bool routing = std::any_of(config.parameters.begin(), config.parameters.end(),
                                   [](const auto& p) { return p.name.rfind("Muskingum", 0) == 0; });
  const std::string bestListModel = dirModel + "\\best-sub-basins.in";
  if (routing) {
    std::vector<std::string> lines{std::to_string(session.state.SubBasinCount)};
    for (int k = 1; k <= session.state.SubBasinCount; ++k) {
      const auto at = static_cast<std::size_t>(k);
      lines.push_back(session.state.SubBasinName[at] + " " + ShortestReal(best.RoutingK[at]) + " " +
                      ShortestReal(best.RoutingX[at]));
    }
    WriteWholeFile(session.ws.ResolveForWriting(bestListModel), session.Display(bestListModel), lines);
  }
  if (o.apply) {
    // Start-up copies the default parameter file over the current one, so both take it.
    const std::string bytes = ReadFileBytes(session.ws.Resolve(bestModel), session.Display(bestModel));
    for (const char* file : {"..\\Parameters\\当前参数文件.txt", "..\\Parameters\\缺省参数文件.txt"}) {
      const std::string model = session.state.ProgramDir + file;
      ReplaceFile(session.ws.ResolveForWriting(model), session.Display(model), bytes);
    }
    if (routing) {
      const std::string model = session.state.ProgramDir + kSubBasinListPath;
      ReplaceFile(session.ws.ResolveForWriting(model), session.Display(model),
                  ReadFileBytes(session.ws.Resolve(bestListModel), session.Display(bestListModel)));
    }
  }
  WriteCharts(dir, CalibrationCharts(run.parameters, run.lossName, result->records));

  // Before and after over every year named, then the normal run with the best set.
  const std::vector<BasinYear> before = whole->Evaluate(current);
  const std::vector<BasinYear> after = whole->Evaluate(best);
  const std::string summary = FormatParameterTable(run.parameters, CalibratedValues(config, current),
                                                   result->Best().values) +
                              "\n" +
                              FormatCalibrationSummary(before, after, config.calibrationYears, config.validationYears);
  const std::string summaryModel = dirModel + "\\summary.txt";
  {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < summary.size();) {
      const std::size_t nl = summary.find('\n', at);
      lines.push_back(summary.substr(at, nl == std::string::npos ? std::string::npos : nl - at));
      at = nl == std::string::npos ? summary.size() : nl + 1;
    }
    WriteWholeFile(session.ws.ResolveForWriting(summaryModel), session.Display(summaryModel), lines);
  }
  WriteReport(session, dirModel, config, run, *result, before, after, current);
  FinalRun(session, best, whole->Years(), settings, whole->Inputs());
  std::cout << summary;
  std::cout << "\nbest of " << result->records.size() << " evaluations (number " << result->Best().number
            << "): " << session.Display(bestModel)
            << (routing ? " and " + session.Display(bestListModel) + " (the reaches' routing)" : std::string())
            << (o.apply ? " (applied)" : "") << "\n";
  return 0;
}

}  // namespace

void AddUncertaintyCommand(CLI::App& app, CommandMap& commands) {
  auto o = std::make_shared<CalibrateOptions>();
  o->uncertainty = true;
  o->method = "glue";
  o->samples = 500;
  CLI::App* c = app.add_subcommand("uncertainty",
                                   "how uncertain the outlet discharge is: GLUE's band of the behavioural parameter "
                                   "sets over the calibration file's ranges (on every core, across MPI ranks under "
                                   "mpirun)");
  AddWorkspaceOption(*c, o->workspace);
  c->add_option("--config", o->config, "the calibration file (default: Parameters/calibration.txt)")->check(NotEmpty());
  c->add_option("--method", o->method, "glue")->check(CLI::IsMember({"glue"}))->required();
  c->add_option("--samples", o->samples, "the sets of the Latin hypercube (default 500)")
      ->check(CLI::Range(2L, 10000000L));
  c->add_option("--from-trace", o->fromTrace,
                "take the sets of this trace (a calibration's trace.csv of the same calibration file) instead")
      ->check(CLI::ExistingFile);
  auto* keep = c->add_option("--keep", o->keep, "behavioural: this share of the scored sets, the best (default 0.1)")
                   ->check(CLI::Range(1e-9, 1.0));
  c->add_option("--threshold", o->threshold, "behavioural: the sets whose loss is below this value")->excludes(keep);
  c->add_flag("--resume", o->resume, "continue an interrupted sample from its trace");
  c->add_option("--objective", o->objective, "as calibrate's")
      ->check(CLI::Validator([](std::string& text) { return ObjectiveProblem(text); }, "OBJECTIVE"));
  c->add_option("--seed", o->seed, "the random seed")->check(WholeNumber(0, std::numeric_limits<std::uint64_t>::max()));
  c->add_option("--workers", o->workers, "evaluations at once in this process (default: every hardware thread)")
      ->check(WholeNumber(1, 1024));
  c->add_option("--warmup", o->warmup, "the warm-up years, over the file's");
  c->add_option("--calibration", o->calibration, "the years scored, over the file's")->check(NotEmpty());
  c->add_option("--validation", o->validation, "the years only banded, over the file's");
  AddCarryOverOption(*c, o->carryOver);
  AddGroundwaterSumOption(*c, o->groundwaterSum);
  commands[c] = [o] { return Calibrate(*o); };
}

void AddSensitivityCommand(CLI::App& app, CommandMap& commands) {
  auto o = std::make_shared<CalibrateOptions>();
  o->sensitivity = true;
  CLI::App* c = app.add_subcommand("sensitivity",
                                   "which parameters of the calibration file matter: Morris's elementary effects "
                                   "or Sobol's indices over their ranges (on every core, across MPI ranks under "
                                   "mpirun)");
  AddWorkspaceOption(*c, o->workspace);
  c->add_option("--config", o->config, "the calibration file (default: Parameters/calibration.txt)")->check(NotEmpty());
  c->add_option("--method", o->method, "morris (elementary effects) or sobol (variance-based indices)")
      ->check(CLI::IsMember({"morris", "sobol"}))
      ->required();
  c->add_option("--trajectories", o->trajectories, "the design's trajectories (default 20)")
      ->check(CLI::Range(2, 100000));
  c->add_option("--levels", o->levels, "the levels of its grid (default 4)")->check(CLI::Range(2, 100));
  c->add_option("--samples", o->samples,
                "sobol: the base points of Saltelli's design, each evaluated with one more point per "
                "parameter and two (default 256)")
      ->check(CLI::Range(8L, 1000000L));
  c->add_flag("--resume", o->resume, "continue an interrupted analysis from its trace");
  c->add_option("--objective", o->objective, "as calibrate's")
      ->check(CLI::Validator([](std::string& text) { return ObjectiveProblem(text); }, "OBJECTIVE"));
  c->add_option("--seed", o->seed, "the random seed")->check(WholeNumber(0, std::numeric_limits<std::uint64_t>::max()));
  c->add_option("--workers", o->workers, "evaluations at once in this process (default: every hardware thread)")
      ->check(WholeNumber(1, 1024));
  c->add_option("--warmup", o->warmup, "the warm-up years, over the file's");
  c->add_option("--calibration", o->calibration, "the years scored, over the file's")->check(NotEmpty());
  AddCarryOverOption(*c, o->carryOver);
  AddGroundwaterSumOption(*c, o->groundwaterSum);
  commands[c] = [o] {
    o->algorithm.clear();  // the design replaces the file's search
    return Calibrate(*o);
  };
}

void AddCalibrateCommand(CLI::App& app, CommandMap& commands) {
  auto o = std::make_shared<CalibrateOptions>();
  CLI::App* c = app.add_subcommand("calibrate",
                                   "search parameter values that fit the whole-basin discharge (in memory, on every "
                                   "core, across MPI ranks under mpirun)");
  AddWorkspaceOption(*c, o->workspace);
  c->add_option("--config", o->config, "the calibration file (default: Parameters/calibration.txt)")->check(NotEmpty());
  c->add_flag("--init", o->init, "write the default calibration file and stop");
  c->add_flag("--resume", o->resume, "continue an interrupted calibration from its trace");
  c->add_flag("--apply", o->apply, "copy the best parameter file over the current and default ones");
  c->add_option("--algorithm", o->algorithm, "dds (default), sce or lhs")->check(CLI::IsMember({"dds", "sce", "lhs"}));
  c->add_option("--evaluations", o->evaluations, "the number of evaluations")
      ->check(WholeNumber(1, std::numeric_limits<int>::max()));
  c->add_option("--objective", o->objective,
                "kge (default), nse, lognse, pbias, fdc-high, fdc-mid or fdc-low; or weighted terms, quoted: "
                "\"kge 0.5 lognse 0.5\"")
      ->check(CLI::Validator([](std::string& text) { return ObjectiveProblem(text); }, "OBJECTIVE"));
  c->add_option("--seed", o->seed, "the random seed")->check(WholeNumber(0, std::numeric_limits<std::uint64_t>::max()));
  c->add_option("--workers", o->workers, "evaluations at once in this process (default: every hardware thread)")
      ->check(WholeNumber(1, 1024));
  c->add_option("--warmup", o->warmup, "the warm-up years, simulated and not scored (\"1990\"), over the file's");
  c->add_option("--calibration", o->calibration,
                "the years the search scores (\"1991-1992\", \"1991,1993\"), over the file's")
      ->check(NotEmpty());
  c->add_option("--validation", o->validation, "the years scored for the best set only, over the file's");
  AddCarryOverOption(*c, o->carryOver);
  AddGroundwaterSumOption(*c, o->groundwaterSum);
  commands[c] = [o] { return Calibrate(*o); };
}

}  // namespace tarnwell::cli
