#include "parameters/ParameterLimits.h"

#include <cmath>
#include <limits>
#include <map>

#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Closed [lo, hi], or with open ends.
constexpr ParameterDomain Closed(double lo, double hi, const char* why) { return {lo, hi, false, false, why}; }
constexpr ParameterDomain AtLeast(double lo, const char* why) { return {lo, kInf, false, true, why}; }
constexpr ParameterDomain Above(double lo, const char* why) { return {lo, kInf, true, true, why}; }

const char* const kFraction = "a fraction";
const char* const kRate = "a rate or coefficient, not negative";

// The sensible domain of every real parameter.
const std::map<std::string, ParameterDomain, std::less<>>& Domains() {
  static const std::map<std::string, ParameterDomain, std::less<>> domains = {
      {"Latitude", Closed(-90, 90, "a latitude in degrees")},
      {"EvapConversionCoef", AtLeast(0, "a multiplier of the potential evapotranspiration")},
      {"SoilLayerEvapWeight[0]", Closed(0, 1, kFraction)},
      {"SoilLayerEvapWeight[1]", Closed(0, 1, kFraction)},
      {"SoilLayerEvapWeight[2]", Closed(0, 1, kFraction)},
      {"EtAvailabilityParam", AtLeast(0, kRate)},
      {"OpenWaterEvapCoef", AtLeast(0, "a multiplier of the potential evapotranspiration")},
      {"SoilEvapParam", Closed(0, 1, kFraction)},
      {"TranspirationDeficitCoef", AtLeast(0, kRate)},
      {"FreeWaterOutflowSurface", Closed(0, 1, "a fraction of the free water")},
      {"FreeWaterOutflowInterflow", Closed(0, 1, "a fraction of the free water")},
      {"FreeWaterOutflowGroundwater", Closed(0, 1, "a fraction of the free water")},
      {"FreeWaterThresholdSurface", AtLeast(0, "a depth of water in mm")},
      {"FreeWaterThresholdInterflow", AtLeast(0, "a depth of water in mm")},
      {"WmCurveExponent", AtLeast(0, "the exponent of the storage-capacity curve")},
      {"InterflowRecessionCoef", Closed(0, 1, "a reservoir's recession coefficient")},
      {"GroundwaterRecessionCoef", Closed(0, 1, "a reservoir's recession coefficient")},
      {"DeepLeakageCoef", AtLeast(0, kRate)},
      {"GroundwaterOutflowCoef", AtLeast(0, kRate)},
      {"WaterTableExponent", AtLeast(0, "the outflow falls off with the depth of the water table")},
      {"SnowMeltRate", AtLeast(0, kRate)},
      {"SnowEvapRate", Closed(0, 1, "a fraction of the potential evapotranspiration")},
      {"PreferentialFlowPorosity", Closed(0, 1, kFraction)},
      {"SoilFreezeRate", AtLeast(0, kRate)},
      {"SnowfallTemp", Closed(-50, 50, "an air temperature in degrees C")},
      {"SoilFreezeTemp", Closed(-50, 50, "an air temperature in degrees C")},
      {"SaturatedWaterContent", {0, 1, true, false, "a volume fraction above 0"}},
      {"FieldCapacity", {0, 1, true, true, "a volume fraction"}},
      {"WiltingPoint", {0, 1, false, true, "a volume fraction"}},
      {"LayerThickness1", Above(0, "a soil layer's thickness in mm")},
      {"LayerThickness2", Above(0, "a soil layer's thickness in mm")},
      {"LayerThickness3", Above(0, "a soil layer's thickness in mm")},
      {"UpperLayerDrainageRate", Closed(0, 1, kFraction)},
      {"Erodibility[0]", AtLeast(0, "a soil erodibility")},
      {"Erodibility[1]", AtLeast(0, "a soil erodibility")},
      {"Erodibility[2]", AtLeast(0, "a soil erodibility")},
      {"Erodibility[3]", AtLeast(0, "a soil erodibility")},
      {"Erodibility[4]", AtLeast(0, "a soil erodibility")},
      {"Erodibility[5]", AtLeast(0, "a soil erodibility")},
      {"Erodibility[6]", AtLeast(0, "a soil erodibility")},
      {"Erodibility[7]", AtLeast(0, "a soil erodibility")},
      {"Erodibility[8]", AtLeast(0, "a soil erodibility")},
      {"SedimentStoreInitial", AtLeast(0, "a mass of sediment")},
      {"SedimentScourExponent", AtLeast(0, "an exponent")},
      {"SedimentSettlingExponent", AtLeast(0, "an exponent")},
      {"CriticalDepositionVelocity", AtLeast(0, "a velocity")},
      {"CriticalScourVelocity", AtLeast(0, "a velocity")},
      {"SedimentConsolidationCoef", Closed(0, 1, kFraction)},
  };
  return domains;
}

ParameterProblem Problem(const char* name, double value, std::string why) {
  ParameterProblem p;
  p.name = name;
  p.value = value;
  p.place = FindParameterPlace(name).value_or(ParameterPlace{});
  p.why = std::move(why);
  return p;
}

}  // namespace

bool ParameterDomain::Contains(double v) const {
  if (!std::isfinite(v)) return false;
  const bool aboveLower = lowerOpen ? v > lower : v >= lower;
  const bool belowUpper = upperOpen ? v < upper : v <= upper;
  return aboveLower && belowUpper;
}

std::string ParameterDomain::Describe() const {
  if (upper == kInf) return (lowerOpen ? "above " : "at least ") + ShortestReal(lower);
  return ShortestReal(lower) + (lowerOpen ? " (excluded)" : "") + " to " + ShortestReal(upper) +
         (upperOpen ? " (excluded)" : "");
}

std::optional<ParameterPlace> FindParameterPlace(std::string_view name) {
  const auto& layout = ParameterFileLayout();
  for (std::size_t line = 0; line < layout.size(); ++line)
    for (std::size_t i = 0; i < layout[line].names.size(); ++i)
      if (name == layout[line].names[i]) return ParameterPlace{static_cast<int>(line) + 1, layout[line].tokens[i]};
  return std::nullopt;
}

namespace {

// "MuskingumK[k]" or "MuskingumX[k]", k a sub-basin number from 1: the table and k.
std::optional<std::pair<bool, std::size_t>> RoutingName(std::string_view name) {
  for (const bool isK : {true, false}) {
    const std::string_view head = isK ? "MuskingumK[" : "MuskingumX[";
    if (name.size() <= head.size() + 1 || name.substr(0, head.size()) != head || name.back() != ']') continue;
    const std::string_view digits = name.substr(head.size(), name.size() - head.size() - 1);
    if (digits.empty() || digits.size() > 6 || digits[0] == '0') return std::nullopt;
    std::size_t k = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return std::nullopt;
      k = 10 * k + static_cast<std::size_t>(c - '0');
    }
    return std::pair{isK, k};
  }
  return std::nullopt;
}

}  // namespace

double* FindParameter(ParameterSet& params, std::string_view name) {
  if (const auto routing = RoutingName(name)) {
    std::vector<double>& table = routing->first ? params.RoutingK : params.RoutingX;
    return routing->second < table.size() ? &table[routing->second] : nullptr;
  }
  const auto& layout = ParameterFileLayout();
  for (std::size_t line = 0; line < layout.size(); ++line) {
    const std::vector<double*> targets = ParameterLineTargets(params, static_cast<int>(line) + 1);
    for (std::size_t i = 0; i < targets.size(); ++i)
      if (name == layout[line].names[i]) return targets[i];
  }
  return nullptr;
}

std::vector<std::string> RealParameterNames() {
  std::vector<std::string> names;
  ParameterSet scratch;
  const auto& layout = ParameterFileLayout();
  for (std::size_t line = 0; line < layout.size(); ++line) {
    const std::size_t n = ParameterLineTargets(scratch, static_cast<int>(line) + 1).size();
    for (std::size_t i = 0; i < n; ++i) names.emplace_back(layout[line].names[i]);
  }
  return names;
}

const ParameterDomain* FindParameterDomain(std::string_view name) {
  if (const auto routing = RoutingName(name)) {
    static const ParameterDomain k = AtLeast(0, "a travel time through the reach in hours");
    static const ParameterDomain x = Closed(0, 0.5, "the weight of the inflow in the reach's storage");
    return routing->first ? &k : &x;
  }
  const auto& domains = Domains();
  auto it = domains.find(name);
  return it == domains.end() ? nullptr : &it->second;
}

std::optional<ParameterProblem> FindUndefinedParameter(const ParameterSet& p) {
  // In file order, so the message points at the first line to mend.
  if (!(p.Latitude >= -90 && p.Latitude <= 90))
    return Problem("Latitude", p.Latitude, "the latitude must lie between -90 and 90 degrees");
  if (p.WmCurveExponent <= -1)
    return Problem("WmCurveExponent", p.WmCurveExponent,
                   "the storage-capacity curve's exponent must be above -1 (the curve divides "
                   "by 1 plus the exponent)");
  if (p.WaterTableExponent < 0)
    return Problem("WaterTableExponent", p.WaterTableExponent,
                   "the water-table exponent must not be negative (deep leakage and groundwater "
                   "outflow fall off with the depth of the water table; a negative exponent "
                   "makes them grow without bound)");
  if (p.SaturatedWaterContent <= 0)
    return Problem("SaturatedWaterContent", p.SaturatedWaterContent,
                   "the saturated water content must be above 0 (the wetness of a layer is its "
                   "water over its saturated content)");
  if (p.FieldCapacity >= p.SaturatedWaterContent)
    return Problem("FieldCapacity", p.FieldCapacity,
                   "the field capacity must lie below the saturated water content " +
                       ShortestReal(p.SaturatedWaterContent) +
                       " (their difference is the specific yield that moves the water table)");
  if (p.WiltingPoint >= p.FieldCapacity)
    return Problem("WiltingPoint", p.WiltingPoint,
                   "the wilting point must lie below the field capacity " + ShortestReal(p.FieldCapacity) +
                       " (transpiration scales with the moisture between them)");
  const double thickness[3] = {p.LayerThickness1, p.LayerThickness2, p.LayerThickness3};
  const char* names[3] = {"LayerThickness1", "LayerThickness2", "LayerThickness3"};
  for (int i = 0; i < 3; ++i)
    if (!(thickness[i] > 0))
      return Problem(names[i], thickness[i],
                     "a soil layer must be thicker than 0 mm (its water content is its water "
                     "over its thickness)");
  return std::nullopt;
}

std::optional<ParameterProblem> FindParameterOutsideDomain(const ParameterSet& params) {
  if (auto undefined = FindUndefinedParameter(params)) return undefined;
  ParameterSet copy = params;
  for (const std::string& name : RealParameterNames()) {
    const double v = *FindParameter(copy, name);
    const ParameterDomain* d = FindParameterDomain(name);
    if (d && !d->Contains(v)) return Problem(name.c_str(), v, name + " must be " + d->Describe() + " (" + d->why + ")");
  }
  return std::nullopt;
}

void RequireComputableParameters(const ParameterSet& params, const std::string& displayName) {
  const auto problem = FindUndefinedParameter(params);
  if (!problem) return;
  throw InputError(displayName, problem->place.line,
                   problem->name + " = " + ShortestReal(problem->value) + " (token " +
                       std::to_string(problem->place.token) + ") cannot be used: " + problem->why);
}

}  // namespace tarnwell
