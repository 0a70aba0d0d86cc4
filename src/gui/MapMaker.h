// The three maps of a sub-basin, drawn by the program itself from the grid files and the
// colour files: slope (gc1), shaded terrain with contour lines (gc2), land use (gc3). Each
// map document holds the PNG picture of its map.
#pragma once

#include <QImage>
#include <functional>
#include <string>
#include <vector>

namespace tarnwell {
struct Session;
}

namespace tarnwell::gui {

// A colour spectrum: nodes at positions 0..100 (percent of the data range), colours
// interpolated linearly between them.
struct ColourMap {
  struct Node {
    double position;
    int r, g, b, a;
  };
  std::vector<Node> nodes;
  QColor At(double percent) const;
};

// "ColorMap ..." then "position red green blue [alpha]" per line.
ColourMap ReadColourFile(const Session& session, const std::string& modelPath);

// Yearly: a yearly map of every cell, NaN outside the sub-basin.
enum class MapKind { Slope, Terrain, LandUse, Yearly };

// A DSAA grid as the maps read it, rows in file order. The first value line holds the
// lowest y, the south edge: the maps are drawn north up, so it is the bottom row of the
// picture.
struct MapGrid {
  int rows = 0, cols = 0;
  double zMax = 0;
  std::vector<double> z;
  double At(int r, int c) const { return z[static_cast<std::size_t>(r) * cols + c]; }
};
MapGrid ReadMapGrid(const Session& session, const std::string& modelPath);

// Cells without data stay white: terrain not strictly between 0 and 2e30 or at or above
// the header's z maximum, land use 150 or more, slope outside 0 to 2e30.
bool HasData(MapKind kind, const MapGrid& grid, double v);

// The picture of one map, 780 x 500, north up, with its title and colour scale; the
// terrain map hill-shaded (light from the north-west) with contour lines.
QImage DrawMap(MapKind kind, const MapGrid& grid, const ColourMap& colours, const QString& title);

// DrawMaps: clamps SelectedSubBasin to 1..SubBasinCount, reloads its paths and the
// parameters, then for map 1, 2, 3 in turn draws it, saves its document and hands the
// picture to shown(map number, picture). Throws on the first failure; the maps handed
// over before it stay.
void DrawMaps(Session& session, const std::function<void(int, const QImage&)>& shown);

}  // namespace tarnwell::gui
