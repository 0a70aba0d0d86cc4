// A canvas that keeps every drawing call as a line of text ("pen 255,0,0 2 solid",
// "line 45 514 813 514", "text 50 10 1990年", "rect 0 0 853 554"), for checking geometry.
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
  void Rectangle(int x1, int y1, int x2, int y2) override;
  void TextOut(int x, int y, const std::string& text) override;

  // Every call so far, in order; a Rectangle (the clearing of a frame) starts over.
  const std::vector<std::string>& Calls() const { return calls_; }
  // The lines drawn with the given colour, as "x1 y1 x2 y2".
  std::vector<std::string> LinesIn(Colour c) const;
  // The texts written, as "x y text".
  std::vector<std::string> Texts() const;

 private:
  int width_, height_, x_ = 0, y_ = 0;
  Colour pen_{};
  std::vector<std::string> calls_;
  std::vector<std::pair<Colour, std::string>> lines_;
};

}  // namespace tarnwell
