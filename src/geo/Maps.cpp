#include "geo/Maps.h"

#include <gdal.h>
#include <netcdf.h>
#include <stdlib.h>
#include <unistd.h>

#include <ogr_srs_api.h>
#include <cerrno>
#include <cstring>

#include <cmath>
#include <filesystem>

#include "app/Session.h"
#include "app/Startup.h"
#include "geo/GdalHandles.h"
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
                     "holds " + std::to_string(modelOrder.size()) + " cells; the grid has " + std::to_string(g.rows) +
                         " x " + std::to_string(g.cols));
  std::vector<double> v = NorthFirst(g, modelOrder);
  for (double& x : v)
    if (!std::isfinite(x)) x = kNoData;
  return v;
}

// The coordinate system as a CF grid mapping: its name and the parameters of the
// projection and the ellipsoid. An empty name: a projection CF has no name for.
struct CfGridMapping {
  std::string name;
  bool geographic = false;
  std::vector<std::pair<std::string, std::vector<double>>> parameters;
};

CfGridMapping GridMappingOf(const std::string& wkt) {
  CfGridMapping m;
  Srs srs = SrsFromWkt(wkt);
  const auto h = static_cast<OGRSpatialReferenceH>(srs.get());
  if (!h) return m;
  auto parm = [h](const char* name) { return OSRGetProjParm(h, name, 0.0, nullptr); };
  if (OSRIsGeographic(h)) {
    m.name = "latitude_longitude";
    m.geographic = true;
  } else if (OSRIsProjected(h)) {
    const char* p = OSRGetAttrValue(h, "PROJECTION", 0);
    const std::string projection = p ? p : "";
    auto set = [&m](const char* name, std::vector<double> v) { m.parameters.emplace_back(name, std::move(v)); };
    if (projection == SRS_PT_TRANSVERSE_MERCATOR) {
      m.name = "transverse_mercator";
      set("scale_factor_at_central_meridian", {parm(SRS_PP_SCALE_FACTOR)});
      set("longitude_of_central_meridian", {parm(SRS_PP_CENTRAL_MERIDIAN)});
      set("latitude_of_projection_origin", {parm(SRS_PP_LATITUDE_OF_ORIGIN)});
    } else if (projection == SRS_PT_LAMBERT_AZIMUTHAL_EQUAL_AREA) {
      m.name = "lambert_azimuthal_equal_area";
      set("longitude_of_projection_origin", {parm(SRS_PP_LONGITUDE_OF_CENTER)});
      set("latitude_of_projection_origin", {parm(SRS_PP_LATITUDE_OF_CENTER)});
    } else if (projection == SRS_PT_ALBERS_CONIC_EQUAL_AREA) {
      m.name = "albers_conical_equal_area";
      set("standard_parallel", {parm(SRS_PP_STANDARD_PARALLEL_1), parm(SRS_PP_STANDARD_PARALLEL_2)});
      set("longitude_of_central_meridian", {parm(SRS_PP_LONGITUDE_OF_CENTER)});
      set("latitude_of_projection_origin", {parm(SRS_PP_LATITUDE_OF_CENTER)});
    } else if (projection == SRS_PT_LAMBERT_CONFORMAL_CONIC_2SP) {
      m.name = "lambert_conformal_conic";
      set("standard_parallel", {parm(SRS_PP_STANDARD_PARALLEL_1), parm(SRS_PP_STANDARD_PARALLEL_2)});
      set("longitude_of_central_meridian", {parm(SRS_PP_CENTRAL_MERIDIAN)});
      set("latitude_of_projection_origin", {parm(SRS_PP_LATITUDE_OF_ORIGIN)});
    } else if (projection == SRS_PT_LAMBERT_CONFORMAL_CONIC_1SP &&
               OSRGetProjParm(h, SRS_PP_SCALE_FACTOR, 1.0, nullptr) == 1.0) {
      // One standard parallel at the origin; CF has no scale factor for this projection.
      m.name = "lambert_conformal_conic";
      set("standard_parallel", {parm(SRS_PP_LATITUDE_OF_ORIGIN)});
      set("longitude_of_central_meridian", {parm(SRS_PP_CENTRAL_MERIDIAN)});
      set("latitude_of_projection_origin", {parm(SRS_PP_LATITUDE_OF_ORIGIN)});
    } else if (projection == SRS_PT_MERCATOR_1SP) {
      m.name = "mercator";
      set("longitude_of_projection_origin", {parm(SRS_PP_CENTRAL_MERIDIAN)});
      set("scale_factor_at_projection_origin", {OSRGetProjParm(h, SRS_PP_SCALE_FACTOR, 1.0, nullptr)});
    } else if (projection == SRS_PT_MERCATOR_2SP) {
      m.name = "mercator";
      set("longitude_of_projection_origin", {parm(SRS_PP_CENTRAL_MERIDIAN)});
      set("standard_parallel", {parm(SRS_PP_STANDARD_PARALLEL_1)});
    } else {
      return m;
    }
    set("false_easting", {parm(SRS_PP_FALSE_EASTING)});
    set("false_northing", {parm(SRS_PP_FALSE_NORTHING)});
  } else {
    return m;
  }
  OGRErr err = OGRERR_NONE;
  const double a = OSRGetSemiMajor(h, &err);
  if (err == OGRERR_NONE) m.parameters.push_back({"semi_major_axis", {a}});
  const double f = OSRGetInvFlattening(h, &err);
  if (err == OGRERR_NONE) m.parameters.push_back({"inverse_flattening", {f}});
  m.parameters.push_back({"longitude_of_prime_meridian", {OSRGetPrimeMeridian(h, nullptr)}});
  return m;
}

}  // namespace

std::vector<std::string> WriteYearlyMaps(const SubBasinMaps& maps, const GridGeoref& georef,
                                         const std::string& dirFsPath, const std::string& dirDisplay,
                                         const std::string& label, MapFormat format) {
  if (maps.rows != georef.rows || maps.cols != georef.cols)
    throw InputError(dirDisplay, 0,
                     "maps of " + std::to_string(maps.rows) + " x " + std::to_string(maps.cols) +
                         " cells for a grid of " + std::to_string(georef.rows) + " x " + std::to_string(georef.cols));
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
  // The coordinate system as CF states it (a grid mapping of a name CF lists, with its
  // parameters), and as WKT for the tools that read that. A projection CF has no name for
  // cannot be a grid mapping: its WKT stays in the crs variable, which the maps then do not
  // name (the GeoTIFFs carry it in full).
  const CfGridMapping mapping = GridMappingOf(georef.crsWkt);
  const bool projected = !mapping.name.empty();
  nc.PutText(yVar, "standard_name", mapping.geographic ? "latitude" : "projection_y_coordinate");
  nc.PutText(yVar, "long_name", "y of the cell centre");
  nc.PutText(yVar, "units", mapping.geographic ? "degrees_north" : "m");
  nc.PutText(yVar, "axis", "Y");
  nc.PutText(xVar, "standard_name", mapping.geographic ? "longitude" : "projection_x_coordinate");
  nc.PutText(xVar, "long_name", "x of the cell centre");
  nc.PutText(xVar, "units", mapping.geographic ? "degrees_east" : "m");
  nc.PutText(xVar, "axis", "X");
  if (!georef.crsWkt.empty()) {
    const int crsVar = nc.AddVariable("crs", NC_INT, {});
    if (projected) nc.PutText(crsVar, "grid_mapping_name", mapping.name);
    for (const auto& [attribute, values] : mapping.parameters) nc.PutReals(crsVar, attribute, values);
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

std::vector<std::string> WriteSubBasinMaps(const MapsTarget& target, int k, const SubBasinMaps& maps,
                                           MapFormat format) {
  return WriteYearlyMaps(maps, target.georefs.at(static_cast<std::size_t>(k - 1)), target.dirFs, target.dirDisplay,
                         "subbasin" + std::to_string(k), format);
}

}  // namespace tarnwell::geo
