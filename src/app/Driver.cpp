#include "app/Driver.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <thread>
#include <utility>

#include "app/Check.h"
#include "app/DayEngine.h"
#include "app/OutputBinding.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "app/WorkerPool.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Calendar.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"
#include "parameters/ParameterLimits.h"
#include "processes/Processes.h"
#include "results/Format.h"

namespace tarnwell {

namespace {

// Initial soil water of every layer: this fraction of its field capacity.
constexpr double kInitialSoilWaterFraction = 0.6;

void LoadCurrentParameters(Session& session) {
  TextReader file = session.Open(session.state.ParamFilePath);
  LoadParameters(file, session.params);
  // The file may have been saved since the run's check: refuse what cannot be computed.
  RequireComputableParameters(session.params, file.Name());
}

}  // namespace

void RequireInsideCells(const Session& session, int k, long insideCells) {
  if (insideCells > 0) return;
  const ModelState& s = session.state;
  throw InputError(session.Display(s.InputPath[1]), 0,
                   "sub-basin " + std::to_string(k) + " (" + s.SubBasinName[static_cast<std::size_t>(k)] +
                       ") has no cell inside the basin (no terrain value between 0 and 2e30)");
}

void RequireArea(const Session& session, int k) {
  const ModelState& s = session.state;
  if (s.BasinArea > 0) return;
  // Without area the outlet discharge has no depth: every depth would be infinite.
  throw InputError(session.Display(s.InputPath[2]), 0,
                   "sub-basin " + std::to_string(k) + " (" + s.SubBasinName[static_cast<std::size_t>(k)] +
                       ") has no area (no land-use code below 150)");
}

Driver::Driver(Session& session, ProgressObserver& observer, DayEngine& engine)
    : session_(session), observer_(observer), engine_(engine) {
  main_.session = &session_;
  main_.engine = &engine_;
  main_.observer = &observer_;
}

namespace {

// A lane's own display, told nothing while it runs: the driver tells the window of each
// sub-basin when it has finished (Publish).
class QuietObserver : public ProgressObserver {};
QuietObserver quietObserver;

}  // namespace

DisplayedYear DisplayedYear::Of(const ModelState& s) {
  DisplayedYear y;
  y.curYear = s.CurYear;
  y.daysInYear = s.DaysInYear;
  y.dayCount = s.DayCount;
  y.startDay = s.StartDay;
  y.stationElev = s.StationElev;
  y.basinArea = s.BasinArea;
  y.meanElev = s.MeanElev;
  for (std::size_t i = 0; i < y.series.size(); ++i) y.series[i] = s.*kSeries[i];
  return y;
}

void DisplayedYear::ShowIn(ModelState& s) const {
  s.CurYear = curYear;
  s.DaysInYear = daysInYear;
  s.DayCount = dayCount;
  s.StartDay = startDay;
  s.StationElev = stationElev;
  s.BasinArea = basinArea;
  s.MeanElev = meanElev;
  for (std::size_t i = 0; i < series.size(); ++i) s.*kSeries[i] = series[i];
}

void Driver::RunSideBySide(int threads, EngineFactory makeEngine, bool always) {
  threads_ = threads < 1 ? 1 : threads;
  makeEngine_ = std::move(makeEngine);
  alwaysSideBySide_ = always;
}

void Driver::CheckRun() {
  // Every input of the run is checked before the first output file is emptied: a run that
  // could not finish must not destroy the results of an earlier one. Inputs given read were
  // checked when they were read.
  // Inputs kept from an earlier run's check are read anew: they may have changed since.
  if (inputsKept_) {
    inputs_.reset();
    inputsKept_ = false;
  }
  if (!inputs_) {
    // Spread over ranks, rank 0 checks, and no rank empties a file before it has.
    std::string problem;
    if (!group_ || group_->Rank() == 0) {
      try {
        if (reuseAtMost_ > 0 && !group_) {
          auto kept = std::make_shared<WorkspaceInputs>();
          sizes_ = CheckInputs(session_, yearsToCheck_, kept.get(), reuseAtMost_);
          if (!kept->Empty()) {
            inputs_ = std::move(kept);
            inputsKept_ = true;
          }
        } else {
          sizes_ = CheckInputs(session_, yearsToCheck_);
        }
      } catch (const std::exception& e) {
        if (!group_) throw;
        problem = e.what();
      }
    }
    if (group_) group_->Agree(problem);
    if (!group_ || group_->Rank() == 0)
      for (const SubBasinCheck& c : sizes_)
        for (const std::string& w : c.warnings) observer_.ShowWarning(w);
  }
}

void Driver::Run() {
  ModelState& s = session_.state;
  CheckRun();
  // Every run starts from nothing: counters, whole-basin files and the outlet series. It
  // also ends browsing, so "下一年" simulates again; the years to simulate come back from
  // the parameter file, which every sub-basin reloads.
  s.BrowseMode = 0;
  aggregation_.Reset();
  metResume_.clear();
  s.MetLinesRead = 0;
  s.BasinDailyLinesDone = 0;
  s.BasinBudgetLinesDone = 0;
  s.BasinFilesCreated = 0;
  s.RunStarted = 1;
  s.YearIndex = 1;
  s.CurrentInputFile = s.ProgramDir + kRiverFilePath;
  if (!noFiles_) aggregation_.RiverFile.emplace(session_.Open(s.CurrentInputFile));
  RunSubBasins(false);
  EndBasinYear();
}

void Driver::EndBasinYear() {
  ModelState& s = session_.state;
  if (group_ && group_->Rank() != 0) {
    // The whole-basin year is rank 0's.
  } else if (noFiles_) {
    RouteAndSumBasin(s, s.SubBasinCount);
    ApplyOutletObservations(s, inputs_->outlet.at(static_cast<std::size_t>(s.YearIndex - 1)));
  } else {
    AggregateBasin(session_, aggregation_, s.SubBasinCount);
  }
  s.MetLinesRead += s.DaysInYear + 1;
  observer_.BasinYearDone(s.YearIndex);
}

Driver::StepResult Driver::NextYear() {
  ModelState& s = session_.state;
  const int simYears = session_.params.SimYears;
  if (s.BrowseMode == 1) {
    s.YearIndex += 1;
    if (s.YearIndex > simYears) {
      observer_.ShowMessage("This is the last year!");
      s.YearIndex = simYears;
      return StepResult::LastYear;
    }
    observer_.ShowResults(s.YearIndex);
    return StepResult::Browsed;
  }
  // Without a run there is no year-end state to continue from.
  if (s.RunStarted == 0) return StepResult::NotStarted;
  s.YearIndex += 1;
  if (s.YearIndex > simYears) {
    observer_.ShowMessage("have finished the simulation!");
    s.YearIndex = simYears;
    return StepResult::Finished;
  }
  RunSubBasins(true);
  EndBasinYear();
  return StepResult::Simulated;
}

std::vector<int> Driver::OwnSubBasins() const {
  std::vector<int> mine;
  for (int k = 1; k <= session_.state.SubBasinCount; ++k)
    if (!group_ || (k - 1) % group_->Size() == group_->Rank()) mine.push_back(k);
  return mine;
}

void Driver::RunSubBasins(bool nextYear) {
  ModelState& s = session_.state;
  const auto n = static_cast<std::size_t>(s.SubBasinCount);
  if (metResume_.size() < n + 1) metResume_.resize(n + 1);
  const std::vector<int> mine = OwnSubBasins();
  lastLanes_ = group_ ? 1 : LanesFor(s.SubBasinCount);
  if (group_ && sizes_.size() == n)
    lastLanes_ = std::min<int>(LanesFor(s.SubBasinCount), static_cast<int>(mine.size()));
  if (!saveDates_.empty()) BeginYearStates();
  std::string problem;
  try {
    if (lastLanes_ <= 1) {
      for (int k : mine) SimulateSubBasinYear(k, nextYear, main_);
    } else {
      RunLanes(nextYear, lastLanes_, mine);
    }
  } catch (const std::exception& e) {
    if (!group_) throw;
    problem = e.what();
  }
  if (group_) group_->Agree(problem);
  if (!saveDates_.empty()) FinishYearStates();
  if (group_) ExchangeYear(mine);
}

namespace {

// What rank 0 needs of another rank's sub-basin year, as bytes: both ends are the same
// program on the same kind of machine.
class Bytes {
 public:
  template <class T>
  void Put(const T& v) {
    text_.append(reinterpret_cast<const char*>(&v), sizeof v);
  }
  template <class T>
  T Get(const std::string& from, std::size_t& at) const {
    T v{};
    if (at + sizeof v > from.size()) throw std::runtime_error("a rank's year came cut short");
    std::memcpy(&v, from.data() + at, sizeof v);
    at += sizeof v;
    return v;
  }
  std::string& Text() { return text_; }

 private:
  std::string text_;
};

}  // namespace

void Driver::ExchangeYear(const std::vector<int>& mine) {
  ModelState& s = session_.state;
  Bytes out;
  if (group_->Rank() != 0) {
    for (int k : mine) {
      const auto col = static_cast<std::size_t>(k);
      out.Put(k);
      out.Put(s.SubBasinFlow[col]);
      out.Put(s.SubBasinSediment[col]);
      out.Put(views_.at(col));
    }
  }
  const std::vector<std::string> years = group_->Gather(out.Text());
  if (group_->Rank() != 0) return;
  // Rank 0 takes the others' sub-basins in rank order; the displays are told of each.
  for (std::size_t r = 1; r < years.size(); ++r) {
    const std::string& from = years[r];
    std::size_t at = 0;
    while (at < from.size()) {
      const int k = out.Get<int>(from, at);
      const auto col = static_cast<std::size_t>(k);
      s.SubBasinFlow.at(col) = out.Get<DaySeries>(from, at);
      s.SubBasinSediment.at(col) = out.Get<DaySeries>(from, at);
      Publish(k, out.Get<DisplayedYear>(from, at), true);
    }
  }
}

// Side by side pays when the sub-basins can share the threads evenly. In units of one cell's
// year of days, a sub-basin's year costs its inside cells (the days, which the threads can
// split by rows), a share of all its cells (reading and preparing the grids, on one thread)
// and a fixed part (its meteorological year, its five files appended day by day, on one
// thread). One after the other, only the days are shared; side by side, each lane does all
// of its own. The longest lane (largest sub-basins first, each to the least loaded lane)
// decides.
int Driver::LanesFor(int subBasins) const {
  if (threads_ <= 1 || subBasins <= 1 || !makeEngine_ || sizes_.size() != static_cast<std::size_t>(subBasins)) return 1;
  constexpr double kPreparing = 0.04;  // per cell of the grid
  constexpr double kFixed = 1000;      // per sub-basin's year
  const int lanes = std::min(threads_, subBasins);
  if (alwaysSideBySide_) return lanes;
  const double rowThreads = threads_ / lanes;
  double oneByOne = 0;
  std::vector<double> cost;
  for (const SubBasinCheck& c : sizes_) {
    const double own = kPreparing * static_cast<double>(c.rows) * c.cols + kFixed;
    oneByOne += static_cast<double>(c.insideCells) / threads_ + own;
    cost.push_back(static_cast<double>(c.insideCells) / rowThreads + own);
  }
  std::sort(cost.begin(), cost.end(), std::greater<>());
  std::vector<double> load(static_cast<std::size_t>(lanes), 0.0);
  for (double c : cost) *std::min_element(load.begin(), load.end()) += c;
  const double sideBySide = *std::max_element(load.begin(), load.end());
  return sideBySide < oneByOne ? lanes : 1;
}

void Driver::RunLanes(bool nextYear, int lanes, const std::vector<int>& subBasins) {
  ModelState& s = session_.state;
  const int threadsPerLane = std::max(1, threads_ / lanes);
  while (static_cast<int>(lanes_.size()) < lanes) {
    Lane lane;
    lane.own = std::make_unique<Session>(session_.ws.Root().string());
    lane.session = lane.own.get();
    lane.ownEngine = makeEngine_(threadsPerLane);
    lane.engine = lane.ownEngine.get();
    lane.observer = &quietObserver;
    lanes_.push_back(std::move(lane));
  }
  // Largest first, each to the lane that frees up first.
  std::vector<int> order = subBasins;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return sizes_[static_cast<std::size_t>(a - 1)].insideCells > sizes_[static_cast<std::size_t>(b - 1)].insideCells;
  });
  // What every sub-basin of the year starts from, as one after the other they would: the
  // run's counters, the tables of the sub-basins, and the growth index (every sub-basin
  // computes the same one from the season file, over the days the year before left).
  const DaySeries growthBefore = s.GrowthIndex;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  std::mutex failed;
  int failedAt = 0;
  std::exception_ptr failure;
  std::vector<Session*> lastOf(static_cast<std::size_t>(s.SubBasinCount) + 1, nullptr);
  int lastPublished = 0;
  std::optional<DisplayedYear> lastView;
  auto work = [&](Lane& lane) {
    ModelState& ls = lane.session->state;
    for (;;) {
      const std::size_t i = next++;
      if (i >= order.size() || stop) return;
      const int k = order[i];
      try {
        {
          std::lock_guard<std::mutex> hold(publish_);
          if (ls.SubBasinCount != s.SubBasinCount) ls.TakeSubBasinTable(s);
          ls.ParamFilePath = s.ParamFilePath;
          ls.YearEndState = s.YearEndState;
          ls.YearEndCells[static_cast<std::size_t>(k)] = std::exchange(s.YearEndCells[static_cast<std::size_t>(k)], {});
          ls.YearIndex = s.YearIndex;
          ls.MetLinesRead = s.MetLinesRead;
          ls.RunStarted = s.RunStarted;
          ls.GrowthIndex = growthBefore;
          lane.session->params = session_.params;
        }
        SimulateSubBasinYear(k, nextYear, lane);
        std::lock_guard<std::mutex> hold(publish_);
        const auto col = static_cast<std::size_t>(k);
        s.SubBasinFlow[col] = ls.SubBasinFlow[col];
        s.SubBasinSediment[col] = ls.SubBasinSediment[col];
        s.YearEndState[col] = ls.YearEndState[col];
        s.YearEndCells[col] = std::exchange(ls.YearEndCells[col], {});
        lastOf[col] = lane.session;
        const DisplayedYear shown = DisplayedYear::Of(ls);
        Publish(k, shown, true);
        lastPublished = k;
        // The window ends the year on the last sub-basin, as one after the other it would.
        if (k == subBasins.back()) lastView = shown;
        if (group_) views_[col] = shown;
      } catch (...) {
        std::lock_guard<std::mutex> hold(failed);
        // Of several failures the sub-basin first in the list speaks, as it would have
        // one after the other.
        if (!failure || k < failedAt) {
          failure = std::current_exception();
          failedAt = k;
        }
        stop = true;
        return;
      }
    }
  };
  WorkerPool(lanes).Run([&](int i) { work(lanes_[static_cast<std::size_t>(i)]); });
  if (failure) std::rethrow_exception(failure);
  const int lastOwn = subBasins.back();
  if (lastPublished != lastOwn) Publish(lastOwn, *lastView, false);
  // The year's calendar and growth index for the whole basin, and the parameters, as the
  // last sub-basin left them.
  session_.params = lastOf[static_cast<std::size_t>(lastOwn)]->params;
  const ModelState& last = lastOf[static_cast<std::size_t>(lastOwn)]->state;
  s.CurYear = last.CurYear;
  s.DaysInYear = last.DaysInYear;
  s.DaysInMonth = last.DaysInMonth;
  s.MonthCount = last.MonthCount;
  s.GrowthIndex = last.GrowthIndex;
}

// The window's (or the command line's) view of a sub-basin that has finished its year side
// by side or on another rank: its series shown in the session's state, then the displays
// told, one sub-basin at a time.
void Driver::Publish(int k, const DisplayedYear& year, bool finished) {
  ModelState& s = session_.state;
  year.ShowIn(s);
  observer_.SetLabel1("子流域" + std::to_string(k) + "  ");
  observer_.SetLabel2("结果统计");
  observer_.ShowResultsPanel();
  observer_.FillStatGrids(k, s.YearIndex);
  observer_.DrawCharts(k, s.YearIndex);
  observer_.SetProgressPosition(100);
  if (finished) observer_.SubBasinYearDone(k, s.YearIndex);
}

void Driver::ReadInputs(int k, bool nextYear, Lane& lane) {
  ModelState& s = lane.session->state;
  ProgressObserver& observer = *lane.observer;
  if (!nextYear) {
    observer.SetProgressMax(100);
    observer.SetProgressPosition(2);
    observer.SetLabel2("数据读取");
  }
  if (inputs_) {
    const SubBasinInputs& in = inputs_->subBasins.at(static_cast<std::size_t>(k - 1));
    ApplyTerrainGrid(s, in.terrain);
    observer.SetProgressPosition(4);
    ApplyLandUseGrid(s, in.landUse);
    observer.SetProgressPosition(6);
    ApplySeasonDays(s, in.seasonDays);
    observer.SetProgressPosition(8);
    ApplySlopeValues(s, in.slope);
    observer.SetProgressPosition(10);
    return;
  }
  struct Step {
    int input;
    void (*read)(ModelState&, TextReader&);
    int position;
  };
  const Step steps[] = {
      {1, ReadTerrainGrid, 4}, {2, ReadLandUseGrid, 6}, {4, ReadSeasonFile, 8}, {5, ReadSlopeGrid, 10}};
  for (const Step& step : steps) {
    s.CurrentInputFile = s.InputPath[static_cast<std::size_t>(step.input)];
    TextReader file = lane.session->Open(s.CurrentInputFile);
    step.read(s, file);
    observer.SetProgressPosition(step.position);
  }
}

void Driver::SetInitialState(int k, bool nextYear, Lane& lane) {
  ModelState& s = lane.session->state;
  const ParameterSet& p = lane.session->params;
  const std::size_t n = s.CellCount();
  const auto& carry = s.YearEndState[static_cast<std::size_t>(k)];
  if (!nextYear) {
    std::fill(s.SnowPack.begin(), s.SnowPack.begin() + static_cast<std::ptrdiff_t>(n), 0.0);
    std::fill(s.Frozen.begin(), s.Frozen.begin() + static_cast<std::ptrdiff_t>(n), 0.0);
  }
  long inside = 0;
  double elevSum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (nextYear) {
      // One value per sub-basin: every cell starts from the sub-basin's means of the
      // year before.
      s.SnowPack[i] = carry.SnowPack;
      s.Frozen[i] = carry.Frozen;
      s.Subflow[i] = carry.Subflow;
      s.Uz1[i] = carry.Uz1;
      s.Uz2[i] = carry.Uz2;
      s.Uz3[i] = carry.Uz3;
    } else {
      s.Uz1[i] = kInitialSoilWaterFraction * p.FieldCapacity * p.LayerThickness1;
      s.Uz2[i] = kInitialSoilWaterFraction * p.FieldCapacity * p.LayerThickness2;
      s.Uz3[i] = kInitialSoilWaterFraction * p.FieldCapacity * p.LayerThickness3;
    }
    const double z = s.SurfElev[i];
    s.CellFlag[i] = (z > 0 && z < kNoDataLimit) ? 1 : -1;
    if (s.CellFlag[i] == 1) {
      elevSum += z;
      ++inside;
      // Outside cells keep the terrain reader's water table 3 m below the surface.
      if (nextYear) s.WTElev[i] = carry.WTElev;
    }
  }
  if (nextYear && carryOver_ == CarryOver::Cells) RestoreCells(k, lane);
  // A year without a simulated day leaves the snow and frozen water it began with: its own,
  // not those another sub-basin left in the year-end values.
  s.YearEndValue.SnowPack = nextYear ? carry.SnowPack : 0.0;
  s.YearEndValue.Frozen = nextYear ? carry.Frozen : 0.0;
  RequireInsideCells(*lane.session, k, inside);
  RequireArea(*lane.session, k);
  s.MeanElev = elevSum / static_cast<double>(inside);
  if (nextYear) lane.observer->SetProgressPosition(10);
}

namespace {

// Stores kept for a grid fit only that grid and its basin cells: refused otherwise, naming
// the terrain file, the cell and where the stores come from (`when`: "the year before").
void RequireSameCells(const Session& session, int k, const CellStores& cells, const std::string& when,
                      const std::string& why) {
  const ModelState& s = session.state;
  const std::string terrain = session.Display(s.InputPath[1]);
  if (cells.rows != s.GridRows || cells.cols != s.GridCols || cells.CellFlag.size() != s.CellCount())
    throw InputError(terrain, 0,
                     "the grid of sub-basin " + std::to_string(k) + " is " + std::to_string(s.GridRows) + " x " +
                         std::to_string(s.GridCols) + ", but it was " + std::to_string(cells.rows) + " x " +
                         std::to_string(cells.cols) + " " + when + ": " + why);
  for (std::size_t i = 0; i < s.CellCount(); ++i)
    if ((s.CellFlag[i] > 0) != (cells.CellFlag[i] > 0))
      throw InputError(terrain, 0,
                       "cell (row " + std::to_string(i / static_cast<std::size_t>(s.GridCols) + 1) + ", column " +
                           std::to_string(i % static_cast<std::size_t>(s.GridCols) + 1) + ") of sub-basin " +
                           std::to_string(k) +
                           (s.CellFlag[i] > 0 ? " is inside the basin, but was outside "
                                              : " is outside the basin, but was inside ") +
                           when + ": " + why);
}

}  // namespace

void Driver::RestoreCells(int k, Lane& lane) {
  ModelState& s = lane.session->state;
  const CellStores& cells = s.YearEndCells[static_cast<std::size_t>(k)];
  // The year before ran with the year boundary taking the means (or did not end): its means
  // stand, as they would have.
  if (cells.Empty()) return;
  RequireSameCells(*lane.session, k, cells, "the year before",
                   "with the year boundary keeping every cell (carry-over cells) a sub-basin's grid and "
                   "basin cells cannot change between years");
  // Every store as the last day left it: soil water, snow, frozen water, interflow,
  // canopy, free water, both water-table buffers, saturated-zone evapotranspiration and
  // the wetness marks.
  cells.Restore(s);
}

void Driver::RestoreSubBasin(int k, Lane& lane, const SubBasinState& from) {
  ModelState& s = lane.session->state;
  RequireSameCells(*lane.session, k, from.cells, "in the saved state " + resume_->source,
                   "a state goes on only on the grids it was saved from");
  from.cells.Restore(s);
  s.YearEndValue = from.yearEnd;
  s.RoutedInterflow = from.routedInterflow;
  s.RoutedGwFlow = from.routedGwFlow;
  s.SedStore = from.sedStore;
  s.SubBasinCellCount = from.cellCount;
  s.DayCount = from.dayCount;
  s.MonthSimDays = from.monthSimDays;
  for (std::size_t i = 0; i < kStateSeriesCount; ++i) s.*kStateSeries[i] = from.series[i];
  s.DayYear = from.dayYear;
  s.DayMonth = from.dayMonth;
  s.DayOfMonth = from.dayOfMonth;
}

TextReader Driver::OpenMeteorologicalFile(int k, Lane& lane) {
  const Session& session = *lane.session;
  const ModelState& s = session.state;
  const auto col = static_cast<std::size_t>(k);
  const MetResume& r = metResume_[col];
  // The cursor holds only when it is this file's and stands where the years done end.
  if (r.at.linesDone == s.MetLinesRead && r.fsPath == session.ws.Resolve(s.CurrentInputFile))
    return session.OpenAt(s.CurrentInputFile, r.at);
  return session.Open(s.CurrentInputFile);
}

void Driver::LoadParametersForSubBasin(Lane& lane) {
  Session& session = *lane.session;
  if (!fixedParameters_) {
    LoadCurrentParameters(session);
    return;
  }
  // The window's erodibility choice is not part of the file: it stays as set.
  const int mode = session.params.ErodibilityMode;
  session.params = *fixedParameters_;
  session.params.ErodibilityMode = mode;
}

void Driver::SimulateSubBasinYear(int k, bool nextYear, Lane& lane) {
  Session& session = *lane.session;
  ModelState& s = session.state;
  ProgressObserver& observer = *lane.observer;
  s.SimulatedSubBasin = k;
  const auto col = static_cast<std::size_t>(k);
  // Going on from a saved state: its files are there, its year is under way.
  const SubBasinState* from = resume_ ? &resume_->subBasins.at(col - 1) : nullptr;
  if (nextYear) {
    LoadParametersForSubBasin(lane);
    s.ClearGrids();
    if (!inputs_) LoadPaths(session, k);
  } else {
    s.ClearGrids();
    if (!inputs_) LoadPaths(session, k);
    LoadParametersForSubBasin(lane);
  }
  const std::string label1 = "子流域" + std::to_string(k) + "  ";
  const std::string dir = SubBasinOutputDir(s, k);
  if (!nextYear) {
    observer.SetLabel1(label1);
    std::string why;
    if (!noFiles_ && !session.ws.CreateDirectory(dir, &why))
      throw FileError(session.Display(dir), 0, "cannot create the directory: " + why);
  }
  lane.files = noFiles_ ? YearFiles{} : BindYearFiles(session, dir);
  lane.mark = noFiles_ ? OutputFile{} : BindFile(session, s.ProgramDir + RunMarkPath(s));
  if (!nextYear && !from) {
    for (const OutputFile* f :
         {&lane.files.Daily, &lane.files.DailyS, &lane.files.Budget, &lane.files.BudgetS, &lane.files.DailyF})
      f->Create();
  } else if (nextYear) {
    observer.SetLabel1(label1);
  }

  ReadInputs(k, nextYear, lane);
  SetInitialState(k, nextYear && !from, lane);

  if (!nextYear) {
    observer.SetLabel2("模拟准备");
    observer.ShowResultsPanel();
    s.SedStore = session.params.SedimentStoreInitial;
  } else {
    // Each sub-basin continues from its own channel store and outlet reservoirs.
    const auto& carry = s.YearEndState[col];
    s.SedStore = carry.SedStore;
    s.RoutedGwFlow = carry.RoutedGwFlow;
    s.RoutedInterflow = carry.RoutedInterflow;
  }
  ReadMeteorologicalBlock(k, lane);
  if (from) RestoreSubBasin(k, lane, *from);

  if (!nextYear) observer.SetLabel2("模拟计算");
  if (!from) WriteSubBasinHeaders(s, lane.files);
  SimulateYearDays(k, lane, from);

  observer.SetLabel2("结果统计");
  WriteFrozenDaily(s, lane.files, s.DayCount);
  {
    // The run marker is one file of every sub-basin.
    std::unique_lock<std::mutex> marker(publish_, std::defer_lock);
    if (&lane != &main_) marker.lock();
    WriteSedimentDaily(s, lane.files, lane.mark, s.DayCount);
  }
  WritePeriodStatistics(s, lane.files, s.StartDay, s.DayCount, 2);

  if (!nextYear) {
    observer.SetProgressPosition(95);
    observer.FillStatGrids(k, s.YearIndex);
  } else {
    observer.FillStatGrids(k, s.YearIndex);
    observer.SetProgressPosition(100);
  }
  for (int d = 1; d <= s.DayCount; ++d) s.AirTempAdj[d] = s.DailyTemp[d] - kLapseRate * (s.MeanElev - s.StationElev);
  observer.DrawCharts(k, s.YearIndex);

  // The sub-basin's outflow for the whole basin: mm/day over its area to m3/s.
  for (int d = 1; d <= kMaxDays; ++d) {
    s.SubBasinFlow[col][d] = s.SimFlow[d] * s.BasinArea / kDepthToFlow;
    s.SubBasinSediment[col][d] = s.SimSediment[d];
  }
  if (!nextYear) observer.SetProgressPosition(100);
  s.YearEndState[col] = s.YearEndValue;
  if (carryOver_ == CarryOver::Cells) s.YearEndCells[col] = CellStores::Take(s);
  observer.SubBasinYearDone(k, s.YearIndex);
  if (group_ && &lane == &main_) views_[col] = DisplayedYear::Of(s);
}

void Driver::ReadMeteorologicalBlock(int k, Lane& lane) {
  Session& session = *lane.session;
  ModelState& s = session.state;
  if (inputs_) {
    ApplyMeteorologicalYear(
        s, session.params,
        inputs_->subBasins.at(static_cast<std::size_t>(k - 1)).years.at(static_cast<std::size_t>(s.YearIndex - 1)));
    return;
  }
  const auto col = static_cast<std::size_t>(k);
  s.CurrentInputFile = s.InputPath[3];
  TextReader metFile = OpenMeteorologicalFile(k, lane);
  // The line the year's header stands on (the reader first passes the years done).
  const long header = (s.MetLinesRead > 1 ? std::max(metFile.LineNumber(), s.MetLinesRead) : metFile.LineNumber()) + 1;
  ReadMeteorologicalYear(s, session.params, metFile);
  metResume_[col] = {session.ws.Resolve(s.CurrentInputFile), metFile.Cursor()};
  // Every sub-basin simulates the same calendar year: the whole-basin year sums them day by
  // day. Side by side, and spread over ranks, the check of the run has seen to it.
  if (&lane != &main_ || group_) return;
  if (k == 1) {
    yearOfFirst_ = s.CurYear;
  } else if (s.CurYear != yearOfFirst_) {
    throw InputError(session.Display(s.InputPath[3]), header,
                     "the year block is " + std::to_string(s.CurYear) + ", but sub-basin 1 (" + s.SubBasinName[1] +
                         ") simulates " + std::to_string(yearOfFirst_) +
                         " in this step: the meteorological files of all sub-basins hold the same "
                         "years in the same order");
  }
}

void Driver::SimulateYearDays(int k, Lane& lane, const SubBasinState* from) {
  ModelState& s = lane.session->state;
  const ParameterSet& p = lane.session->params;
  DayEngine& engine = *lane.engine;
  ProgressObserver& observer = *lane.observer;
  if (!from) {
    s.DayCount = 0;
    // The simulated day tables start the year empty, so days that are not simulated (before
    // StartDay, after the months run, day 366 of a common year) hold 0.
    for (DaySeries* t : {&s.SimFlow, &s.SimSediment, &s.SimErosion, &s.MeanPrecip, &s.MeanIntercep, &s.MeanAET,
                         &s.MeanSoilDrain, &s.GroundWaterLevel, &s.DailySedStore})
      t->fill(0.0);
    s.DayYear.fill(0);
    s.DayMonth.fill(0);
    s.DayOfMonth.fill(0);
    // A year without a simulated day ends as it began.
    const DayTotals start = ReduceDay(s);
    if (start.cellCount > 0) {
      const double n = start.cellCount;
      s.YearEndValue.Uz1 = start.Uz1 / n;
      s.YearEndValue.Uz2 = start.Uz2 / n;
      s.YearEndValue.Uz3 = start.Uz3 / n;
      s.YearEndValue.Subflow = start.Subflow / n;
      s.YearEndValue.WTElev = start.WTElev / n;
    }
    s.YearEndValue.RoutedGwFlow = s.RoutedGwFlow;
    s.YearEndValue.SedStore = s.SedStore;
    s.YearEndValue.RoutedInterflow = s.RoutedInterflow;
  }
  // A resumed year goes on at the state's day: the months before it, and their statistics,
  // are done.
  const int firstDay = from ? from->dayCount + 1 : 1;

  engine.KeepCellMaps(static_cast<bool>(mapSink_));
  engine.BeginYear(s, p);
  int monthStart = 0;  // days of the year before month m
  for (int m = 1; m <= s.MonthCount; ++m) {
    const int days = s.DaysInMonth[static_cast<std::size_t>(m)];
    const int first = std::max(1, firstDay - monthStart);
    monthStart += days;
    if (first > days) continue;
    s.CurMonth = m;
    if (first == 1) s.MonthSimDays = 0;
    observer.SetProgressPosition(7 * m + 5);
    for (int i = first; i <= days; ++i) {
      if (!saveDates_.empty()) CaptureDue(k, lane);
      s.DayCount += 1;
      const int d = s.DayCount;
      observer.SetLabel2("第" + std::to_string(d) + "天");
      observer.DayCounted(k, d);
      if (d >= s.StartDay) {
        s.MonthSimDays += 1;
        const DayTotals totals = engine.RunDay(s, p, d);
        RouteOutletReservoirs(s, p, totals, d);
        WriteDailyRecord(s, lane.files, totals, d, i);
        RouteSediment(s, p, d, i);
      } else {
        // Not simulated: the date, nothing simulated, the store as the year began.
        s.DayYear[d] = s.CurYear;
        s.DayMonth[d] = m;
        s.DayOfMonth[d] = i;
        s.MeanSnowPack[d] = 0;
        s.MeanFrozen[d] = 0;
        s.DailySedStore[d] = s.SedStore;
      }
    }
    if (s.MonthSimDays > 0) WritePeriodStatistics(s, lane.files, s.MonthSimDays, s.DayCount, 1);
  }
  engine.EndYear(s);
  if (mapSink_) {
    const CellMaps maps = engine.TakeCellMaps(s);
    std::unique_lock<std::mutex> one(publish_, std::defer_lock);
    if (&lane != &main_) one.lock();
    mapSink_(k, maps);
  }
}

// --- saved states ---

namespace {

// The five files of a directory in the order the whole-basin aggregation keeps its cursors:
// Daily, Daily_s, Daily_f, Budget, Budget_s.
std::array<const OutputFile*, 5> InCursorOrder(const YearFiles& f) {
  return {&f.Daily, &f.DailyS, &f.DailyF, &f.Budget, &f.BudgetS};
}

std::uint64_t BytesOf(const OutputFile& f) {
  std::error_code ec;
  const auto n = std::filesystem::file_size(f.path, ec);
  return ec ? 0 : static_cast<std::uint64_t>(n);
}

// The day of the year a date is, by the months of the year as the weather gives them.
int DayOfYearIn(const ModelState& s, int month, int day) {
  int d = day;
  for (int m = 1; m < month && m <= kMonths; ++m) d += s.DaysInMonth[static_cast<std::size_t>(m)];
  return d;
}

// Cuts a file back to what it held at a state's day; refused when it holds less, since the
// results the state goes on from are then gone.
void CutBack(const OutputFile& f, std::uint64_t bytes, const std::string& state, bool cut) {
  if (!f.Active()) return;
  std::error_code ec;
  const auto size = std::filesystem::file_size(f.path, ec);
  if (ec && bytes == 0) return;  // not made yet: nothing to go on from
  if (ec)
    throw FileError(f.name, 0,
                    "is missing, but the saved state " + state + " goes on from its first " + std::to_string(bytes) +
                        " bytes: a state continues the results it was saved with (keep Output/ beside it)");
  if (size < bytes)
    throw FileError(f.name, 0,
                    "holds " + std::to_string(size) + " bytes, fewer than the " + std::to_string(bytes) +
                        " the saved state " + state + " goes on from: the results it continues are gone");
  if (cut && size > bytes) {
    std::filesystem::resize_file(f.path, bytes, ec);
    if (ec) throw FileError(f.name, 0, "cannot cut back to the saved state's day: " + ec.message());
  }
}

}  // namespace

void Driver::SaveStatesAt(std::vector<Date> dates, StateSink sink) {
  saveDates_ = std::move(dates);
  stateSink_ = std::move(sink);
  saved_.clear();
}

void Driver::BeginYearStates() {
  ModelState& s = session_.state;
  pending_.clear();
  RunState r;
  r.yearIndex = s.YearIndex;
  r.carryOver = carryOver_;
  r.metLinesRead = s.MetLinesRead;
  r.basinDailyLinesDone = s.BasinDailyLinesDone;
  r.basinBudgetLinesDone = s.BasinBudgetLinesDone;
  r.basinFilesCreated = s.BasinFilesCreated;
  r.growthBefore = s.GrowthIndex;
  const auto n = static_cast<std::size_t>(s.SubBasinCount);
  r.cursors.assign(n, {});
  for (std::size_t k = 1; k <= n && k < aggregation_.cursors.size(); ++k) r.cursors[k - 1] = aggregation_.cursors[k];
  if (!noFiles_) {
    const YearFiles basin = BindYearFiles(session_, BasinOutputDir(s));
    const auto files = InCursorOrder(basin);
    for (std::size_t i = 0; i < files.size(); ++i) r.basinFileBytes[i] = BytesOf(*files[i]);
    r.parameterHash = ParameterFileHash(
        ReadFileBytes(session_.ws.Resolve(s.ParamFilePath), session_.Display(s.ParamFilePath)));
  }
  r.names.assign(s.SubBasinName.begin() + 1, s.SubBasinName.end());
  r.subBasins.assign(n, {});
  yearStart_ = std::move(r);
}

RunState& Driver::PendingState(const Date& date, int day) {
  auto it = std::find_if(pending_.begin(), pending_.end(), [&](const auto& p) { return p.first == date; });
  if (it != pending_.end()) return it->second;
  // The first sub-basin to reach the day: the run's part as the year started.
  RunState& state = pending_.emplace_back(date, *yearStart_).second;
  state.calendarYear = date.year;
  state.month = date.month;
  state.dayOfMonth = date.day;
  state.day = day;
  return state;
}

void Driver::CaptureDue(int k, Lane& lane) {
  ModelState& s = lane.session->state;
  const int today = s.DayCount + 1;
  for (const Date& date : saveDates_) {
    if (date.year != s.CurYear || DayOfYearIn(s, date.month, date.day) != today) continue;
    // The stores as the engine holds them, written back without ending its year.
    lane.engine->SyncState(s);
    SubBasinState st;
    st.rows = s.GridRows;
    st.cols = s.GridCols;
    st.cells = CellStores::Take(s);
    st.yearEnd = s.YearEndValue;
    st.routedInterflow = s.RoutedInterflow;
    st.routedGwFlow = s.RoutedGwFlow;
    st.sedStore = s.SedStore;
    st.dayCount = s.DayCount;
    st.monthSimDays = s.MonthSimDays;
    st.cellCount = s.SubBasinCellCount;
    // The days done only: the days still to come hold what the sub-basin run before in this
    // model state left there, which no later day reads.
    const auto done = static_cast<std::ptrdiff_t>(s.DayCount) + 1;
    for (std::size_t i = 0; i < kStateSeriesCount; ++i) {
      const DaySeries& from = s.*kStateSeries[i];
      std::copy(from.begin() + 1, from.begin() + done, st.series[i].begin() + 1);
    }
    st.dayYear = s.DayYear;
    st.dayMonth = s.DayMonth;
    st.dayOfMonth = s.DayOfMonth;
    const auto files = InCursorOrder(lane.files);
    for (std::size_t i = 0; i < files.size(); ++i) st.fileBytes[i] = BytesOf(*files[i]);
    std::lock_guard<std::mutex> hold(publish_);
    PendingState(date, today).subBasins.at(static_cast<std::size_t>(k - 1)) = std::move(st);
  }
}

void Driver::FinishYearStates() {
  // Spread over ranks, rank 0 gathers the other ranks' sub-basins, date by date.
  if (group_) {
    std::string mine;
    if (group_->Rank() != 0) {
      for (const auto& [date, state] : pending_)
        for (int k : OwnSubBasins()) {
          const SubBasinState& st = state.subBasins.at(static_cast<std::size_t>(k - 1));
          if (st.rows == 0) continue;
          const std::string bytes = EncodeSubBasinState(st);
          for (int v : {date.year, date.month, date.day, k}) mine.append(reinterpret_cast<const char*>(&v), sizeof v);
          const std::uint64_t size = bytes.size();
          mine.append(reinterpret_cast<const char*>(&size), sizeof size);
          mine += bytes;
        }
    }
    const std::vector<std::string> all = group_->Gather(mine);
    if (group_->Rank() != 0) {
      pending_.clear();
      return;
    }
    for (std::size_t r = 1; r < all.size(); ++r) {
      const std::string& from = all[r];
      std::size_t at = 0;
      auto get = [&](void* to, std::size_t n) {
        if (at + n > from.size()) throw std::runtime_error("a rank's saved state came cut short");
        std::memcpy(to, from.data() + at, n);
        at += n;
      };
      while (at < from.size()) {
        int v[4];
        get(v, sizeof v);
        std::uint64_t size = 0;
        get(&size, sizeof size);
        std::size_t end = at;
        SubBasinState st = DecodeSubBasinState(from, end);
        at = end;
        const Date date{v[0], v[1], v[2]};
        const int day = st.dayCount + 1;
        PendingState(date, day).subBasins.at(static_cast<std::size_t>(v[3] - 1)) = std::move(st);
      }
    }
  }
  for (auto& [date, state] : pending_) {
    for (std::size_t i = 0; i < state.subBasins.size(); ++i)
      if (state.subBasins[i].rows == 0)
        throw InputError(session_.Display(session_.state.InputPath[3]), 0,
                         "the state of " + state.Date() + " cannot be saved: sub-basin " + std::to_string(i + 1) +
                             " does not simulate that day (its year's months end before it)");
    if (stateSink_) stateSink_(state);
    saved_.push_back(date);
  }
  pending_.clear();
}

void Driver::CutBackFiles(const RunState& state, bool cut) {
  ModelState& s = session_.state;
  if (noFiles_) return;
  if (!group_ || group_->Rank() == 0) {
    const YearFiles basinFiles = BindYearFiles(session_, BasinOutputDir(s));
    const auto basin = InCursorOrder(basinFiles);
    for (std::size_t i = 0; i < basin.size(); ++i) CutBack(*basin[i], state.basinFileBytes[i], state.source, cut);
    // The run marker is rewritten whole at every sub-basin's year end (by whichever rank
    // ends last, so its length at a day is no fixed number): it names the last year done.
    const OutputFile mark = BindFile(session_, s.ProgramDir + RunMarkPath(s));
    if (cut && mark.Active())
      WriteWholeFile(mark.path, mark.name,
                     state.yearIndex > 1 ? std::vector<std::string>{Printf("%2d", state.yearIndex - 1)}
                                         : std::vector<std::string>{});
  }
  for (int k : OwnSubBasins()) {
    const SubBasinState& st = state.subBasins.at(static_cast<std::size_t>(k - 1));
    const YearFiles own = BindYearFiles(session_, SubBasinOutputDir(s, k));
    const auto files = InCursorOrder(own);
    for (std::size_t i = 0; i < files.size(); ++i) CutBack(*files[i], st.fileBytes[i], state.source, cut);
  }
}

void Driver::ContinueFrom(const RunState& state) {
  ModelState& s = session_.state;
  // A state of another workspace is refused, naming what differs.
  const auto n = static_cast<std::size_t>(s.SubBasinCount);
  const auto refuse = [&](const std::string& what) {
    throw InputError(state.source, 0, what + ": the state was saved from another workspace");
  };
  if (state.names.size() != n || state.subBasins.size() != n || state.cursors.size() != n)
    refuse("attribute sub_basins: " + std::to_string(state.names.size()) + " sub-basins, the workspace has " +
           std::to_string(n));
  for (std::size_t k = 1; k <= n; ++k)
    if (state.names[k - 1] != s.SubBasinName[k])
      refuse("attribute sub_basin_names: sub-basin " + std::to_string(k) + " is " + state.names[k - 1] +
             " in the state, " + s.SubBasinName[k] + " in the workspace");
  const std::string hash = ParameterFileHash(
      ReadFileBytes(session_.ws.Resolve(s.ParamFilePath), session_.Display(s.ParamFilePath)));
  if (!fixedParameters_ && state.parameterHash != hash)
    refuse("attribute parameter_file_hash: " + state.parameterHash + " in the state, " + hash + " of " +
           session_.Display(s.ParamFilePath));
  if (state.yearIndex < 1 || state.yearIndex > std::max(1, session_.params.SimYears))
    throw InputError(state.source, 0,
                     "attribute year_index " + std::to_string(state.yearIndex) + ": the parameter file simulates " +
                         std::to_string(std::max(1, session_.params.SimYears)) + " years");
  CheckRun();
  // Every file is seen to hold what the state goes on from before any is cut back.
  for (bool cut : {false, true}) {
    std::string problem;
    try {
      CutBackFiles(state, cut);
    } catch (const std::exception& e) {
      if (!group_) throw;
      problem = e.what();
    }
    if (group_) group_->Agree(problem);
  }
  s.BrowseMode = 0;
  aggregation_.Reset();
  metResume_.clear();
  s.MetLinesRead = state.metLinesRead;
  s.BasinDailyLinesDone = state.basinDailyLinesDone;
  s.BasinBudgetLinesDone = state.basinBudgetLinesDone;
  s.BasinFilesCreated = state.basinFilesCreated;
  s.RunStarted = 1;
  s.YearIndex = state.yearIndex;
  s.GrowthIndex = state.growthBefore;
  aggregation_.cursors.assign(n + 1, {});
  for (std::size_t k = 1; k <= n; ++k) aggregation_.cursors[k] = state.cursors[k - 1];
  s.CurrentInputFile = s.ProgramDir + kRiverFilePath;
  if (!noFiles_) {
    // The outlet series of the years done are passed over, each block by its year.
    aggregation_.RiverFile.emplace(session_.Open(s.CurrentInputFile));
    const std::vector<int>* years = sizes_.empty() ? nullptr : &sizes_.front().years;
    for (int y = 1; y < state.yearIndex; ++y) {
      s.CurYear = years && static_cast<std::size_t>(y) <= years->size() ? (*years)[static_cast<std::size_t>(y - 1)]
                                                                        : state.calendarYear - state.yearIndex + y;
      s.DaysInYear = YearLength(s.CurYear);
      ReadOutletObservations(s, *aggregation_.RiverFile);
    }
  }
  resume_ = &state;
  try {
    RunSubBasins(state.yearIndex > 1);
  } catch (...) {
    resume_ = nullptr;
    throw;
  }
  resume_ = nullptr;
  EndBasinYear();
}

}  // namespace tarnwell
