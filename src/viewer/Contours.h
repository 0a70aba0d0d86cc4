// Contour lines of a terrain grid for the shaded terrain map: traced between cell centres
// by marching squares with linear interpolation along the cell edges, at round intervals,
// then smoothed. Coordinates are grid coordinates: x the 0-based column, y the 0-based data
// row (in the order the file stores the rows), cell centres at whole numbers. Turning them
// into picture positions (and which way is north) is the map maker's business.
#pragma once

#include <vector>

namespace tarnwell {

struct ContourPoint {
  double x = 0, y = 0;
  bool operator==(const ContourPoint&) const = default;
};
// An open line ends at the edge of the data; a closed one repeats its first point last.
using ContourLine = std::vector<ContourPoint>;

// A round interval (1, 2, 2.5 or 5 times a power of ten) giving about seven lines over
// the range.
double ContourInterval(double range);

// The multiples of interval strictly between lo and hi, lowest first.
std::vector<double> ContourLevels(double lo, double hi, double interval);

// The contour lines of one level over a grid of rows x cols values (row-major). A NaN value
// marks a cell without data: no line crosses a square of four cell centres that has one, so
// lines stop at the edge of the basin instead of running along it. A centre at or above the
// level counts as above it.
std::vector<ContourLine> TraceContours(const std::vector<double>& z, int rows, int cols, double level);

// Corner cutting: every round replaces each corner by two points a quarter of the way
// along its two sides. An open line keeps its ends; a closed line stays closed.
ContourLine SmoothContour(const ContourLine& line, int rounds);

}  // namespace tarnwell
