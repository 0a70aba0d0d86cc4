// The drawing surface the result charts are drawn on: a pen (colour, width, style), a
// current point, lines, polylines, a cleared rectangle and text. The window's images, the
// image files of the command line and the tests' recorder implement it.
#pragma once

#include <string>
#include <vector>

namespace tarnwell {

struct Colour {
  int r = 0, g = 0, b = 0;
  bool operator==(const Colour&) const = default;
};

inline constexpr Colour kBlue{0, 0, 255}, kGreen{0, 128, 0}, kRed{255, 0, 0}, kYellow{255, 255, 0},
    kSilver{192, 192, 192}, kBlack{0, 0, 0};

enum class PenStyle { Solid, Dot, DashDot };

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetPen(Colour colour, int width, PenStyle style) = 0;
  virtual void MoveTo(int x, int y) = 0;
  // A line from the current point to (x, y), which becomes the current point.
  virtual void LineTo(int x, int y) = 0;
  // One connected line through the points, the last of which becomes the current point. A
  // dotted or dash-dot pen runs its pattern on along the whole line instead of starting
  // it anew at every point, so a daily series with short steps still reads as dotted.
  virtual void Polyline(const std::vector<Point>& points);
  // Fills (x1, y1)-(x2, y2) white and outlines it with the pen.
  virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
  // UTF-8 text with its top-left corner at (x, y), in the canvas's default font.
  virtual void TextOut(int x, int y, const std::string& text) = 0;
  // Width in pixels of text in the canvas's default font. Without a font to measure, an
  // estimate for the 12-pixel chart font, a little wide for most texts: 8 pixels for a
  // character of the ASCII range, 12 for any other (a CJK character is square).
  virtual int TextWidth(const std::string& text) const;

  void Line(int x1, int y1, int x2, int y2) {
    MoveTo(x1, y1);
    LineTo(x2, y2);
  }
};

}  // namespace tarnwell
