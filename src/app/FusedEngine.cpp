#include "app/FusedEngine.h"

#include "app/WorkerPool.h"
#include "model/ModelState.h"
#include "parameters/ParaDialog.h"
#include "processes/BasinSum.h"
#include "processes/Errod.h"
#include "processes/EvaTrans.h"
#include "processes/Grdwater.h"
#include "processes/Upsoil.h"
#include "processes/W_Stage.h"
#include "processes/Weather.h"

namespace tarnwell {

namespace {

constexpr std::uint8_t kPrevColInside = 1, kNextColInside = 2;

}  // namespace

FusedDayEngine::FusedDayEngine(int threads)
    : pool_(std::make_unique<WorkerPool>(threads < 1 ? HardwareThreads() : threads)) {}

FusedDayEngine::~FusedDayEngine() = default;

int FusedDayEngine::Threads() const { return pool_->Size(); }

void FusedDayEngine::BeginYear(ModelState& s, const ParameterSet& p) {
  const int rows = s.GridRows, cols = s.GridCols;
  std::size_t inside = 0;
  for (std::size_t i = 0; i < s.CellCount(); ++i)
    if (s.CellFlag[i] > 0) ++inside;

  for (std::vector<double>* v :
       {&snow_, &frozen_, &uz1_, &uz2_, &uz3_, &canopy_, &freeWater_, &satEt_, &wt_[0], &wt_[1], &surfElev_,
        &conductance_, &cellSizeX_, &erodibility_, &slopeLength_, &cover_, &practice_}) {
    v->clear();
    v->shrink_to_fit();
    v->resize(inside);
  }
  flag_.assign(inside, 0);
  flag_.shrink_to_fit();
  landClass_.assign(inside, 0);
  landClass_.shrink_to_fit();
  prevRow_.assign(inside, -1);
  prevRow_.shrink_to_fit();
  nextRow_.assign(inside, -1);
  nextRow_.shrink_to_fit();
  rowNeighbours_.assign(inside, 0);
  rowNeighbours_.shrink_to_fit();
  spans_.clear();
  current_ = 0;

  // Compact indices of the row above, to link the neighbours across rows.
  std::vector<std::int32_t> above(static_cast<std::size_t>(cols), -1), here(above);
  std::uint32_t j = 0;
  for (int r = 0; r < rows; ++r) {
    const std::uint32_t begin = j;
    for (int c = 0; c < cols; ++c) {
      const std::size_t g = static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(c);
      const auto cc = static_cast<std::size_t>(c);
      if (s.CellFlag[g] <= 0) {
        here[cc] = -1;
        continue;
      }
      here[cc] = static_cast<std::int32_t>(j);
      snow_[j] = s.SnowPack[g];
      frozen_[j] = s.Frozen[g];
      uz1_[j] = s.Uz1[g];
      uz2_[j] = s.Uz2[g];
      uz3_[j] = s.Uz3[g];
      canopy_[j] = s.CanopyStore[g];
      freeWater_[j] = s.FreeWater[g];
      satEt_[j] = s.SatZoneET[g];
      wt_[0][j] = s.WTElev[g];
      flag_[j] = static_cast<std::int8_t>(s.CellFlag[g]);
      surfElev_[j] = s.SurfElev[g];
      landClass_[j] = LandUseClassIndex(ClassifyLandUse(s.LandUse[g]));
      conductance_[j] = s.GwConductivity[g];
      cellSizeX_[j] = s.CellSizeX[g];
      const ErosionFactors e = CellErosionFactors(s.LandUse[g], s.SlopeSine[g], s.SlopeMask[g], s.CellSizeX[g],
                                                  s.CellSizeY[g], p, s.CellErodibility[g]);
      erodibility_[j] = e.erodibility;
      slopeLength_[j] = e.slopeLength;
      cover_[j] = e.cover;
      practice_[j] = e.practice;
      if (c > 0 && here[cc - 1] >= 0) {
        rowNeighbours_[j] |= kPrevColInside;
        rowNeighbours_[j - 1] |= kNextColInside;
      }
      if (above[cc] >= 0) {
        prevRow_[j] = above[cc];
        nextRow_[static_cast<std::size_t>(above[cc])] = static_cast<std::int32_t>(j);
      }
      ++j;
    }
    if (j > begin) spans_.push_back(Span{r, begin, j});
    std::swap(above, here);
  }
  rowSums_.assign(spans_.size(), RowSums{});
  if (keepMaps_) cellYear_.Reset(inside);

  // Contiguous blocks of rows with about the same number of cells each.
  const std::size_t blocks = static_cast<std::size_t>(Threads());
  blockStart_.assign(blocks + 1, spans_.size());
  blockStart_[0] = 0;
  std::size_t span = 0;
  for (std::size_t k = 1; k < blocks; ++k) {
    while (span < spans_.size() && spans_[span].begin < inside * k / blocks) ++span;
    blockStart_[k] = span;
  }
  begun_ = true;
  daysRun_ = 0;
}

// Flattened: every kernel of the cell inlined into the one loop, so values stay in registers
// between the steps.
template <bool KeepMaps>
[[gnu::flatten]] void FusedDayEngine::RunSpans(std::size_t first, std::size_t last, const Day& today,
                                               const ParameterSet& params) {
  // Local copies: the compiler then knows that no store to a cell array changes them, and
  // keeps them in registers instead of loading them again after every store.
  const ParameterSet p = params;
  const Day day = today;
  const double* const wtStart = wt_[current_].data();
  double* const wtEnd = wt_[1 - current_].data();
  for (std::size_t sp = first; sp < last; ++sp) {
    const Span span = spans_[sp];
    RowSums sum;
    RowPartialSum gw;
    for (std::uint32_t i = span.begin; i < span.end; ++i) {
      const double surf = surfElev_[i], wt0 = wtStart[i];
      const LandUseClass& landUse = LandUseClassOf(landClass_[i]);
      double canopy = canopy_[i], snow = snow_[i], frozen = frozen_[i];
      double uz1 = uz1_[i], uz2 = uz2_[i], uz3 = uz3_[i];
      int flag = flag_[i];

      double cellPrecip, interception;
      InterceptCell(day.precip, day.growth, landUse, cellPrecip, interception, canopy);

      double throughfall, thawBypass, actualEt, unsatDrain;
      SnowFrostCell(cellPrecip, interception, surf, day.temp, day.pet, day.stationElev, p, snow, frozen, uz1, uz2, uz3,
                    throughfall, thawBypass, actualEt, unsatDrain);
      sum.snow += snow;
      sum.ice += frozen;

      double runoffGenerated;
      SoilCell(surf, wt0, landUse, cellPrecip, thawBypass, p, flag, uz1, uz2, uz3, throughfall, unsatDrain,
               runoffGenerated);

      double freeWater = freeWater_[i], gwFlow, interflow, surfaceRunoff;
      FreeWaterCell(runoffGenerated, p, freeWater, gwFlow, interflow, surfaceRunoff);

      ErosionFactors e;
      e.erodibility = erodibility_[i];
      e.slopeLength = slopeLength_[i];
      e.cover = cover_[i];
      e.practice = practice_[i];
      const double erosion = SoilLoss(RunoffErosivity(ErosiveRunoff(surfaceRunoff, interflow)), e);

      // The neighbours' tables as the day began.
      GwNeighbours nb;
      if (const std::int32_t n = nextRow_[i]; n >= 0) {
        nb.nextRowInside = true;
        nb.nextRowWT = wtStart[n];
      }
      if (const std::int32_t n = prevRow_[i]; n >= 0) {
        nb.prevRowInside = true;
        nb.prevRowWT = wtStart[n];
      }
      if (rowNeighbours_[i] & kNextColInside) {
        nb.nextColInside = true;
        nb.nextColWT = wtStart[i + 1];
      }
      if (rowNeighbours_[i] & kPrevColInside) {
        nb.prevColInside = true;
        nb.prevColWT = wtStart[i - 1];
      }
      double deepLeakage;
      GroundwaterExchangeCell(surf, wt0, conductance_[i], cellSizeX_[i], nb, p, gwFlow, deepLeakage, gw);

      double wt = wt0, wtPrev, satEt = satEt_[i];
      WaterTableCell(surf, unsatDrain, satEt, deepLeakage, gwFlow, p, wt, wtPrev, uz1, uz2, uz3, flag);
      EvapotranspirationCell(surf, wt, landUse, gwFlow, day.pet, day.growth, p, canopy, uz1, uz2, uz3, actualEt, satEt);

      sum.precip += cellPrecip;
      sum.intercep += interception;
      sum.drain += unsatDrain;
      sum.uz1 += uz1;
      sum.uz2 += uz2;
      sum.uz3 += uz3;
      sum.aet += actualEt;
      sum.subflow += interflow;
      sum.surface += surfaceRunoff;
      sum.leakage += deepLeakage;
      sum.erosion += erosion;
      sum.wt += wt;
      if constexpr (KeepMaps) cellYear_.Add(i, cellPrecip, actualEt, runoffGenerated, erosion, surf - wt, snow);

      canopy_[i] = canopy;
      snow_[i] = snow;
      frozen_[i] = frozen;
      uz1_[i] = uz1;
      uz2_[i] = uz2;
      uz3_[i] = uz3;
      freeWater_[i] = freeWater;
      satEt_[i] = satEt;
      wtEnd[i] = wt;
      flag_[i] = static_cast<std::int8_t>(flag);
    }
    gw.EndRow();
    sum.gw = gw.Total();
    rowSums_[sp] = sum;
  }
}

DayTotals FusedDayEngine::RunDay(ModelState& s, const ParameterSet& p, int day) {
  if (!begun_) BeginYear(s, p);
  const auto d = static_cast<std::size_t>(day);
  const Day today{s.DailyPrecip[d], s.DailyTemp[d], s.DailyPET[d], s.GrowthIndex[d],
                  static_cast<double>(s.StationElev)};
  pool_->Run([&](int k) {
    const auto b = static_cast<std::size_t>(k);
    if (keepMaps_) RunSpans<true>(blockStart_[b], blockStart_[b + 1], today, p);
    else RunSpans<false>(blockStart_[b], blockStart_[b + 1], today, p);
  });
  current_ = 1 - current_;
  ++daysRun_;
  if (keepMaps_) ++cellYear_.days;

  // The rows in row order; a row without inside cells adds nothing.
  DayTotals t;
  double snow = 0, ice = 0, gw = 0;
  for (std::size_t sp = 0; sp < spans_.size(); ++sp) {
    const RowSums& r = rowSums_[sp];
    t.CellPrecip += r.precip;
    t.Interception += r.intercep;
    t.UnsatDrain += r.drain;
    t.Uz1 += r.uz1;
    t.Uz2 += r.uz2;
    t.Uz3 += r.uz3;
    t.ActualET += r.aet;
    t.Subflow += r.subflow;
    t.SurfaceRunoff += r.surface;
    t.DeepLeakage += r.leakage;
    t.CellErosion += r.erosion;
    t.WTElev += r.wt;
    snow += r.snow;
    ice += r.ice;
    gw += r.gw;
  }
  const int n = static_cast<int>(InsideCells());
  t.cellCount = n;
  // As the sweeps: the snow and frost means divide by one more than the cell count.
  s.MeanSnowPack[d] = snow / (n + 1);
  s.MeanFrozen[d] = ice / (n + 1);
  s.GwFlow[d] = n > 0 ? gw / n : 0.0;
  return t;
}

void FusedDayEngine::EndYear(ModelState& s) {
  if (!begun_) return;
  SyncState(s);
  begun_ = false;
}

void FusedDayEngine::SyncState(ModelState& s) {
  if (!begun_) return;
  if (s.CellFlag.size() < s.CellCount() || s.Uz1.size() < s.CellCount()) return;
  std::size_t j = 0;
  for (std::size_t g = 0; g < s.CellCount() && j < InsideCells(); ++g) {
    if (s.CellFlag[g] <= 0) continue;
    s.SnowPack[g] = snow_[j];
    s.Frozen[g] = frozen_[j];
    s.Uz1[g] = uz1_[j];
    s.Uz2[g] = uz2_[j];
    s.Uz3[g] = uz3_[j];
    s.CanopyStore[g] = canopy_[j];
    s.FreeWater[g] = freeWater_[j];
    s.SatZoneET[g] = satEt_[j];
    if (daysRun_ > 0) s.WTPrev[g] = wt_[1 - current_][j];  // the last day's start
    s.WTElev[g] = wt_[current_][j];
    s.CellFlag[g] = flag_[j];
    ++j;
  }
}

std::size_t FusedDayEngine::StateBytes() const {
  std::size_t b = 0;
  for (const std::vector<double>* v :
       {&snow_, &frozen_, &uz1_, &uz2_, &uz3_, &canopy_, &freeWater_, &satEt_, &wt_[0], &wt_[1], &surfElev_,
        &conductance_, &cellSizeX_, &erodibility_, &slopeLength_, &cover_, &practice_})
    b += v->capacity() * sizeof(double);
  b += flag_.capacity() + landClass_.capacity() + rowNeighbours_.capacity();
  b += (prevRow_.capacity() + nextRow_.capacity()) * sizeof(std::int32_t);
  b += spans_.capacity() * sizeof(Span) + rowSums_.capacity() * sizeof(RowSums) +
       blockStart_.capacity() * sizeof(std::size_t);
  return b;
}

double FusedDayEngine::BytesPerCellDay() {
  // Read and written: 8 stores and the flag; read: the starting table, 7 static values,
  // the land-use class, the neighbour links; written: the ending table. Neighbours'
  // tables come from cache.
  const double readWrite = 8 * 8 + 1;
  const double readOnly = 8 + 7 * 8 + 1 + 2 * 4 + 1;
  const double writeOnly = 8;
  return 2 * readWrite + readOnly + writeOnly;
}

}  // namespace tarnwell
