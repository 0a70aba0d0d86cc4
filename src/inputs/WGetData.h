// Readers of the sub-basin grids (DSAA text grids: terrain, land use, slope) and of the
// season file. Each takes a reader open at the file's first line.
#pragma once

#include <vector>

namespace tarnwell {

struct ModelState;
class TextReader;

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
