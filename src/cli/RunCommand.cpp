// "tarnwell run": start-up, the run, then next-year steps until the parameter file's
// number of years (or --years) is done; progress on standard error, a summary of every
// year on standard output.
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <thread>
#include <vector>

#include "app/Check.h"
#include "app/DayEngine.h"
#include "app/Driver.h"
#include "app/Progress.h"
#include "app/RunSettings.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "app/WorkspaceLock.h"
#ifdef TARNWELL_GEO
#include "geo/Maps.h"
#include "geo/StateFile.h"
#endif
#include <optional>
#include <tuple>
#include "app/RankGroup.h"
#ifdef TARNWELL_HAVE_MPI
#include "mpi/MpiRankGroup.h"
#endif
#include "cli/Commands.h"
#include "inputs/TextFile.h"
#include "model/Calendar.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"
#include "results/GoodnessOfFit.h"
#include "results/Statistic.h"

namespace tarnwell::cli {

namespace {

using Clock = std::chrono::steady_clock;

// One series pair of a year, as the summary needs it.
struct SeriesYear {
  int number = 0;  // the sub-basin's (0: the whole basin)
  std::string name;
  int year = 0;
  int first = 1, last = 0;  // simulated day numbers
  DaySeries obs{}, sim{};
  double toDepth = 1;  // factor turning the series into mm over the area (1: already mm)
  double area = 0;
  // A sub-basin's water over the year, mm: precipitation, evapotranspiration and outflow
  // summed over the simulated days, with its stores and deep leakage.
  double precip = 0, aet = 0, outflow = 0;
  YearWater water;
};

std::string Clocktime(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  long s = std::lround(seconds);
  char buf[32];
  if (s >= 3600) std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
  else std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
  return buf;
}

class CliProgress : public ProgressObserver {
 public:
  CliProgress(const Session& session, int years)
      : session_(session),
        years_(years),
        tty_(::isatty(STDERR_FILENO) == 1),
        start_(Clock::now()),
        yearStart_(start_) {}

  void DayCounted(int k, int dayCount) override {
    if (!tty_) return;
    auto now = Clock::now();
    if (now - lastDraw_ < std::chrono::milliseconds(100) && dayCount != 1) return;
    lastDraw_ = now;
    const ModelState& s = session_.state;
    const int n = std::max(1, s.SubBasinCount);
    const double done = ((s.YearIndex - 1) * n + (k - 1) + dayCount / double(s.DaysInYear)) / (double(years_) * n);
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double remaining = done > 0 ? elapsed * (1 - done) / done : 0;
    const int width = 24, filled = std::min(width, int(done * width));
    std::fprintf(stderr, "\r[%s%s] sub-basin %d/%d  year %d/%d (%d)  day %3d/%d  elapsed %s  remaining %s ",
                 std::string(filled, '#').c_str(), std::string(width - filled, ' ').c_str(), k, n, s.YearIndex, years_,
                 s.CurYear, dayCount, s.DaysInYear, Clocktime(elapsed).c_str(), Clocktime(remaining).c_str());
    std::fflush(stderr);
  }

  void SubBasinYearDone(int k, int yearIndex) override {
    const ModelState& s = session_.state;
    SeriesYear y;
    y.number = k;
    y.name = std::to_string(k) + " " + s.SubBasinName[static_cast<std::size_t>(k)];
    y.year = s.CurYear;
    y.first = s.StartDay;
    y.last = s.DayCount;
    y.obs = s.ObsFlow;
    y.sim = s.SimFlow;
    y.area = s.BasinArea;
    for (int d = s.StartDay; d <= s.DayCount; ++d) {
      y.precip += s.MeanPrecip[d];
      y.aet += s.MeanAET[d];
      y.outflow += s.SimFlow[d];
    }
    y.water = s.Water;
    byYear_[yearIndex].push_back(y);
    if (!tty_) {
      const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
      std::fprintf(stderr, "year %d/%d (%d): sub-basin %d/%d done, elapsed %s\n", yearIndex, years_, s.CurYear, k,
                   s.SubBasinCount, Clocktime(elapsed).c_str());
    }
  }

  void BasinYearDone(int yearIndex) override {
    const ModelState& s = session_.state;
    SeriesYear y;
    y.name = "whole basin";
    y.year = s.CurYear;
    y.first = 367;
    y.last = 0;
    for (const SeriesYear& sub : byYear_[yearIndex]) {
      y.first = std::min(y.first, sub.first);
      y.last = std::max(y.last, sub.last);
      y.area += sub.area;
    }
    if (y.first > y.last) y.first = 1, y.last = 0;
    y.obs = s.BasinObsFlow;
    y.sim = s.BasinFlow;
    // Outlet discharge (m3/s) as depth over the summed sub-basin areas.
    y.toDepth = y.area > 0 ? kDepthToFlow / y.area : 0;
    basin_[yearIndex] = y;
    const auto now = Clock::now();
    if (!tty_) {
      // The year's own cost, so a long run shows whether later years grow slower.
      std::fprintf(stderr, "year %d/%d (%d): whole basin done, %.3f s for the year\n", yearIndex, years_, s.CurYear,
                   std::chrono::duration<double>(now - yearStart_).count());
    }
    yearStart_ = now;
  }

  void ShowMessage(const std::string& text) override {
    EndLine();
    std::fprintf(stderr, "%s\n", text.c_str());
  }

  void ShowWarning(const std::string& text) override {
    EndLine();
    std::fprintf(stderr, "warning: %s\n", text.c_str());
  }

  void EndLine() {
    if (tty_) std::fprintf(stderr, "\r%*s\r", 120, "");
  }

  void PrintSummary(std::ostream& out) const {
    char buf[256];
    std::snprintf(buf, sizeof buf, "%-6s %-20s %5s %13s %13s %7s %8s %8s %9s\n", "Year", "Sub-basin", "Days",
                  "Measured(mm)", "Simulated(mm)", "R", "NSE", "KGE", "PBIAS(%)");
    out << buf;
    for (const auto& [yearIndex, finished] : byYear_) {
      // Side by side the sub-basins finish in any order: the summary lists them by number.
      std::vector<SeriesYear> subs = finished;
      std::stable_sort(subs.begin(), subs.end(),
                       [](const SeriesYear& a, const SeriesYear& b) { return a.number < b.number; });
      for (const SeriesYear& y : subs) out << Line(y);
      auto b = basin_.find(yearIndex);
      if (b != basin_.end()) out << Line(b->second);
    }
    // Where each sub-basin's water went: the closure P - AET - Q - dS would be 0 for a
    // sub-basin that keeps its account; deep leakage leaves the cells beside it.
    std::snprintf(buf, sizeof buf, "\nWater balance (mm, cell means)\n%-6s %-20s %9s %9s %9s %9s %9s %9s\n", "Year",
                  "Sub-basin", "P", "AET", "Q", "dS", "Closure", "Leakage");
    out << buf;
    for (const auto& [yearIndex, finished] : byYear_) {
      std::vector<SeriesYear> subs = finished;
      std::stable_sort(subs.begin(), subs.end(),
                       [](const SeriesYear& a, const SeriesYear& b) { return a.number < b.number; });
      for (const SeriesYear& y : subs) {
        const double dS = y.water.storageAtEnd - y.water.storageAtStart;
        char year[16];
        std::snprintf(year, sizeof year, "%-6d", y.year);
        out << std::string(year) + " " + PadToColumns(y.name, 20) + " " + Number(y.precip, "%*.1f", 9) + " " +
                   Number(y.aet, "%*.1f", 9) + " " + Number(y.outflow, "%*.1f", 9) + " " + Number(dS, "%*.1f", 9) +
                   " " + Number(y.precip - y.aet - y.outflow - dS, "%*.1f", 9) + " " +
                   Number(y.water.deepLeakage, "%*.1f", 9) + "\n";
      }
    }
  }

 private:
  static std::string Number(double v, const char* format, int width) {
    char buf[64];
    if (!std::isfinite(v)) std::snprintf(buf, sizeof buf, "%*s", width, "n/a");
    else std::snprintf(buf, sizeof buf, format, width, v);
    return buf;
  }

  static std::string Line(const SeriesYear& y) {
    const int n = std::max(0, y.last - y.first + 1);
    const PeriodStats p = ComputePeriodStats(y.obs, y.sim, n, y.last);
    // Goodness of fit of the daily discharge, beside the files' own R.
    const auto count = static_cast<std::size_t>(n);
    const FitStatistics fit = ComputeFit({y.obs.data() + y.first, count}, {y.sim.data() + y.first, count});
    char year[16], days[16];
    std::snprintf(year, sizeof year, "%-6d", y.year);
    std::snprintf(days, sizeof days, "%5d", n);
    return std::string(year) + " " + PadToColumns(y.name, 20) + " " + days + " " +
           Number(p.SumObs * y.toDepth, "%*.3f", 13) + " " + Number(p.SumSim * y.toDepth, "%*.3f", 13) + " " +
           Number(p.R, "%*.3f", 7) + " " + Number(fit.NSE, "%*.3f", 8) + " " + Number(fit.KGE, "%*.3f", 8) + " " +
           Number(fit.PBIAS, "%*.1f", 9) + "\n";
  }

  const Session& session_;
  int years_;
  bool tty_;
  Clock::time_point start_;
  Clock::time_point yearStart_;  // when the year now running began
  Clock::time_point lastDraw_{};
  std::map<int, std::vector<SeriesYear>> byYear_;
  std::map<int, SeriesYear> basin_;
};

}  // namespace

struct RunOptions {
  std::string workspace = ".";
  bool maps = false;
  std::string format = "geotiff";
  int years = 0;  // 0: the parameter file's number
  std::string parameters;
  std::string erodibility;
  std::string engine = "fused";
  int threads = 0;             // 0: every hardware thread
  std::string carryOver;       // empty: the workspace's run settings
  std::string groundwaterSum;  // empty: the workspace's run settings
  std::string saveState;       // DATE[,DATE...]
  std::string saveStateEvery;  // "year"
  std::string startState;      // a saved state to go on from
};

// "YYYY-MM-DD" as a date of the Gregorian calendar; nullopt otherwise.
std::optional<Driver::Date> ParseDate(const std::string& text) {
  int y = 0, m = 0, d = 0;
  char tail = 0;
  if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3 || text[4] != '-' ||
      text[7] != '-' || y < 1 || m < 1 || m > 12 || d < 1 || d > MonthLength(y, m))
    return std::nullopt;
  return Driver::Date{y, m, d};
}

std::string DateText(const Driver::Date& d) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return text;
}

// The days whose state the run saves: each a day of the years the run simulates, after the
// day it starts from (the first day of its first year, or a saved state's day).
std::vector<Driver::Date> StateDates(const RunOptions& o, int firstYear, int lastYear, const Driver::Date& start) {
  std::vector<Driver::Date> dates;
  const auto after = [](const Driver::Date& a, const Driver::Date& b) {
    return std::tie(a.year, a.month, a.day) > std::tie(b.year, b.month, b.day);
  };
  if (!o.saveState.empty()) {
    std::size_t at = 0;
    for (;;) {
      const std::size_t comma = o.saveState.find(',', at);
      const std::string one = o.saveState.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
      const auto date = ParseDate(one);
      if (!date) throw std::invalid_argument("--save-state: \"" + one + "\" is not a date YYYY-MM-DD");
      if (date->year < firstYear || date->year > lastYear || !after(*date, start))
        throw std::invalid_argument("--save-state " + one + ": not a day still to simulate of this run (" +
                                    DateText(start) + " to " + std::to_string(lastYear) + "-12-31)");
      if (std::find(dates.begin(), dates.end(), *date) == dates.end()) dates.push_back(*date);
      if (comma == std::string::npos) break;
      at = comma + 1;
    }
  }
  if (o.saveStateEvery == "year")
    for (int y = start.year + 1; y <= lastYear; ++y)
      if (std::find(dates.begin(), dates.end(), Driver::Date{y, 1, 1}) == dates.end()) dates.push_back({y, 1, 1});
  return dates;
}

#ifdef TARNWELL_GEO
// Writes the maps of every cell under Output/maps/: each year's GeoTIFFs as the year ends;
// with NetCDF, every year of a sub-basin in one file at the end (so they are kept till then:
// 48 bytes a cell a year). The georeferences are read once, before the run.
class MapWriter {
 public:
  // Checks everything the maps need first: the run has not emptied a file yet.
  MapWriter(Session& session, geo::MapFormat format) : target_(geo::PrepareMaps(session, true)), format_(format) {}
  void Take(int k, const CellMaps& m) {
    geo::YearlyCellMaps year{m.year,    m.precipitation, m.evapotranspiration, m.runoff, m.soilLoss, m.waterTableDepth,
                             m.snowPack};
    geo::SubBasinMaps& kept = maps_[k];
    kept.rows = m.rows;
    kept.cols = m.cols;
    if (format_ == geo::MapFormat::Netcdf) {
      kept.years.push_back(std::move(year));
      return;
    }
    kept.years.assign(1, std::move(year));
    geo::WriteSubBasinMaps(target_, k, kept, format_);
  }
  void Finish() {
    if (format_ != geo::MapFormat::Netcdf) return;
    for (auto& [k, kept] : maps_) geo::WriteSubBasinMaps(target_, k, kept, format_);
  }

 private:
  geo::MapsTarget target_;
  geo::MapFormat format_;
  std::map<int, geo::SubBasinMaps> maps_;
};
#endif

// The start-up of a run: the lock, start-up and the --parameters copy, all of which write;
// before the copy, what the run's options need beside the inputs (prepare).
void StartUp(Session& session, const RunOptions& options, std::unique_ptr<WorkspaceLock>& lock,
             const std::function<void()>& prepare) {
  lock = WorkspaceLock::Acquire(session.ws, "tarnwell run");
  StartUpWorkspace(session);
  prepare();
  const ModelState& s = session.state;
  if (!options.parameters.empty()) {
    // As the parameter dialog's confirmation: the file must load, then it becomes the
    // current parameter file (replaced as a whole).
    const std::string& from = options.parameters;
    ParameterSet check;
    LoadParameters(from, from, check);
    ReplaceFile(session.ws.ResolveForWriting(s.ParamFilePath), session.Display(s.ParamFilePath),
                ReadFileBytes(from, from));
  }
}

// --years beyond the parameter file's number of years: a run stops at that number, so it is
// refused before any output file is emptied, with the years the data hold.
[[noreturn]] void RefuseYears(const Session& session, int years) {
  const std::vector<SubBasinCheck> found = CheckInputs(session, 1);
  int blocks = found.front().yearBlocks;
  for (const SubBasinCheck& c : found) blocks = std::min(blocks, c.yearBlocks);
  const int first = found.front().years.front();
  const int simYears = std::max(1, session.params.SimYears);
  throw InputError(session.Display(session.state.ParamFilePath), 0,
                   "--years " + std::to_string(years) + ": the parameter file simulates " + std::to_string(simYears) +
                       " year" + (simYears == 1 ? "" : "s") +
                       " (SimYears), the most a run goes; the meteorological files hold " + std::to_string(blocks) +
                       " year block" + (blocks == 1 ? "" : "s") + " (" + std::to_string(first) + " to " +
                       std::to_string(first + blocks - 1) + "): give --years " + std::to_string(simYears) +
                       " or fewer, or raise SimYears");
}

int RunSimulation(const RunOptions& options) {
  std::unique_ptr<DayEngine> engine = MakeDayEngine(options.engine, options.threads);

  // Under mpirun the sub-basins are spread over the ranks: rank 0 starts the workspace up
  // (it alone writes there before the run), the others read it after.
  std::unique_ptr<RankGroup> group;
#ifdef TARNWELL_HAVE_MPI
  if (MpiSize() > 1) group = std::make_unique<mpi::MpiRankGroup>();
#endif
  const bool leader = MpiRank() == 0;
  Session session(options.workspace);
  std::unique_ptr<WorkspaceLock> lock;
  // The maps' needs are checked with the start-up, before anything of the run is written.
#ifdef TARNWELL_GEO
  std::unique_ptr<MapWriter> maps;
  const auto prepare = [&] {
    if (options.maps)
      maps = std::make_unique<MapWriter>(session,
                                         options.format == "netcdf" ? geo::MapFormat::Netcdf : geo::MapFormat::GeoTiff);
  };
#else
  const auto prepare = [&] {
    if (options.maps) throw std::invalid_argument("this build writes no maps (built without GDAL and NetCDF)");
  };
#endif
  if (!group) {
    StartUp(session, options, lock, prepare);
  } else {
    std::string problem;
    if (leader) {
      try {
        StartUp(session, options, lock, prepare);
      } catch (const std::exception& e) {
        problem = e.what();
      }
    }
    group->Agree(problem);
    if (!leader) {
      ReadStartUp(session);
      prepare();
    }
  }
  ModelState& s = session.state;
  session.params.ErodibilityMode = options.erodibility == "nonuniform" ? 1 : 0;
  {
    TextReader p = session.Open(s.ParamFilePath);
    LoadParameters(p, session.params);
  }
  const int years = options.years > 0 ? options.years : std::max(1, session.params.SimYears);
  if (years > std::max(1, session.params.SimYears)) RefuseYears(session, years);
  RunSettings settings = LoadRunSettings(session);
  // A saved state to go on from, and the days to save: checked before anything is written.
  std::optional<RunState> start;
  std::vector<Driver::Date> saveDates;
  if (!options.startState.empty() || !options.saveState.empty() || !options.saveStateEvery.empty()) {
#ifdef TARNWELL_GEO
    if (!options.startState.empty()) {
      start = geo::ReadStateFile(options.startState, options.startState);
      // The settings the state was saved with, unless told.
      settings.carryOver = start->carryOver;
      settings.groundwaterSum = start->groundwaterSum;
      if (options.maps && start->day > 1)
        throw std::invalid_argument("--maps with --start-state " + options.startState + " of " + start->Date() +
                                    ": a year's maps would hold only the days after it; start from the first "
                                    "day of a year");
    }
    const std::vector<SubBasinCheck> found = CheckInputs(session, 1);
    const int firstYear = found.front().years.front();
    const Driver::Date from = start ? Driver::Date{start->calendarYear, start->month, start->dayOfMonth}
                                    : Driver::Date{firstYear, 1, 1};
    saveDates = StateDates(options, firstYear, firstYear + years - 1, from);
    if (start && start->yearIndex > years)
      throw std::invalid_argument("--start-state " + options.startState + " of " + start->Date() + " is in year " +
                                  std::to_string(start->yearIndex) + " of the run, beyond --years " +
                                  std::to_string(years));
#else
    throw std::invalid_argument("this build saves and reads no states (built without NetCDF)");
#endif
  }
  if (!options.carryOver.empty()) settings.carryOver = *ParseCarryOver(options.carryOver);
  if (!options.groundwaterSum.empty()) settings.groundwaterSum = *ParseGroundwaterSum(options.groundwaterSum);

  CliProgress progress(session, std::min(years, std::max(1, session.params.SimYears)));
  ProgressObserver quiet;
  Driver driver(session, leader ? static_cast<ProgressObserver&>(progress) : quiet, *engine);
  driver.SetYearsToCheck(std::min(years, std::max(1, session.params.SimYears)));
  const unsigned hardware = std::thread::hardware_concurrency();
  const int threads = options.threads > 0 ? options.threads : std::max(1, static_cast<int>(hardware));
  driver.RunSideBySide(threads, [name = options.engine](int t) { return MakeDayEngine(name, t); });
  driver.DistributeOver(group.get());
  driver.SetCarryOver(settings.carryOver);
  driver.SetGroundwaterSum(settings.groundwaterSum);
#ifdef TARNWELL_GEO
  if (!saveDates.empty())
    driver.SaveStatesAt(saveDates, [&session](const RunState& state) {
      const std::string dir = session.state.ProgramDir + "..\\Output\\state";
      std::string why;
      if (!session.ws.CreateDirectory(dir, &why))
        throw FileError(session.Display(dir), 0, "cannot create the directory: " + why);
      const std::string file = dir + "\\state_" + state.Date() + ".nc";
      geo::WriteStateFile(state, session.ws.ResolveForWriting(file), session.Display(file));
      std::cerr << "saved state " << session.Display(file) << "\n";
    });
#endif
#ifdef TARNWELL_GEO
  if (maps) driver.KeepCellMaps([&maps](int k, const CellMaps& m) { maps->Take(k, m); });
#endif
  // A run alone on its workspace reads its inputs once, at its check, when they take at most
  // a quarter of the machine's memory (a 2000 x 2000 sub-basin's three grids take 96 MB).
  const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
  const std::size_t memory = pages > 0 && pageSize > 0 ? static_cast<std::size_t>(pages) * pageSize
                                                       : std::size_t{4} << 30;
  driver.ReuseCheckedInputs(memory / 4);
  try {
    if (start) driver.ContinueFrom(*start);
    else driver.Run();
    while (s.YearIndex < years) {
      if (driver.NextYear() != Driver::StepResult::Simulated) break;
    }
  } catch (...) {
    progress.EndLine();
    throw;
  }
  progress.EndLine();
#ifdef TARNWELL_GEO
  if (maps) maps->Finish();
#endif
  if (leader) progress.PrintSummary(std::cout);
  // Rank 0 gathers and saves the states.
  for (const Driver::Date& d : leader ? saveDates : std::vector<Driver::Date>{})
    if (std::find(driver.SavedDates().begin(), driver.SavedDates().end(), d) == driver.SavedDates().end())
      throw std::invalid_argument("--save-state " + DateText(d) + ": the run did not simulate that day");
  return 0;
}

void AddRunCommand(CLI::App& app, CommandMap& commands) {
  auto o = std::make_shared<RunOptions>();
  CLI::App* run = app.add_subcommand("run",
                                     "start-up, the run and the next-year steps up to the parameter file's years; "
                                     "a summary of every year");
  AddWorkspaceOption(*run, o->workspace);
  run->add_option("--years", o->years, "simulate this many years (default: the parameter file's)")
      ->check(CLI::Range(1, 1000));
  run->add_option("--parameters", o->parameters,
                  "a parameter file copied over the current one first, as the parameter dialog's 确定")
      ->check(NotEmpty())
      ->check(InputFile());
  run->add_option("--erodibility", o->erodibility, "uniform (one erodibility) or nonuniform (per soil type)")
      ->check(CLI::IsMember({"uniform", "nonuniform"}));
  run->add_option("--engine", o->engine, "fused (default) or reference; both give the same files")
      ->check(CLI::IsMember({"fused", "reference"}));
  AddThreadsOption(*run, o->threads, "threads of the fused engine (default: every hardware thread)");
  AddCarryOverOption(*run, o->carryOver);
  AddGroundwaterSumOption(*run, o->groundwaterSum);
  run->add_option("--save-state", o->saveState,
                  "save the run's state at the start of each of these days (YYYY-MM-DD, comma-separated) as "
                  "Output/state/state_YYYY-MM-DD.nc")
      ->check(NotEmpty());
  run->add_option("--save-state-every", o->saveStateEvery, "year: save the state at the start of every later year")
      ->check(CLI::IsMember({"year"}));
  run->add_option("--start-state", o->startState,
                  "go on from a saved state of this workspace (its results up to the state's day in Output/)")
      ->check(NotEmpty())
      ->check(InputFile());
  run->add_flag("--maps", o->maps,
                "keep maps of every cell and year (precipitation, evapotranspiration, runoff, soil loss, "
                "water-table depth, snow) and write them under Output/maps/");
  run->add_option("--format", o->format, "the maps as geotiff (default), or also netcdf: one file per sub-basin")
      ->check(CLI::IsMember({"geotiff", "netcdf"}));
  commands[run] = [o] { return RunSimulation(*o); };
}

}  // namespace tarnwell::cli
