#include "model/ModelState.h"

#include <algorithm>

namespace tarnwell {

namespace {

template <typename F>
void ForEachRealGrid(SubBasinGrids& s, F&& f) {
  for (std::vector<double>* g : {&s.SurfElev,
                                 &s.LandUse,
                                 &s.SlopeSine,
                                 &s.SlopeMask,
                                 &s.WTElev,
                                 &s.WTPrev,
                                 &s.CellSizeX,
                                 &s.CellSizeY,
                                 &s.GwConductivity,
                                 &s.Uz1,
                                 &s.Uz2,
                                 &s.Uz3,
                                 &s.SnowPack,
                                 &s.Frozen,
                                 &s.Subflow,
                                 &s.CellPrecip,
                                 &s.Interception,
                                 &s.CanopyStore,
                                 &s.Throughfall,
                                 &s.ThawBypass,
                                 &s.UnsatDrain,
                                 &s.RunoffGenerated,
                                 &s.FreeWater,
                                 &s.SurfaceRunoff,
                                 &s.Interflow,
                                 &s.GroundwaterFlow,
                                 &s.DeepLeakage,
                                 &s.ActualET,
                                 &s.SatZoneET,
                                 &s.ErosiveRunoff,
                                 &s.RunoffErosivity,
                                 &s.CellErodibility,
                                 &s.SlopeLengthFactor,
                                 &s.VegCover,
                                 &s.CoverFactor,
                                 &s.PracticeFactor,
                                 &s.CellErosion})
    f(*g);
}

}  // namespace

void SubBasinGrids::AllocateGrids(int rows, int cols) {
  GridRows = rows;
  GridCols = cols;
  const std::size_t n = CellCount();
  ForEachRealGrid(*this, [n](std::vector<double>& g) { g.assign(n, 0.0); });
  CellFlag.assign(n, -1);
}

void SubBasinGrids::ClearGrids() {
  // Everything but the four grids the readers and the driver rewrite in every cell:
  // CellFlag, LandUse, SlopeSine, SlopeMask. The erosion grids are cleared too, so a
  // sub-basin never inherits another's erodibility.
  const std::size_t n = CellCount();
  ForEachRealGrid(*this, [&](std::vector<double>& g) {
    if (&g == &LandUse || &g == &SlopeSine || &g == &SlopeMask) return;
    std::fill(g.begin(), g.begin() + static_cast<std::ptrdiff_t>(std::min(n, g.size())), 0.0);
  });
  BasinArea = 0;
}

void BasinTables::ResizeSubBasins(int n) {
  SubBasinCount = n;
  SubBasinName.assign(static_cast<std::size_t>(n) + 1, "");
  SubBasinK.assign(static_cast<std::size_t>(n) + 1, 0.0);
  SubBasinX.assign(static_cast<std::size_t>(n) + 1, 0.0);
  SubBasinFlow.assign(static_cast<std::size_t>(n) + 1, DaySeries{});
  SubBasinSediment.assign(static_cast<std::size_t>(n) + 1, DaySeries{});
  YearEndState.assign(static_cast<std::size_t>(n) + 1, YearEnd{});
  YearEndCells.assign(static_cast<std::size_t>(n) + 1, CellStores{});
}

void ModelState::TakeSubBasinTable(const ModelState& from) {
  ProgramDir = from.ProgramDir;
  OutputDir = from.OutputDir;
  ParamFilePath = from.ParamFilePath;
  ResizeSubBasins(from.SubBasinCount);
  SubBasinName = from.SubBasinName;
  SubBasinK = from.SubBasinK;
  SubBasinX = from.SubBasinX;
}

std::size_t SubBasinGrids::GridBytes() const {
  std::size_t total = CellFlag.capacity() * sizeof(int32_t);
  ForEachRealGrid(const_cast<SubBasinGrids&>(*this),
                  [&](std::vector<double>& g) { total += g.capacity() * sizeof(double); });
  return total;
}

}  // namespace tarnwell
