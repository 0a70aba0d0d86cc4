// The three result charts of a year on picture surfaces: runoff (Image1), sediment
// (Image2) and snow / frozen soil (Image7), in the fixed geometry of the chart design:
// plot edges 45 and W - 40, precipitation hanging from the top, the snow/frost base line
// lifted by 250 pixels.
#pragma once

#include <QImage>

namespace tarnwell {
struct ModelState;
}

namespace tarnwell::gui {

enum class ChartKind { Runoff, Sediment, SnowFrost };

// Clears the picture and draws border, axes, ticks, legend and the year title.
void DrawChartFrame(QImage& image, ChartKind kind, int year);
// Axis labels and every series of the three charts from the day series of the year.
// DayCount 0 draws the whole year. The scales are taken from the series drawn, so every
// drawing is scaled to its own year and sub-basin.
void DrawResultCharts(const ModelState& year, QImage& image1, QImage& image2, QImage& image7);

}  // namespace tarnwell::gui
