#include "geo/ImportConfig.h"

#include "geo/Raster.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "model/InputRanges.h"

namespace tarnwell::geo {

namespace {

const std::vector<std::string> kTableSuffixes{"_delimiter", "_skip_lines", "_header", "_date", "_no_data"};

std::vector<std::string> KnownKeys() {
  std::vector<std::string> keys{"terrain",
                                "land_cover",
                                "land_cover_classes",
                                "land_use_code",
                                "slope",
                                "slope_units",
                                "sub_basin_raster",
                                "flow_direction",
                                "flow_direction_coding",
                                "outlets",
                                "outlet_snap_radius",
                                "sub_basins",
                                "min_sub_basin_area_km2",
                                "source_crs",
                                "target_crs",
                                "target_cell_size",
                                "years",
                                "station_elevation",
                                "precipitation_netcdf",
                                "precipitation_variable",
                                "temperature_netcdf",
                                "temperature_variable",
                                "netcdf_coordinates",
                                "netcdf_crs",
                                "weather_table",
                                "weather_table_precipitation",
                                "weather_table_temperature",
                                "weather_table_discharge",
                                "weather_table_sediment",
                                "discharge",
                                "discharge_column",
                                "sediment",
                                "sediment_column",
                                "sediment_concentration",
                                "sub_basin_discharge",
                                "parameters",
                                "latitude",
                                "season_days",
                                "slope_colours",
                                "terrain_colours",
                                "land_use_colours"};
  for (const char* table : {"weather_table", "discharge", "sediment"})
    for (const std::string& suffix : kTableSuffixes) keys.push_back(table + suffix);
  return keys;
}

TableSource ReadTableSource(const KeyValueFile& f, const std::string& key, bool pattern) {
  TableSource t;
  t.key = key;
  t.path = pattern ? f.Value(key) : f.ExistingPath(key);
  const std::string d = f.ValueOr(key + "_delimiter", "comma");
  if (d == "comma" || d == ",") t.format.delimiter = ',';
  else if (d == "semicolon" || d == ";") t.format.delimiter = ';';
  else if (d == "tab") t.format.delimiter = '\t';
  else if (d == "whitespace") t.format.delimiter = ' ';
  else f.Refuse(key + "_delimiter", "it is comma, semicolon, tab or whitespace");
  if (f.Has(key + "_skip_lines")) {
    t.format.skipLines = f.Integer(key + "_skip_lines");
    if (t.format.skipLines < 0) f.Refuse(key + "_skip_lines", "it cannot be negative");
  }
  const std::string h = f.ValueOr(key + "_header", "yes");
  if (h != "yes" && h != "no") f.Refuse(key + "_header", "it is yes or no");
  t.format.header = h == "yes";
  t.format.dateColumns = SplitFields(f.ValueOr(key + "_date", "date"));
  if (t.format.dateColumns.size() != 1 && t.format.dateColumns.size() != 3)
    f.Refuse(key + "_date", "give one column (an ISO date) or three (year, month, day)");
  t.format.noData = f.ValueOr(key + "_no_data", "");
  return t;
}

}  // namespace

ImportConfig ReadImportConfig(const std::string& fsPath, const std::string& displayName) {
  ImportConfig c;
  c.file = KeyValueFile::Read(fsPath, displayName, KnownKeys());
  const KeyValueFile& f = c.file;
  auto requireKey = [&](const std::string& key, const std::string& why) {
    if (!f.Has(key)) throw InputError(displayName, 0, "the key \"" + key + "\" is missing (" + why + ")");
  };
  // Every table option needs its table.
  for (const char* table : {"weather_table", "discharge", "sediment"})
    for (const std::string& suffix : kTableSuffixes)
      if (f.Has(table + suffix) && !f.Has(table))
        throw InputError(displayName, f.Line(table + suffix),
                         std::string(table) + suffix + " is given without " + table);

  requireKey("terrain", "the terrain raster");
  if (f.Has("land_use_code")) {
    // A basin without a land-cover raster: one stated class for every cell.
    for (const char* key : {"land_cover", "land_cover_classes"})
      if (f.Has(key))
        throw InputError(displayName, f.Line(key),
                         std::string(key) + " is given beside land_use_code: give the raster or one code");
    if (!ParseInteger(f.Value("land_use_code"), c.landUseCode) || c.landUseCode < 1 || c.landUseCode > 149)
      f.Refuse("land_use_code", "it is a model land-use code from 1 to 149");
  } else {
    requireKey("land_cover", "the land-cover raster, or land_use_code: one land-use code for every cell");
    requireKey("land_cover_classes", "the table of land-cover classes and model codes");
  }
  requireKey("sub_basins", "the table of sub-basin ids, names and Muskingum K and x");
  c.terrain = f.ExistingPath("terrain");
  if (c.landUseCode == 0) {
    c.landCover = f.ExistingPath("land_cover");
    c.landCoverClasses = f.ExistingPath("land_cover_classes");
  }
  c.subBasins = f.ExistingPath("sub_basins");
  if (f.Has("slope")) c.slope = f.ExistingPath("slope");
  if (f.Has("slope_units")) {
    const std::string u = f.Value("slope_units");
    if (u != "degrees" && u != "percent") f.Refuse("slope_units", "it is degrees or percent");
    if (!f.Has("slope")) throw InputError(displayName, f.Line("slope_units"), "slope_units is given without slope");
    c.slopeInPercent = u == "percent";
  }

  if (f.Has("sub_basin_raster") == f.Has("flow_direction"))
    throw InputError(displayName, f.Line(f.Has("flow_direction") ? "flow_direction" : "sub_basin_raster"),
                     "give either sub_basin_raster or flow_direction with outlets, not " +
                         std::string(f.Has("flow_direction") ? "both" : "neither"));
  if (f.Has("sub_basin_raster")) {
    c.subBasinRaster = f.ExistingPath("sub_basin_raster");
    for (const char* key : {"outlets", "flow_direction_coding", "outlet_snap_radius"})
      if (f.Has(key)) throw InputError(displayName, f.Line(key), std::string(key) + " belongs to flow_direction");
  } else {
    c.flowDirection = f.ExistingPath("flow_direction");
    requireKey("outlets", "the outlet points of the sub-basins");
    c.outlets = f.ExistingPath("outlets");
    if (f.Has("flow_direction_coding") && !ParseD8Coding(f.Value("flow_direction_coding"), c.coding))
      f.Refuse("flow_direction_coding", "it is esri, taudem or grass");
    if (f.Has("outlet_snap_radius")) {
      int radius = 0;
      if (!ParseInteger(f.Value("outlet_snap_radius"), radius) || radius < 0 || radius > 50)
        f.Refuse("outlet_snap_radius", "it is a whole number of cells from 0 (the outlets stay) to 50");
      c.outletSnapRadius = radius;
    }
  }
  if (f.Has("min_sub_basin_area_km2")) {
    double area = 0;
    if (!ParseReal(f.Value("min_sub_basin_area_km2"), area) || area < 0)
      f.Refuse("min_sub_basin_area_km2", "it is an area in km2, 0 or above");
    c.minSubBasinAreaKm2 = area;
  }

  if (f.Has("source_crs")) c.sourceCrs = CrsFromText(f.Value("source_crs"), displayName, f.Line("source_crs"));
  if (f.Has("target_crs")) c.targetCrs = CrsFromText(f.Value("target_crs"), displayName, f.Line("target_crs"));
  if (f.Has("target_cell_size")) {
    c.targetCellSize = f.Real("target_cell_size");
    if (!(*c.targetCellSize > 0)) f.Refuse("target_cell_size", "it must be positive");
  }
  if (f.Has("years")) {
    std::vector<std::string> y = SplitFields(f.Value("years"));
    int a = 0, b = 0;
    if (y.size() != 2 || !ParseInteger(y[0], a) || !ParseInteger(y[1], b) || a > b || a < kFirstCalendarYear ||
        b > kLastCalendarYear)
      f.Refuse("years", "give the first and the last calendar year (" + std::to_string(kFirstCalendarYear) + " to " +
                            std::to_string(kLastCalendarYear) + "), as 1990 1993");
    c.firstYear = a;
    c.lastYear = b;
  }
  if (f.Has("station_elevation") && f.Value("station_elevation") != "mean") {
    int e = 0;
    if (!ParseInteger(f.Value("station_elevation"), e)) f.Refuse("station_elevation", "it is mean or whole metres");
    if (e < kLowestElevation || e > kHighestElevation)
      f.Refuse("station_elevation", "it lies beyond any land on Earth (-450 to 9000 m)");
    c.stationElevation = e;
  }

  // Weather: gridded or per sub-basin tables.
  const bool gridded = f.Has("precipitation_netcdf") || f.Has("temperature_netcdf");
  if (gridded == f.Has("weather_table"))
    throw InputError(
        displayName, f.Line(gridded ? "weather_table" : "precipitation_netcdf"),
        "give the weather either as precipitation_netcdf and temperature_netcdf or as weather_table, not " +
            std::string(gridded ? "both" : "neither"));
  if (gridded) {
    requireKey("precipitation_netcdf", "the gridded precipitation");
    requireKey("temperature_netcdf", "the gridded air temperature");
    c.precipitationNetcdf = f.ExistingPath("precipitation_netcdf");
    c.temperatureNetcdf = f.ExistingPath("temperature_netcdf");
    c.precipitationVariable = f.ValueOr("precipitation_variable", "pre");
    c.temperatureVariable = f.ValueOr("temperature_variable", "tavg");
    const std::string coords = f.ValueOr("netcdf_coordinates", "centres");
    if (coords == "upper-left") c.netcdfCoordinates = CellCoordinates::UpperLeft;
    else if (coords != "centres") f.Refuse("netcdf_coordinates", "it is centres or upper-left");
    if (f.Has("netcdf_crs")) c.netcdfCrs = CrsFromText(f.Value("netcdf_crs"), displayName, f.Line("netcdf_crs"));
  } else {
    for (const char* key : {"precipitation_variable", "temperature_variable", "netcdf_coordinates", "netcdf_crs"})
      if (f.Has(key)) throw InputError(displayName, f.Line(key), std::string(key) + " belongs to the gridded weather");
    c.weatherTable = ReadTableSource(f, "weather_table", true);
    const std::string& pattern = c.weatherTable->path;
    if (pattern.find("{id}") == std::string::npos && pattern.find("{name}") == std::string::npos)
      f.Refuse("weather_table", "the path must hold {id} or {name}, filled in for each sub-basin");
    c.weatherPrecipitation = f.ValueOr("weather_table_precipitation", "precipitation");
    c.weatherTemperature = f.ValueOr("weather_table_temperature", "temperature");
    c.weatherDischarge = f.ValueOr("weather_table_discharge", "");
    c.weatherSediment = f.ValueOr("weather_table_sediment", "");
  }

  if (f.Has("discharge")) {
    c.discharge = ReadTableSource(f, "discharge", false);
    c.dischargeColumn = f.ValueOr("discharge_column", "discharge");
  }
  if (f.Has("sediment") && f.Has("sediment_concentration"))
    throw InputError(displayName, f.Line("sediment_concentration"),
                     "give sediment or sediment_concentration, not both");
  if (f.Has("sediment")) {
    c.sediment = ReadTableSource(f, "sediment", false);
    c.sedimentColumn = f.ValueOr("sediment_column", "concentration");
  }
  if (f.Has("sediment_concentration")) {
    c.sedimentConcentration = f.Real("sediment_concentration");
    if (*c.sedimentConcentration < 0 || *c.sedimentConcentration > kLargestInputValue)
      f.Refuse("sediment_concentration", "it lies from 0 to 1e9 kg/m3");
  }
  if (f.Has("sub_basin_discharge")) {
    const std::string v = f.Value("sub_basin_discharge");
    if (v == "area-share") c.subBasinDischarge = SubBasinDischarge::AreaShare;
    else if (v != "none") f.Refuse("sub_basin_discharge", "it is area-share or none");
    if (c.subBasinDischarge == SubBasinDischarge::AreaShare && !c.discharge)
      f.Refuse("sub_basin_discharge", "the area share needs the outlet discharge (discharge)");
    if (c.subBasinDischarge == SubBasinDischarge::AreaShare && !c.weatherDischarge.empty())
      f.Refuse("sub_basin_discharge", "weather_table_discharge gives the sub-basins' discharge already");
  }

  if (f.Has("parameters")) c.parameters = f.ExistingPath("parameters");
  if (f.Has("latitude")) {
    c.latitude = f.Real("latitude");
    if (*c.latitude < -90 || *c.latitude > 90) f.Refuse("latitude", "it lies between -90 and 90");
  }
  if (f.Has("season_days")) {
    std::vector<std::string> d = SplitFields(f.Value("season_days"));
    int v = 0;
    bool ok = d.size() == 4;
    for (const std::string& t : d) ok = ok && ParseInteger(t, v) && v >= 1 && v <= 366;
    if (!ok) f.Refuse("season_days", "give four day numbers of the year (1-366)");
    c.seasonDays = d[0] + " " + d[1] + " " + d[2] + " " + d[3];
  }
  if (f.Has("slope_colours")) c.slopeColours = f.ExistingPath("slope_colours");
  if (f.Has("terrain_colours")) c.terrainColours = f.ExistingPath("terrain_colours");
  if (f.Has("land_use_colours")) c.landUseColours = f.ExistingPath("land_use_colours");
  return c;
}

}  // namespace tarnwell::geo
