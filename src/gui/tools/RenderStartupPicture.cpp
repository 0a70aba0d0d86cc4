// Renders the start-up picture of the main window: a shaded relief of the demo basin's
// sub-basins, each terrain grid placed at its own lower-left corner, lit from the
// north-west, north up: value line 1 of a grid is its southernmost row. As the model reads
// them, the cell width is the x extent over the number of rows (the height the y extent over
// the columns).
// Usage: tarnwell-startup-picture OUT.png GRID.grd [GRID.grd ...]
#include <QApplication>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <vector>

#include "gui/GuiSupport.h"

namespace {

struct Grid {
  int cols = 0, rows = 0;
  double xmin = 0, xmax = 0, ymin = 0, ymax = 0, zmin = 0, zmax = 0;
  std::vector<double> z;  // row 0 = southernmost
  double Dx() const { return (xmax - xmin) / rows; }
  double Dy() const { return (ymax - ymin) / cols; }
  bool Inside(double v) const { return v > 0 && v < 2e30 && v <= zmax; }
};

bool ReadGrid(const char* path, Grid& g) {
  std::ifstream in(path);
  std::string tag;
  in >> tag >> g.cols >> g.rows >> g.xmin >> g.xmax >> g.ymin >> g.ymax >> g.zmin >> g.zmax;
  if (tag != "DSAA" || g.cols <= 0 || g.rows <= 0) return false;
  g.z.resize(static_cast<std::size_t>(g.cols) * g.rows);
  for (double& v : g.z) in >> v;
  return static_cast<bool>(in);
}

// Green lowlands through ochre to brown and white summits.
QColor Hypsometric(double t) {
  const double stops[][4] = {
      {0.0, 88, 150, 80}, {0.3, 160, 190, 100}, {0.55, 215, 190, 120}, {0.8, 170, 120, 80}, {1.0, 245, 240, 235}};
  for (int i = 1; i < 5; ++i)
    if (t <= stops[i][0]) {
      const double f = (t - stops[i - 1][0]) / (stops[i][0] - stops[i - 1][0]);
      auto mix = [&](int c) { return static_cast<int>(stops[i - 1][c] + f * (stops[i][c] - stops[i - 1][c])); };
      return QColor(mix(1), mix(2), mix(3));
    }
  return QColor(245, 240, 235);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::cerr << "usage: tarnwell-startup-picture OUT.png GRID.grd [GRID.grd ...]\n";
    return 2;
  }
  std::vector<Grid> grids;
  for (int i = 2; i < argc; ++i) {
    Grid g;
    if (!ReadGrid(argv[i], g)) {
      std::cerr << argv[i] << ": not a DSAA grid\n";
      return 1;
    }
    grids.push_back(std::move(g));
  }
  double xmin = 1e300, xmax = -1e300, ymin = 1e300, ymax = -1e300, zlo = 1e300, zhi = -1e300;
  for (const Grid& g : grids) {
    xmin = std::min(xmin, g.xmin), xmax = std::max(xmax, g.xmin + g.Dx() * g.cols);
    ymin = std::min(ymin, g.ymin), ymax = std::max(ymax, g.ymin + g.Dy() * g.rows);
    for (double v : g.z)
      if (g.Inside(v)) zlo = std::min(zlo, v), zhi = std::max(zhi, v);
  }
  const int W = 865, H = 597, margin = 40;
  const double scale = std::min((W - 2.0 * margin) / (xmax - xmin), (H - 2.0 * margin - 40) / (ymax - ymin));
  QImage image(W, H, QImage::Format_RGB32);
  image.fill(QColor(250, 248, 242));
  const double ox = (W - (xmax - xmin) * scale) / 2, oy = 40 + (H - 40 - (ymax - ymin) * scale) / 2;
  // Light from the north-west, 45 degrees high; cells are square in the demo grids.
  const double az = 315 * M_PI / 180, alt = 45 * M_PI / 180;
  for (const Grid& g : grids) {
    const double dx = g.Dx(), dy = g.Dy();
    auto at = [&](int r, int c) {
      r = std::clamp(r, 0, g.rows - 1), c = std::clamp(c, 0, g.cols - 1);
      return g.z[static_cast<std::size_t>(r) * g.cols + c];
    };
    for (int py = 0; py < H; ++py)
      for (int px = 0; px < W; ++px) {
        const double x = xmin + (px - ox) / scale, y = ymax - (py - oy) / scale;
        const int c = static_cast<int>(std::floor((x - g.xmin) / dx));
        const int r = static_cast<int>(std::floor((y - g.ymin) / dy));
        if (c < 0 || c >= g.cols || r < 0 || r >= g.rows) continue;
        const double v = at(r, c);
        if (!g.Inside(v)) continue;
        auto z = [&](int rr, int cc) {
          const double w = at(rr, cc);
          return g.Inside(w) ? w : v;
        };
        const double exaggerate = 4;
        const double gx = (z(r, c + 1) - z(r, c - 1)) / (2 * dx) * exaggerate;
        const double gy = (z(r + 1, c) - z(r - 1, c)) / (2 * dy) * exaggerate;
        const double slope = std::atan(std::hypot(gx, gy));
        const double aspect = std::atan2(gy, -gx);
        double shade = std::sin(alt) * std::cos(slope) +
                       std::cos(alt) * std::sin(slope) * std::cos(az - M_PI / 2 - aspect);
        shade = std::clamp(0.35 + 0.75 * shade, 0.0, 1.15);
        const QColor base = Hypsometric((v - zlo) / (zhi - zlo));
        auto lit = [&](int ch) { return std::clamp(static_cast<int>(ch * shade), 0, 255); };
        image.setPixelColor(px, py, QColor(lit(base.red()), lit(base.green()), lit(base.blue())));
      }
  }
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(128, 0, 0));
  p.setFont(tarnwell::gui::HeiTi(30));
  p.drawText(QRect(0, 8, W, 44), Qt::AlignCenter, "分布式生态水文模型");
  p.setPen(QColor(60, 60, 60));
  p.setFont(tarnwell::gui::SongTi(14));
  p.drawText(QRect(0, H - 28, W - 16, 22), Qt::AlignRight | Qt::AlignVCenter, "示例流域  地形晕渲图");
  p.end();
  if (!image.save(argv[1])) {
    std::cerr << argv[1] << ": cannot write\n";
    return 1;
  }
  return 0;
}
