// The Statistic module: the sub-basin output files (headers, day rows, period rows, the
// year-end snow/frost and sediment rows, the run marker), the goodness-of-fit statistics
// and the whole-basin year (Muskingum routing to the outlet, sums and means over the
// sub-basins read back from their files).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "inputs/TextFile.h"
#include "model/ModelState.h"

namespace tarnwell {

struct ParameterSet;

// One output file: where it is on disk and how messages name it.
// An empty path stands for no file: a run in memory writes nothing.
struct OutputFile {
  std::string path;
  std::string name;
  bool Active() const { return !path.empty(); }
  void Append(const std::vector<std::string>& lines) const {
    if (Active()) AppendLines(path, name, lines);
  }
  void Create() const {
    if (Active()) CreateEmptyFile(path, name);
  }
};

// The five files of one output directory (a sub-basin's or the whole basin's).
struct YearFiles {
  OutputFile Daily, DailyS, Budget, BudgetS, DailyF;
};

// "..\Output\流域" + k, and "..\Output\全流域".
std::string SubBasinOutputDir(const ModelState& s, int k);
std::string BasinOutputDir(const ModelState& s);
// (The caller binds them to the files on disk: app/OutputBinding.h.)

// Refuses a row that would carry a value that is not a finite number (ResultError naming
// where(), the column and the value): no output file ever holds nan or inf as a result.
// Rows are checked as the day tables hold them, where a day without observation carries
// the finite mark kNoObservation; only its text becomes "nan" (MeasuredValue). The place
// is only composed when a value fails.
[[noreturn]] void ThrowNotFinite(const std::string& where, const char* column, double value);
template <typename Where>
void RequireFiniteRow(Where&& where, const char* const* columns, const double* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    if (!std::isfinite(values[i])) ThrowNotFinite(where(), columns[i], values[i]);
}
// "sub-basin 2 (乙), 03-05-1990" for the sub-basin the driver simulates, else "the whole
// basin, 03-05-1990".
std::string RowPlace(const ModelState& s, const std::string& date);

// The year line and header lines of the five files, for CurYear.
void WriteSubBasinHeaders(const ModelState& s, const YearFiles& files);

// The cell sums of one simulated day over the inside cells (CellFlag > 0). Each sum is
// formed as one partial sum per grid row (cells of the row in column order, starting
// from 0.0), the row sums then added in row order to a total starting from 0.0; every row
// adds its partial sum, empty or not. An engine that fills this itself must keep that
// order so that the results are the same to the last bit.
struct DayTotals {
  double CellPrecip = 0, Interception = 0, UnsatDrain = 0, Uz1 = 0, Uz2 = 0, Uz3 = 0, ActualET = 0, Subflow = 0,
         SurfaceRunoff = 0, DeepLeakage = 0, CellErosion = 0, WTElev = 0;
  int cellCount = 0;
};
DayTotals ReduceDay(const ModelState& s);

// The day's outflow at the sub-basin's outlet (SimFlow[d], mm/day): interflow and
// groundwater pass two linear reservoirs (RoutedInterflow, RoutedGwFlow), surface runoff
// arrives on the day.
void RouteOutletReservoirs(ModelState& s, const ParameterSet& params, const DayTotals& t, int d);
// One simulated day, after its outflow: the day tables, the "Daily.out" row and the
// year-end record's means and reservoirs.
void WriteDailyRecord(ModelState& s, const YearFiles& files, const DayTotals& totals, int day, int dayOfMonth);

// Statistics of one observed/simulated pair over a period of N days. The measured sums
// and mean (SumObs, SumObs2, MeanObs = SumObs / ObservedDays) and the paired sums (SumProd,
// SumDiff2) with the statistics D and R take the days with an observation only; the
// simulated sums and mean (SumSim, SumSim2, MeanSim = SumSim / N) take every day. A period
// without any observed day counts as one whose every observation is 0.
struct PeriodStats {
  int N = 0;
  int ObservedDays = 0;
  double SumObs = 0, SumSim = 0, SumObs2 = 0, SumSim2 = 0, SumProd = 0, SumDiff2 = 0;
  double MeanObs = 0, MeanSim = 0, MeanDiff = 0, D = 0, R = 0;
};
// Days lastDay - n + 1 .. lastDay in increasing order.
PeriodStats ComputePeriodStats(const DaySeries& obs, const DaySeries& sim, int n, int lastDay);

// mode 1: month row (count = simulated days of CurMonth, lastDay = its last day number);
// mode 2: year row (count = StartDay, lastDay = DayCount).
void WritePeriodStatistics(const ModelState& s, const YearFiles& files, int count, int lastDay, int mode);

// The "Daily_f.out" rows of days 1..dayCount; year-end values 8 and 9.
void WriteFrozenDaily(ModelState& s, const YearFiles& files, int dayCount);
// The "Daily_s.out" rows of days 1..dayCount; year-end value 7; then the marker file
// rewritten with YearIndex (created when missing).
void WriteSedimentDaily(ModelState& s, const YearFiles& files, const OutputFile& mark, int dayCount);

// --- whole basin ---

// Where the next year block of a sub-basin file begins: byte offset in the file and the
// number of lines before it (for the line numbers of messages).
struct FileCursor {
  std::uint64_t byteOffset = 0;
  long linesDone = 0;
};

// What the whole-basin writer keeps from one year to the next: the observed outlet series
// (open, positioned after the last year read) and, per sub-basin, where each of its five
// files continues.
struct BasinAggregation {
  std::optional<TextReader> RiverFile;
  // [k][file]: file 0 Daily, 1 Daily_s, 2 Daily_f, 3 Budget, 4 Budget_s.
  std::vector<std::array<FileCursor, 5>> cursors;
  void Reset() {
    RiverFile.reset();
    cursors.clear();
  }
};

// The denominator (hours) of the Muskingum coefficients for a one-day step: half the step
// plus (1 - x) K. At zero or below the coefficients are undefined or lose their sense.
double MuskingumDenominator(double K, double x);
// The coefficients of the routed outflow O(t+1) = C0 I(t+1) + C1 I(t) + C2 O(t) of one reach
// for a one-day step. A negative one lets the outflow fall below zero: C0 when K x is above
// 12 h, C2 when (1 - x) K is below 12 h.
struct MuskingumCoefficients {
  double c0, c1, c2;
};
MuskingumCoefficients MuskingumCoefficientsOf(double K, double x);
// Why K and x cannot be routed (the denominator is not above 0), as the end of a sentence
// naming them; empty when they can.
std::string MuskingumDenominatorProblem(double K, double x);
// The first negative coefficient of K and x as "C2 = -0.43"; empty when none is (or when
// they cannot be routed at all).
std::string NegativeMuskingumCoefficient(double K, double x);
// Routes SimFlow[1..366] (m3/s) through one reach with storage constant K (hours) and
// weight x into RoutedFlow[1..366].
void MuskingumRoute(ModelState& s, double K, double x);
// One year block of the outlet series as read: discharge (m3/s) and concentration (kg/m3)
// of day d at index d - 1.
struct OutletBlock {
  std::vector<double> flow, conc;
};
// Reads the next year block (heading line, daysInYear day lines) of the outlet series.
OutletBlock ReadOutletBlock(int year, int daysInYear, TextReader& river);
// BasinObsFlow and BasinObsSediment (t/day) of the block's days.
void ApplyOutletObservations(ModelState& s, const OutletBlock& block);
// Both, for CurYear and DaysInYear.
void ReadOutletObservations(ModelState& s, TextReader& river);
// The whole-basin year of n sub-basins without files: each sub-basin's outflow routed to the
// outlet and summed into BasinFlow, the sediment summed into BasinSediment.
void RouteAndSumBasin(ModelState& s, int n);
// The files of the whole-basin year, bound by the caller: each sub-basin's five (k at
// k - 1), which are read back, and the whole basin's, which are written. The outlet
// series is the caller's too: BasinAggregation::RiverFile, opened before the first year.
struct BasinFiles {
  std::vector<YearFiles> subBasins;
  YearFiles basin;
};
// The whole-basin year of n sub-basins: routing and sums, then WriteBasinYear.
void AggregateBasin(ModelState& s, const BasinFiles& files, BasinAggregation& agg, int n);
// First-time creation of the files, year lines and headers, outlet observations, rows.
void WriteBasinYear(ModelState& s, const BasinFiles& files, BasinAggregation& agg, int count);
void AggregateBasinDaily(ModelState& s, const BasinFiles& files, BasinAggregation& agg, int count, int year);
void AggregateBasinBudget(ModelState& s, const BasinFiles& files, BasinAggregation& agg, int count);

}  // namespace tarnwell
