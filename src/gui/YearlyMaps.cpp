#include "gui/YearlyMaps.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>

#include "app/Session.h"
#ifdef TARNWELL_HAVE_GEO
#include "geo/Raster.h"
#endif
#include "gui/GuiSupport.h"
#include "model/Errors.h"

namespace tarnwell::gui {

namespace fs = std::filesystem;

namespace {

ColourMap Ramp(std::initializer_list<ColourMap::Node> nodes) { return ColourMap{std::vector<ColourMap::Node>(nodes)}; }

std::string MapsDir(const Session& session) { return session.state.ProgramDir + "..\\Output\\maps"; }

std::string MapFile(const Session& session, int k, int quantity, int year) {
  return MapsDir(session) + "\\subbasin" + std::to_string(k) + "_" +
         YearlyQuantities()[static_cast<std::size_t>(quantity)].file + "_" + std::to_string(year) + ".tif";
}

}  // namespace

const std::vector<YearlyQuantity>& YearlyQuantities() {
  // Wet is blue, dry or eroded warm; a shallow water table is blue, a deep one the colour
  // of dry ground.
  static const std::vector<YearlyQuantity> quantities = {
      {"precipitation", "年降水量", "mm",
       Ramp({{0, 235, 245, 255, 255}, {50, 120, 170, 230, 255}, {100, 20, 60, 160, 255}})},
      {"evapotranspiration", "年实际蒸散发", "mm",
       Ramp({{0, 255, 250, 205, 255}, {50, 150, 200, 100, 255}, {100, 20, 110, 40, 255}})},
      {"runoff", "年产流量", "mm", Ramp({{0, 240, 250, 250, 255}, {50, 90, 190, 210, 255}, {100, 10, 60, 120, 255}})},
      {"soil_loss", "年土壤流失量", "t/ha",
       Ramp({{0, 255, 255, 210, 255}, {50, 250, 170, 60, 255}, {100, 170, 20, 20, 255}})},
      {"water_table_depth", "平均地下水埋深", "m",
       Ramp({{0, 30, 90, 200, 255}, {50, 180, 220, 200, 255}, {100, 200, 160, 100, 255}})},
      {"snow_pack", "最大积雪", "mm",
       Ramp({{0, 250, 250, 255, 255}, {50, 160, 170, 230, 255}, {100, 80, 40, 140, 255}})},
  };
  return quantities;
}

std::vector<int> YearlyMapYears(const Session& session, int k) {
  const std::string prefix = "subbasin" + std::to_string(k) + "_";
  std::set<int> years;
  std::error_code ec;
  for (fs::directory_iterator it(session.ws.Resolve(MapsDir(session)), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0 || name.size() < prefix.size() + 9 || name.substr(name.size() - 4) != ".tif")
      continue;
    const std::string rest = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    for (const YearlyQuantity& q : YearlyQuantities()) {
      const std::string head = std::string(q.file) + "_";
      if (rest.rfind(head, 0) != 0) continue;
      const std::string digits = rest.substr(head.size());
      if (!digits.empty() && digits.size() <= 4 &&
          std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        years.insert(std::stoi(digits));
    }
  }
  return {years.begin(), years.end()};
}

MapGrid ReadYearlyMap(const Session& session, int k, int quantity, int year) {
  const std::string path = MapFile(session, k, quantity, year);
#ifndef TARNWELL_HAVE_GEO
  throw FileError(session.Display(path), 0, "this build cannot read GeoTIFF files (built without GDAL)");
#else
  const geo::Raster raster = geo::ReadRaster(session.ws.Resolve(path), session.Display(path), "");
  MapGrid g;
  g.rows = raster.frame.rows;
  g.cols = raster.frame.cols;
  g.zMax = 0;
  g.z.resize(raster.values.size());
  // The file holds the north row first; the maps keep the south edge as their first row.
  for (int r = 0; r < g.rows; ++r)
    for (int c = 0; c < g.cols; ++c) {
      const std::size_t from = static_cast<std::size_t>(g.rows - 1 - r) * g.cols + c;
      g.z[static_cast<std::size_t>(r) * g.cols + c] = raster.IsData(from) ? raster.values[from] : std::nan("");
    }
  return g;
#endif
}

QImage DrawYearlyMap(const Session& session, int k, int quantity, int year) {
  const YearlyQuantity& q = YearlyQuantities()[static_cast<std::size_t>(quantity)];
  const MapGrid grid = ReadYearlyMap(session, k, quantity, year);
  const QString name = Q(session.state.SubBasinName[static_cast<std::size_t>(k)]);
  return DrawMap(MapKind::Yearly, grid, q.colours,
                 QString("%1  %2  %3年 (%4)").arg(name).arg(q.title).arg(year).arg(q.units));
}

QString NoYearlyMapsHint() {
  return "这个子流域还没有逐年分布图。\n请先用命令行运行 tarnwell run --maps --workspace <工作目录>，\n"
         "再点击“流域地表图”。";
}

}  // namespace tarnwell::gui
