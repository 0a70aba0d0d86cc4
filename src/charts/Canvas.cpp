#include "charts/Canvas.h"

namespace tarnwell {

void Canvas::Polyline(const std::vector<Point>& points) {
  if (points.empty()) return;
  MoveTo(points.front().x, points.front().y);
  for (std::size_t i = 1; i < points.size(); ++i) LineTo(points[i].x, points[i].y);
}

int Canvas::TextWidth(const std::string& text) const {
  int width = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) width += 8;
    else if (byte >= 0xC0) width += 12;  // the lead byte of a multi-byte character
  }
  return width;
}

}  // namespace tarnwell
