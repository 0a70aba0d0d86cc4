#include "charts/Graph.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "charts/Canvas.h"
#include "model/ModelState.h"
#include "model/Observation.h"

namespace tarnwell {

namespace {

constexpr int kLeft = 45;
// The frame's black border: text of the right margin ends inside it.
constexpr int kBorder = 3;
// Pixel positions far outside any image still convert safely, and stay far enough from the
// integer range that the offsets added to them cannot overflow.
constexpr double kPixelLimit = 32767;

// A pixel position: rounded to the nearest integer, halves to even. A value far off the
// image (a huge series value on a fixed scale, an infinite or undefined one) is held at
// the edge of the safe range before it becomes an integer.
int Rnd(double x) {
  if (std::isnan(x)) return 0;
  return static_cast<int>(std::nearbyint(std::clamp(x, -kPixelLimit, kPixelLimit)));
}

int Right(const Canvas& c) { return c.Width() - 40; }

// A label value rounded to one decimal, in the shortest general form (0, 1.7, 10). The
// rounding stays in floating point, so a value of any size keeps its magnitude.
std::string Label(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", std::nearbyint(v * 10) / 10);
  return std::string(buf) == "-0" ? "0" : buf;
}

// Text of the right margin at (x, y); a text too wide for the margin moves left so that it
// ends inside the border.
void RightMarginText(Canvas& c, int x, int y, const std::string& text) {
  c.TextOut(std::min(x, c.Width() - kBorder - 1 - c.TextWidth(text)), y, text);
}

std::string Month(int m) { return std::to_string(m) + "月"; }

struct Scale {
  int W, H, L, R, N;
  int X(int k) const { return L + Rnd(static_cast<double>(R - L) * k / N); }
};

// Value of 0-based index k (day k + 1). Past the last day of the table: 0.
double At(const DaySeries& s, int k) {
  const auto i = static_cast<std::size_t>(k + 1);
  return i < s.size() ? s[i] : 0.0;
}

// One polyline through indices 1 .. n-2, so a dotted pen stays dotted; M sits two thirds
// of the way from the base line B - o up to T.
void PlotLine(Canvas& c, const Scale& g, int n, int o, const DaySeries& s, double M, int B, int T, Colour colour,
              PenStyle style) {
  if (n - 2 < 1) return;
  c.SetPen(colour, 2, style);
  auto y = [&](int k) { return Rnd(At(s, k) / M * (T - B + o) * 2 / 3) + B - o; };
  std::vector<Point> points;
  points.reserve(static_cast<std::size_t>(n - 2));
  for (int k = 1; k <= n - 2; ++k) points.push_back({g.X(k), y(k)});
  c.Polyline(points);
}

// An observed series: a polyline through each run of observed days among indices 1 .. n-2,
// so a day without observation leaves a gap instead of a dive to its mark.
void PlotObservedLine(Canvas& c, const Scale& g, int n, const DaySeries& s, double M, int B, int T, Colour colour) {
  if (n - 2 < 1) return;
  c.SetPen(colour, 2, PenStyle::Solid);
  std::vector<Point> run;
  auto flush = [&] {
    // A lone observed day between gaps is drawn as a dot.
    if (run.size() == 1) run.push_back(run.front());
    if (!run.empty()) c.Polyline(run);
    run.clear();
  };
  for (int k = 1; k <= n - 2; ++k) {
    const double v = At(s, k);
    if (!IsObserved(v)) {
      flush();
      continue;
    }
    run.push_back({g.X(k), Rnd(v / M * (T - B) * 2 / 3) + B});
  }
  flush();
}

// The largest observed value of the first n days; 0 when none is observed.
double ObservedMax(const DaySeries& s, int n) {
  double m = 0;
  for (int k = 0; k < n; ++k)
    if (IsObserved(At(s, k))) m = std::max(m, At(s, k));
  return m;
}

// Steps hanging from the top; M reaches a quarter of the height.
void PlotHyetograph(Canvas& c, const Scale& g, int n, int o, const DaySeries& s, double M, Colour colour) {
  const int B = g.H - 20, T = 30;
  c.SetPen(colour, 2, PenStyle::Solid);
  auto y = [&](int k) { return T - Rnd(At(s, k) / M * (T - B + o) / 4); };
  for (int k = 0; k <= n - 4; ++k) {
    c.MoveTo(g.X(k), y(k));
    c.LineTo(g.X(k + 1), y(k));
    c.LineTo(g.X(k + 1), y(k + 1));
  }
}

// Columns from the base line B - o; positive values downward.
void PlotColumns(Canvas& c, const Scale& g, int n, int o, const DaySeries& s, double M, Colour colour) {
  const int B = g.H - 20, T = 0;
  c.SetPen(colour, 2, PenStyle::Solid);
  auto y = [&](int k) { return (T + B - o) - Rnd(At(s, k) / M * (T - B + o) / 4); };
  for (int k = 1; k <= n - 1; ++k) {
    c.MoveTo(g.X(k), B - o);
    c.LineTo(g.X(k), y(k));
    // The last column ends at its own day's value: the day after is not in the year.
    c.LineTo(g.X(k + 1), y(k + 1 <= n - 1 ? k + 1 : k));
  }
}

void DrawFlowAxisLabels(Canvas& c, const Scale& g, int o, double Mp, double Mq, double base, const char* leftTitle) {
  const int B = g.H - 20, T = 30;
  c.SetPen(kBlack, 1, PenStyle::Solid);
  auto leftY = [&](int k) { return Rnd(2.0 * (T - B + o) / 3 / 6 * k) + B - o - 5; };
  auto rightY = [&](int k) { return T - Rnd(static_cast<double>(T - B + o) / 4 / 6 * k) - o - 5; };
  for (int k = 0; k <= 6; ++k) {
    c.TextOut(g.L - 40, leftY(k), Label(Mq / 6 * k + base));
    RightMarginText(c, g.R + 5, rightY(k), Label(Mp / 6 * k + base));
  }
  c.TextOut(g.L - 40, leftY(7), leftTitle);
  RightMarginText(c, g.R + 5, rightY(7), "P(mm)");
}

void DrawSnowFrostAxes(Canvas& c, const Scale& g, int o, double base, double Ms, double Mf, double Mt, double Mg) {
  const int B = g.H - 20, T = 20;
  const int yB = B - o;
  const double s = 2.0 * (T - B + o) / 3 / 5;
  c.SetPen(kBlack, 1, PenStyle::Solid);
  for (int k = 0; k <= 5; ++k) {
    c.TextOut(5, yB + Rnd(s * k), Label(Ms / 5 * k + base));
    c.TextOut(5, yB - Rnd(s * k), Label(Mf / 5 * k + base));
    RightMarginText(c, g.R + 5, yB + Rnd(s * k), Label(Mt / 5 * k + base));
    RightMarginText(c, g.R + 5, yB - Rnd(s * k), Label(Mg / 5 * k + base));
  }
  c.TextOut(5, yB + Rnd(6 * s), "snow");
  c.TextOut(5, yB - Rnd(6 * s), "frost");
  RightMarginText(c, g.R + 5, yB + Rnd(6 * s), "temp");
  RightMarginText(c, g.R + 5, yB - Rnd(6 * s), "Gwater");
  c.TextOut(5, yB + Rnd(5.5 * s), "(mm)");
  c.TextOut(5, yB - Rnd(5.5 * s), "(mm)");
  RightMarginText(c, g.R + 5, yB + Rnd(5.5 * s), "(℃)");
  RightMarginText(c, g.R + 5, yB - Rnd(5.5 * s), "( M)");
  c.SetPen(kBlack, 3, PenStyle::Solid);
  c.Line(g.L, yB, g.R, yB);
  for (int m = 1; m <= 12; ++m) {
    const int x = g.L + Rnd(static_cast<double>(g.R - g.L) / 12 * m);
    c.Line(x, yB, x, yB + 5);
    c.TextOut(g.L + Rnd(static_cast<double>(g.R - g.L) / 12 * (2 * m - 1) / 2), yB + 3, Month(m));
  }
}

void DrawLegendItem(Canvas& c, Colour colour, const char* caption, int slotCount, int slot) {
  const int L = kLeft, R = Right(c);
  const int gap = 10, length = 30, xShift = -10, yRaise = 15;
  const int x0 = L + Rnd(static_cast<double>(R - L) / slotCount * slot) + xShift;
  c.SetPen(colour, 3, PenStyle::Solid);
  c.Line(x0, 30 - yRaise, x0 + length, 30 - yRaise);
  c.SetPen(kBlack, 1, PenStyle::Solid);
  c.TextOut(x0 + length + gap, 30 - yRaise - 5, caption);
}

}  // namespace

void DrawChartFrame(Canvas& c, ChartKind kind, int year) {
  const int W = c.Width(), H = c.Height();
  const int L = kLeft, R = Right(c), B = H - 40, T = 30;
  c.SetPen(kBlack, 3, PenStyle::Solid);
  c.Rectangle(0, 0, W, H);
  c.SetPen(kBlack, 1, PenStyle::Solid);
  c.Line(L, B, L, T);
  c.Line(L, B, R, B);
  if (kind != ChartKind::SnowFrost) {
    for (int m = 1; m <= 12; ++m) {
      const int x = L + Rnd(static_cast<double>(R - L) / 12 * m);
      c.Line(x, B, x, B + 5);
      c.TextOut(L + Rnd(static_cast<double>(R - L) / 12 * (2 * m - 1) / 2) - 5, B + 3, Month(m));
    }
    for (int k = 0; k <= 6; ++k) {
      const int yk = B + Rnd(2.0 * (T - B) / 3 / 6 * k);
      c.Line(L, yk, L + 7, yk);
      const int zk = T - Rnd(static_cast<double>(T - B) / 4 / 6 * k);
      c.Line(R, zk, R - 7, zk);
    }
  }
  c.SetPen(kBlue, 1, PenStyle::Solid);
  c.Line(R, B, R, T);
  c.Line(R, T, L, T);
  switch (kind) {
    case ChartKind::Runoff:
      DrawLegendItem(c, kRed, "模拟流量", 4, 1);
      DrawLegendItem(c, kGreen, "观测流量", 4, 2);
      DrawLegendItem(c, kBlue, "降雨量", 4, 3);
      break;
    case ChartKind::Sediment:
      DrawLegendItem(c, kRed, "模拟输沙量", 4, 1);
      DrawLegendItem(c, kGreen, "观测输沙量", 4, 2);
      DrawLegendItem(c, kBlue, "降雨量", 4, 3);
      break;
    case ChartKind::SnowFrost:
      DrawLegendItem(c, kYellow, "积雪深度", 5, 1);
      DrawLegendItem(c, kSilver, "冻土深度", 5, 2);
      DrawLegendItem(c, kGreen, "气温", 5, 3);
      DrawLegendItem(c, kBlack, "地下水位", 5, 4);
      break;
  }
  c.SetPen(kBlack, 1, PenStyle::Solid);
  c.TextOut(50, 10, std::to_string(year) + "年");
}

void DrawResultCharts(const ModelState& y, Canvas& image1, Canvas& image2, Canvas& image7) {
  const int n = std::clamp(y.DayCount == 0 ? y.DaysInYear : y.DayCount, 0, kMaxDays);
  double obsFlowMax = 0, simFlowMax = 0, precipMax = 0, obsSedMax = 0, simSedMax = 0;
  for (int k = 0; k < n; ++k) {
    simFlowMax = std::max(simFlowMax, At(y.SimFlow, k));
    precipMax = std::max(precipMax, At(y.MeanPrecip, k));
    simSedMax = std::max(simSedMax, At(y.SimSediment, k));
  }
  obsFlowMax = ObservedMax(y.ObsFlow, n);
  obsSedMax = ObservedMax(y.ObsSediment, n);
  const double flowScale = std::max(10.0, std::max(obsFlowMax, simFlowMax));
  const double sedScale = std::max(10.0, std::max(obsSedMax, simSedMax));
  // A year without precipitation hangs nothing from the top: scale 1 instead of 0.
  const double precipScale = precipMax > 0 ? precipMax : 1.0;
  const int daysInYear = y.DaysInYear > 0 ? y.DaysInYear : 365;
  auto scale = [&](const Canvas& c) { return Scale{c.Width(), c.Height(), kLeft, Right(c), daysInYear}; };

  {
    const Scale g = scale(image2);
    DrawFlowAxisLabels(image2, g, 0, precipMax, sedScale, 0, "Qs(t)");
    PlotHyetograph(image2, g, n, 0, y.MeanPrecip, precipScale, kBlue);
    PlotObservedLine(image2, g, n, y.ObsSediment, sedScale, g.H - 40, 30, kGreen);
    PlotLine(image2, g, n, 0, y.SimSediment, sedScale, g.H - 40, 30, kRed, PenStyle::DashDot);
  }
  {
    const Scale g = scale(image7);
    DaySeries negatedSnow{};
    for (int d = 1; d <= n; ++d)
      negatedSnow[static_cast<std::size_t>(d)] = -y.MeanSnowPack[static_cast<std::size_t>(d)];
    DrawSnowFrostAxes(image7, g, 250, 0, 100, 100, 50, 5);
    PlotHyetograph(image7, g, n, 0, y.MeanPrecip, precipScale, kBlue);
    PlotColumns(image7, g, n, 250, negatedSnow, 100, kYellow);
    // The line lies about the base line (bottom H - 20, top 0), near the column tops.
    PlotLine(image7, g, n, 250, y.MeanSnowPack, 270, g.H - 20, 0, kSilver, PenStyle::Solid);
    PlotColumns(image7, g, n, 250, y.MeanFrozen, 100, kSilver);
    PlotLine(image7, g, n, 250, y.AirTempAdj, 50, g.H - 20, 0, kGreen, PenStyle::Solid);
    PlotLine(image7, g, n, 250, y.GroundWaterLevel, 5, g.H - 20, 0, kBlack, PenStyle::DashDot);
  }
  {
    const Scale g = scale(image1);
    // The whole basin draws its outlet discharge, a sub-basin its runoff depth.
    const bool wholeBasin = y.SubBasinCount > 0 && y.SelectedSubBasin == y.SubBasinCount + 1;
    DrawFlowAxisLabels(image1, g, 0, precipMax, flowScale, 0, wholeBasin ? "Qf(m3/s)" : "Qf(mm)");
    PlotHyetograph(image1, g, n, 0, y.MeanPrecip, precipScale, kBlue);
    PlotObservedLine(image1, g, n, y.ObsFlow, flowScale, g.H - 40, 30, kGreen);
    PlotLine(image1, g, n, 0, y.SimFlow, flowScale, g.H - 40, 30, kRed, PenStyle::Dot);
  }
}

}  // namespace tarnwell
