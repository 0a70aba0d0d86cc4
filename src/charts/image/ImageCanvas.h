// The chart canvas over a QImage: the window's Image1, Image2 and Image7, and the PNG
// files of the command line. Text is drawn in "MS Sans Serif" with the Debian CJK
// families after it, 12 pixels high.
#pragma once

#include <QImage>
#include <QPainter>
#include <functional>
#include <string>

#include "charts/Canvas.h"

namespace tarnwell {

struct ModelState;

class ImageCanvas : public Canvas {
 public:
  explicit ImageCanvas(QImage& image);
  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }
  void SetPen(Colour c, int width, PenStyle style) override;
  void MoveTo(int x, int y) override { x_ = x, y_ = y; }
  void LineTo(int x, int y) override;
  void Polyline(const std::vector<Point>& points) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  void TextOut(int x, int y, const std::string& text) override;
  // Measured with the painter's font.
  int TextWidth(const std::string& text) const override;

 private:
  QImage& image_;
  QPainter painter_;
  int x_ = 0, y_ = 0;
};

// The font of the chart labels.
QFont ChartFont();

// Draws the three charts of a year (frame and series) on fresh images of the given size.
struct ChartImages {
  QImage runoff, sediment, snowFrost;
};
ChartImages RenderCharts(const ModelState& year, int width, int height);

}  // namespace tarnwell

namespace tarnwell {
// Text needs a Qt application object; a program without windows (the command line) gets
// one on the offscreen platform, so no display is needed.
void EnsureImageApplication();
// Writes image as a PNG file; false when the file cannot be written.
bool SavePng(const QImage& image, const std::string& path);
// Draws on a fresh white image of the given size and writes it as a PNG file (the image
// application is made when missing); false when the file cannot be written.
bool DrawPng(int width, int height, const std::function<void(Canvas&)>& draw, const std::string& path);
}  // namespace tarnwell
