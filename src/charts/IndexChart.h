// A chart of indices per parameter: one row a parameter, named on the left, and in it a
// horizontal bar for each series (a sensitivity analysis's first-order and total indices,
// say) with the series' interval drawn as a whisker across the bar's end.
#pragma once

#include <string>
#include <vector>

#include "charts/Canvas.h"

namespace tarnwell {

struct IndexSeries {
  std::string name;  // in the legend
  Colour colour = kBlue;
  std::vector<double> value, low, high;  // one per row; a value that is not finite is left out
};

struct IndexChart {
  std::string title, caption;  // caption: under the value axis
  std::vector<std::string> rows;
  std::vector<IndexSeries> series;
};

inline constexpr int kIndexChartWidth = 800;
// The height that gives every row of the chart room for its bars.
int IndexChartHeight(const IndexChart& chart);
void DrawIndexChart(Canvas& canvas, const IndexChart& chart);

}  // namespace tarnwell
