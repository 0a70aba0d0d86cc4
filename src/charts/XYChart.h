// A plain XY chart over the canvas: a frame with round tick labels on both axes (each
// linear or logarithmic), a title and axis captions, and series drawn as points, as a
// polyline or as a step line. Used for the calibration's convergence, dotty plots, report
// and the analyses' charts.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "charts/Canvas.h"

namespace tarnwell {

class Canvas;

enum class XYStyle { Points, Line, Steps };

struct XYSeries {
  std::vector<double> x, y;  // points that are not finite are left out
  Colour colour = kBlue;
  XYStyle style = XYStyle::Points;
  int width = 1;  // pen width; for points, the arm of the cross in pixels
};

struct XYChart {
  std::string title, xCaption, yCaption;
  bool logX = false, logY = false;
  // Axis ranges; NaN: from the data, widened to round ticks. Points outside are not drawn.
  double xMin = NAN, xMax = NAN, yMin = NAN, yMax = NAN;
  std::vector<XYSeries> series;
  std::string note;  // a line of text under the title, e.g. how many points lie above
  struct Label {
    double x = 0, y = 0;
    std::string text;  // beside the point (x, y), when it lies within the axes
  };
  std::vector<Label> labels;
};

void DrawXYChart(Canvas& canvas, const XYChart& chart);

// Tick values covering [lo, hi] at a round step (1, 2 or 5 times a power of ten), at most
// maxTicks of them; the first at or below lo, the last at or above hi.
std::vector<double> RoundTicks(double lo, double hi, int maxTicks);
// For a logarithmic axis: the powers of ten in [lo, hi] (with 2 and 5 times them when the
// range spans less than three decades); lo > 0.
std::vector<double> LogTicks(double lo, double hi);
// A tick value as text, with as many decimals as the step between ticks needs.
std::string TickLabel(double value, double step);

}  // namespace tarnwell
