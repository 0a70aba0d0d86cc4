#include "app/Driver.h"

#include <algorithm>

#include "app/DayEngine.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"
#include "parameters/ParameterLimits.h"
#include "app/Check.h"
#include "processes/Processes.h"

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
                   "sub-basin " + std::to_string(k) + " (" +
                       s.SubBasinName[static_cast<std::size_t>(k)] +
                       ") has no cell inside the basin (no terrain value between 0 and 2e30)");
}

void RequireArea(const Session& session, int k) {
  const ModelState& s = session.state;
  if (s.BasinArea > 0) return;
  // Without area the outlet discharge has no depth: every depth would be infinite.
  throw InputError(session.Display(s.InputPath[2]), 0,
                   "sub-basin " + std::to_string(k) + " (" +
                       s.SubBasinName[static_cast<std::size_t>(k)] +
                       ") has no area (no land-use code below 150)");
}

Driver::Driver(Session& session, ProgressObserver& observer, DayEngine& engine)
    : session_(session), observer_(observer), engine_(engine) {}

void Driver::Button3Click() {
  ModelState& s = session_.state;
  // Every input of the run is checked before the first output file is emptied: a run that
  // could not finish must not destroy the results of an earlier one. Inputs given read were
  // checked when they were read.
  if (!inputs_) CheckInputs(session_, yearsToCheck_);
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
  for (int k = 1; k <= s.SubBasinCount; ++k) SimulateSubBasinYear(k, false);
  EndBasinYear();
}

void Driver::EndBasinYear() {
  ModelState& s = session_.state;
  if (noFiles_) {
    RouteAndSumBasin(s, s.SubBasinCount);
    ApplyOutletObservations(s, inputs_->outlet.at(static_cast<std::size_t>(s.YearIndex - 1)));
  } else {
    AggregateBasin(session_, aggregation_, s.SubBasinCount);
  }
  s.MetLinesRead += s.DaysInYear + 1;
  observer_.BasinYearDone(s.YearIndex);
}

Driver::StepResult Driver::Button7Click() {
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
  for (int k = 1; k <= s.SubBasinCount; ++k) SimulateSubBasinYear(k, true);
  EndBasinYear();
  return StepResult::Simulated;
}

void Driver::ReadInputs(int k, bool nextYear) {
  ModelState& s = session_.state;
  if (!nextYear) {
    observer_.SetProgressMax(100);
    observer_.SetProgressPosition(2);
    observer_.SetLabel2("数据读取");
  }
  if (inputs_) {
    const SubBasinInputs& in = inputs_->subBasins.at(static_cast<std::size_t>(k - 1));
    ApplyTerrainGrid(s, in.terrain);
    observer_.SetProgressPosition(4);
    ApplyLandUseGrid(s, in.landUse);
    observer_.SetProgressPosition(6);
    ApplySeasonDays(s, in.seasonDays);
    observer_.SetProgressPosition(8);
    ApplySlopeValues(s, in.slope);
    observer_.SetProgressPosition(10);
    return;
  }
  struct Step {
    int input;
    void (*read)(ModelState&, TextReader&);
    int position;
  };
  const Step steps[] = {{1, ReadTerrainGrid, 4},
                        {2, ReadLandUseGrid, 6},
                        {4, ReadSeasonFile, 8},
                        {5, ReadSlopeGrid, 10}};
  for (const Step& step : steps) {
    s.CurrentInputFile = s.InputPath[static_cast<std::size_t>(step.input)];
    TextReader file = session_.Open(s.CurrentInputFile);
    step.read(s, file);
    observer_.SetProgressPosition(step.position);
  }
}

void Driver::SetInitialState(int k, bool nextYear) {
  ModelState& s = session_.state;
  const ParameterSet& p = session_.params;
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
      s.SnowPack[i] = carry[8];
      s.Frozen[i] = carry[9];
      s.Subflow[i] = carry[4];
      s.Uz1[i] = carry[1];
      s.Uz2[i] = carry[2];
      s.Uz3[i] = carry[3];
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
      if (nextYear) s.WTElev[i] = carry[6];
    }
  }
  RequireInsideCells(session_, k, inside);
  RequireArea(session_, k);
  s.MeanElev = elevSum / static_cast<double>(inside);
  if (nextYear) observer_.SetProgressPosition(10);
}

TextReader Driver::OpenMeteorologicalFile(int k) {
  const ModelState& s = session_.state;
  const auto col = static_cast<std::size_t>(k);
  if (metResume_.size() <= col) metResume_.resize(col + 1);
  const MetResume& r = metResume_[col];
  // The cursor holds only when it is this file's and stands where the years done end.
  if (r.at.linesDone == s.MetLinesRead && r.fsPath == session_.ws.Resolve(s.CurrentInputFile))
    return session_.OpenAt(s.CurrentInputFile, r.at);
  return session_.Open(s.CurrentInputFile);
}

void Driver::LoadParametersForSubBasin() {
  if (!fixedParameters_) {
    LoadCurrentParameters(session_);
    return;
  }
  // The window's erodibility choice is not part of the file: it stays as set.
  const int mode = session_.params.ErodibilityMode;
  session_.params = *fixedParameters_;
  session_.params.ErodibilityMode = mode;
}

void Driver::SimulateSubBasinYear(int k, bool nextYear) {
  ModelState& s = session_.state;
  s.SimulatedSubBasin = k;
  const auto col = static_cast<std::size_t>(k);
  if (nextYear) {
    LoadParametersForSubBasin();
    s.ClearGrids();
    if (!inputs_) LoadPaths(session_, k);
  } else {
    s.ClearGrids();
    if (!inputs_) LoadPaths(session_, k);
    LoadParametersForSubBasin();
  }
  const std::string label1 = "子流域" + std::to_string(k) + "  ";
  const std::string dir = SubBasinOutputDir(s, k);
  if (!nextYear) {
    observer_.SetLabel1(label1);
    std::string why;
    if (!noFiles_ && !session_.ws.CreateDirectory(dir, &why))
      throw FileError(session_.Display(dir), 0, "cannot create the directory: " + why);
  }
  files_ = noFiles_ ? YearFiles{} : BindYearFiles(session_, dir);
  mark_ = noFiles_ ? OutputFile{} : BindFile(session_, s.ProgramDir + kMarkFilePath);
  if (!nextYear) {
    for (const OutputFile* f :
         {&files_.Daily, &files_.DailyS, &files_.Budget, &files_.BudgetS, &files_.DailyF})
      f->Create();
  } else {
    observer_.SetLabel1(label1);
  }

  ReadInputs(k, nextYear);
  SetInitialState(k, nextYear);

  if (!nextYear) {
    observer_.SetLabel2("模拟准备");
    observer_.ShowResultsPanel();
    s.SedStore = session_.params.SedimentStoreInitial;
  } else {
    // Each sub-basin continues from its own channel store and outlet reservoirs.
    const auto& carry = s.YearEndState[col];
    s.SedStore = carry[7];
    s.RoutedGwFlow = carry[5];
    s.RoutedInterflow = carry[10];
  }
  ReadMeteorologicalBlock(k);

  if (!nextYear) observer_.SetLabel2("模拟计算");
  WriteSubBasinHeaders(s, files_);
  SimulateYearDays(k);

  observer_.SetLabel2("结果统计");
  WriteFrozenDaily(s, files_, s.DayCount);
  WriteSedimentDaily(s, files_, mark_, s.DayCount);
  WritePeriodStatistics(s, files_, s.StartDay, s.DayCount, 2);

  if (!nextYear) {
    observer_.SetProgressPosition(95);
    observer_.FillStatGrids(k, s.YearIndex);
  } else {
    observer_.FillStatGrids(k, s.YearIndex);
    observer_.SetProgressPosition(100);
  }
  for (int d = 1; d <= s.DayCount; ++d)
    s.AirTempAdj[d] = s.DailyTemp[d] - kLapseRate * (s.MeanElev - s.StationElev);
  observer_.DrawCharts(k, s.YearIndex);

  // The sub-basin's outflow for the whole basin: mm/day over its area to m3/s.
  for (int d = 1; d <= kMaxDays; ++d) {
    s.SubBasinFlow[col][d] = s.SimFlow[d] * s.BasinArea / kDepthToFlow;
    s.SubBasinSediment[col][d] = s.SimSediment[d];
  }
  if (!nextYear) observer_.SetProgressPosition(100);
  for (int r = 1; r <= 10; ++r)
    s.YearEndState[col][static_cast<std::size_t>(r)] = s.YearEndValue[static_cast<std::size_t>(r)];
  observer_.SubBasinYearDone(k, s.YearIndex);
}

void Driver::ReadMeteorologicalBlock(int k) {
  ModelState& s = session_.state;
  if (inputs_) {
    ApplyMeteorologicalYear(s, session_.params,
                            inputs_->subBasins.at(static_cast<std::size_t>(k - 1))
                                .years.at(static_cast<std::size_t>(s.YearIndex - 1)));
    return;
  }
  const auto col = static_cast<std::size_t>(k);
  s.CurrentInputFile = s.InputPath[3];
  TextReader metFile = OpenMeteorologicalFile(k);
  // The line the year's header stands on (the reader first passes the years done).
  const long header =
      (s.MetLinesRead > 1 ? std::max(metFile.LineNumber(), s.MetLinesRead) : metFile.LineNumber()) + 1;
  ReadMeteorologicalYear(s, session_.params, metFile);
  metResume_[col] = {session_.ws.Resolve(s.CurrentInputFile), metFile.Cursor()};
  // Every sub-basin simulates the same calendar year: the whole-basin year sums them day by day.
  if (k == 1) {
    yearOfFirst_ = s.CurYear;
  } else if (s.CurYear != yearOfFirst_) {
    throw InputError(session_.Display(s.InputPath[3]), header,
                     "the year block is " + std::to_string(s.CurYear) + ", but sub-basin 1 (" +
                         s.SubBasinName[1] + ") simulates " + std::to_string(yearOfFirst_) +
                         " in this step: the meteorological files of all sub-basins hold the same "
                         "years in the same order");
  }
}

void Driver::SimulateYearDays(int k) {
  ModelState& s = session_.state;
  const ParameterSet& p = session_.params;
  s.DayCount = 0;
  // The simulated day tables start the year empty, so days that are not simulated (before
  // StartDay, after the months run, day 366 of a common year) hold 0.
  for (DaySeries* t : {&s.SimFlow, &s.SimSediment, &s.SimErosion, &s.MeanPrecip, &s.MeanIntercep,
                       &s.MeanAET, &s.MeanSoilDrain, &s.GroundWaterLevel, &s.DailySedStore})
    t->fill(0.0);
  s.DayYear.fill(0);
  s.DayMonth.fill(0);
  s.DayOfMonth.fill(0);
  // A year without a simulated day ends as it began.
  const DayTotals start = ReduceDay(s);
  if (start.cellCount > 0) {
    const double n = start.cellCount;
    s.YearEndValue[1] = start.Uz1 / n;
    s.YearEndValue[2] = start.Uz2 / n;
    s.YearEndValue[3] = start.Uz3 / n;
    s.YearEndValue[4] = start.Subflow / n;
    s.YearEndValue[6] = start.WTElev / n;
  }
  s.YearEndValue[5] = s.RoutedGwFlow;
  s.YearEndValue[7] = s.SedStore;
  s.YearEndValue[10] = s.RoutedInterflow;

  engine_.BeginYear(s, p);
  for (int m = 1; m <= s.MonthCount; ++m) {
    s.CurMonth = m;
    s.MonthSimDays = 0;
    observer_.SetProgressPosition(7 * m + 5);
    for (int i = 1; i <= s.DaysInMonth[static_cast<std::size_t>(m)]; ++i) {
      s.DayCount += 1;
      const int d = s.DayCount;
      observer_.SetLabel2("第" + std::to_string(d) + "天");
      observer_.DayCounted(k, d);
      if (d >= s.StartDay) {
        s.MonthSimDays += 1;
        const DayTotals totals = engine_.RunDay(s, p, d);
        WriteDailyRecord(s, p, files_, totals, d, i);
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
    if (s.MonthSimDays > 0) WritePeriodStatistics(s, files_, s.MonthSimDays, s.DayCount, 1);
  }
  engine_.EndYear(s);
}

}  // namespace tarnwell
