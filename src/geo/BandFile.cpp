#include "geo/BandFile.h"

#include <netcdf.h>

#include <cmath>

#include "geo/NetcdfFile.h"

namespace tarnwell::geo {

void WriteBandFile(const std::string& fsPath, const std::string& displayName, int firstYear,
                   const std::vector<int>& days, const std::vector<double>& observed, const std::vector<double>& low,
                   const std::vector<double>& median, const std::vector<double>& high) {
  NetcdfFile nc = NetcdfFile::Create(fsPath, displayName);
  nc.PutText(NC_GLOBAL, "Conventions", "CF-1.8");
  nc.PutText(NC_GLOBAL, "featureType", "timeSeries");
  nc.PutText(NC_GLOBAL, "title", "uncertainty band (GLUE) of the daily discharge at the basin's outlet");
  nc.PutText(NC_GLOBAL, "source", "tarnwell uncertainty --method glue");
  const int time = nc.AddDimension("time", days.size());
  const int timeVar = nc.AddVariable("time", NC_INT, {time});
  nc.PutText(timeVar, "standard_name", "time");
  nc.PutText(timeVar, "units", "days since " + std::to_string(firstYear) + "-01-01 00:00:00");
  nc.PutText(timeVar, "calendar", "standard");
  nc.PutText(timeVar, "axis", "T");
  struct Variable {
    const char* name;
    const char* longName;
    const std::vector<double>* values;
    int id = -1;
  };
  Variable variables[] = {{"observed_discharge", "observed discharge", &observed},
                          {"discharge_low", "5 % likelihood-weighted quantile of the simulated discharge", &low},
                          {"discharge_median", "50 % likelihood-weighted quantile of the simulated discharge", &median},
                          {"discharge_high", "95 % likelihood-weighted quantile of the simulated discharge", &high}};
  for (Variable& v : variables) {
    v.id = nc.AddVariable(v.name, NC_DOUBLE, {time});
    nc.PutText(v.id, "long_name", v.longName);
    nc.PutText(v.id, "units", "m3 s-1");
    nc.PutReal(v.id, "_FillValue", NC_FILL_DOUBLE, NC_DOUBLE);
  }
  nc.EndDefinitions();
  nc.WriteInts(timeVar, days);
  for (const Variable& v : variables) {
    std::vector<double> values(days.size(), NC_FILL_DOUBLE);
    for (std::size_t i = 0; i < values.size() && i < v.values->size(); ++i) {
      const double x = (*v.values)[i];
      if (std::isfinite(x) && (v.values != &observed || x >= 0)) values[i] = x;
    }
    nc.WriteReals(v.id, values);
  }
  nc.Finish();
}

}  // namespace tarnwell::geo
