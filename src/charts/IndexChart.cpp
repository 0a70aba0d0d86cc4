#include "charts/IndexChart.h"

#include <algorithm>
#include <cmath>

#include "charts/XYChart.h"

namespace tarnwell {

namespace {

constexpr int kTop = 56, kBottom = 52, kRight = 24, kBar = 8, kGap = 10;  // pixels

int RowHeight(const IndexChart& chart) {
  return static_cast<int>(std::max<std::size_t>(1, chart.series.size())) * kBar + kGap;
}

}  // namespace

int IndexChartHeight(const IndexChart& chart) {
  return kTop + kBottom + static_cast<int>(chart.rows.size()) * RowHeight(chart);
}

void DrawIndexChart(Canvas& canvas, const IndexChart& chart) {
  const int w = canvas.Width(), h = canvas.Height();
  canvas.SetPen(kBlack, 1, PenStyle::Solid);
  canvas.Rectangle(0, 0, w, h);
  int left = 0;
  for (const std::string& row : chart.rows) left = std::max(left, canvas.TextWidth(row));
  left += 16;

  // The value axis spans 0 to 1 and whatever the estimates and their intervals reach beyond
  // (a small index can come out below 0, an estimate of a total above 1).
  double lo = 0, hi = 1;
  for (const IndexSeries& s : chart.series)
    for (const std::vector<double>* v : {&s.value, &s.low, &s.high})
      for (double x : *v)
        if (std::isfinite(x)) lo = std::min(lo, x), hi = std::max(hi, x);
  const std::vector<double> ticks = RoundTicks(lo, hi, 8);
  lo = ticks.front(), hi = ticks.back();
  const int x0 = left, x1 = w - kRight, top = kTop, bottom = h - kBottom;
  const auto px = [&](double v) { return x0 + static_cast<int>(std::lround((v - lo) / (hi - lo) * (x1 - x0))); };

  canvas.Line(x0, bottom, x1, bottom);
  canvas.Line(x0, top, x0, bottom);
  const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1;
  for (double t : ticks) {
    const int x = px(t);
    canvas.SetPen(t == 0 ? kBlack : kSilver, 1, PenStyle::Solid);
    canvas.Line(x, top, x, bottom);
    canvas.SetPen(kBlack, 1, PenStyle::Solid);
    canvas.Line(x, bottom, x, bottom + 5);
    const std::string label = TickLabel(t, step);
    canvas.TextOut(x - canvas.TextWidth(label) / 2, bottom + 8, label);
  }
  canvas.TextOut(x0, 10, chart.title);
  canvas.TextOut((x0 + x1) / 2 - canvas.TextWidth(chart.caption) / 2, h - 22, chart.caption);
  // The legend: a short bar and the series' name, one after the other under the title.
  int legend = x0;
  for (const IndexSeries& s : chart.series) {
    canvas.SetPen(s.colour, kBar, PenStyle::Solid);
    canvas.Line(legend, 34, legend + 20, 34);
    canvas.SetPen(kBlack, 1, PenStyle::Solid);
    canvas.TextOut(legend + 26, 27, s.name);
    legend += 40 + canvas.TextWidth(s.name);
  }

  const int rowHeight = RowHeight(chart);
  for (std::size_t r = 0; r < chart.rows.size(); ++r) {
    const int rowTop = top + static_cast<int>(r) * rowHeight + kGap / 2;
    canvas.SetPen(kBlack, 1, PenStyle::Solid);
    const int barsMiddle = rowTop + static_cast<int>(chart.series.size()) * kBar / 2;
    canvas.TextOut(left - 8 - canvas.TextWidth(chart.rows[r]), barsMiddle - 7, chart.rows[r]);
    for (std::size_t k = 0; k < chart.series.size(); ++k) {
      const IndexSeries& s = chart.series[k];
      const int y = rowTop + static_cast<int>(k) * kBar + kBar / 2;
      if (r < s.value.size() && std::isfinite(s.value[r])) {
        canvas.SetPen(s.colour, kBar - 2, PenStyle::Solid);
        canvas.Line(px(0), y, px(s.value[r]), y);
      }
      if (r < s.low.size() && r < s.high.size() && std::isfinite(s.low[r]) && std::isfinite(s.high[r])) {
        canvas.SetPen(kBlack, 1, PenStyle::Solid);
        canvas.Line(px(s.low[r]), y, px(s.high[r]), y);
        canvas.Line(px(s.low[r]), y - 3, px(s.low[r]), y + 4);
        canvas.Line(px(s.high[r]), y - 3, px(s.high[r]), y + 4);
      }
    }
  }
}

}  // namespace tarnwell
