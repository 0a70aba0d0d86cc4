// Rosenbrock's function, of the searches, the runner and the probe: minimum 0 at (1, ..., 1)
// in a curved narrow valley.
#pragma once

#include <vector>

namespace tarnwell::test {

inline double Rosenbrock(const std::vector<double>& x) {
  double f = 0;
  for (std::size_t i = 0; i + 1 < x.size(); ++i)
    f += 100 * (x[i + 1] - x[i] * x[i]) * (x[i + 1] - x[i] * x[i]) + (1 - x[i]) * (1 - x[i]);
  return f;
}

}  // namespace tarnwell::test
