// The three result charts on the window's picture surfaces (Image1, Image2, Image7).
#pragma once

#include <QImage>

#include "charts/Graph.h"

namespace tarnwell {
struct ModelState;
}

namespace tarnwell::gui {

using tarnwell::ChartKind;

void DrawChartFrame(QImage& image, ChartKind kind, int year);
void DrawResultCharts(const ModelState& year, QImage& image1, QImage& image2, QImage& image7);

}  // namespace tarnwell::gui
