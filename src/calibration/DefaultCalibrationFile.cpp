// The calibration file written for a new workspace: the parameters that shape the daily
// discharge, each range with its reason. The ranges are those of a temperate basin of a few
// thousand km2, unless the basin's own data say otherwise: a small basin drains faster, a
// snowy one melts with more energy, a mountain one has thinner soils.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Check.h"
#include "calibration/CalibrationFile.h"
#include "model/ModelState.h"
#include "model/Observation.h"

namespace tarnwell {

namespace {

std::string YearRange(int first, int last) {
  return first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
}

const char* const kParameterLines[] = {
    "# --- Water balance ---",
    "# Multiplier of the Hamon potential evapotranspiration. Hamon's temperature formula runs",
    "# 20-40 % below Penman-Monteith in a humid temperate climate, so the factor may well",
    "# exceed 1; beyond 1.8 the basin would lose more than its rain to the air.",
    "EvapConversionCoef 0.8 1.8",
    "",
    "# --- Soil storage and runoff generation ---",
    "# Exponent B of the storage-capacity curve: the spread of tension-water capacity over",
    "# the cells. Humid basins with deep loamy soils sit at 0.1-0.3; steeper, shallower",
    "# uplands (schist plateaus) towards 0.5 and more.",
    "WmCurveExponent 0.05 0.8",
    "# Volume fractions of loams and silty loams on marl and schist: wilting point 0.05-0.18,",
    "# field capacity 0.20-0.38, saturation (porosity) 0.40-0.55. The ranges do not overlap,",
    "# so every point of the search keeps wilting point < field capacity < saturation.",
    "WiltingPoint 0.05 0.18",
    "FieldCapacity 0.2 0.38",
    "SaturatedWaterContent 0.4 0.55",
    "# Fraction of the water reaching a layer that bypasses it through macropores: wormholes",
    "# and root channels carry a tenth to half of heavy rain past the matrix in loams.",
    "PreferentialFlowPorosity 0.05 0.6",
    "# Share of the water above field capacity that drains from a layer in a day: slow in",
    "# clayey marls (1 %), fast in sandy or stony soils (50 %); a log search spreads the",
    "# effort evenly over that factor of 50.",
    "UpperLayerDrainageRate 0.01 0.5 log",
    "# Thickness of the deepest soil layer (mm): weathered rock and subsoil above the water",
    "# table, from thin soils on slate to deep loess-covered plateaus.",
    "LayerThickness3 200 1200",
    "",
    "# --- Free-water store: surface runoff, interflow, groundwater ---",
    "# Daily outflow fractions of the free water. Surface runoff leaves within a day or two,",
    "# interflow within days, recharge slowly; each range keeps that order of speed.",
    "FreeWaterOutflowSurface 0.05 0.8",
    "FreeWaterOutflowInterflow 0.02 0.6",
    "FreeWaterOutflowGroundwater 0.002 0.2 log",
    "# Free water (mm) held back before surface runoff and interflow start: storms of a few",
    "# mm make no quick flow on vegetated loams, several tens of mm are needed on forest soils.",
    "FreeWaterThresholdSurface 0 40",
    "FreeWaterThresholdInterflow 0 20",
    "",
    "# --- Recessions ---",
    "# Daily recession coefficients c of the two outlet reservoirs: a time constant of",
    "# 1 / (1 - c) days. Interflow: 2 to 20 days. Groundwater: baseflow recessions of rivers",
    "# on sedimentary and slate aquifers, 20 to 200 days.",
    "InterflowRecessionCoef 0.5 0.95",
    "GroundwaterRecessionCoef 0.95 0.995",
    "# Leakage to deep groundwater and groundwater outflow (mm per day with the water table",
    "# at the surface), and how fast both fall with its depth (per m). Each spans orders of",
    "# magnitude between tight marls and fissured limestone: searched in the logarithm.",
    "DeepLeakageCoef 0.001 1 log",
    "GroundwaterOutflowCoef 0.001 0.5 log",
    "WaterTableExponent 0.05 3 log",
    "",
    "# --- Snow ---",
    "# Degree-day factor (mm per degree C per day): 2-6 in mid-latitude uplands, where snow",
    "# lies for weeks rather than months and rain-on-snow makes the winter floods.",
    "SnowMeltRate 1.5 6",
    "# Air temperature (degrees C) below which precipitation falls as snow: the rain-snow",
    "# thresholds observed at stations lie between -1 and 3, higher where the air is dry.",
    "SnowfallTemp -1 3",
};

std::string Fixed(double v, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f", digits, v);
  return buf;
}

// A range of recession coefficients c from the reservoir's time constants 1 / (1 - c), in days.
std::string RecessionRange(const char* name, double shortest, double longest) {
  return std::string(name) + " " + Fixed(1 - 1 / shortest, 3) + " " + Fixed(1 - 1 / longest, 4);
}

// Replaces the parameter line of `name`, and the comment lines just above it, by `block`.
void Replace(std::vector<std::string>& lines, const std::string& name, const std::vector<std::string>& block) {
  const auto at = std::find_if(lines.begin(), lines.end(),
                               [&](const std::string& l) { return l.rfind(name + " ", 0) == 0; });
  if (at == lines.end()) return;
  auto first = at;
  while (first != lines.begin() && (first - 1)->rfind("# ", 0) == 0 && (first - 1)->rfind("# ---", 0) != 0) --first;
  const auto where = lines.erase(first, at + 1);
  lines.insert(where, block.begin(), block.end());
}

// The ranges the basin's data move, each with its reason.
void ScaleRanges(const BasinTraits& b, std::vector<std::string>& head, std::vector<std::string>& ranges) {
  head.push_back("# This basin: " + Fixed(b.areaKm2, 0) + " km2, mean elevation " + Fixed(b.meanElevation, 0) +
                 " m, mean air temperature " + Fixed(b.meanTemperature, 1) + " degrees C, " +
                 Fixed(100 * b.snowShare, 0) + " % of the precipitation on days below 0 degrees C.");
  // Travel times grow with the distance water runs, about the square root of the area, but the
  // aquifers' own recession less so: outside the 1000 to 20000 km2 the ranges were written for,
  // the reservoirs' time constants scale with the fourth root of the area, by 0.3 to 1.5.
  const double area = std::max(b.areaKm2, 1.0);
  const double f = area < 1000    ? std::max(0.3, std::pow(area / 1000, 0.25))
                   : area > 20000 ? std::min(1.5, std::pow(area / 20000, 0.25))
                                  : 1.0;
  if (f != 1.0) {
    const double interflow[2] = {std::max(1.25, 2 * f), 20 * f}, groundwater[2] = {20 * f, 200 * f};
    Replace(ranges, "InterflowRecessionCoef",
            {"# Daily recession coefficients c of the two outlet reservoirs: a time constant of",
             "# 1 / (1 - c) days. A basin of " + Fixed(b.areaKm2, 0) + " km2 drains " +
                 (f < 1 ? "faster than one of 1000" : "slower than one of 20000") + " km2: the time constants",
             "# scale with the fourth root of the area (" + Fixed(f, 2) + " x): interflow " + Fixed(interflow[0], 1) +
                 " to " + Fixed(interflow[1], 1) + " days,",
             "# groundwater " + Fixed(groundwater[0], 0) + " to " + Fixed(groundwater[1], 0) + " days.",
             RecessionRange("InterflowRecessionCoef", interflow[0], interflow[1])});
    Replace(ranges, "GroundwaterRecessionCoef",
            {RecessionRange("GroundwaterRecessionCoef", groundwater[0], groundwater[1])});
    head.push_back("# The recession ranges are scaled to its area (see there).");
  }
  // Where snow makes much of the year's water, melt in spring runs on strong radiation:
  // degree-day factors of 6 to 9 are measured on alpine snow.
  if (b.snowShare >= 0.15) {
    Replace(
        ranges, "SnowMeltRate",
        {"# Degree-day factor (mm per degree C per day): " + Fixed(100 * b.snowShare, 0) +
             " % of this basin's precipitation falls",
         "# below 0 degrees C; spring melt under strong radiation reaches 6-9 on alpine snow.", "SnowMeltRate 2 9"});
    head.push_back("# The degree-day range is widened for a snowy basin (see there).");
  }
  // Mountain soils are thin over rock: the deepest layer is searched thinner.
  if (b.meanElevation >= 1000) {
    Replace(ranges, "LayerThickness3",
            {"# Thickness of the deepest soil layer (mm): at a mean elevation of " + Fixed(b.meanElevation, 0) +
                 " m the soils",
             "# over rock and scree are thin, from a few centimetres on ridges to a metre in valleys.",
             "LayerThickness3 100 800"});
    head.push_back("# The deepest soil layer's range is thinned for a mountain basin (see there).");
  }
  if (head.back().rfind("# This basin", 0) == 0)
    head.push_back("# The ranges below are those of a temperate lowland basin of its size: none is scaled.");
}

}  // namespace

BasinTraits MeasureBasin(const std::vector<SubBasinCheck>& checked, const WorkspaceInputs& inputs) {
  BasinTraits t;
  double elevation = 0, temperature = 0, precipitation = 0, snow = 0, weight = 0;
  for (std::size_t k = 0; k < checked.size() && k < inputs.subBasins.size(); ++k) {
    const SubBasinInputs& in = inputs.subBasins[k];
    const double area = checked[k].area;
    t.areaKm2 += area;
    double sum = 0;
    long cells = 0;
    for (double z : in.terrain.values)
      if (z > 0 && z < kNoDataLimit) sum += z, ++cells;
    if (cells > 0) elevation += area * sum / static_cast<double>(cells);
    double temp = 0, days = 0;
    for (const MetBlock& b : in.years)
      for (std::size_t d = 0; d < b.temp.size() && d < b.precip.size(); ++d) {
        temp += b.temp[d], days += 1;
        precipitation += area * b.precip[d];
        if (b.temp[d] < 0) snow += area * b.precip[d];
      }
    if (days > 0) temperature += area * temp / days;
    weight += area;
  }
  if (weight > 0) t.meanElevation = elevation / weight, t.meanTemperature = temperature / weight;
  if (precipitation > 0) t.snowShare = snow / precipitation;
  return t;
}

std::vector<std::string> DefaultCalibrationFile(int firstYear, int lastYear, const BasinTraits* basin) {
  // The first year warms the stores up; two thirds of the rest calibrate, the last third
  // (at least one year when there are three or more) validates.
  const int years = std::max(1, lastYear - firstYear + 1);
  int warmup = years >= 2 ? 1 : 0;
  const int scored = years - warmup;
  int calibration = std::max(1, (2 * scored + 2) / 3);
  if (scored >= 2 && calibration == scored) calibration = scored - 1;
  const int firstCalibration = firstYear + warmup;
  const int lastCalibration = firstCalibration + calibration - 1;

  std::vector<std::string> lines = {
      "# Calibration of the whole-basin daily discharge against input/RiverDaily.in.",
      "# Settings: \"name value\"; parameters: \"name lower upper [log]\"; '#' starts a comment.",
      "",
      "algorithm dds          # dds, sce or lhs",
      "evaluations 1000",
      "objective kge          # kge, nse, lognse, pbias, fdc-high, fdc-mid, fdc-low, or",
      "                       # weighted terms: objective kge 0.5 lognse 0.3 fdc-low 0.2",
      "sediment-weight 0      # 0 to 1: weight of the sediment concentration",
      "seed 1",
      "batch 8                # points proposed together (dds, lhs)",
      "complexes 4            # sce",
  };
  if (warmup > 0) lines.push_back("warmup " + YearRange(firstYear, firstYear) + "  # simulated, not scored");
  lines.push_back("calibration " + YearRange(firstCalibration, lastCalibration));
  if (lastCalibration < lastYear) lines.push_back("validation " + YearRange(lastCalibration + 1, lastYear));
  lines.push_back("");
  std::vector<std::string> ranges(std::begin(kParameterLines), std::end(kParameterLines));
  if (basin) ScaleRanges(*basin, lines, ranges);
  lines.insert(lines.end(), ranges.begin(), ranges.end());
  return lines;
}

}  // namespace tarnwell
