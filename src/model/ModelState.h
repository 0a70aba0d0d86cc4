// The model's shared state: every table that more than one module uses, under the
// model's own names, sized to the input at hand. One object is created per program run
// and passed by reference to the readers, the processes, the writers and the windows.
//
// Indexing: day series and month tables are indexed 1..366 and 1..12 (slot 0 unused),
// sub-basin tables 1..SubBasinCount (slot 0 unused). Cell grids are row-major with
// 0-based storage: cell (row r, column c), both 1-based, is element
// (r - 1) * GridCols + (c - 1); Cell(r, c) computes that.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/YearEnd.h"

namespace tarnwell {

constexpr int kMaxDays = 366;
constexpr int kMonths = 12;
using DaySeries = std::array<double, kMaxDays + 1>;
using DayIntSeries = std::array<int, kMaxDays + 1>;

// Inside-cell test of the terrain (m): elevations strictly between 0 and this are data.
constexpr double kNoDataLimit = 2e30;
// Temperature lapse rate, degrees C per m.
constexpr double kLapseRate = 0.005;
// mm/day over 1 km2 to m3/s: divide by this.
constexpr double kDepthToFlow = 86.4;

// The model state is four values, each of its own type, so that what one step needs can
// be passed, copied or sent alone; their fields keep the model's table names and together
// make up ModelState.

// Where the run stands: the workspace's paths and the counters of the run and the window.
struct RunControl {
  std::string ProgramDir;
  // Where the run's output directories lie, as a path from ProgramDir: the run's own
  // "..\Output"; a calibration's run of its best set writes under its own directory instead.
  std::string OutputDir = "..\\Output";
  std::array<std::string, 6> InputPath;  // 1..5 used
  std::array<long, 6> InputPathLine{};   // the path file's line that named each (0: none;
                                         // negative: the line is missing, so the name is empty)
  std::string ParamFilePath;
  std::string CurrentInputFile;

  int RunStarted = 0;
  int BrowseMode = 0;
  int YearIndex = 0;
  int SelectedSubBasin = 1;
  int SimulatedSubBasin = 0;  // the sub-basin whose year the driver runs (0: none, or the whole basin)
  long MetLinesRead = 0;
  long BasinDailyLinesDone = 0;
  long BasinBudgetLinesDone = 0;
  int BasinFilesCreated = 0;
};

// One sub-basin's grids and the stores its days carry: what a lane of sub-basins run side by
// side holds of its own.
struct SubBasinGrids {
  int GridRows = 0, GridCols = 0;
  double GridXMin = 0, GridXMax = 0, GridYMin = 0, GridYMax = 0, GridZMax = 0;
  double BasinArea = 0;
  double MeanElev = 0;
  int StationElev = 0;
  int SeasonDay1 = 0, SeasonDay2 = 0, SeasonDay3 = 0, SeasonDay4 = 0;

  // --- per-cell grids (GridRows x GridCols) ---
  std::vector<int32_t> CellFlag;
  std::vector<double> SurfElev, LandUse, SlopeSine, SlopeMask;
  std::vector<double> WTElev, WTPrev, CellSizeX, CellSizeY, GwConductivity;
  std::vector<double> Uz1, Uz2, Uz3, SnowPack, Frozen, Subflow;
  // interception and snow
  std::vector<double> CellPrecip, Interception, CanopyStore, Throughfall, ThawBypass;
  // soil water, free water, runoff
  std::vector<double> UnsatDrain, RunoffGenerated, FreeWater, SurfaceRunoff, Interflow;
  // groundwater and evapotranspiration
  std::vector<double> GroundwaterFlow, DeepLeakage, ActualET, SatZoneET;
  // erosion
  std::vector<double> ErosiveRunoff, RunoffErosivity, CellErodibility, SlopeLengthFactor, VegCover, CoverFactor,
      PracticeFactor, CellErosion;

  // --- reservoirs and stores carried from day to day ---
  double RoutedInterflow = 0;
  double RoutedGwFlow = 0;
  double SedStore = 0;
  // The year-end record as the day writers leave it.
  YearEnd YearEndValue;

  std::size_t CellCount() const { return static_cast<std::size_t>(GridRows) * static_cast<std::size_t>(GridCols); }
  std::size_t Cell(int row, int col) const {
    return static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(GridCols) + static_cast<std::size_t>(col - 1);
  }
  // Sizes every per-cell grid to rows x cols and clears it to 0 (CellFlag to -1), over the
  // full extent of the new grid.
  void AllocateGrids(int rows, int cols);
  // Sets the grids of the clearing step to 0 over GridRows x GridCols, and BasinArea to 0.
  void ClearGrids();
  // Bytes held by the per-cell grids.
  std::size_t GridBytes() const;
};

// A sub-basin's water over its year, cell means in mm, beside what its day series sum
// (precipitation, evapotranspiration, outflow): the stores at the year's start and end (soil
// water, snow, frozen water, free water, canopy, and the water table at the specific yield
// ths - thf) and the deep leakage of the days so far. The year's closure is precipitation -
// evapotranspiration - outflow - (end - start).
struct YearWater {
  double storageAtStart = 0, storageAtEnd = 0;
  double deepLeakage = 0;
  bool operator==(const YearWater&) const = default;
};

// The current sub-basin's year: its calendar and day series. A plain value (no grid, no
// pointer) that the charts, the viewer, the summary and the evaluator read, and that a lane
// or a rank hands over as it is.
struct YearSeries {
  int CurYear = 0;
  int DaysInYear = 365;
  int MonthCount = 12;
  std::array<int, kMonths + 1> DaysInMonth{};
  int StartDay = 1;
  int Col8Flag = 1;
  int DayCount = 0;
  int CurMonth = 0;
  int MonthSimDays = 0;
  DayIntSeries DayYear{}, DayMonth{}, DayOfMonth{};
  double FlowToDepthFactor = 0;

  // Obs*: kNoObservation on a day without.
  DaySeries DailyPrecip{}, DailyTemp{}, DailyPET{}, DailySedConc{}, DailyExtra{}, GrowthIndex{};
  DaySeries ObsFlow{}, ObsSediment{}, SimFlow{}, SimSediment{}, SimErosion{};
  DaySeries MeanPrecip{}, MeanIntercep{}, MeanAET{}, MeanSoilDrain{}, GwFlow{};
  DaySeries MeanSnowPack{}, MeanFrozen{}, GroundWaterLevel{}, DailySedStore{}, AirTempAdj{};
  int SubBasinCellCount = 0;
  YearWater Water;
};

// The whole basin: the sub-basin table, each sub-basin's outflow of the year and what it
// carries into the next, the routed and summed series, the statistics tables.
struct BasinTables {
  // --- sub-basin table (1-based) ---
  int SubBasinCount = 0;
  std::vector<std::string> SubBasinName{""};
  std::vector<double> SubBasinK{0.0};
  std::vector<double> SubBasinX{0.0};

  // --- [sub-basin 1..SubBasinCount][day 1..366] ---
  std::vector<DaySeries> SubBasinFlow, SubBasinSediment;
  DaySeries RoutedFlow{}, RoutedSediment{}, BasinFlow{}, BasinSediment{};
  DaySeries BasinObsFlow{}, BasinObsSediment{};

  // --- year-end carry-over of each sub-basin (index by sub-basin); its cells' stores only
  // when the year boundary keeps every cell (empty otherwise).
  std::vector<YearEnd> YearEndState;
  std::vector<CellStores> YearEndCells;

  // --- statistics text tables [year][row 1..13][column 1..14] ---
  std::vector<std::array<std::array<std::string, 15>, 14>> RunoffStatRows, SedimentStatRows;

  // Sizes the sub-basin tables for n sub-basins (whole-basin and carry-over included).
  void ResizeSubBasins(int n);
};

struct ModelState : RunControl, SubBasinGrids, YearSeries, BasinTables {
  // The program directory, the parameter file's path and the sub-basin list of another
  // state, for a state of its own over the same workspace (tables sized, nothing simulated).
  void TakeSubBasinTable(const ModelState& from);
};

}  // namespace tarnwell
