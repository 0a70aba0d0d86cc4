// Where a sub-basin's grids lie on the map. The model's grid header cannot say it: its
// cell width is the x extent over the number of rows and its cell height the y extent
// over the number of columns, and it has no coordinate system. So the import writes the
// true georeference beside the grids in "georef.txt":
//
//   crs = <the coordinate system as WKT (or EPSG:<code>); absent when it is not known>
//   west = <x of the west edge>          south = <y of the south edge>
//   cell_width = <x size of a cell>      cell_height = <y size of a cell>
//   rows = <rows>                        columns = <columns>
//   first_row = south | north            (which row the first value line holds)
//
// one key a line. Without that file the header stands in: origin (x min, y min), the
// model's own cell sizes, the first value line the southern row, no coordinate system.
#pragma once

#include <string>
#include <vector>

#include "geo/Raster.h"
#include "inputs/WGetData.h"

namespace tarnwell::geo {

inline constexpr const char* kGeorefFileName = "georef.txt";

struct GridGeoref {
  int rows = 0, cols = 0;
  double west = 0, south = 0;
  double cellWidth = 0, cellHeight = 0;
  std::string crsWkt;
  bool firstRowSouth = true;

  GridFrame Frame() const;  // north up
};

// A DSAA grid file as stored (the model's own parse of its header and value lines).
GridFile ReadGridFile(const std::string& fsPath, const std::string& displayName);

// The georeference of a grid file: georef.txt beside it when there is one (it must
// describe a grid of the same size), else the grid's header.
GridGeoref GridGeorefOf(const std::string& gridFsPath, const std::string& displayName, const GridFile& grid);

// georef.txt in dir, through the model's text writers.
void WriteGeorefFile(const std::string& dirFsPath, const std::string& dirDisplay, const GridGeoref& georef);

// Values of a grid stored in file order, north row first.
std::vector<double> NorthFirst(const GridGeoref& georef, const std::vector<double>& fileOrder);

}  // namespace tarnwell::geo
