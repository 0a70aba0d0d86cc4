#include "inputs/WGetData.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "inputs/TextFile.h"
#include "model/Calendar.h"
#include "model/Errors.h"
#include "model/ModelState.h"

namespace tarnwell {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Per-cell bytes of the model state: about forty grids of eight bytes.
constexpr long long kBytesPerCell = 40 * 8;

struct GridHeader {
  int cols = 0, rows = 0;
  int xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  int zMin = 0, zMax = 0;
};

// An extent (line 3 or 4) must run from low to high: the cell sizes are the extents over the
// numbers of rows and columns, and a reversed or empty extent gives cells of no or negative
// size, so a sub-basin of no area.
void RequireExtent(const FieldLine& line, int low, int high, const char* axis) {
  if (high > low) return;
  throw InputError(line.File(), line.LineNumber(),
                   std::string("the ") + axis + " extent runs from " + std::to_string(low) + " to " +
                       std::to_string(high) +
                       ": its maximum (token 1) must be above its minimum "
                       "(token 0), or the cells have no size");
}

// Lines 1-5 of a DSAA grid. readZ: whether line 5 must hold two integers.
GridHeader ReadHeader(TextReader& file, bool readZ) {
  GridHeader h;
  file.ReadLine();  // format identifier
  FieldLine sizes = file.ReadFields();
  h.cols = sizes.Integer(0);
  h.rows = sizes.Integer(1);
  if (h.cols <= 0 || h.rows <= 0)
    throw InputError(
        file.Name(), sizes.LineNumber(),
        "grid size " + std::to_string(h.cols) + " x " + std::to_string(h.rows) + " (columns x rows) must be positive");
  long long cells = static_cast<long long>(h.cols) * h.rows;
  if (cells > MaxGridCells())
    throw InputError(file.Name(), sizes.LineNumber(),
                     "grid of " + std::to_string(h.cols) + " x " + std::to_string(h.rows) +
                         " cells is larger than this machine's memory allows (at most " +
                         std::to_string(MaxGridCells()) + " cells)");
  FieldLine x = file.ReadFields();
  h.xMin = x.Integer(0);
  h.xMax = x.Integer(1);
  FieldLine y = file.ReadFields();
  h.yMin = y.Integer(0);
  h.yMax = y.Integer(1);
  if (readZ) {
    FieldLine z = file.ReadFields();
    h.zMin = z.Integer(0);
    h.zMax = z.Integer(1);
  } else {
    file.ReadLine();
  }
  RequireExtent(x, h.xMin, h.xMax, "x");
  RequireExtent(y, h.yMin, h.yMax, "y");
  // Every value takes at least one character and one separator or line end: a file too
  // short for its header's claim is refused before any memory is taken for the grid.
  const unsigned long long needed = 2ULL * static_cast<unsigned long long>(cells) - 1;
  if (file.BytesLeft() < needed)
    throw InputError(file.Name(), 2,
                     "the header claims " + std::to_string(h.cols) + " x " + std::to_string(h.rows) +
                         " cells (columns x rows), at least " + std::to_string(needed) +
                         " bytes of values, but the whole rest of the file has " + std::to_string(file.BytesLeft()) +
                         " bytes");
  return h;
}

}  // namespace

long long MaxGridCells() {
  long pages = ::sysconf(_SC_PHYS_PAGES);
  long pageSize = ::sysconf(_SC_PAGE_SIZE);
  long long bytes = (pages > 0 && pageSize > 0) ? static_cast<long long>(pages) * pageSize : (16LL << 30);
  return bytes / 10 * 8 / kBytesPerCell;  // leave a fifth of the memory to everything else
}

namespace {

// One value line straight from the reader's bytes, the common case: true when its first
// cols tokens are all numbers (the line is then read), false otherwise (nothing is read, and
// the line's fields give the error).
bool ReadValueLine(TextReader& file, double* row, int cols) {
  const std::size_t offset = file.Offset();
  const long lineNumber = file.LineNumber();
  std::string_view bytes, token;
  if (!file.ReadLineBytes(bytes)) return false;
  std::size_t pos = 0;
  for (int c = 0; c < cols; ++c)
    if (!FieldScanner::Next(bytes, pos, token) || !ParseReal(token, row[c])) {
      file.Seek(offset, lineNumber);
      return false;
    }
  return true;
}

}  // namespace

void ReadGridValues(std::vector<double>& grid, int rows, int cols, TextReader& file) {
  for (int r = 1; r <= rows; ++r) {
    double* row = grid.data() + static_cast<std::size_t>(r - 1) * static_cast<std::size_t>(cols);
    if (ReadValueLine(file, row, cols)) continue;
    FieldLine line = file.ReadFields();
    for (int c = 1; c <= cols; ++c) row[c - 1] = line.Real(c - 1);
  }
}

namespace {

std::vector<double> GridValues(TextReader& file, int rows, int cols) {
  std::vector<double> values;
  try {
    values.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
  } catch (const std::bad_alloc&) {
    throw InputError(
        file.Name(), 2,
        "not enough memory for a grid of " + std::to_string(cols) + " x " + std::to_string(rows) + " cells");
  }
  ReadGridValues(values, rows, cols, file);
  return values;
}

}  // namespace

namespace {

// The grid's header and its value lines.
GridFile ParseGridBody(TextReader& file, const GridHeader& h) {
  GridFile g;
  g.file = file.Name();
  g.cols = h.cols;
  g.rows = h.rows;
  g.xMin = h.xMin;
  g.xMax = h.xMax;
  g.yMin = h.yMin;
  g.yMax = h.yMax;
  g.zMin = h.zMin;
  g.zMax = h.zMax;
  g.values = GridValues(file, h.rows, h.cols);
  return g;
}

// All three grids of a sub-basin have the terrain grid's size.
void RequireTerrainSize(const ModelState& s, const std::string& file, int cols, int rows) {
  if (rows == s.GridRows && cols == s.GridCols) return;
  throw InputError(file, 2,
                   "land-use grid is " + std::to_string(cols) + " x " + std::to_string(rows) +
                       " (columns x rows) but the terrain grid is " + std::to_string(s.GridCols) + " x " +
                       std::to_string(s.GridRows));
}

}  // namespace

GridFile ParseGridFile(TextReader& file, bool readZ) { return ParseGridBody(file, ReadHeader(file, readZ)); }

std::vector<double> ParseSlopeValues(TextReader& file, int rows, int cols) {
  for (int i = 0; i < 5; ++i) file.ReadLine();
  return GridValues(file, rows, cols);
}

std::array<int, 4> ParseSeasonDays(TextReader& file) {
  file.ReadLine();
  FieldLine line = file.ReadFields();
  return {line.Integer(0), line.Integer(1), line.Integer(2), line.Integer(3)};
}

void ApplyTerrainGrid(ModelState& s, const GridFile& g) {
  // Every grid is sized and cleared over the full extent of the grid being read.
  if (g.rows != s.GridRows || g.cols != s.GridCols || s.SurfElev.size() != s.CellCount()) {
    try {
      s.AllocateGrids(g.rows, g.cols);
    } catch (const std::bad_alloc&) {
      s.AllocateGrids(0, 0);
      throw InputError(g.file, 2,
                       "not enough memory for the model's grids of " + std::to_string(g.cols) + " x " +
                           std::to_string(g.rows) + " cells");
    }
  }
  s.GridXMin = g.xMin;
  s.GridXMax = g.xMax;
  s.GridYMin = g.yMin;
  s.GridYMax = g.yMax;
  s.GridZMax = g.zMax;
  std::copy(g.values.begin(), g.values.end(), s.SurfElev.begin());
  const std::size_t n = s.CellCount();
  // Cell width from the x extent over the rows and height from the y extent over the
  // columns: the model's own convention, which the land-use reader shares.
  const double sizeX = (s.GridXMax - s.GridXMin) / s.GridRows;
  const double sizeY = (s.GridYMax - s.GridYMin) / s.GridCols;
  for (std::size_t i = 0; i < n; ++i) {
    s.WTElev[i] = s.SurfElev[i] - 3.0;  // the water table starts 3 m below the surface
    s.WTPrev[i] = s.WTElev[i];
    s.CellSizeX[i] = sizeX;
    s.CellSizeY[i] = sizeY;
    s.GwConductivity[i] = s.SurfElev[i] >= s.GridZMax ? 0.0 : 5.0;
  }
}

void ApplyLandUseGrid(ModelState& s, const GridFile& g) {
  RequireTerrainSize(s, g.file, g.cols, g.rows);
  s.GridXMin = g.xMin;
  s.GridXMax = g.xMax;
  s.GridYMin = g.yMin;
  s.GridYMax = g.yMax;
  std::copy(g.values.begin(), g.values.end(), s.LandUse.begin());
  const double w = (s.GridXMax - s.GridXMin) / s.GridRows;
  const double hgt = (s.GridYMax - s.GridYMin) / s.GridCols;
  long long counted = 0;
  for (double code : s.LandUse)
    if (code < 150) ++counted;  // codes of 150 or more lie outside the sub-basin
  s.BasinArea = static_cast<double>(counted) * w * hgt / 1000000.0;
}

void ApplySlopeValues(ModelState& s, const std::vector<double>& values) {
  std::copy(values.begin(), values.end(), s.SlopeSine.begin());
  for (std::size_t i = 0; i < s.CellCount(); ++i) {
    double v = s.SlopeSine[i];
    if (v >= 0 && v < kNoDataLimit) s.SlopeSine[i] = std::sin(kPi * v / 180.0);
    double sine = s.SlopeSine[i];
    s.SlopeMask[i] = (sine > 0 && sine < kNoDataLimit) ? 1.0 : 0.0;
  }
}

void ApplySeasonDays(ModelState& s, const std::array<int, 4>& days) {
  s.SeasonDay1 = days[0];
  s.SeasonDay2 = days[1];
  s.SeasonDay3 = days[2];
  s.SeasonDay4 = days[3];
}

void ReadTerrainGrid(ModelState& s, TextReader& file) { ApplyTerrainGrid(s, ParseGridFile(file, true)); }

void ReadLandUseGrid(ModelState& s, TextReader& file) {
  // The sizes must agree before any value is read: a land-use grid of another size is
  // refused at its header.
  const GridHeader h = ReadHeader(file, false);
  RequireTerrainSize(s, file.Name(), h.cols, h.rows);
  ApplyLandUseGrid(s, ParseGridBody(file, h));
}

void ReadSlopeGrid(ModelState& s, TextReader& file) {
  ApplySlopeValues(s, ParseSlopeValues(file, s.GridRows, s.GridCols));
}

void ReadSeasonFile(ModelState& s, TextReader& file) { ApplySeasonDays(s, ParseSeasonDays(file)); }

}  // namespace tarnwell

namespace tarnwell {

int CountMetYearBlocks(TextReader& file) {
  int blocks = 0;
  while (!file.AtEnd()) {
    FieldLine header = file.ReadFields();
    if (header.Count() == 0) {
      if (file.AtEnd()) break;  // trailing empty lines
      continue;
    }
    int year = header.Integer(0);
    const int days = YearLength(year);
    for (int d = 0; d < days; ++d) {
      if (file.AtEnd()) return blocks;
      file.ReadLine();
    }
    ++blocks;
  }
  return blocks;
}

}  // namespace tarnwell
