// Weather: the meteorological year (calendar, day series, growth index, Hamon potential
// evapotranspiration) and the canopy interception of the day.
#pragma once

#include <cmath>

#include "model/Calendar.h"
#include "processes/LandUse.h"
#include "processes/Processes.h"

namespace tarnwell {

// Half-day length (hours) at solar declination `declination` (radians) and latitude
// `latitude` (degrees). Around the equinox and on the equator the day is 12 hours; inside
// the polar circles the sunset-angle cosine x is held to [-1, 1], so polar night gives 0
// and polar day 12. The branch follows the sign of x (sunset before or after 6 h), which
// for northern latitudes is the sign of the declination.
inline double HalfDayLength(double declination, double latitude) {
  constexpr double kDegToRad = 0.0174529;
  double x = -std::tan(declination) * std::tan(kDegToRad * latitude);
  if (declination == 0.0 || x == 0.0) return 6.0;
  if (x >= 1.0) return 0.0;
  if (x <= -1.0) return 12.0;
  double a = std::atan(std::sqrt(1.0 - x * x) / x);
  if (x > 0.0) return a / 0.2618;
  return (a + 3.1416) / 0.26175;
}

// Day offset J of month m, day k: days since 22 March in the first half year, days until
// 22 September in the second, at one degree per day.
inline int EquinoxDayOffset(int month, int day) {
  switch (month) {
    case 1: return day - 81;
    case 2: return day - 50;
    case 3: return day - 22;
    case 4: return day + 9;
    case 5: return day + 39;
    case 6: return day + 70;
    case 7: return 84 - day;
    case 8: return 53 - day;
    case 9: return 22 - day;
    case 10: return -(day + 8);
    case 11: return -(day + 39);
    case 12: return -(day + 69);
    default: return 0;
  }
}

// Hamon potential evapotranspiration (mm/day) from the day length and the saturated
// vapour density at the station temperature (degrees C).
inline double HamonPetValue(int month, int dayOfMonth, double temperature, double latitude, double coef) {
  constexpr double kDegToRad = 0.0174529;
  double j = EquinoxDayOffset(month, dayOfMonth);
  double declination = 0.41014315 * std::sin(kDegToRad * j);
  double h = HalfDayLength(declination, latitude);
  double dayLength = 2.0 * h / 12.0;  // units of 12 hours
  double t = temperature;
  double rho = 216.7 * (6.108 * std::exp(17.2693882 * t / (237.3 + t))) / (273.3 + t);
  return 0.1651 * coef * dayLength * rho;
}

// Canopy interception of one cell and day.
//   in:  precip (mm), growth (growth index 0..1), k (the cell's land-use class)
//   out: cellPrecip (mm), interception (mm)
//   in/out: canopyStore (mm)
// Forest and grass intercept up to the free canopy storage and never more than the day's
// precipitation; the capacity is in mm through the factor 25.4, the demand is not.
inline void InterceptCell(double precip, double growth, const LandUseClass& k, double& cellPrecip, double& interception,
                          double& canopyStore) {
  const double f = k.Forest, g = k.Grass;
  const double p = precip;
  cellPrecip = p;
  double cmax = 25.4 * (0.3 * f * (1 + 0.1 * growth) + f * (0.1 + growth) + 0.05 * (1 - f));
  double demand = (0.3 * p + 0.1) * f * (0.1 * growth + 1) + (0.1 * p + 0.05) * f * (0.1 + growth) +
                  (0.2 * p + 0.1) * g * (0.1 + growth);
  double room = cmax - canopyStore;
  if (room < 0) room = 0;
  if (demand > room) demand = room;
  if (demand > p) demand = p;
  interception = demand;
  canopyStore = canopyStore + demand;
}

// The same from the cell's land-use code.
inline void InterceptCell(double precip, double growth, double landUse, double& cellPrecip, double& interception,
                          double& canopyStore) {
  InterceptCell(precip, growth, ClassifyLandUse(landUse), cellPrecip, interception, canopyStore);
}

}  // namespace tarnwell
