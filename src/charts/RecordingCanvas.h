// A canvas that keeps every drawing call as a line of text ("pen 255,0,0 2 solid",
// "line 45 514 813 514", "polyline 47 191 49 191 51 191", "text 50 10 1990年",
// "rect 0 0 853 554"), for checking geometry. Text widths are the canvas's estimate.
#pragma once

#include <string>
#include <vector>

#include "charts/Canvas.h"

namespace tarnwell {

class RecordingCanvas : public Canvas {
 public:
  RecordingCanvas(int width, int height) : width_(width), height_(height) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetPen(Colour c, int width, PenStyle style) override;
  void MoveTo(int x, int y) override { x_ = x, y_ = y; }
  void LineTo(int x, int y) override;
  void Polyline(const std::vector<Point>& points) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  void TextOut(int x, int y, const std::string& text) override;

  // Every call so far, in order; a Rectangle (the clearing of a frame) starts over.
  const std::vector<std::string>& Calls() const { return calls_; }
  // The lines drawn with the given colour, as "x1 y1 x2 y2"; a polyline gives one line per
  // pair of successive points.
  std::vector<std::string> LinesIn(Colour c) const;
  // The texts written, as "x y text".
  std::vector<std::string> Texts() const;
  // The polylines drawn, each with the pen (style included) it was drawn with.
  struct DrawnPolyline {
    Colour colour;
    PenStyle style;
    std::vector<Point> points;
  };
  const std::vector<DrawnPolyline>& Polylines() const { return polylines_; }

 private:
  int width_, height_, x_ = 0, y_ = 0;
  Colour pen_{};
  PenStyle style_ = PenStyle::Solid;
  std::vector<std::string> calls_;
  std::vector<std::pair<Colour, std::string>> lines_;
  std::vector<DrawnPolyline> polylines_;
};

}  // namespace tarnwell
