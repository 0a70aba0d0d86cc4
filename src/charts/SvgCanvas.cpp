#include "charts/SvgCanvas.h"

#include <cstdio>

namespace tarnwell {

namespace {

std::string Rgb(Colour c) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r & 255, c.g & 255, c.b & 255);
  return buf;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char ch : text) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += ch;
    }
  }
  return out;
}

}  // namespace

void SvgCanvas::EndPath() {
  if (!path_.empty()) body_ += "<path d=\"" + path_ + "\" " + stroke_ + "/>\n";
  path_.clear();
}

void SvgCanvas::SetPen(Colour c, int width, PenStyle style) {
  EndPath();
  stroke_ = "fill=\"none\" stroke=\"" + Rgb(c) + "\" stroke-width=\"" + std::to_string(width) + "\"";
  if (style == PenStyle::Dot) stroke_ += " stroke-dasharray=\"2 2\"";
  if (style == PenStyle::DashDot) stroke_ += " stroke-dasharray=\"8 3 2 3\"";
}

void SvgCanvas::MoveTo(int x, int y) { path_ += "M" + std::to_string(x) + " " + std::to_string(y); }

void SvgCanvas::LineTo(int x, int y) {
  if (path_.empty()) path_ = "M0 0";
  path_ += "L" + std::to_string(x) + " " + std::to_string(y);
}

void SvgCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  path_.clear();
  body_.clear();
  // The border lies inside the picture, as on a window image.
  body_ += "<rect x=\"" + std::to_string(x1 + 1) + "\" y=\"" + std::to_string(y1 + 1) + "\" width=\"" +
           std::to_string(x2 - x1 - 3) + "\" height=\"" + std::to_string(y2 - y1 - 3) + "\" fill=\"#ffffff\" " +
           (stroke_.empty() ? std::string("stroke=\"#000000\" stroke-width=\"1\"")
                            : stroke_.substr(stroke_.find("stroke="))) +
           "/>\n";
}

void SvgCanvas::TextOut(int x, int y, const std::string& text) {
  EndPath();
  body_ += "<text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" dominant-baseline=\"hanging\">" +
           Escaped(text) + "</text>\n";
}

std::string SvgCanvas::Document() const {
  std::string tail;
  if (!path_.empty()) tail = "<path d=\"" + path_ + "\" " + stroke_ + "/>\n";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
         std::to_string(width_) + "\" height=\"" + std::to_string(height_) + "\" viewBox=\"0 0 " +
         std::to_string(width_) + " " + std::to_string(height_) +
         "\" font-family=\"'Noto Sans CJK SC', 'WenQuanYi Zen Hei', sans-serif\" font-size=\"12\">\n" + body_ + tail +
         "</svg>\n";
}

}  // namespace tarnwell
