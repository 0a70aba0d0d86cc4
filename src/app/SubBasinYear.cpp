#include "app/SubBasinYear.h"

#include <algorithm>

#include "app/DayEngine.h"
#include "app/InputSource.h"
#include "app/OutputBinding.h"
#include "app/Progress.h"
#include "app/Startup.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"
#include "parameters/ParameterLimits.h"
#include "processes/Processes.h"

namespace tarnwell {

namespace {

// Initial soil water of every layer: this fraction of its field capacity.
constexpr double kInitialSoilWaterFraction = 0.6;

void LoadParameters(Session& session, const YearSettings& settings) {
  if (settings.parameters) {
    // The window's erodibility choice is not part of the file: it stays as set.
    const int mode = session.params.ErodibilityMode;
    session.params = *settings.parameters;
    session.params.ErodibilityMode = mode;
  } else {
    TextReader file = session.Open(session.state.ParamFilePath);
    LoadParameters(file, session.params);
    // The file may have been saved since the run's check: refuse what cannot be computed.
    RequireComputableParameters(session.params, file.Name());
  }
  session.params.GroundwaterSumMode = settings.groundwaterSum;
}

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

// The stores every cell starts the year from: the parameter file's initial soil water in the
// run's first year; in a later year the sub-basin's means of the year before, or, under
// carry-over cells, every cell's stores as the last day left them.
void SetInitialState(int k, const YearStart& start, bool fromYearBefore, CarryOver carryOver, Session& lane,
                     ProgressObserver& observer) {
  ModelState& s = lane.state;
  const ParameterSet& p = lane.params;
  const std::size_t n = s.CellCount();
  const YearEnd& carry = start.carried;
  if (!fromYearBefore) {
    std::fill(s.SnowPack.begin(), s.SnowPack.begin() + static_cast<std::ptrdiff_t>(n), 0.0);
    std::fill(s.Frozen.begin(), s.Frozen.begin() + static_cast<std::ptrdiff_t>(n), 0.0);
  }
  long inside = 0;
  double elevSum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (fromYearBefore) {
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
      if (fromYearBefore) s.WTElev[i] = carry.WTElev;
    }
  }
  // Under carry-over cells the stores of every cell stand as the last day left them; a year
  // before that ran with the means (or did not end) leaves its means standing.
  if (fromYearBefore && carryOver == CarryOver::Cells && start.cells && !start.cells->Empty()) {
    RequireSameCells(lane, k, *start.cells, "the year before",
                     "with the year boundary keeping every cell (carry-over cells) a sub-basin's grid and "
                     "basin cells cannot change between years");
    start.cells->Restore(s);
  }
  // A year without a simulated day leaves the snow and frozen water it began with: its own,
  // not those another sub-basin left in the year-end values.
  s.YearEndValue.SnowPack = fromYearBefore ? carry.SnowPack : 0.0;
  s.YearEndValue.Frozen = fromYearBefore ? carry.Frozen : 0.0;
  RequireInsideCells(lane, k, inside);
  RequireArea(lane, k);
  s.MeanElev = elevSum / static_cast<double>(inside);
  if (fromYearBefore) observer.SetProgressPosition(10);
}

// A saved state's day: every store and series as the days before it left them.
void Resume(int k, const YearStart& start, Session& lane) {
  ModelState& s = lane.state;
  const SubBasinState& from = *start.resumed;
  RequireSameCells(lane, k, from.cells, "in the saved state " + start.resumedFrom,
                   "a state goes on only on the grids it was saved from");
  from.Restore(s);
}

// The water the inside cells hold, cell mean in mm; the water table's height at the specific
// yield, so that only its change between two days means anything.
double CellStorage(const ModelState& s, const ParameterSet& p) {
  const double sy = p.SaturatedWaterContent - p.FieldCapacity;
  double total = 0;
  long n = 0;
  for (std::size_t i = 0; i < s.CellCount(); ++i) {
    if (s.CellFlag[i] <= 0) continue;
    total += s.Uz1[i] + s.Uz2[i] + s.Uz3[i] + s.SnowPack[i] + s.Frozen[i] + s.FreeWater[i] + s.CanopyStore[i] +
             1000 * sy * s.WTElev[i];
    ++n;
  }
  return n > 0 ? total / static_cast<double>(n) : 0.0;
}

// The days of the year (from the resumed day on), each written as it is done, the months'
// statistics as each month ends.
void SimulateDays(int k, const YearStart& start, const YearSettings& settings, Lane& lane) {
  ModelState& s = lane.session->state;
  const ParameterSet& p = lane.session->params;
  DayEngine& engine = *lane.engine;
  ProgressObserver& observer = *lane.observer;
  if (!start.resumed) {
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
    const DayTotals totals = ReduceDay(s);
    if (totals.cellCount > 0) {
      const double n = totals.cellCount;
      s.YearEndValue.Uz1 = totals.Uz1 / n;
      s.YearEndValue.Uz2 = totals.Uz2 / n;
      s.YearEndValue.Uz3 = totals.Uz3 / n;
      s.YearEndValue.Subflow = totals.Subflow / n;
      s.YearEndValue.WTElev = totals.WTElev / n;
    }
    s.YearEndValue.RoutedGwFlow = s.RoutedGwFlow;
    s.YearEndValue.SedStore = s.SedStore;
    s.YearEndValue.RoutedInterflow = s.RoutedInterflow;
    s.Water = YearWater{};
    s.Water.storageAtStart = CellStorage(s, p);
  }
  // A resumed year goes on at the state's day: the months before it, and their statistics,
  // are done.
  const int firstDay = start.resumed ? start.resumed->dayCount + 1 : 1;

  engine.KeepCellMaps(static_cast<bool>(settings.maps));
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
      if (settings.beforeDay) settings.beforeDay(k, lane);
      s.DayCount += 1;
      const int d = s.DayCount;
      observer.SetLabel2("第" + std::to_string(d) + "天");
      observer.DayCounted(k, d);
      if (d >= s.StartDay) {
        s.MonthSimDays += 1;
        const DayTotals totals = engine.RunDay(s, p, d);
        if (totals.cellCount > 0) s.Water.deepLeakage += totals.DeepLeakage / totals.cellCount;
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
  s.Water.storageAtEnd = CellStorage(s, p);
  if (settings.maps) {
    const CellMaps maps = engine.TakeCellMaps(s);
    std::unique_lock<std::mutex> one;
    if (settings.shared) one = std::unique_lock<std::mutex>(*settings.shared);
    settings.maps(k, maps);
  }
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

SubBasinYear SimulateSubBasinYear(int k, YearStart start, const YearSettings& settings, Lane& lane) {
  Session& session = *lane.session;
  ModelState& s = session.state;
  ProgressObserver& observer = *lane.observer;
  InputSource& inputs = *settings.inputs;
  const bool later = start.laterYear;
  s.SimulatedSubBasin = k;
  // The run's first year reads the parameter file after the paths, a later year before
  // them: which of two broken files speaks first.
  if (later) LoadParameters(session, settings);
  s.ClearGrids();
  inputs.Locate(k, session);
  if (!later) LoadParameters(session, settings);

  const std::string label1 = "子流域" + std::to_string(k) + "  ";
  const std::string dir = SubBasinOutputDir(s, k);
  if (!later) {
    observer.SetLabel1(label1);
    std::string why;
    if (settings.writeFiles && !session.ws.CreateDirectory(dir, &why))
      throw FileError(session.Display(dir), 0, "cannot create the directory: " + why);
  }
  lane.files = settings.writeFiles ? BindYearFiles(session, dir) : YearFiles{};
  lane.mark = settings.writeFiles ? BindFile(session, s.ProgramDir + RunMarkPath(s)) : OutputFile{};
  // Going on from a saved state: its files are there, its year is under way.
  if (!later && !start.resumed)
    for (const OutputFile* f :
         {&lane.files.Daily, &lane.files.DailyS, &lane.files.Budget, &lane.files.BudgetS, &lane.files.DailyF})
      f->Create();
  if (later) observer.SetLabel1(label1);

  if (!later) {
    observer.SetProgressMax(100);
    observer.SetProgressPosition(2);
    observer.SetLabel2("数据读取");
  }
  inputs.ReadGrids(k, session, observer);
  SetInitialState(k, start, later && !start.resumed, settings.carryOver, session, observer);

  if (!later) {
    observer.SetLabel2("模拟准备");
    observer.ShowResultsPanel();
    s.SedStore = session.params.SedimentStoreInitial;
  } else {
    // Each sub-basin continues from its own channel store and outlet reservoirs.
    s.SedStore = start.carried.SedStore;
    s.RoutedGwFlow = start.carried.RoutedGwFlow;
    s.RoutedInterflow = start.carried.RoutedInterflow;
  }
  inputs.ReadWeather(k, session);
  if (start.resumed) Resume(k, start, session);

  if (!later) observer.SetLabel2("模拟计算");
  if (!start.resumed) WriteSubBasinHeaders(s, lane.files);
  SimulateDays(k, start, settings, lane);

  observer.SetLabel2("结果统计");
  WriteFrozenDaily(s, lane.files, s.DayCount);
  {
    // The run marker is one file of every sub-basin.
    std::unique_lock<std::mutex> marker;
    if (settings.shared) marker = std::unique_lock<std::mutex>(*settings.shared);
    WriteSedimentDaily(s, lane.files, lane.mark, s.DayCount);
  }
  WritePeriodStatistics(s, lane.files, s.StartDay, s.DayCount, 2);

  if (!later) observer.SetProgressPosition(95);
  observer.FillStatGrids(k, s.YearIndex);
  if (later) observer.SetProgressPosition(100);
  for (int d = 1; d <= s.DayCount; ++d) s.AirTempAdj[d] = s.DailyTemp[d] - kLapseRate * (s.MeanElev - s.StationElev);
  observer.DrawCharts(k, s.YearIndex);

  SubBasinYear year;
  year.subBasin = k;
  // The sub-basin's outflow for the whole basin: mm/day over its area to m3/s.
  for (int d = 1; d <= kMaxDays; ++d) {
    year.flow[d] = s.SimFlow[d] * s.BasinArea / kDepthToFlow;
    year.sediment[d] = s.SimSediment[d];
  }
  if (!later) observer.SetProgressPosition(100);
  year.end = s.YearEndValue;
  if (settings.carryOver == CarryOver::Cells) year.cells = CellStores::Take(s);
  year.shown = DisplayedYear::Of(s);
  observer.SubBasinYearDone(k, s.YearIndex);
  return year;
}

}  // namespace tarnwell
