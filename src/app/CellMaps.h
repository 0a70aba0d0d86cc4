// Maps of every cell over a year (tarnwell run --maps): what erosion and water-balance
// modellers look at cell by cell. Kept by a day engine on request, at 48 bytes per inside
// cell; every other result stays as it is.
#pragma once

#include <vector>

namespace tarnwell {

// One sub-basin's year, rows x cols in the model's own row order, not-a-number outside.
struct CellMaps {
  int rows = 0, cols = 0;
  int year = 0;
  std::vector<double> precipitation;       // the year's sum, mm
  std::vector<double> evapotranspiration;  // actual, the year's sum, mm
  std::vector<double> runoff;              // generated runoff, the year's sum, mm
  std::vector<double> soilLoss;            // the year's sum, t/ha
  std::vector<double> waterTableDepth;     // mean depth below the surface over the days run, m
  std::vector<double> snowPack;            // the largest snow pack of the year, mm
  bool Empty() const { return precipitation.empty(); }
};

// The six sums of one inside cell, as an engine gathers them day by day.
struct CellYear {
  std::vector<double> precipitation, evapotranspiration, runoff, erosion, depthSum, snowMax;
  int days = 0;
  void Reset(std::size_t cells) {
    for (std::vector<double>* v : {&precipitation, &evapotranspiration, &runoff, &erosion, &depthSum, &snowMax})
      v->assign(cells, 0.0);
    days = 0;
  }
  void Add(std::size_t i, double precip, double aet, double generated, double soilLoss, double depth, double snow) {
    precipitation[i] += precip;
    evapotranspiration[i] += aet;
    runoff[i] += generated;
    erosion[i] += soilLoss;
    depthSum[i] += depth;
    if (snow > snowMax[i]) snowMax[i] = snow;
  }
};

}  // namespace tarnwell
