// A canvas that writes an SVG document (for print): lines as paths, text as text in a
// sans-serif CJK-capable font, at the canvas's pixel size. The lines of one pen between
// two moves form one subpath, so a polyline keeps its dash pattern running. A viewer's
// font is unknown here, so text widths are the canvas's estimate.
#pragma once

#include <string>

#include "charts/Canvas.h"

namespace tarnwell {

class SvgCanvas : public Canvas {
 public:
  SvgCanvas(int width, int height) : width_(width), height_(height) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetPen(Colour c, int width, PenStyle style) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  void TextOut(int x, int y, const std::string& text) override;

  // The whole document.
  std::string Document() const;

 private:
  void EndPath();
  int width_, height_;
  std::string body_, path_, stroke_;
};

}  // namespace tarnwell
