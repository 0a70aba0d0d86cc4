// Standard test functions of global optimisation, with known minima, for the searches and
// the runner.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "calibration/Search.h"

namespace tarnwell::test {

// Minimum 0 at (1, ..., 1): a curved narrow valley.
inline double Rosenbrock(const std::vector<double>& x) {
  double f = 0;
  for (std::size_t i = 0; i + 1 < x.size(); ++i)
    f += 100 * (x[i + 1] - x[i] * x[i]) * (x[i + 1] - x[i] * x[i]) + (1 - x[i]) * (1 - x[i]);
  return f;
}

// Minimum 0 at the origin, with a regular lattice of local minima over a broad bowl.
inline double Griewank(const std::vector<double>& x) {
  double sum = 0, product = 1;
  for (std::size_t i = 0; i < x.size(); ++i) {
    sum += x[i] * x[i] / 4000;
    product *= std::cos(x[i] / std::sqrt(static_cast<double>(i + 1)));
  }
  return 1 + sum - product;
}

inline std::vector<SearchParameter> Box(std::size_t n, double lower, double upper) {
  std::vector<SearchParameter> box;
  for (std::size_t i = 0; i < n; ++i) box.push_back({"x" + std::to_string(i), lower, upper, false});
  return box;
}

}  // namespace tarnwell::test
