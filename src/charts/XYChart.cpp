#include "charts/XYChart.h"

#include <algorithm>
#include <cstdio>

#include "charts/Canvas.h"

namespace tarnwell {

namespace {

constexpr int kLeft = 78, kRight = 24, kTop = 46, kBottom = 52;  // plot margins, pixels
constexpr int kCharWidth = 7;                                    // of the 12-pixel chart font

// Maps data to pixels across a plot edge.
struct Axis {
  double lo = 0, hi = 1;
  bool log = false;
  int from = 0, to = 1;  // pixel positions of lo and hi
  double Scale(double v) const { return log ? std::log10(v) : v; }
  int Pixel(double v) const {
    const double a = Scale(lo), b = Scale(hi);
    return from + static_cast<int>(std::lround((Scale(v) - a) / (b - a) * (to - from)));
  }
  bool Holds(double v) const {
    if (!std::isfinite(v) || (log && v <= 0)) return false;
    const double a = Scale(lo), b = Scale(hi), s = Scale(v), tolerance = (b - a) * 1e-9;
    return s >= a - tolerance && s <= b + tolerance;
  }
};

double Step(const std::vector<double>& ticks) { return ticks.size() > 1 ? ticks[1] - ticks[0] : 1; }

// The data range of one coordinate over every series, as [lo, hi].
void DataRange(const XYChart& chart, bool xCoordinate, bool positiveOnly, double& lo, double& hi) {
  lo = INFINITY, hi = -INFINITY;
  for (const XYSeries& s : chart.series)
    for (std::size_t i = 0; i < s.x.size() && i < s.y.size(); ++i) {
      const double v = xCoordinate ? s.x[i] : s.y[i];
      if (!std::isfinite(v) || (positiveOnly && v <= 0)) continue;
      lo = std::min(lo, v), hi = std::max(hi, v);
    }
  if (!(lo <= hi)) lo = positiveOnly ? 1 : 0, hi = positiveOnly ? 10 : 1;
  if (lo == hi) {
    const double pad = lo == 0 ? 1 : std::fabs(lo) * 0.1;
    lo = positiveOnly ? lo / 2 : lo - pad, hi = positiveOnly ? hi * 2 : hi + pad;
  }
}

}  // namespace

std::vector<double> RoundTicks(double lo, double hi, int maxTicks) {
  if (!(hi > lo) || maxTicks < 2) return {lo, hi};
  const double raw = (hi - lo) / (maxTicks - 1);
  double power = std::pow(10, std::floor(std::log10(raw)));
  double step = power * 10;
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * power >= raw) {
      step = m * power;
      break;
    }
  for (;;) {
    const double first = std::floor(lo / step), last = std::ceil(hi / step);
    if (last - first + 1 <= maxTicks) {
      std::vector<double> ticks;
      for (double k = first; k <= last; ++k) ticks.push_back(k * step == 0 ? 0 : k * step);
      return ticks;
    }
    // Rounding outwards can add a tick at each end: take the next round step.
    const double m = step / power;
    if (m < 1.5) step = 2 * power;
    else if (m < 3) step = 5 * power;
    else power *= 10, step = power;
  }
}

std::vector<double> LogTicks(double lo, double hi) {
  const int first = static_cast<int>(std::floor(std::log10(lo) + 1e-9));
  const int last = static_cast<int>(std::ceil(std::log10(hi) - 1e-9));
  const bool fine = std::log10(hi / lo) < 3;
  std::vector<double> ticks;
  for (int e = first; e <= last; ++e)
    for (double m : {1.0, 2.0, 5.0}) {
      if (m != 1 && !fine) continue;
      const double v = m * std::pow(10, e);
      if (v >= lo * (1 - 1e-9) && v <= hi * (1 + 1e-9)) ticks.push_back(v);
    }
  return ticks;
}

std::string TickLabel(double value, double step) {
  char buf[32];
  const double magnitude = std::max(std::fabs(value), std::fabs(step));
  if (magnitude >= 1e6 || (step > 0 && step < 1e-4)) {
    std::snprintf(buf, sizeof buf, "%g", value);
  } else {
    const int decimals = step > 0 ? std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9))) : 0;
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  }
  std::string s = buf;
  // A value that rounds to zero is written without its sign.
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

void DrawXYChart(Canvas& canvas, const XYChart& chart) {
  const int w = canvas.Width(), h = canvas.Height();
  canvas.SetPen(kBlack, 1, PenStyle::Solid);
  canvas.Rectangle(0, 0, w, h);

  Axis x, y;
  x.log = chart.logX;
  x.from = kLeft, x.to = w - kRight;
  y.from = h - kBottom, y.to = kTop;
  double lo, hi;
  DataRange(chart, true, chart.logX, lo, hi);
  if (std::isfinite(chart.xMin)) lo = chart.xMin;
  if (std::isfinite(chart.xMax)) hi = chart.xMax;
  std::vector<double> xTicks;
  if (chart.logX) {
    x.lo = lo, x.hi = hi;
    xTicks = LogTicks(lo, hi);
  } else {
    xTicks = RoundTicks(lo, hi, 8);
    x.lo = std::isfinite(chart.xMin) ? lo : xTicks.front();
    x.hi = std::isfinite(chart.xMax) ? hi : xTicks.back();
  }
  y.log = chart.logY;
  DataRange(chart, false, chart.logY, lo, hi);
  if (std::isfinite(chart.yMin)) lo = chart.yMin;
  if (std::isfinite(chart.yMax)) hi = chart.yMax;
  std::vector<double> yTicks;
  if (chart.logY) {
    y.lo = lo, y.hi = hi;
    yTicks = LogTicks(lo, hi);
  } else {
    yTicks = RoundTicks(lo, hi, 7);
    y.lo = std::isfinite(chart.yMin) ? lo : yTicks.front();
    y.hi = std::isfinite(chart.yMax) ? hi : yTicks.back();
  }

  // Frame, ticks and their labels.
  canvas.Line(x.from, y.from, x.to, y.from);
  canvas.Line(x.to, y.from, x.to, y.to);
  canvas.Line(x.to, y.to, x.from, y.to);
  canvas.Line(x.from, y.to, x.from, y.from);
  const double xStep = Step(xTicks), yStep = Step(yTicks);
  for (double t : xTicks) {
    if (!x.Holds(t)) continue;
    const int px = x.Pixel(t);
    canvas.Line(px, y.from, px, y.from + 5);
    const std::string label = chart.logX ? TickLabel(t, t) : TickLabel(t, xStep);
    canvas.TextOut(px - kCharWidth * static_cast<int>(label.size()) / 2, y.from + 8, label);
  }
  for (double t : yTicks) {
    if (!y.Holds(t)) continue;
    const int py = y.Pixel(t);
    canvas.Line(x.from - 5, py, x.from, py);
    const std::string label = chart.logY ? TickLabel(t, t) : TickLabel(t, yStep);
    canvas.TextOut(x.from - 8 - kCharWidth * static_cast<int>(label.size()), py - 7, label);
  }
  canvas.TextOut(kLeft, 10, chart.title);
  if (!chart.note.empty()) canvas.TextOut(kLeft, 26, chart.note);
  canvas.TextOut((x.from + x.to) / 2 - kCharWidth * static_cast<int>(chart.xCaption.size()) / 2, h - 22,
                 chart.xCaption);
  canvas.TextOut(8, kTop - 18, chart.yCaption);

  for (const XYSeries& s : chart.series) {
    canvas.SetPen(s.colour, s.style == XYStyle::Points ? 1 : s.width, PenStyle::Solid);
    bool drawing = false;  // a line continues from the last point drawn
    int lastX = 0, lastY = 0;
    for (std::size_t i = 0; i < s.x.size() && i < s.y.size(); ++i) {
      if (!x.Holds(s.x[i]) || !y.Holds(s.y[i])) {
        drawing = false;
        continue;
      }
      const int px = x.Pixel(s.x[i]), py = y.Pixel(s.y[i]);
      switch (s.style) {
        case XYStyle::Points:
          canvas.Line(px - s.width, py, px + s.width + 1, py);
          canvas.Line(px, py - s.width, px, py + s.width + 1);
          break;
        case XYStyle::Line:
          if (drawing) canvas.Line(lastX, lastY, px, py);
          break;
        case XYStyle::Steps:
          if (drawing) {
            canvas.Line(lastX, lastY, px, lastY);
            canvas.LineTo(px, py);
          }
          break;
      }
      drawing = true;
      lastX = px, lastY = py;
    }
  }
  canvas.SetPen(kBlack, 1, PenStyle::Solid);
  for (const XYChart::Label& l : chart.labels)
    if (x.Holds(l.x) && y.Holds(l.y)) canvas.TextOut(x.Pixel(l.x) + 5, y.Pixel(l.y) - 14, l.text);
}

}  // namespace tarnwell
