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

// The classes exclude one another, so one small number names a cell's class: 0 for none,
// then 1 cultivated, 2 forest, 3 grass, 4 water, 5 built-up, 6 barren.
inline unsigned char LandUseClassIndex(const LandUseClass& k) {
  if (k.Cultivated == 1) return 1;
  if (k.Forest == 1) return 2;
  if (k.Grass == 1) return 3;
  if (k.Water == 1) return 4;
  if (k.BuiltUp == 1) return 5;
  if (k.Barren == 1) return 6;
  return 0;
}

inline const LandUseClass& LandUseClassOf(unsigned char index) {
  static const LandUseClass kClasses[7] = {{},
                                           {1, 0, 0, 0, 0, 0},
                                           {0, 1, 0, 0, 0, 0},
                                           {0, 0, 1, 0, 0, 0},
                                           {0, 0, 0, 1, 0, 0},
                                           {0, 0, 0, 0, 1, 0},
                                           {0, 0, 0, 0, 0, 1}};
  return kClasses[index < 7 ? index : 0];
}

}  // namespace tarnwell
