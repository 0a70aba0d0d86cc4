#include "geo/Georef.h"

#include <cmath>
#include <filesystem>

#include "geo/GeoSupport.h"
#include "geo/KeyValueFile.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell::geo {

namespace fs = std::filesystem;

GridFrame GridGeoref::Frame() const {
  GridFrame f;
  f.rows = rows;
  f.cols = cols;
  f.west = west;
  f.north = south + cellHeight * rows;
  f.cellWidth = cellWidth;
  f.cellHeight = cellHeight;
  f.crsWkt = crsWkt;
  return f;
}

GridFile ReadGridFile(const std::string& fsPath, const std::string& displayName) {
  RequireInputFile(fsPath, displayName);
  TextReader file(fsPath, displayName);
  return ParseGridFile(file, false);
}

GridGeoref GridGeorefOf(const std::string& gridFsPath, const std::string& displayName, const GridFile& grid) {
  const fs::path dir = fs::path(gridFsPath).parent_path();
  const fs::path meta = dir / kGeorefFileName;
  GridGeoref g;
  std::error_code ec;
  if (!fs::exists(meta, ec)) {
    g.rows = grid.rows;
    g.cols = grid.cols;
    g.west = grid.xMin;
    g.south = grid.yMin;
    g.cellWidth = static_cast<double>(grid.xMax - grid.xMin) / grid.rows;
    g.cellHeight = static_cast<double>(grid.yMax - grid.yMin) / grid.cols;
    if (!(g.cellWidth > 0) || !(g.cellHeight > 0))
      throw InputError(displayName, 3, "the header extents give no positive cell size");
    return g;
  }
  const std::string metaName = (fs::path(displayName).parent_path() / kGeorefFileName).string();
  KeyValueFile f = KeyValueFile::Read(
      meta.string(), metaName, {"crs", "west", "south", "cell_width", "cell_height", "rows", "columns", "first_row"});
  if (f.Has("crs")) g.crsWkt = CrsFromText(f.Value("crs"), metaName, f.Line("crs"));
  // Every value within what a map can hold, so that no file written from it has a place
  // the GIS tools cannot compute (an edge beyond the range of a double, a cell of no size).
  auto size = [&](const char* key) {
    const double v = f.Real(key);
    if (!(v > 0) || v > kLargestCellSize)
      f.Refuse(key, "a cell size is above 0 and at most " + CompactReal(kLargestCellSize, 0) + " map units");
    return v;
  };
  auto coordinate = [&](const char* key) {
    const double v = f.Real(key);
    if (!(std::fabs(v) <= kLargestMapCoordinate))
      f.Refuse(key,
               "beyond any map coordinate (at most " + CompactReal(kLargestMapCoordinate, 0) + " from the origin)");
    return v;
  };
  g.west = coordinate("west");
  g.south = coordinate("south");
  g.cellWidth = size("cell_width");
  g.cellHeight = size("cell_height");
  g.rows = f.Integer("rows");
  g.cols = f.Integer("columns");
  if (g.rows < 1) f.Refuse("rows", "the grid has at least one row");
  if (g.cols < 1) f.Refuse("columns", "the grid has at least one column");
  if (!(std::fabs(g.west + g.cellWidth * g.cols) <= kLargestMapCoordinate))
    f.Refuse("cell_width", "the east edge (west + columns x cell_width) lies beyond any map coordinate");
  if (!(std::fabs(g.south + g.cellHeight * g.rows) <= kLargestMapCoordinate))
    f.Refuse("cell_height", "the north edge (south + rows x cell_height) lies beyond any map coordinate");
  const std::string first = f.Value("first_row");
  if (first != "south" && first != "north") f.Refuse("first_row", "it is south or north");
  g.firstRowSouth = first == "south";
  if (g.rows != grid.rows || g.cols != grid.cols)
    throw InputError(metaName, f.Line("rows"),
                     "describes " + std::to_string(g.rows) + " x " + std::to_string(g.cols) + " cells but " +
                         displayName + " has " + std::to_string(grid.rows) + " x " + std::to_string(grid.cols));
  return g;
}

void WriteGeorefFile(const std::string& dirFsPath, const std::string& dirDisplay, const GridGeoref& g) {
  auto num = [](double v) { return CompactReal(v, 6); };
  std::vector<std::string> lines{"# Where the grids of this directory lie on the map (written by tarnwell import).",
                                 "# The model's own header extents are not the map's: see the README."};
  if (!g.crsWkt.empty()) lines.push_back("crs = " + g.crsWkt);
  lines.push_back("west = " + num(g.west));
  lines.push_back("south = " + num(g.south));
  lines.push_back("cell_width = " + num(g.cellWidth));
  lines.push_back("cell_height = " + num(g.cellHeight));
  lines.push_back("rows = " + std::to_string(g.rows));
  lines.push_back("columns = " + std::to_string(g.cols));
  lines.push_back(std::string("first_row = ") + (g.firstRowSouth ? "south" : "north"));
  WriteWholeFile((fs::path(dirFsPath) / kGeorefFileName).string(), dirDisplay + "/" + kGeorefFileName, lines);
}

std::vector<double> NorthFirst(const GridGeoref& g, const std::vector<double>& fileOrder) {
  if (!g.firstRowSouth) return fileOrder;
  std::vector<double> out(fileOrder.size());
  const std::size_t cols = static_cast<std::size_t>(g.cols);
  for (int r = 0; r < g.rows; ++r)
    std::copy(fileOrder.begin() + static_cast<long>(r) * g.cols, fileOrder.begin() + static_cast<long>(r + 1) * g.cols,
              out.begin() + static_cast<long>((static_cast<std::size_t>(g.rows - 1 - r)) * cols));
  return out;
}

}  // namespace tarnwell::geo
