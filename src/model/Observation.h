// Observed discharge and sediment: a day without a gauge reading. The import writes -999 for
// such a day and older files may hold any negative value, so a negative observed discharge
// or concentration (or one that is no finite number) marks a day without observation. The
// day tables of the model keep one mark for such a day; everything that reads an observed
// value asks IsObserved before using it as a number.
#pragma once

#include <cmath>

namespace tarnwell {

// The mark the observed day tables hold on a day without observation.
inline constexpr double kNoObservation = -999.0;

// Whether an observed value is a measurement (finite and not negative).
inline bool IsObserved(double observed) { return std::isfinite(observed) && observed >= 0; }

// The value as the day tables keep it: a measurement as it is, anything else the mark.
inline double Observation(double observed) { return IsObserved(observed) ? observed : kNoObservation; }

}  // namespace tarnwell
