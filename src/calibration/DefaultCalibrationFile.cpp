// The calibration file written for a new workspace: the parameters that shape the daily
// discharge of a temperate basin of a few thousand km2, each range with its reason.
#include <algorithm>
#include <string>
#include <vector>

#include "calibration/CalibrationFile.h"

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

}  // namespace

std::vector<std::string> DefaultCalibrationFile(int firstYear, int lastYear) {
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
  lines.insert(lines.end(), std::begin(kParameterLines), std::end(kParameterLines));
  return lines;
}

}  // namespace tarnwell
