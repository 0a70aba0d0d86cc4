#include "gui/ChartPainter.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "gui/GuiSupport.h"
#include "model/ModelState.h"

namespace tarnwell::gui {

namespace {

constexpr int kLeft = 45;
const QColor kBlue(0, 0, 255), kGreen(0, 128, 0), kRed(255, 0, 0), kYellow(255, 255, 0),
    kSilver(192, 192, 192), kBlack(0, 0, 0);

// Rounding to the nearest integer, halves to even.
int Rnd(double x) { return static_cast<int>(std::nearbyint(x)); }

int Right(const QImage& image) { return image.width() - 40; }

QFont CanvasFont() { return SansSerif(12); }

void SetPen(QPainter& p, const QColor& colour, int width, Qt::PenStyle style = Qt::SolidLine) {
  QPen pen(colour, width, style, Qt::FlatCap, Qt::MiterJoin);
  p.setPen(pen);
}

// Text with its top-left corner at (x, y).
void TextOut(QPainter& p, int x, int y, const QString& text) {
  const QFontMetrics m(p.font());
  p.drawText(QPoint(x, y + m.ascent()), text);
}

// A label value: rounded to one decimal, in the shortest general form (0, 1.7, 10).
QString Label(double v) { return QString::number(Rnd(v * 10) / 10.0, 'g', 15); }

struct Scale {
  int W, H, L, R, N;
  int X(int k) const { return L + Rnd(static_cast<double>(R - L) * k / N); }
};

// Value of 0-based index k (day k + 1).
double At(const DaySeries& s, int k) { return s[static_cast<std::size_t>(k + 1)]; }

void PlotLine(QPainter& p, const Scale& g, int n, int o, const DaySeries& s, double M, int B, int T,
              const QColor& colour, Qt::PenStyle style) {
  SetPen(p, colour, 2, style);
  auto y = [&](int k) { return Rnd(At(s, k) / M * (T - B + o) * 2 / 3) + B - o; };
  QPoint last(g.X(1), y(1));
  for (int k = 2; k <= n - 2; ++k) {
    const QPoint next(g.X(k), y(k));
    p.drawLine(last, next);
    last = next;
  }
}

void PlotHyetograph(QPainter& p, const Scale& g, int n, int o, const DaySeries& s, double M,
                    const QColor& colour) {
  const int B = g.H - 20, T = 30;
  SetPen(p, colour, 2);
  auto y = [&](int k) { return T - Rnd(At(s, k) / M * (T - B + o) / 4); };
  for (int k = 0; k <= n - 4; ++k) {
    p.drawLine(g.X(k), y(k), g.X(k + 1), y(k));
    p.drawLine(g.X(k + 1), y(k), g.X(k + 1), y(k + 1));
  }
}

void PlotColumns(QPainter& p, const Scale& g, int n, int o, const DaySeries& s, double M,
                 const QColor& colour) {
  const int B = g.H - 20, T = 0;
  SetPen(p, colour, 2);
  auto y = [&](int k) { return (T + B - o) - Rnd(At(s, k) / M * (T - B + o) / 4); };
  for (int k = 1; k <= n - 1; ++k) {
    p.drawLine(g.X(k), B - o, g.X(k), y(k));
    // The last column ends at its own day's value: the day after is not in the year.
    const int next = k + 1 <= n - 1 ? k + 1 : k;
    p.drawLine(g.X(k), y(k), g.X(k + 1), y(next));
  }
}

void DrawFlowAxisLabels(QPainter& p, const Scale& g, int o, double Mp, double Mq, double base,
                        const char* leftTitle) {
  const int B = g.H - 20, T = 30;
  SetPen(p, kBlack, 1);
  p.setFont(CanvasFont());
  auto leftY = [&](int k) { return Rnd(2.0 * (T - B + o) / 3 / 6 * k) + B - o - 5; };
  auto rightY = [&](int k) { return T - Rnd(static_cast<double>(T - B + o) / 4 / 6 * k) - o - 5; };
  for (int k = 0; k <= 6; ++k) {
    TextOut(p, g.L - 40, leftY(k), Label(Mq / 6 * k + base));
    TextOut(p, g.R + 5, rightY(k), Label(Mp / 6 * k + base));
  }
  TextOut(p, g.L - 40, leftY(7), leftTitle);
  TextOut(p, g.R + 5, rightY(7), "P(mm)");
}

void DrawSnowFrostAxes(QPainter& p, const Scale& g, int o, double base, double Ms, double Mf,
                       double Mt, double Mg) {
  const int B = g.H - 20, T = 20;
  const int yB = B - o;
  const double s = 2.0 * (T - B + o) / 3 / 5;
  SetPen(p, kBlack, 1);
  p.setFont(CanvasFont());
  for (int k = 0; k <= 5; ++k) {
    TextOut(p, 5, yB + Rnd(s * k), Label(Ms / 5 * k + base));
    TextOut(p, 5, yB - Rnd(s * k), Label(Mf / 5 * k + base));
    TextOut(p, g.R + 5, yB + Rnd(s * k), Label(Mt / 5 * k + base));
    TextOut(p, g.R + 5, yB - Rnd(s * k), Label(Mg / 5 * k + base));
  }
  TextOut(p, 5, yB + Rnd(6 * s), "snow");
  TextOut(p, 5, yB - Rnd(6 * s), "frost");
  TextOut(p, g.R + 5, yB + Rnd(6 * s), "temp");
  TextOut(p, g.R + 5, yB - Rnd(6 * s), "Gwater");
  TextOut(p, 5, yB + Rnd(5.5 * s), "(mm)");
  TextOut(p, 5, yB - Rnd(5.5 * s), "(mm)");
  TextOut(p, g.R + 5, yB + Rnd(5.5 * s), "(℃)");
  TextOut(p, g.R + 5, yB - Rnd(5.5 * s), "( M)");
  SetPen(p, kBlack, 3);
  p.drawLine(g.L, yB, g.R, yB);
  for (int m = 1; m <= 12; ++m) {
    const int x = g.L + Rnd(static_cast<double>(g.R - g.L) / 12 * m);
    p.drawLine(x, yB, x, yB + 5);
    TextOut(p, g.L + Rnd(static_cast<double>(g.R - g.L) / 12 * (2 * m - 1) / 2), yB + 3,
            QString("%1月").arg(m));
  }
}

void DrawLegendItem(QPainter& p, const QImage& image, const QColor& colour, const QString& caption,
                    int slotCount, int slot) {
  const int L = kLeft, R = Right(image);
  const int gap = 10, length = 30, xShift = -10, yRaise = 15;
  const int x0 = L + Rnd(static_cast<double>(R - L) / slotCount * slot) + xShift;
  SetPen(p, colour, 3);
  p.drawLine(x0, 30 - yRaise, x0 + length, 30 - yRaise);
  SetPen(p, kBlack, 1);
  TextOut(p, x0 + length + gap, 30 - yRaise - 5, caption);
}

}  // namespace

void DrawChartFrame(QImage& image, ChartKind kind, int year) {
  QPainter p(&image);
  p.setFont(CanvasFont());
  const int W = image.width(), H = image.height();
  const int L = kLeft, R = Right(image), B = H - 40, T = 30;
  SetPen(p, kBlack, 3);
  p.setBrush(Qt::white);
  p.fillRect(0, 0, W, H, Qt::white);
  p.drawRect(1, 1, W - 3, H - 3);  // the 3-pixel border inside the picture
  p.setBrush(Qt::NoBrush);
  SetPen(p, kBlack, 1);
  p.drawLine(L, B, L, T);
  p.drawLine(L, B, R, B);
  if (kind != ChartKind::SnowFrost) {
    for (int m = 1; m <= 12; ++m) {
      const int x = L + Rnd(static_cast<double>(R - L) / 12 * m);
      p.drawLine(x, B, x, B + 5);
      TextOut(p, L + Rnd(static_cast<double>(R - L) / 12 * (2 * m - 1) / 2) - 5, B + 3,
              QString("%1月").arg(m));
    }
    for (int k = 0; k <= 6; ++k) {
      const int yk = B + Rnd(2.0 * (T - B) / 3 / 6 * k);
      p.drawLine(L, yk, L + 7, yk);
      const int zk = T - Rnd(static_cast<double>(T - B) / 4 / 6 * k);
      p.drawLine(R, zk, R - 7, zk);
    }
  }
  SetPen(p, kBlue, 1);
  p.drawLine(R, B, R, T);
  p.drawLine(R, T, L, T);
  switch (kind) {
    case ChartKind::Runoff:
      DrawLegendItem(p, image, kRed, "模拟流量", 4, 1);
      DrawLegendItem(p, image, kGreen, "观测流量", 4, 2);
      DrawLegendItem(p, image, kBlue, "降雨量", 4, 3);
      break;
    case ChartKind::Sediment:
      DrawLegendItem(p, image, kRed, "模拟输沙量", 4, 1);
      DrawLegendItem(p, image, kGreen, "观测输沙量", 4, 2);
      DrawLegendItem(p, image, kBlue, "降雨量", 4, 3);
      break;
    case ChartKind::SnowFrost:
      DrawLegendItem(p, image, kYellow, "积雪深度", 5, 1);
      DrawLegendItem(p, image, kSilver, "冻土深度", 5, 2);
      DrawLegendItem(p, image, kGreen, "气温", 5, 3);
      DrawLegendItem(p, image, kBlack, "地下水位", 5, 4);
      break;
  }
  SetPen(p, kBlack, 1);
  TextOut(p, 50, 10, QString("%1年").arg(year));
}

void DrawResultCharts(const ModelState& y, QImage& image1, QImage& image2, QImage& image7) {
  const int n = y.DayCount == 0 ? y.DaysInYear : y.DayCount;
  double obsFlowMax = 0, simFlowMax = 0, precipMax = 0, obsSedMax = 0, simSedMax = 0;
  for (int k = 0; k < n; ++k) {
    obsFlowMax = std::max(obsFlowMax, At(y.ObsFlow, k));
    simFlowMax = std::max(simFlowMax, At(y.SimFlow, k));
    precipMax = std::max(precipMax, At(y.MeanPrecip, k));
    obsSedMax = std::max(obsSedMax, At(y.ObsSediment, k));
    simSedMax = std::max(simSedMax, At(y.SimSediment, k));
  }
  const double flowScale = std::max(10.0, std::max(obsFlowMax, simFlowMax));
  const double sedScale = std::max(10.0, std::max(obsSedMax, simSedMax));
  // A year without precipitation hangs nothing from the top: scale 1 instead of 0.
  const double precipScale = precipMax > 0 ? precipMax : 1.0;
  auto scale = [&](const QImage& image) {
    return Scale{image.width(), image.height(), kLeft, Right(image), y.DaysInYear};
  };

  {
    QPainter p(&image2);
    const Scale g = scale(image2);
    DrawFlowAxisLabels(p, g, 0, precipMax, sedScale, 0, "Qs(t)");
    PlotHyetograph(p, g, n, 0, y.MeanPrecip, precipScale, kBlue);
    PlotLine(p, g, n, 0, y.ObsSediment, sedScale, g.H - 40, 30, kGreen, Qt::SolidLine);
    PlotLine(p, g, n, 0, y.SimSediment, sedScale, g.H - 40, 30, kRed, Qt::DashDotLine);
  }
  {
    QPainter p(&image7);
    const Scale g = scale(image7);
    DaySeries negatedSnow{};
    for (int d = 1; d <= n; ++d) negatedSnow[static_cast<std::size_t>(d)] = -y.MeanSnowPack[static_cast<std::size_t>(d)];
    DrawSnowFrostAxes(p, g, 250, 0, 100, 100, 50, 5);
    PlotHyetograph(p, g, n, 0, y.MeanPrecip, precipScale, kBlue);
    PlotColumns(p, g, n, 250, negatedSnow, 100, kYellow);
    PlotLine(p, g, n, 250, y.MeanSnowPack, 270, g.H - 20, 0, kSilver, Qt::SolidLine);
    PlotColumns(p, g, n, 250, y.MeanFrozen, 100, kSilver);
    PlotLine(p, g, n, 250, y.AirTempAdj, 50, g.H - 20, 0, kGreen, Qt::SolidLine);
    PlotLine(p, g, n, 250, y.GroundWaterLevel, 5, g.H - 20, 0, kBlack, Qt::DashDotLine);
  }
  {
    QPainter p(&image1);
    const Scale g = scale(image1);
    DrawFlowAxisLabels(p, g, 0, precipMax, flowScale, 0, "Qf(mm)");
    PlotHyetograph(p, g, n, 0, y.MeanPrecip, precipScale, kBlue);
    PlotLine(p, g, n, 0, y.ObsFlow, flowScale, g.H - 40, 30, kGreen, Qt::SolidLine);
    PlotLine(p, g, n, 0, y.SimFlow, flowScale, g.H - 40, 30, kRed, Qt::DotLine);
  }
}

}  // namespace tarnwell::gui
