#include "gui/MapMaker.h"

#include <QBuffer>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

#include "app/Session.h"
#include "app/Startup.h"
#include "gui/GuiSupport.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"
#include "viewer/Contours.h"

namespace tarnwell::gui {

namespace {

constexpr int kMapWidth = 780, kMapHeight = 500;
constexpr int kContourSmoothing = 2;
const QColor kContourColour(70, 50, 30);

// North up: the first data row of a grid file lies at the south edge, so it is drawn at
// the bottom, and data row r (0-based) is row rows - 1 - r of the picture.
int PictureRow(const MapGrid& grid, int r) { return grid.rows - 1 - r; }

// The grid on the picture, north up.
struct Placement {
  QRectF target;
  int rows, cols;
  // A point in grid coordinates (cell centres at whole numbers, y the data row).
  QPointF At(double x, double y) const {
    return {target.x() + (x + 0.5) * target.width() / cols, target.y() + (rows - 0.5 - y) * target.height() / rows};
  }
};

// The contour lines at round intervals over the terrain's data cells, smoothed and drawn
// antialiased over the scaled cells.
void DrawContours(QPainter& p, const Placement& place, const MapGrid& grid, double lo, double hi) {
  std::vector<double> z(grid.z.size(), std::nan(""));
  for (std::size_t i = 0; i < z.size(); ++i)
    if (HasData(MapKind::Terrain, grid, grid.z[i])) z[i] = grid.z[i];
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kContourColour, 1.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  for (double level : ContourLevels(lo, hi, ContourInterval(hi - lo)))
    for (const ContourLine& line : TraceContours(z, grid.rows, grid.cols, level)) {
      QPolygonF polygon;
      for (const ContourPoint& q : SmoothContour(line, kContourSmoothing)) polygon << place.At(q.x, q.y);
      p.drawPolyline(polygon);
    }
  p.restore();
}

// A map document: the PNG of the map, replaced as a whole (an old document stays intact
// when the new one cannot be written).
void WriteBinaryDocument(const Session& session, const std::string& modelPath, const QByteArray& bytes) {
  QSaveFile file(Q(session.ws.Resolve(modelPath)));
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    throw FileError(session.Display(modelPath), 0, "cannot write the map document");
}

}  // namespace

QColor ColourMap::At(double percent) const {
  if (nodes.empty()) return Qt::gray;
  if (percent <= nodes.front().position) {
    const Node& n = nodes.front();
    return QColor(n.r, n.g, n.b, n.a);
  }
  for (std::size_t i = 1; i < nodes.size(); ++i) {
    const Node& a = nodes[i - 1];
    const Node& b = nodes[i];
    if (percent <= b.position) {
      const double f = b.position > a.position ? (percent - a.position) / (b.position - a.position) : 1;
      auto mix = [f](int x, int y) { return static_cast<int>(std::lround(x + f * (y - x))); };
      return QColor(mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b), mix(a.a, b.a));
    }
  }
  const Node& n = nodes.back();
  return QColor(n.r, n.g, n.b, n.a);
}

ColourMap ReadColourFile(const Session& session, const std::string& modelPath) {
  TextReader file = session.Open(modelPath);
  FieldLine first = file.ReadFields();
  if (first.Count() == 0 || first.Token(0).rfind("ColorMap", 0) != 0)
    throw InputError(file.Name(), 1, "a colour file begins with \"ColorMap\"");
  ColourMap map;
  while (!file.AtEnd()) {
    FieldLine line = file.ReadFields();
    if (line.Count() == 0) continue;
    auto channel = [&](int i) {
      const double v = line.Real(i);
      if (v < 0 || v > 255)
        throw ConversionError(file.Name(), line.LineNumber(), line.Token(i), i, "a colour value 0 to 255");
      return static_cast<int>(std::lround(v));
    };
    ColourMap::Node node{line.Real(0), channel(1), channel(2), channel(3), line.Count() > 4 ? channel(4) : 255};
    if (node.position < 0 || node.position > 100)
      throw ConversionError(file.Name(), line.LineNumber(), line.Token(0), 0, "a position 0 to 100");
    map.nodes.push_back(node);
  }
  if (map.nodes.empty()) throw InputError(file.Name(), file.LineNumber(), "the colour file has no colour");
  std::stable_sort(map.nodes.begin(), map.nodes.end(),
                   [](const auto& a, const auto& b) { return a.position < b.position; });
  return map;
}

MapGrid ReadMapGrid(const Session& session, const std::string& modelPath) {
  TextReader file = session.Open(modelPath);
  file.ReadLine();
  FieldLine sizes = file.ReadFields();
  MapGrid g;
  g.cols = sizes.Integer(0);
  g.rows = sizes.Integer(1);
  if (g.cols <= 0 || g.rows <= 0 || static_cast<long long>(g.cols) * g.rows > 4'000'000)
    throw InputError(file.Name(), 2, "grid size " + std::to_string(g.cols) + " x " + std::to_string(g.rows));
  file.SkipLines(2);
  g.zMax = file.ReadFields().Real(1);
  g.z.resize(static_cast<std::size_t>(g.cols) * g.rows);
  for (int r = 0; r < g.rows; ++r) {
    FieldLine line = file.ReadFields();
    for (int c = 0; c < g.cols; ++c) g.z[static_cast<std::size_t>(r) * g.cols + c] = line.Real(c);
  }
  return g;
}

bool HasData(MapKind kind, const MapGrid& grid, double v) {
  switch (kind) {
    case MapKind::Terrain: return v > 0 && v < 2e30 && v < grid.zMax;
    case MapKind::LandUse: return v < 150;
    case MapKind::Slope: return v >= 0 && v <= 2e30;
    case MapKind::Yearly: return std::isfinite(v);
  }
  return false;
}

QImage DrawMap(MapKind kind, const MapGrid& grid, const ColourMap& colours, const QString& title) {
  double lo = 1e300, hi = -1e300;
  for (double v : grid.z)
    if (HasData(kind, grid, v)) lo = std::min(lo, v), hi = std::max(hi, v);
  if (lo > hi) lo = hi = 0;
  const double range = hi - lo;
  auto percent = [&](double v) { return range > 0 ? (v - lo) / range * 100 : 0; };

  QImage cells(grid.cols, grid.rows, QImage::Format_RGB32);
  cells.fill(Qt::white);
  for (int r = 0; r < grid.rows; ++r)
    for (int c = 0; c < grid.cols; ++c) {
      const double v = grid.At(r, c);
      if (!HasData(kind, grid, v)) continue;
      QColor colour = colours.At(percent(v));
      if (kind == MapKind::Terrain) {
        // Hill shading, light from the north-west: slopes facing it brighten. Data rows run
        // from south to north, columns from west to east; neighbours without data count
        // as level.
        auto z = [&](int rr, int cc) {
          if (rr < 0 || rr >= grid.rows || cc < 0 || cc >= grid.cols) return v;
          const double w = grid.At(rr, cc);
          return HasData(kind, grid, w) ? w : v;
        };
        const double towardEast = (z(r, c + 1) - z(r, c - 1)) / 2;
        const double towardNorth = (z(r + 1, c) - z(r - 1, c)) / 2;
        const double shade = std::clamp(0.85 + (towardEast - towardNorth) * 0.012, 0.5, 1.15);
        colour = QColor(std::clamp(static_cast<int>(colour.red() * shade), 0, 255),
                        std::clamp(static_cast<int>(colour.green() * shade), 0, 255),
                        std::clamp(static_cast<int>(colour.blue() * shade), 0, 255));
      }
      cells.setPixelColor(c, PictureRow(grid, r), colour);
    }

  QImage picture(kMapWidth, kMapHeight, QImage::Format_RGB32);
  picture.fill(Qt::white);
  QPainter p(&picture);
  p.setFont(SongTi(16));
  p.setPen(Qt::black);
  p.drawText(QRect(0, 4, kMapWidth - 110, 26), Qt::AlignCenter, title);
  const QRect area(10, 34, kMapWidth - 130, kMapHeight - 44);
  const double scale = std::min(static_cast<double>(area.width()) / grid.cols,
                                static_cast<double>(area.height()) / grid.rows);
  const int w = static_cast<int>(grid.cols * scale), h = static_cast<int>(grid.rows * scale);
  const QRect target(area.x() + (area.width() - w) / 2, area.y() + (area.height() - h) / 2, w, h);
  p.drawImage(target, cells);
  if (kind == MapKind::Terrain) DrawContours(p, Placement{QRectF(target), grid.rows, grid.cols}, grid, lo, hi);
  p.setPen(QColor(120, 120, 120));
  p.drawRect(target.adjusted(0, 0, -1, -1));

  // Colour scale: the spectrum over the data range, high values on top.
  const QRect bar(kMapWidth - 100, 60, 22, kMapHeight - 120);
  for (int y = 0; y < bar.height(); ++y)
    p.fillRect(bar.x(), bar.bottom() - y, bar.width(), 1, colours.At(100.0 * y / (bar.height() - 1)));
  p.setPen(Qt::black);
  p.drawRect(bar);
  p.setFont(SansSerif(12));
  for (int i = 0; i <= 5; ++i) {
    const double v = lo + range * i / 5;
    const int y = bar.bottom() - (bar.height() - 1) * i / 5;
    p.drawLine(bar.right(), y, bar.right() + 4, y);
    p.drawText(bar.right() + 7, y + 5, QString::number(v, 'g', 4));
  }
  return picture;
}

void DrawMaps(Session& session, const std::function<void(int, const QImage&)>& shown) {
  ModelState& s = session.state;
  if (s.SubBasinCount < 1)
    throw InputError(session.Display(s.ProgramDir + kSubBasinListPath), 0, "the sub-basin list holds no sub-basin");
  // The whole-basin entry draws the last sub-basin, and stays on it.
  s.SelectedSubBasin = std::clamp(s.SelectedSubBasin, 1, s.SubBasinCount);
  LoadPaths(session, s.SelectedSubBasin);
  {
    TextReader params = session.Open(s.ParamFilePath);
    LoadParameters(params, session.params);
  }
  struct Map {
    MapKind kind;
    int input;
    const char* colourFile;
    const char* document;
    const char* title;
  };
  const Map maps[] = {
      {MapKind::Slope, 5, "..\\Parameters\\slope.clr", "..\\output\\gc1.srf", "流域坡度图"},
      {MapKind::Terrain, 1, "..\\Parameters\\land.clr", "..\\output\\gc2.srf", "阴影地形图"},
      {MapKind::LandUse, 2, "..\\Parameters\\landuse.clr", "..\\output\\gc3.srf", "土地利用图"},
  };
  int number = 1;
  for (const Map& m : maps) {
    const MapGrid grid = ReadMapGrid(session, s.InputPath[static_cast<std::size_t>(m.input)]);
    const ColourMap colours = ReadColourFile(session, s.ProgramDir + m.colourFile);
    const QString name = Q(s.SubBasinName[static_cast<std::size_t>(s.SelectedSubBasin)]);
    const QImage picture = DrawMap(m.kind, grid, colours, name + "  " + m.title);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    const std::string document = s.ProgramDir + m.document;
    WriteBinaryDocument(session, document, png);
    shown(number++, picture);
  }
}

}  // namespace tarnwell::gui
