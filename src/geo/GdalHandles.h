// Ownership of GDAL and OGR handles inside the geo library (not part of its interface).
#pragma once

#include <cpl_string.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <memory>
#include <string>

namespace tarnwell::geo {

struct DatasetCloser {
  void operator()(void* ds) const {
    if (ds) GDALClose(static_cast<GDALDatasetH>(ds));
  }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

struct SrsReleaser {
  void operator()(void* srs) const {
    if (srs) OSRDestroySpatialReference(static_cast<OGRSpatialReferenceH>(srs));
  }
};
using Srs = std::unique_ptr<void, SrsReleaser>;

// A spatial reference from WKT, with x = easting / longitude first whatever the authority
// says; null for an empty text.
Srs SrsFromWkt(const std::string& wkt);

// Arguments of GDAL's utility functions, as their NULL-terminated list.
class ArgList {
 public:
  ArgList& Add(const std::string& a) {
    args_ = CSLAddString(args_, a.c_str());
    return *this;
  }
  char** Get() const { return args_; }
  ~ArgList() { CSLDestroy(args_); }

 private:
  char** args_ = nullptr;
};

}  // namespace tarnwell::geo
