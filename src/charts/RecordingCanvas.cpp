#include "charts/RecordingCanvas.h"

namespace tarnwell {

namespace {
const char* StyleName(PenStyle s) {
  switch (s) {
    case PenStyle::Dot: return "dot";
    case PenStyle::DashDot: return "dashdot";
    default: return "solid";
  }
}
}  // namespace

void RecordingCanvas::SetPen(Colour c, int width, PenStyle style) {
  pen_ = c;
  style_ = style;
  calls_.push_back("pen " + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + " " +
                   std::to_string(width) + " " + StyleName(style));
}

void RecordingCanvas::LineTo(int x, int y) {
  std::string l = std::to_string(x_) + " " + std::to_string(y_) + " " + std::to_string(x) + " " + std::to_string(y);
  calls_.push_back("line " + l);
  lines_.emplace_back(pen_, l);
  x_ = x, y_ = y;
}

void RecordingCanvas::Polyline(const std::vector<Point>& points) {
  if (points.empty()) return;
  std::string call = "polyline";
  for (const Point& p : points) call += " " + std::to_string(p.x) + " " + std::to_string(p.y);
  calls_.push_back(call);
  for (std::size_t i = 1; i < points.size(); ++i)
    lines_.emplace_back(pen_, std::to_string(points[i - 1].x) + " " + std::to_string(points[i - 1].y) + " " +
                                  std::to_string(points[i].x) + " " + std::to_string(points[i].y));
  polylines_.push_back({pen_, style_, points});
  x_ = points.back().x, y_ = points.back().y;
}

void RecordingCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  calls_.clear();
  lines_.clear();
  polylines_.clear();
  calls_.push_back("rect " + std::to_string(x1) + " " + std::to_string(y1) + " " + std::to_string(x2) + " " +
                   std::to_string(y2));
}

void RecordingCanvas::TextOut(int x, int y, const std::string& text) {
  calls_.push_back("text " + std::to_string(x) + " " + std::to_string(y) + " " + text);
}

std::vector<std::string> RecordingCanvas::LinesIn(Colour c) const {
  std::vector<std::string> out;
  for (const auto& [colour, l] : lines_)
    if (colour == c) out.push_back(l);
  return out;
}

std::vector<std::string> RecordingCanvas::Texts() const {
  std::vector<std::string> out;
  for (const auto& call : calls_)
    if (call.rfind("text ", 0) == 0) out.push_back(call.substr(5));
  return out;
}

}  // namespace tarnwell
