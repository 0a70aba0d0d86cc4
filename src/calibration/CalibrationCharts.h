// The charts of a calibration: its convergence (the best loss so far against the
// evaluation number, over every evaluation's loss) and one dotty plot per parameter (the
// loss of every evaluation against the parameter's value, the best marked), drawn through
// the chart canvas: as SVG here, as PNG through DrawPng of the image canvas when built.
#pragma once

#include <string>
#include <vector>

#include "calibration/Search.h"
#include "calibration/Trace.h"
#include "charts/XYChart.h"

namespace tarnwell {

inline constexpr int kCalibrationChartWidth = 800, kCalibrationChartHeight = 500;

struct CalibrationChart {
  std::string name;  // file name without extension: "convergence", "dotty-FieldCapacity"
  XYChart chart;
};

std::vector<CalibrationChart> CalibrationCharts(const std::vector<SearchParameter>& parameters,
                                                const std::string& lossName, const std::vector<TraceRecord>& records);

// Writes dir/<name>.svg for every chart; FileError when a file cannot be written.
void WriteSvgCharts(const std::string& dir, const std::vector<CalibrationChart>& charts);

}  // namespace tarnwell
