// Which parameters matter, and how much of the output's variance each explains: Sobol's
// first-order and total indices over the calibration file's ranges. The design is
// Saltelli's: N points of a matrix A, N of a matrix B, and for every parameter i the N
// points of A with column i taken from B, N (d + 2) points in all, in that order. The
// estimators are those of Sobol (2007) and Saltelli et al. (2010), which difference the
// outputs of A and of A with column i replaced: a parameter without effect gets indices of
// exactly 0, not the noise of a small difference of large products. Each index carries a
// 95 % interval by bootstrap over the N base points.
#pragma once

#include <cstdint>
#include <vector>

#include "calibration/Sensitivity.h"

namespace tarnwell {

// The design in unit coordinates: samples (d + 2) points, the same for the same seed.
std::vector<std::vector<double>> SobolPoints(std::size_t dimensions, long samples, std::uint64_t seed);

// points: the design; y: the output at each of its points, in its order. A base point any of whose
// d + 2 outputs is not finite is left out of every block (samples counts those kept).
std::vector<SobolIndex> SobolIndices(const std::vector<std::vector<double>>& points, const std::vector<double>& y,
                                     std::size_t dimensions, long samples, std::uint64_t seed, int resamples = 1000);

}  // namespace tarnwell
