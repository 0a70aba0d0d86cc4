#include "gui/ChartPainter.h"

#include "charts/image/ImageCanvas.h"

namespace tarnwell::gui {

void DrawChartFrame(QImage& image, ChartKind kind, int year) {
  ImageCanvas canvas(image);
  tarnwell::DrawChartFrame(canvas, kind, year);
}

void DrawResultCharts(const ModelState& year, QImage& image1, QImage& image2, QImage& image7) {
  ImageCanvas c1(image1), c2(image2), c7(image7);
  tarnwell::DrawResultCharts(year, c1, c2, c7);
}

}  // namespace tarnwell::gui
