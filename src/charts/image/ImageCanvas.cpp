#include "charts/image/ImageCanvas.h"

#include <QFontMetrics>
#include <QPen>

#include "charts/Graph.h"
#include "model/ModelState.h"

namespace tarnwell {

QFont ChartFont() {
  QFont font("MS Sans Serif");
  font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "DejaVu Sans", "Noto Sans CJK SC", "WenQuanYi Zen Hei",
                    "Droid Sans Fallback"});
  font.setPixelSize(12);
  return font;
}

ImageCanvas::ImageCanvas(QImage& image) : image_(image), painter_(&image) { painter_.setFont(ChartFont()); }

void ImageCanvas::SetPen(Colour c, int width, PenStyle style) {
  const Qt::PenStyle qs = style == PenStyle::Dot       ? Qt::DotLine
                          : style == PenStyle::DashDot ? Qt::DashDotLine
                                                       : Qt::SolidLine;
  painter_.setPen(QPen(QColor(c.r, c.g, c.b), width, qs, Qt::FlatCap, Qt::MiterJoin));
}

void ImageCanvas::LineTo(int x, int y) {
  painter_.drawLine(x_, y_, x, y);
  x_ = x, y_ = y;
}

void ImageCanvas::Polyline(const std::vector<Point>& points) {
  if (points.empty()) return;
  QPolygon polygon(static_cast<int>(points.size()));
  for (int i = 0; i < polygon.size(); ++i)
    polygon.setPoint(i, points[static_cast<std::size_t>(i)].x, points[static_cast<std::size_t>(i)].y);
  // One path: the dash pattern runs on from segment to segment.
  painter_.drawPolyline(polygon);
  x_ = points.back().x, y_ = points.back().y;
}

void ImageCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  painter_.fillRect(x1, y1, x2 - x1, y2 - y1, Qt::white);
  painter_.setBrush(Qt::NoBrush);
  // The pen's border lies inside the rectangle, as a window image draws it.
  painter_.drawRect(x1 + 1, y1 + 1, x2 - x1 - 3, y2 - y1 - 3);
}

void ImageCanvas::TextOut(int x, int y, const std::string& text) {
  const QFontMetrics m(painter_.font());
  painter_.drawText(QPoint(x, y + m.ascent()), QString::fromStdString(text));
}

int ImageCanvas::TextWidth(const std::string& text) const {
  return QFontMetrics(painter_.font()).horizontalAdvance(QString::fromStdString(text));
}

ChartImages RenderCharts(const ModelState& year, int width, int height) {
  ChartImages out;
  for (QImage* i : {&out.runoff, &out.sediment, &out.snowFrost}) *i = QImage(width, height, QImage::Format_RGB32);
  {
    ImageCanvas c1(out.runoff), c2(out.sediment), c7(out.snowFrost);
    DrawChartFrame(c1, ChartKind::Runoff, year.CurYear);
    DrawChartFrame(c2, ChartKind::Sediment, year.CurYear);
    DrawChartFrame(c7, ChartKind::SnowFrost, year.CurYear);
    DrawResultCharts(year, c1, c2, c7);
  }
  return out;
}

}  // namespace tarnwell

#include <QGuiApplication>
#include <cstdio>

namespace tarnwell {

void EnsureImageApplication() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Without a desktop session Qt complains about the runtime directory, which drawing
  // images never uses: keep standard error for the program's own messages.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (type == QtDebugMsg || type == QtInfoMsg || msg.startsWith("QStandardPaths:")) return;
    std::fprintf(stderr, "%s\n", qPrintable(msg));
  });
  static int argc = 1;
  static char name[] = "tarnwell";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
}

bool SavePng(const QImage& image, const std::string& path) { return image.save(QString::fromStdString(path), "PNG"); }

bool DrawPng(int width, int height, const std::function<void(Canvas&)>& draw, const std::string& path) {
  EnsureImageApplication();
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    ImageCanvas canvas(image);
    draw(canvas);
  }
  return SavePng(image, path);
}

}  // namespace tarnwell
