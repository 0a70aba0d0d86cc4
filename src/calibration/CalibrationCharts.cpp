#include "calibration/CalibrationCharts.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>

#include "charts/SvgCanvas.h"
#include "model/Errors.h"

namespace tarnwell {

namespace {

constexpr Colour kLightGrey{170, 170, 170};

// The loss axis: from the lowest loss to the 90th percentile of the finite losses (widened
// to round ticks), so that the few far-off points of an early, global search do not
// flatten the rest.
void LossRange(const std::vector<TraceRecord>& records, XYChart& chart) {
  std::vector<double> losses;
  for (const TraceRecord& r : records)
    if (std::isfinite(r.loss)) losses.push_back(r.loss);
  if (losses.size() < 10) return;
  std::sort(losses.begin(), losses.end());
  const std::vector<double> ticks = RoundTicks(losses.front(), losses[losses.size() * 9 / 10], 7);
  const double top = ticks.back();
  if (!(top > losses.front())) return;
  chart.yMin = ticks.front();
  chart.yMax = top;
  const auto above = static_cast<long>(losses.end() - std::upper_bound(losses.begin(), losses.end(), top));
  const auto unscored = static_cast<long>(records.size() - losses.size());
  if (above + unscored > 0)
    chart.note = std::to_string(above + unscored) + " of " + std::to_string(records.size()) +
                 " evaluations lie above the chart";
}

}  // namespace

std::vector<CalibrationChart> CalibrationCharts(const std::vector<SearchParameter>& parameters,
                                                const std::string& lossName, const std::vector<TraceRecord>& records) {
  std::vector<CalibrationChart> charts;
  std::size_t best = 0;
  for (std::size_t i = 0; i < records.size(); ++i)
    if (records[i].loss < records[best].loss) best = i;

  CalibrationChart convergence;
  convergence.name = "convergence";
  XYChart& c = convergence.chart;
  c.title = "Convergence: the best " + lossName + " so far";
  c.xCaption = "evaluation";
  c.yCaption = lossName;
  XYSeries every{{}, {}, kLightGrey, XYStyle::Points, 1};
  XYSeries bestSoFar{{}, {}, kBlue, XYStyle::Steps, 2};
  double lowest = INFINITY;
  for (const TraceRecord& r : records) {
    every.x.push_back(static_cast<double>(r.number));
    every.y.push_back(r.loss);
    lowest = std::min(lowest, r.loss);
    bestSoFar.x.push_back(static_cast<double>(r.number));
    bestSoFar.y.push_back(lowest);
  }
  c.series = {every, bestSoFar};
  // The step line from its first finite value down, the cloud behind it clipped to that.
  for (double v : bestSoFar.y)
    if (std::isfinite(v)) {
      c.yMax = v;
      break;
    }
  if (std::isfinite(lowest) && c.yMax > lowest) {
    const std::vector<double> ticks = RoundTicks(lowest, c.yMax, 7);
    c.yMin = ticks.front();
    c.yMax = ticks.back();
  } else {
    c.yMax = NAN;
  }
  charts.push_back(std::move(convergence));

  for (std::size_t p = 0; p < parameters.size(); ++p) {
    CalibrationChart dotty;
    dotty.name = "dotty-" + parameters[p].name;
    XYChart& d = dotty.chart;
    d.title = lossName + " against " + parameters[p].name;
    d.xCaption = parameters[p].name + (parameters[p].log ? " (logarithmic)" : "");
    d.yCaption = lossName;
    d.logX = parameters[p].log;
    d.xMin = parameters[p].lower;
    d.xMax = parameters[p].upper;
    XYSeries points{{}, {}, kBlue, XYStyle::Points, 1};
    for (const TraceRecord& r : records) {
      points.x.push_back(p < r.values.size() ? r.values[p] : std::numeric_limits<double>::quiet_NaN());
      points.y.push_back(r.loss);
    }
    d.series.push_back(points);
    if (!records.empty() && p < records[best].values.size())
      d.series.push_back({{records[best].values[p]}, {records[best].loss}, kRed, XYStyle::Points, 4});
    LossRange(records, d);
    charts.push_back(std::move(dotty));
  }
  return charts;
}

CalibrationChart MorrisChart(const std::string& output, const std::vector<std::string>& parameters,
                             const std::vector<MorrisIndex>& indices) {
  CalibrationChart c;
  c.name = "morris-" + output;
  c.chart.title = "Elementary effects on " + output + ": sigma against mu*";
  c.chart.xCaption = "mu* (per unit of each range)";
  c.chart.yCaption = "sigma";
  XYSeries points{{}, {}, kBlue, XYStyle::Points, 3};
  double top = 0;
  for (std::size_t i = 0; i < parameters.size() && i < indices.size(); ++i) {
    points.x.push_back(indices[i].muStar);
    points.y.push_back(indices[i].sigma);
    c.chart.labels.push_back({indices[i].muStar, indices[i].sigma, parameters[i]});
    if (std::isfinite(indices[i].muStar)) top = std::max(top, indices[i].muStar);
    if (std::isfinite(indices[i].sigma)) top = std::max(top, indices[i].sigma);
  }
  c.chart.xMin = c.chart.yMin = 0;
  if (top > 0) {
    c.chart.xMax = c.chart.yMax = RoundTicks(0, top * 1.15, 7).back();
    c.chart.series.push_back({{0, c.chart.xMax}, {0, c.chart.xMax}, kLightGrey, XYStyle::Line, 1});
  }
  c.chart.series.push_back(std::move(points));
  c.chart.note = "grey: sigma = mu*";
  return c;
}

IndexChart SobolChart(const std::string& output, const std::vector<std::string>& parameters,
                      const std::vector<SobolIndex>& indices) {
  IndexChart c;
  c.title = "Sobol indices of " + output + " (95 % intervals by bootstrap)";
  c.caption = "share of the variance";
  c.rows = parameters;
  IndexSeries first{"first order", kBlue, {}, {}, {}}, total{"total", kRed, {}, {}, {}};
  for (const SobolIndex& s : indices) {
    first.value.push_back(s.first), first.low.push_back(s.firstLow), first.high.push_back(s.firstHigh);
    total.value.push_back(s.total), total.low.push_back(s.totalLow), total.high.push_back(s.totalHigh);
  }
  c.series = {first, total};
  return c;
}

namespace {
void WriteSvg(const std::string& path, const SvgCanvas& svg) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << svg.Document();
  out.close();
  if (!out) throw FileError(path, 0, "cannot write");
}
}  // namespace

void WriteSvgIndexChart(const std::string& path, const IndexChart& chart) {
  SvgCanvas svg(kIndexChartWidth, IndexChartHeight(chart));
  DrawIndexChart(svg, chart);
  WriteSvg(path, svg);
}

void WriteSvgCharts(const std::string& dir, const std::vector<CalibrationChart>& charts) {
  for (const CalibrationChart& chart : charts) {
    SvgCanvas svg(kCalibrationChartWidth, kCalibrationChartHeight);
    DrawXYChart(svg, chart.chart);
    WriteSvg(dir + "/" + chart.name + ".svg", svg);
  }
}

}  // namespace tarnwell
