// Sub-basins delineated from a D8 flow-direction grid and outlet points: each outlet's
// sub-basin is every cell whose flow path reaches it without passing another outlet first,
// so nested outlets split a basin into an upstream part and the rest down to the lower one.
#pragma once

#include <string>
#include <vector>

#include "geo/Raster.h"

namespace tarnwell::geo {

// How a grid codes the eight directions.
//  esri:   1 E, 2 SE, 4 S, 8 SW, 16 W, 32 NW, 64 N, 128 NE
//  taudem: 1 E, 2 NE, 3 N, 4 NW, 5 W, 6 SW, 7 S, 8 SE
//  grass:  1 NE, 2 N, 3 NW, 4 W, 5 SW, 6 S, 7 SE, 8 E (a negative code: the same direction,
//          flowing off the map)
enum class D8Coding { Esri, TauDem, Grass };

// "esri", "taudem", "grass"; false for anything else.
bool ParseD8Coding(const std::string& text, D8Coding& coding);

// The row and column step of a cell's flow (north row first: a step south is +1 row);
// false when the value is no direction of the coding (no-data, 0, a pit).
bool D8Step(D8Coding coding, double value, int& rowStep, int& colStep);

struct Outlet {
  int id = 0;
  double x = 0, y = 0;  // map coordinates
  long line = 0;        // where the outlet list gives it
  double areaKm2 = 0;   // the drainage area the list states; 0: none stated
  int row = -1, col = -1;
  double movedMetres = 0;  // from the centre of the cell holding (x, y) to the cell taken
  long accumulation = 0;   // cells draining through the cell taken, itself included (the
                           // sub-basin and every one nested above it)
};

// Refuses a data cell whose value is no direction of the coding (0, a pit, is allowed) and
// directions that run in a loop, naming the cell by its row, column and map coordinates.
void RequireSoundDirections(const Raster& directions, D8Coding coding);

// The outlets' cells, each checked to lie on the flow network (a cell of the grid with a
// direction); `listName` names the outlet list in messages. With a snap radius (in cells),
// each outlet moves to the cell of the largest flow accumulation within that distance of its
// own cell, so that a gauge a little beside its river cell takes the river's basin. The
// directions must be sound (RequireSoundDirections).
void PlaceOutlets(const Raster& directions, D8Coding coding, std::vector<Outlet>& outlets, const std::string& listName,
                  int snapRadius = 0);

// The sub-basin id of every cell (0: draining to no outlet), north row first.
std::vector<int> DelineateSubBasins(const Raster& directions, D8Coding coding, const std::vector<Outlet>& outlets);

}  // namespace tarnwell::geo
