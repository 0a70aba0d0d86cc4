#include "results/Statistic.h"

#include <cmath>

#include "model/Errors.h"
#include "model/Observation.h"
#include "parameters/ParaDialog.h"
#include "results/Format.h"

namespace tarnwell {

std::string SubBasinOutputDir(const ModelState& s, int k) {
  return s.ProgramDir + s.OutputDir + "\\流域" + std::to_string(k);
}

std::string BasinOutputDir(const ModelState& s) { return s.ProgramDir + s.OutputDir + "\\全流域"; }

void ThrowNotFinite(const std::string& where, const char* column, double value) {
  throw ResultError(where + ": " + column + " is " + Printf("%g", value) +
                    ", not a finite number: the inputs or parameters take the model beyond what it "
                    "can compute (the row is not written)");
}

std::string RowPlace(const ModelState& s, const std::string& date) {
  const int k = s.SimulatedSubBasin;
  if (k >= 1 && k < static_cast<int>(s.SubBasinName.size()))
    return "sub-basin " + std::to_string(k) + " (" + s.SubBasinName[static_cast<std::size_t>(k)] + "), " + date;
  return "the whole basin, " + date;
}

void WriteSubBasinHeaders(const ModelState& s, const YearFiles& f) {
  f.Daily.Append({YearLine(s.CurYear), kHeaderD});
  f.Budget.Append({" ", kHeaderB1, kHeaderB2, kHeaderB3, kHeaderB4});
  f.DailyS.Append({YearLine(s.CurYear), kHeaderS});
  f.DailyF.Append({YearLine(s.CurYear), kHeaderF});
  f.BudgetS.Append({" ", " ", kHeaderT1, kHeaderT2, kHeaderT3});
}

DayTotals ReduceDay(const ModelState& s) {
  DayTotals t;
  for (int r = 1; r <= s.GridRows; ++r) {
    DayTotals row;
    const std::size_t base = s.Cell(r, 1);
    for (std::size_t i = base; i < base + static_cast<std::size_t>(s.GridCols); ++i) {
      if (s.CellFlag[i] <= 0) continue;
      row.CellPrecip += s.CellPrecip[i];
      row.Interception += s.Interception[i];
      row.UnsatDrain += s.UnsatDrain[i];
      row.Uz1 += s.Uz1[i];
      row.Uz2 += s.Uz2[i];
      row.Uz3 += s.Uz3[i];
      row.ActualET += s.ActualET[i];
      row.Subflow += s.Subflow[i];
      row.SurfaceRunoff += s.SurfaceRunoff[i];
      row.DeepLeakage += s.DeepLeakage[i];
      row.CellErosion += s.CellErosion[i];
      row.WTElev += s.WTElev[i];
      ++row.cellCount;
    }
    t.CellPrecip += row.CellPrecip;
    t.Interception += row.Interception;
    t.UnsatDrain += row.UnsatDrain;
    t.Uz1 += row.Uz1;
    t.Uz2 += row.Uz2;
    t.Uz3 += row.Uz3;
    t.ActualET += row.ActualET;
    t.Subflow += row.Subflow;
    t.SurfaceRunoff += row.SurfaceRunoff;
    t.DeepLeakage += row.DeepLeakage;
    t.CellErosion += row.CellErosion;
    t.WTElev += row.WTElev;
    t.cellCount += row.cellCount;
  }
  return t;
}

namespace {

// The driver refuses a sub-basin without inside cells; the guard keeps the means finite.
double CellsOf(const DayTotals& t) { return t.cellCount > 0 ? static_cast<double>(t.cellCount) : 1.0; }

}  // namespace

void RouteOutletReservoirs(ModelState& s, const ParameterSet& params, const DayTotals& t, int d) {
  const double n = CellsOf(t);
  const double subflow = t.Subflow / n, surface = t.SurfaceRunoff / n;
  const double c1 = params.InterflowRecessionCoef, c2 = params.GroundwaterRecessionCoef;
  s.RoutedInterflow = c1 * s.RoutedInterflow + (1 - c1) * subflow;
  s.RoutedGwFlow = c2 * s.RoutedGwFlow + (1 - c2) * s.GwFlow[d];
  s.SimFlow[d] = s.RoutedGwFlow + s.RoutedInterflow + surface;
}

void WriteDailyRecord(ModelState& s, const YearFiles& files, const DayTotals& t, int d, int dayOfMonth) {
  s.SubBasinCellCount = t.cellCount;
  const double n = CellsOf(t);
  const double precip = t.CellPrecip / n, intercep = t.Interception / n, drain = t.UnsatDrain / n, uz1 = t.Uz1 / n,
               uz2 = t.Uz2 / n, uz3 = t.Uz3 / n, aet = t.ActualET / n, subflow = t.Subflow / n,
               leakage = t.DeepLeakage / n, wt = t.WTElev / n;
  const double gDrain = s.RoutedGwFlow + leakage;
  s.MeanPrecip[d] = precip;
  s.MeanIntercep[d] = intercep;
  s.MeanAET[d] = aet;
  s.MeanSoilDrain[d] = drain;
  s.GroundWaterLevel[d] = wt - s.MeanElev;
  s.SimErosion[d] = t.CellErosion;
  const DailyValues row{precip, intercep, s.DailyPET[d], aet,          uz1,          uz2,    uz3,
                        drain,  subflow,  s.GwFlow[d],   s.SimFlow[d], s.ObsFlow[d], gDrain, s.GroundWaterLevel[d]};
  RequireFiniteRow(
      [&] { return RowPlace(s, DateText(s.CurMonth, dayOfMonth, s.CurYear) + " (day " + std::to_string(d) + ")"); },
      kDailyColumns, row.data(), row.size());
  // The day's soil loss is carried on to the sediment store and the yearly files.
  RequireFiniteRow([&] { return RowPlace(s, DateText(s.CurMonth, dayOfMonth, s.CurYear)); }, kSedimentColumns,
                   &s.SimErosion[d], 1);
  if (files.Daily.Active()) {
    DailyValues shown = row;
    shown[kReFlowValue] = MeasuredValue(row[kReFlowValue]);
    files.Daily.Append({DailyRow(s.CurMonth, dayOfMonth, s.CurYear, shown)});
  }
  s.YearEndValue.Uz1 = uz1;
  s.YearEndValue.Uz2 = uz2;
  s.YearEndValue.Uz3 = uz3;
  s.YearEndValue.Subflow = subflow;
  s.YearEndValue.RoutedGwFlow = s.RoutedGwFlow;
  s.YearEndValue.WTElev = wt;
  s.YearEndValue.RoutedInterflow = s.RoutedInterflow;
}

PeriodStats ComputePeriodStats(const DaySeries& obs, const DaySeries& sim, int n, int lastDay) {
  PeriodStats p;
  p.N = n > 0 ? n : 0;
  const int first = lastDay - p.N + 1;
  for (int d = first; d <= lastDay; ++d)
    if (IsObserved(obs[static_cast<std::size_t>(d)])) ++p.ObservedDays;
  // A period without any reading is taken as one whose every observation is 0, as when no
  // observations were supplied: measured 0, and the pairs over every day.
  const bool none = p.ObservedDays == 0;
  const int pairs = none ? p.N : p.ObservedDays;
  double pairedSim = 0, pairedSim2 = 0;
  for (int d = first; d <= lastDay; ++d) {
    double o = obs[static_cast<std::size_t>(d)];
    const double m = sim[static_cast<std::size_t>(d)];
    p.SumSim += m;
    p.SumSim2 += m * m;
    if (!IsObserved(o)) {
      if (!none) continue;
      o = 0;
    }
    p.SumObs += o;
    p.SumObs2 += o * o;
    pairedSim += m;
    pairedSim2 += m * m;
    p.SumProd += o * m;
    p.SumDiff2 += (o - m) * (o - m);
  }
  const double N = static_cast<double>(p.N), P = static_cast<double>(pairs);
  if (p.N > 0) {
    p.MeanObs = p.SumObs / P;
    p.MeanSim = p.SumSim / N;
  }
  p.MeanDiff = p.MeanSim - p.MeanObs;
  // The paired statistics compare the days that have a reading. Squared deviations of the
  // daily differences from their mean over P(P-1), formed as an integer product. One pair
  // (or none) has no spread: 0.
  const long long divisor = static_cast<long long>(pairs) * (pairs - 1);
  const double diff = p.SumObs - pairedSim;
  p.D = divisor > 0 ? (p.SumDiff2 - diff * diff / P) / static_cast<double>(divisor) : 0.0;
  const double sx = std::sqrt(std::fabs(P * p.SumObs2 - p.SumObs * p.SumObs));
  const double sy = std::sqrt(std::fabs(P * pairedSim2 - pairedSim * pairedSim));
  const double c = P * p.SumProd - p.SumObs * pairedSim;
  // A constant series has no correlation; the files show 0.99 for it.
  p.R = sx * sy == 0 ? 0.99 : c / (sx * sy);
  return p;
}

void WritePeriodStatistics(const ModelState& s, const YearFiles& files, int count, int lastDay, int mode) {
  int n = mode == 1 ? count : lastDay - count + 1;
  if (n < 0) n = 0;  // a year whose start day lies beyond the months run
  const PeriodStats q = ComputePeriodStats(s.ObsFlow, s.SimFlow, n, lastDay);
  const PeriodStats g = ComputePeriodStats(s.ObsSediment, s.SimSediment, n, lastDay);
  double precip = 0, aet = 0, intercep = 0, drain = 0, gw = 0, erosion = 0;
  for (int d = lastDay - n + 1; d <= lastDay; ++d) {
    const auto i = static_cast<std::size_t>(d);
    precip += s.MeanPrecip[i];
    aet += s.MeanAET[i];
    intercep += s.MeanIntercep[i];
    drain += s.MeanSoilDrain[i];
    gw += s.GwFlow[i];
    erosion += s.SimErosion[i];
  }
  const BudgetValues b{q.MeanObs, q.MeanSim, q.MeanDiff, q.D,      q.R,   q.SumObs,
                       q.SumSim,  precip,    aet,        intercep, drain, gw};
  const SedBudgetValues t{g.MeanObs, g.MeanSim, g.MeanDiff, g.D, g.R, g.SumObs, g.SumSim, erosion};
  const std::string period = mode == 1 ? Printf("%.2d-%04d", s.CurMonth, s.CurYear)
                                       : std::to_string(s.CurYear) + " (the year row)";
  RequireFiniteRow([&] { return RowPlace(s, period); }, kBudgetColumns, b.data(), b.size());
  RequireFiniteRow([&] { return RowPlace(s, period); }, kSedBudgetColumns, t.data(), t.size());
  if (mode == 1) {
    files.Budget.Append({BudgetMonthRow(s.CurMonth, s.CurYear, n, b)});
    files.BudgetS.Append({SedBudgetMonthRow(s.CurMonth, s.CurYear, n, t)});
  } else {
    files.Budget.Append({BudgetYearRow(s.CurYear, n, b)});
    files.BudgetS.Append({SedBudgetYearRow(s.CurYear, n, t)});
  }
}

void WriteFrozenDaily(ModelState& s, const YearFiles& files, int dayCount) {
  std::vector<std::string> rows;
  rows.reserve(static_cast<std::size_t>(dayCount));
  // Station temperature moved to the sub-basin's mean elevation.
  const double lapse = kLapseRate * (s.MeanElev - s.StationElev);
  for (int d = 1; d <= dayCount; ++d) {
    const auto i = static_cast<std::size_t>(d);
    const FourValues v{s.MeanSnowPack[i], s.MeanFrozen[i], s.DailyTemp[i] - lapse, s.GroundWaterLevel[i]};
    RequireFiniteRow([&] { return RowPlace(s, DateText(s.DayMonth[i], s.DayOfMonth[i], s.DayYear[i])); },
                     kFrozenColumns, v.data(), v.size());
    if (files.DailyF.Active()) rows.push_back(FourValueRow(s.DayMonth[i], s.DayOfMonth[i], s.DayYear[i], v));
  }
  files.DailyF.Append(rows);
  if (dayCount >= 1) {
    s.YearEndValue.SnowPack = s.MeanSnowPack[static_cast<std::size_t>(dayCount)];
    s.YearEndValue.Frozen = s.MeanFrozen[static_cast<std::size_t>(dayCount)];
  }
}

void WriteSedimentDaily(ModelState& s, const YearFiles& files, const OutputFile& mark, int dayCount) {
  std::vector<std::string> rows;
  rows.reserve(static_cast<std::size_t>(dayCount));
  for (int d = 1; d <= dayCount; ++d) {
    const auto i = static_cast<std::size_t>(d);
    FourValues v{s.SimErosion[i], s.ObsSediment[i], s.SimSediment[i], s.DailySedStore[i]};
    RequireFiniteRow([&] { return RowPlace(s, DateText(s.DayMonth[i], s.DayOfMonth[i], s.DayYear[i])); },
                     kSedimentColumns, v.data(), v.size());
    v[kReChanshaValue] = MeasuredValue(v[kReChanshaValue]);
    if (files.DailyS.Active()) rows.push_back(FourValueRow(s.DayMonth[i], s.DayOfMonth[i], s.DayYear[i], v));
  }
  files.DailyS.Append(rows);
  if (dayCount >= 1) s.YearEndValue.SedStore = s.DailySedStore[static_cast<std::size_t>(dayCount)];
  // The marker names the last year finished; a workspace without one gets it now.
  if (mark.Active()) WriteWholeFile(mark.path, mark.name, {Printf("%2d", s.YearIndex)});
}

}  // namespace tarnwell
