// The charts of a calibration: its convergence (the best loss so far against the
// evaluation number, over every evaluation's loss) and one dotty plot per parameter (the
// loss of every evaluation against the parameter's value, the best marked), drawn through
// the chart canvas: as SVG here, as PNG through DrawPng of the image canvas when built.
#pragma once

#include <string>
#include <vector>

#include "calibration/Search.h"
#include "calibration/Sensitivity.h"
#include "calibration/Trace.h"
#include "charts/IndexChart.h"
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

// Morris's screening chart of one output: sigma against mu*, a point per parameter with its
// name. Far right: a parameter that matters; high up: one whose effect depends on the
// others or is not linear. The line sigma = mu* parts mostly additive effects (below) from
// interacting ones.
CalibrationChart MorrisChart(const std::string& output, const std::vector<std::string>& parameters,
                             const std::vector<MorrisIndex>& indices);
// Sobol's indices of one output: first-order and total, with their intervals.
IndexChart SobolChart(const std::string& output, const std::vector<std::string>& parameters,
                      const std::vector<SobolIndex>& indices);
// Writes path as SVG, the chart's own height; FileError when it cannot be written.
void WriteSvgIndexChart(const std::string& path, const IndexChart& chart);

}  // namespace tarnwell
