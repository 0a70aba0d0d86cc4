// Readers of the sub-basin grids (DSAA text grids: terrain, land use, slope) and of the
// season file. Each takes a reader open at the file's first line. Every reader is a parse
// (the file's numbers, checked, kept as read) and an apply (what the model derives from them
// into its state), so that inputs read once can be applied again for every year and every
// evaluation of a calibration.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace tarnwell {

struct ModelState;
class TextReader;

// A DSAA grid as read: its header numbers and rows x cols values, row-major, value line 1
// being row 1. `file` names it in messages.
struct GridFile {
  std::string file;
  int cols = 0, rows = 0;
  int xMin = 0, xMax = 0, yMin = 0, yMax = 0, zMin = 0, zMax = 0;
  std::vector<double> values;
};

// Lines 1-5 and the value lines of a terrain (readZ) or land-use grid.
GridFile ParseGridFile(TextReader& file, bool readZ);
// The value lines of a slope grid, whose header is not read: rows x cols values.
std::vector<double> ParseSlopeValues(TextReader& file, int rows, int cols);
// The four season days of line 2.
std::array<int, 4> ParseSeasonDays(TextReader& file);

void ApplyTerrainGrid(ModelState& state, const GridFile& grid);
void ApplyLandUseGrid(ModelState& state, const GridFile& grid);
void ApplySlopeValues(ModelState& state, const std::vector<double>& values);
void ApplySeasonDays(ModelState& state, const std::array<int, 4>& days);

// Reads rows value lines into grid rows 1..rows, columns 1..cols (token c - 1 of a line is
// column c; further tokens are ignored).
void ReadGridValues(std::vector<double>& grid, int rows, int cols, TextReader& file);

// Terrain: sizes, extent and z maximum; SurfElev; the initial water table 3 m below the
// surface; cell sizes; the lateral conductivity (0 where the terrain is no-data).
void ReadTerrainGrid(ModelState& state, TextReader& file);
// Land use: its own header (it must match the terrain grid's size); LandUse; BasinArea.
void ReadLandUseGrid(ModelState& state, TextReader& file);
// Slope in degrees: SlopeSine and SlopeMask; the sizes are those already read.
void ReadSlopeGrid(ModelState& state, TextReader& file);
// The four season day numbers of line 2.
void ReadSeasonFile(ModelState& state, TextReader& file);

// The largest grid the machine's memory can hold, in cells (header sizes above it are
// refused before anything is allocated).
long long MaxGridCells();

}  // namespace tarnwell

namespace tarnwell {
// Number of whole year blocks of a meteorological file (a header line, then one line per
// day of the year the header names). A block cut short is not counted.
int CountMetYearBlocks(TextReader& file);
}  // namespace tarnwell
