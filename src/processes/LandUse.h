// Land-use classes of the process modules. The numeric land-use code of a cell is read
// by tens with strict comparisons, so the round codes 20, 30, 40, 50, 60 and 100 belong
// to no class; codes of 0 or less and of 150 or more (outside the sub-basin's area) belong
// to none either. Each indicator is 1.0 or 0.0 because the formulas weigh by them.
#pragma once

namespace tarnwell {

struct LandUseClass {
  double Cultivated = 0;  // A: c < 20 or c > 100
  double Forest = 0;      // F: 20 < c < 30
  double Grass = 0;       // G: 30 < c < 40
  double Water = 0;       // Iw: 40 < c < 50
  double BuiltUp = 0;     // Ib: 50 < c < 60
  double Barren = 0;      // 60 < c < 100
};

inline LandUseClass ClassifyLandUse(double code) {
  LandUseClass k;
  if (!(code > 0 && code < 150)) return k;
  k.Cultivated = (code < 20 || code > 100) ? 1.0 : 0.0;
  k.Forest = (code > 20 && code < 30) ? 1.0 : 0.0;
  k.Grass = (code > 30 && code < 40) ? 1.0 : 0.0;
  k.Water = (code > 40 && code < 50) ? 1.0 : 0.0;
  k.BuiltUp = (code > 50 && code < 60) ? 1.0 : 0.0;
  k.Barren = (code > 60 && code < 100) ? 1.0 : 0.0;
  return k;
}

}  // namespace tarnwell
