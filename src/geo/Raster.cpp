#include "geo/Raster.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal_utils.h>

#include <cmath>
#include <filesystem>

#include "geo/GdalHandles.h"
#include "geo/GeoSupport.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell::geo {

namespace {

std::string GdalReason() {
  std::string m = TakeGdalMessage();
  return m.empty() ? "GDAL gave no reason" : m;
}

// A dataset in memory holding the grid's values.
Dataset MemoryDataset(const GridFrame& frame, const std::vector<double>& values, bool hasNoData, double noData,
                      const std::string& crs) {
  InitGdal();
  GDALDriverH mem = GDALGetDriverByName("MEM");
  Dataset ds(GDALCreate(mem, "", frame.cols, frame.rows, 1, GDT_Float64, nullptr));
  if (!ds)
    throw InputError("memory", 0,
                     "GDAL cannot hold a grid of " + std::to_string(frame.rows) + " x " + std::to_string(frame.cols) +
                         " cells: " + GdalReason());
  double gt[6] = {frame.west, frame.cellWidth, 0, frame.north, 0, -frame.cellHeight};
  GDALSetGeoTransform(ds.get(), gt);
  if (!crs.empty()) GDALSetProjection(ds.get(), crs.c_str());
  GDALRasterBandH band = GDALGetRasterBand(ds.get(), 1);
  if (hasNoData) GDALSetRasterNoDataValue(band, noData);
  if (GDALRasterIO(band, GF_Write, 0, 0, frame.cols, frame.rows, const_cast<double*>(values.data()), frame.cols,
                   frame.rows, GDT_Float64, 0, 0) != CE_None)
    throw InputError("memory", 0, "GDAL cannot store the grid: " + GdalReason());
  return ds;
}

// Band 1 of an open dataset as a Raster named `name`.
Raster FromDataset(GDALDatasetH ds, const std::string& name, const std::string& assumedCrs) {
  Raster r;
  r.name = name;
  double gt[6];
  if (GDALGetGeoTransform(ds, gt) != CE_None)
    throw InputError(name, 0, "the raster has no georeference (no origin and cell size)");
  if (gt[2] != 0 || gt[4] != 0) throw InputError(name, 0, "the raster is rotated; only north-up grids are read");
  r.frame.cols = GDALGetRasterXSize(ds);
  r.frame.rows = GDALGetRasterYSize(ds);
  r.frame.west = gt[0];
  r.frame.cellWidth = gt[1];
  const bool southUp = gt[5] > 0;
  r.frame.cellHeight = std::fabs(gt[5]);
  r.frame.north = southUp ? gt[3] + gt[5] * r.frame.rows : gt[3];
  if (!(r.frame.cellWidth > 0) || !(r.frame.cellHeight > 0))
    throw InputError(name, 0, "the raster's cell size is not positive");
  if (!(r.frame.cellWidth <= kLargestCellSize && r.frame.cellHeight <= kLargestCellSize))
    throw InputError(name, 0,
                     "the raster's cell size " + ShortestReal(r.frame.cellWidth) + " x " +
                         ShortestReal(r.frame.cellHeight) + " is beyond any map's (at most " +
                         ShortestReal(kLargestCellSize) + ")");
  for (const double edge : {r.frame.west, r.frame.north, r.frame.East(), r.frame.South()})
    if (!(std::fabs(edge) <= kLargestMapCoordinate))
      throw InputError(name, 0,
                       "the raster's edge at " + ShortestReal(edge) + " lies beyond any map coordinate (at most " +
                           ShortestReal(kLargestMapCoordinate) + " from the origin)");
  const char* wkt = GDALGetProjectionRef(ds);
  r.frame.crsWkt = wkt && *wkt ? wkt : assumedCrs;
  GDALRasterBandH band = GDALGetRasterBand(ds, 1);
  if (!band) throw InputError(name, 0, "the raster has no band");
  int has = 0;
  const double nd = GDALGetRasterNoDataValue(band, &has);
  r.hasNoData = has != 0;
  r.noData = nd;
  r.values.resize(r.frame.Cells());
  if (GDALRasterIO(band, GF_Read, 0, 0, r.frame.cols, r.frame.rows, r.values.data(), r.frame.cols, r.frame.rows,
                   GDT_Float64, 0, 0) != CE_None)
    throw FileError(name, 0, "GDAL cannot read the values: " + GdalReason());
  if (southUp) {
    for (int a = 0, b = r.frame.rows - 1; a < b; ++a, --b)
      std::swap_ranges(r.values.begin() + static_cast<long>(a) * r.frame.cols,
                       r.values.begin() + static_cast<long>(a + 1) * r.frame.cols,
                       r.values.begin() + static_cast<long>(b) * r.frame.cols);
  }
  return r;
}

}  // namespace

Srs SrsFromWkt(const std::string& wkt) {
  if (wkt.empty()) return Srs(nullptr);
  Srs srs(OSRNewSpatialReference(nullptr));
  if (OSRSetFromUserInput(static_cast<OGRSpatialReferenceH>(srs.get()), wkt.c_str()) != OGRERR_NONE)
    return Srs(nullptr);
  OSRSetAxisMappingStrategy(static_cast<OGRSpatialReferenceH>(srs.get()), OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

bool GridFrame::SameGrid(const GridFrame& o) const {
  if (rows != o.rows || cols != o.cols) return false;
  const double tol = 1e-6 * std::min(cellWidth, cellHeight);
  if (std::fabs(west - o.west) > tol || std::fabs(north - o.north) > tol) return false;
  if (std::fabs(cellWidth - o.cellWidth) > tol || std::fabs(cellHeight - o.cellHeight) > tol) return false;
  return SameCrs(crsWkt, o.crsWkt);
}

bool Raster::IsData(std::size_t i) const {
  const double v = values[i];
  return std::isfinite(v) && !(hasNoData && v == noData);
}

std::size_t Raster::DataCells() const {
  std::size_t n = 0;
  for (std::size_t i = 0; i < values.size(); ++i) n += IsData(i) ? 1 : 0;
  return n;
}

Raster ReadRaster(const std::string& fsPath, const std::string& displayName, const std::string& assumedCrs) {
  InitGdal();
  TakeGdalMessage();
  RequireInputFile(fsPath, displayName);
  Dataset ds(GDALOpen(fsPath.c_str(), GA_ReadOnly));
  if (!ds) throw FileError(displayName, 0, "not a raster GDAL can read: " + GdalReason());
  return FromDataset(ds.get(), displayName, assumedCrs);
}

Raster OnGrid(const Raster& source, const GridFrame& target, Resampling how) {
  if (source.frame.SameGrid(target)) {
    Raster r = source;
    r.frame = target;
    return r;
  }
  // Without a coordinate system on either side the grids are taken to share one.
  const bool reproject = !source.frame.crsWkt.empty() && !target.crsWkt.empty();
  Dataset src = MemoryDataset(source.frame, source.values, source.hasNoData, source.noData,
                              reproject ? source.frame.crsWkt : std::string());
  const double noData = source.hasNoData ? source.noData : -9999.0;
  ArgList args;
  args.Add("-of").Add("MEM").Add("-ot").Add("Float64");
  args.Add("-te")
      .Add(ShortestReal(target.west))
      .Add(ShortestReal(target.South()))
      .Add(ShortestReal(target.East()))
      .Add(ShortestReal(target.north));
  args.Add("-ts").Add(std::to_string(target.cols)).Add(std::to_string(target.rows));
  args.Add("-r").Add(how == Resampling::Nearest ? "near" : how == Resampling::Bilinear ? "bilinear" : "mode");
  args.Add("-dstnodata").Add(ShortestReal(noData));
  if (reproject) args.Add("-t_srs").Add(target.crsWkt);
  GDALWarpAppOptions* options = GDALWarpAppOptionsNew(args.Get(), nullptr);
  if (!options) throw InputError(source.name, 0, "GDAL refuses the resampling: " + GdalReason());
  GDALDatasetH in = src.get();
  int usageError = 0;
  TakeGdalMessage();
  Dataset out(GDALWarp("", nullptr, 1, &in, options, &usageError));
  GDALWarpAppOptionsFree(options);
  if (!out) throw InputError(source.name, 0, "cannot be resampled onto the target grid: " + GdalReason());
  Raster r = FromDataset(out.get(), source.name, target.crsWkt);
  r.frame = target;
  r.hasNoData = true;
  r.noData = noData;
  return r;
}

Raster HornSlope(const Raster& terrain) {
  constexpr double kNoData = -9999.0;
  // Cells that are not data become the no-data value gdaldem skips.
  std::vector<double> values = terrain.values;
  for (std::size_t i = 0; i < values.size(); ++i)
    if (!terrain.IsData(i)) values[i] = kNoData;
  Dataset src = MemoryDataset(terrain.frame, values, true, kNoData, terrain.frame.crsWkt);
  ArgList args;
  args.Add("-of").Add("MEM").Add("-alg").Add("Horn").Add("-compute_edges");
  GDALDEMProcessingOptions* options = GDALDEMProcessingOptionsNew(args.Get(), nullptr);
  if (!options) throw InputError(terrain.name, 0, "GDAL refuses the slope computation: " + GdalReason());
  int usageError = 0;
  TakeGdalMessage();
  Dataset out(GDALDEMProcessing("", src.get(), "slope", nullptr, options, &usageError));
  GDALDEMProcessingOptionsFree(options);
  if (!out) throw InputError(terrain.name, 0, "GDAL cannot compute its slope: " + GdalReason());
  Raster r = FromDataset(out.get(), terrain.name + " (slope)", terrain.frame.crsWkt);
  r.frame = terrain.frame;
  return r;
}

std::string CrsFromText(const std::string& text, const std::string& where, long line) {
  InitGdal();
  Srs srs(OSRNewSpatialReference(nullptr));
  if (OSRSetFromUserInput(static_cast<OGRSpatialReferenceH>(srs.get()), text.c_str()) != OGRERR_NONE)
    throw InputError(where, line, "\"" + text + "\" is not a coordinate system GDAL knows");
  char* wkt = nullptr;
  OSRExportToWkt(static_cast<OGRSpatialReferenceH>(srs.get()), &wkt);
  std::string out = wkt ? wkt : "";
  CPLFree(wkt);
  return out;
}

bool SameCrs(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty() || a == b) return true;
  Srs sa = SrsFromWkt(a), sb = SrsFromWkt(b);
  if (!sa || !sb) return false;
  return OSRIsSame(static_cast<OGRSpatialReferenceH>(sa.get()), static_cast<OGRSpatialReferenceH>(sb.get())) != 0;
}

bool IsGeographicCrs(const std::string& wkt) {
  Srs s = SrsFromWkt(wkt);
  return s && OSRIsGeographic(static_cast<OGRSpatialReferenceH>(s.get())) != 0;
}

std::string CrsLabel(const std::string& wkt) {
  if (wkt.empty()) return "none";
  Srs s = SrsFromWkt(wkt);
  if (!s) return "unknown";
  auto h = static_cast<OGRSpatialReferenceH>(s.get());
  const char* key = OSRIsGeographic(h) ? "GEOGCS" : "PROJCS";
  const char* auth = OSRGetAuthorityName(h, key);
  const char* code = OSRGetAuthorityCode(h, key);
  if ((!auth || !code) && OSRAutoIdentifyEPSG(h) == OGRERR_NONE) {
    auth = OSRGetAuthorityName(h, key);
    code = OSRGetAuthorityCode(h, key);
  }
  if (auth && code) return std::string(auth) + ":" + code;
  const char* name = OSRGetName(h);
  return name ? name : "unnamed";
}

void WriteGeoTiff(const std::string& fsPath, const std::string& displayName, const GridFrame& frame,
                  const std::vector<double>& values, double noData, PixelType type) {
  InitGdal();
  TakeGdalMessage();
  const GDALDataType gdalType = type == PixelType::Byte      ? GDT_Byte
                                : type == PixelType::Int16   ? GDT_Int16
                                : type == PixelType::Int32   ? GDT_Int32
                                : type == PixelType::Float32 ? GDT_Float32
                                                             : GDT_Float64;
  const std::string part = fsPath + ".part";
  ArgList creation;
  creation.Add("COMPRESS=DEFLATE");
  {
    Dataset ds(
        GDALCreate(GDALGetDriverByName("GTiff"), part.c_str(), frame.cols, frame.rows, 1, gdalType, creation.Get()));
    if (!ds) throw FileError(displayName, 0, "cannot create the GeoTIFF: " + GdalReason());
    double gt[6] = {frame.west, frame.cellWidth, 0, frame.north, 0, -frame.cellHeight};
    GDALSetGeoTransform(ds.get(), gt);
    if (!frame.crsWkt.empty()) GDALSetProjection(ds.get(), frame.crsWkt.c_str());
    GDALRasterBandH band = GDALGetRasterBand(ds.get(), 1);
    GDALSetRasterNoDataValue(band, noData);
    if (GDALRasterIO(band, GF_Write, 0, 0, frame.cols, frame.rows, const_cast<double*>(values.data()), frame.cols,
                     frame.rows, GDT_Float64, 0, 0) != CE_None) {
      ds.reset();
      std::remove(part.c_str());
      throw FileError(displayName, 0, "cannot write the GeoTIFF: " + GdalReason());
    }
  }
  // Closing flushes the file: a failure then (a full disk) is only reported as GDAL's error.
  if (const std::string failed = TakeGdalMessage(); !failed.empty()) {
    std::remove(part.c_str());
    throw FileError(displayName, 0, "cannot write the GeoTIFF: " + failed);
  }
  std::error_code ec;
  std::filesystem::rename(part, fsPath, ec);
  if (ec) {
    std::remove(part.c_str());
    throw FileError(displayName, 0, "cannot write the GeoTIFF: " + ec.message());
  }
}

}  // namespace tarnwell::geo
