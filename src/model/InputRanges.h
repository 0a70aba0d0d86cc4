// The ranges the values of the model's input files may take, shared by the model's readers,
// the check and the import, so that what the import writes is what the readers accept.
#pragma once

namespace tarnwell {

// The largest magnitude a weather or discharge value may have. Nothing measured comes near
// it (the largest rivers carry 2e5 m3/s); a larger value is a typing error, and values near
// the largest double would overflow the sums and loads formed from them.
inline constexpr double kLargestInputValue = 1e9;

// Calendar years a meteorological block may name.
inline constexpr int kFirstCalendarYear = 1;
inline constexpr int kLastCalendarYear = 9999;

// Land elevations on Earth, m: above the highest summit (8849 m) or below the lowest land
// (the Dead Sea shore, about -430 m) a value is a no-data mark or a unit error.
inline constexpr double kHighestElevation = 9000;
inline constexpr double kLowestElevation = -450;

// A slope in degrees.
inline constexpr double kSteepestSlope = 90;

// Daily means of air temperature, degrees C: the extremes measured are -89 and 57.
inline constexpr double kLowestAirTemperature = -100;
inline constexpr double kHighestAirTemperature = 70;

// Daily precipitation, mm: the largest measured in one day is about 1,800 mm.
inline constexpr double kLargestDailyPrecipitation = 2000;

// A terrain cell this much above every neighbour inside the basin is no landform but a
// no-data value or a typing error left in the grid.
inline constexpr double kSpikeHeight = 3000;

}  // namespace tarnwell
