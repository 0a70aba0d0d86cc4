// The yearly maps of every cell that "tarnwell run --maps" writes under Output/maps/
// (subbasin<k>_<quantity>_<year>.tif), drawn for the window's maps area beside the three
// maps of the terrain.
#pragma once

#include <QImage>
#include <QString>
#include <vector>

#include "gui/MapMaker.h"

namespace tarnwell {
struct Session;
}

namespace tarnwell::gui {

struct YearlyQuantity {
  const char* file;   // the quantity's part of the file name
  const char* title;  // the page's caption and the map's title
  const char* units;
  ColourMap colours;  // low values first
};
// The six quantities in the order of their pages.
const std::vector<YearlyQuantity>& YearlyQuantities();

// The years for which sub-basin k has at least one yearly map, in order (none when the
// directory or the files are missing).
std::vector<int> YearlyMapYears(const Session& session, int k);

// The grid of a yearly map in the maps' own row order (the first row the south edge), cells
// outside the sub-basin NaN. Throws naming the file when it cannot be read.
MapGrid ReadYearlyMap(const Session& session, int k, int quantity, int year);

// The picture of one yearly map, north up, with its colour scale.
QImage DrawYearlyMap(const Session& session, int k, int quantity, int year);

// What a yearly page says when the run kept no maps.
QString NoYearlyMapsHint();

}  // namespace tarnwell::gui
