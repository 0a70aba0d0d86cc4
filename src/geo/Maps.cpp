#include "geo/Maps.h"

#include <gdal.h>
#include <netcdf.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <cmath>
#include <filesystem>

#include "app/Session.h"
#include "app/Startup.h"
#include "geo/GeoSupport.h"
#include "geo/NetcdfFile.h"
#include "geo/Raster.h"
#include "model/Errors.h"

namespace tarnwell::geo {

namespace fs = std::filesystem;

namespace {

constexpr double kNoData = -9999;

struct Quantity {
  const char* name;
  const char* units;
  const char* longName;
  std::vector<double> YearlyCellMaps::*grid;
};
const Quantity kQuantities[] = {
    {"precipitation", "mm", "annual precipitation", &YearlyCellMaps::precipitation},
    {"evapotranspiration", "mm", "annual actual evapotranspiration", &YearlyCellMaps::evapotranspiration},
    {"runoff", "mm", "annual generated runoff", &YearlyCellMaps::runoff},
    {"soil_loss", "t ha-1", "annual soil loss", &YearlyCellMaps::soilLoss},
    {"water_table_depth", "m", "mean depth of the water table below the surface", &YearlyCellMaps::waterTableDepth},
    {"snow_pack", "mm", "largest snow pack of the year", &YearlyCellMaps::snowPack},
};

// A grid in the model's row order, north row first, outside cells no-data.
std::vector<double> NorthUp(const GridGeoref& g, const std::vector<double>& modelOrder, const std::string& what) {
  if (modelOrder.size() != static_cast<std::size_t>(g.rows) * static_cast<std::size_t>(g.cols))
    throw InputError(what, 0,
                     "holds " + std::to_string(modelOrder.size()) + " cells; the grid has " + std::to_string(g.rows) + " x " +
                         std::to_string(g.cols));
  std::vector<double> v = NorthFirst(g, modelOrder);
  for (double& x : v)
    if (!std::isfinite(x)) x = kNoData;
  return v;
}

}  // namespace

std::vector<std::string> WriteYearlyMaps(const SubBasinMaps& maps, const GridGeoref& georef, const std::string& dirFsPath,
                                         const std::string& dirDisplay, const std::string& label, MapFormat format) {
  if (maps.rows != georef.rows || maps.cols != georef.cols)
    throw InputError(dirDisplay, 0,
                     "maps of " + std::to_string(maps.rows) + " x " + std::to_string(maps.cols) + " cells for a grid of " +
                         std::to_string(georef.rows) + " x " + std::to_string(georef.cols));
  std::error_code ec;
  fs::create_directories(dirFsPath, ec);
  if (ec) throw FileError(dirDisplay, 0, "cannot create the directory: " + ec.message());
  const GridFrame frame = georef.Frame();
  std::vector<std::string> written;
  for (const YearlyCellMaps& y : maps.years)
    for (const Quantity& q : kQuantities) {
      const std::string name = label + "_" + q.name + "_" + std::to_string(y.year) + ".tif";
      WriteGeoTiff((fs::path(dirFsPath) / name).string(), dirDisplay + "/" + name, frame,
                   NorthUp(georef, y.*q.grid, name), kNoData, PixelType::Float64);
      written.push_back(dirDisplay + "/" + name);
    }
  if (format != MapFormat::Netcdf) return written;

  const std::string name = label + ".nc";
  NetcdfFile nc = NetcdfFile::Create((fs::path(dirFsPath) / name).string(), dirDisplay + "/" + name);
  nc.PutText(NC_GLOBAL, "Conventions", "CF-1.8");
  nc.PutText(NC_GLOBAL, "title", "Yearly maps of every cell of " + label);
  const int yearDim = nc.AddDimension("year", maps.years.size());
  const int yDim = nc.AddDimension("y", static_cast<std::size_t>(georef.rows));
  const int xDim = nc.AddDimension("x", static_cast<std::size_t>(georef.cols));
  const int yearVar = nc.AddVariable("year", NC_INT, {yearDim});
  nc.PutText(yearVar, "long_name", "calendar year");
  nc.PutText(yearVar, "units", "1");
  const int yVar = nc.AddVariable("y", NC_DOUBLE, {yDim});
  const int xVar = nc.AddVariable("x", NC_DOUBLE, {xDim});
  const bool projected = !georef.crsWkt.empty();
  nc.PutText(yVar, "standard_name", "projection_y_coordinate");
  nc.PutText(yVar, "long_name", "y of the cell centre");
  nc.PutText(yVar, "units", "m");
  nc.PutText(yVar, "axis", "Y");
  nc.PutText(xVar, "standard_name", "projection_x_coordinate");
  nc.PutText(xVar, "long_name", "x of the cell centre");
  nc.PutText(xVar, "units", "m");
  nc.PutText(xVar, "axis", "X");
  int crsVar = -1;
  if (projected) {
    crsVar = nc.AddVariable("crs", NC_INT, {});
    nc.PutText(crsVar, "crs_wkt", georef.crsWkt);
    nc.PutText(crsVar, "spatial_ref", georef.crsWkt);
  }
  std::vector<int> vars;
  for (const Quantity& q : kQuantities) {
    const int v = nc.AddVariable(q.name, NC_DOUBLE, {yearDim, yDim, xDim});
    nc.PutText(v, "long_name", q.longName);
    nc.PutText(v, "units", q.units);
    if (projected) nc.PutText(v, "grid_mapping", "crs");
    nc.PutReal(v, "_FillValue", kNoData, NC_DOUBLE);
    vars.push_back(v);
  }
  nc.EndDefinitions();
  std::vector<int> years;
  for (const YearlyCellMaps& y : maps.years) years.push_back(y.year);
  nc.WriteInts(yearVar, years);
  std::vector<double> ys, xs;
  for (int r = 0; r < georef.rows; ++r) ys.push_back(frame.CentreY(r));
  for (int c = 0; c < georef.cols; ++c) xs.push_back(frame.CentreX(c));
  nc.WriteReals(yVar, ys);
  nc.WriteReals(xVar, xs);
  for (std::size_t i = 0; i < std::size(kQuantities); ++i) {
    std::vector<double> all;
    for (const YearlyCellMaps& y : maps.years) {
      std::vector<double> v = NorthUp(georef, y.*kQuantities[i].grid, name);
      all.insert(all.end(), v.begin(), v.end());
    }
    nc.WriteReals(vars[i], all);
  }
  nc.Finish();
  written.push_back(dirDisplay + "/" + name);
  return written;
}

namespace {

// A file made and removed again in dir: whether this program may write there (the rights
// alone do not say it for root, nor on a file system mounted read-only).
void RequireWritable(const std::string& dirFs, const std::string& dirDisplay) {
  std::string probe = dirFs + "/.tarnwell-probe-XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) throw FileError(dirDisplay, 0, std::string("cannot write in the directory: ") + std::strerror(errno));
  ::close(fd);
  ::unlink(probe.c_str());
}

}  // namespace

MapsTarget PrepareMaps(Session& session, bool create) {
  ModelState& s = session.state;
  MapsTarget target;
  const auto paths = s.InputPath;  // the run's own, put back after
  for (int k = 1; k <= s.SubBasinCount; ++k) {
    LoadPaths(session, k);
    const std::string terrain = s.InputPath[1];
    const std::string terrainFs = session.ws.Resolve(terrain);
    target.georefs.push_back(
        GridGeorefOf(terrainFs, session.Display(terrain), ReadGridFile(terrainFs, session.Display(terrain))));
  }
  s.InputPath = paths;
  const std::string output = s.ProgramDir + "..\\Output", dir = output + "\\maps";
  target.dirDisplay = session.Display(dir);
  target.dirFs = session.ws.ResolveForWriting(dir);
  std::error_code ec;
  if (fs::exists(fs::symlink_status(target.dirFs, ec)) && !fs::is_directory(target.dirFs, ec))
    throw FileError(target.dirDisplay, 0, "is not a directory: the maps cannot be written there (remove or rename it)");
  if (fs::is_directory(target.dirFs, ec)) {
    RequireWritable(target.dirFs, target.dirDisplay);
  } else if (create) {
    std::string why;
    if (!session.ws.CreateDirectory(dir, &why))
      throw FileError(target.dirDisplay, 0, "cannot create the directory: " + why);
    RequireWritable(target.dirFs, target.dirDisplay);
  } else {
    RequireWritable(session.ws.ResolveForWriting(output), session.Display(output));
  }
  InitGdal();
  if (GDALGetDriverByName("GTiff") == nullptr)
    throw FileError(target.dirDisplay, 0, "this program's GDAL has no GeoTIFF driver: no maps can be written");
  return target;
}

std::vector<std::string> WriteSubBasinMaps(const MapsTarget& target, int k, const SubBasinMaps& maps, MapFormat format) {
  return WriteYearlyMaps(maps, target.georefs.at(static_cast<std::size_t>(k - 1)), target.dirFs, target.dirDisplay,
                         "subbasin" + std::to_string(k), format);
}

}  // namespace tarnwell::geo
