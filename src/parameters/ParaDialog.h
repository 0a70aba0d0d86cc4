// The parameter set and its 34-line file. The loader stores each value as soon as it
// converts, so a failure part-way keeps what the earlier lines gave.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tarnwell {

class TextReader;

// How the day's outlet groundwater series counts each cell's groundwater outflow.
//   Twice: after the depth-dependent outflow and again after the lateral exchange, the
//     program's documented sum, on which stored results rely.
//   Once: the outflow the cell loses, after the lateral exchange, so the series carries
//     what leaves the cells and no more.
enum class GroundwaterSum { Twice, Once };
// "twice" or "once"; nullopt for anything else.
std::optional<GroundwaterSum> ParseGroundwaterSum(const std::string& text);
const char* GroundwaterSumName(GroundwaterSum g);

struct ParameterSet {
  double Latitude = 0;            // degrees
  double EvapConversionCoef = 0;  // multiplier of the Hamon PET
  int SimYears = 0;
  std::array<double, 3> SoilLayerEvapWeight{};
  double EtAvailabilityParam = 0;
  double OpenWaterEvapCoef = 0;
  double SoilEvapParam = 0;
  double TranspirationDeficitCoef = 0;
  double FreeWaterOutflowSurface = 0, FreeWaterOutflowInterflow = 0, FreeWaterOutflowGroundwater = 0;
  double FreeWaterThresholdSurface = 0, FreeWaterThresholdInterflow = 0;  // mm
  double WmCurveExponent = 0;
  double InterflowRecessionCoef = 0;
  double GroundwaterRecessionCoef = 0;
  double DeepLeakageCoef = 0, GroundwaterOutflowCoef = 0, WaterTableExponent = 0;  // 1/m
  double SnowMeltRate = 0;                                                         // mm per degree C per day
  double SnowEvapRate = 0;                                                         // fraction of PET
  double PreferentialFlowPorosity = 0;                                             // fraction
  double SoilFreezeRate = 0;                                                       // mm per degree C per day
  double SnowfallTemp = 0;                                                         // degrees C
  double SoilFreezeTemp = 0;                                                       // degrees C
  double SaturatedWaterContent = 0;                                                // volume fraction
  double FieldCapacity = 0;
  double WiltingPoint = 0;
  double LayerThickness1 = 0, LayerThickness2 = 0, LayerThickness3 = 0;  // mm
  double UpperLayerDrainageRate = 0;
  std::array<double, 9> Erodibility{};
  double SedimentStoreInitial = 0;
  double SedimentScourExponent = 0;
  double SedimentSettlingExponent = 0;
  double CriticalDepositionVelocity = 0;
  double CriticalScourVelocity = 0;
  double SedimentConsolidationCoef = 0;
  // 0 uniform basin, 1 non-uniform basin; not stored in the file, never changed by loading.
  int ErodibilityMode = 0;
  // A setting of the run, not stored in the file, never changed by loading.
  GroundwaterSum GroundwaterSumMode = GroundwaterSum::Twice;
  // The Muskingum routing of each sub-basin's reach to the outlet (K in hours, x), index by
  // sub-basin 1..n: the sub-basin list's values, carried here so that a calibration can
  // search them ("MuskingumK[2]"); not stored in the file, never changed by loading. Empty:
  // the sub-basin list's.
  std::vector<double> RoutingK, RoutingX;
};

// One line of the parameter file: its label, the token positions it reads.
struct ParameterLine {
  const char* label;
  std::vector<int> tokens;
  std::vector<const char*> names;  // parameter names, one per token
};
const std::vector<ParameterLine>& ParameterFileLayout();
// The real parameters that line `line` (1..34) reads, in the order of its tokens; empty for
// line 3 (SimYears, the one integer).
std::vector<double*> ParameterLineTargets(ParameterSet& params, int line);

// Reads the 34 lines at fsPath (displayName in messages) into params.
void LoadParameters(const std::string& fsPath, const std::string& displayName, ParameterSet& params);
void LoadParameters(TextReader& reader, ParameterSet& params);

// The soil types of Erodibility[1..8], in index order: lines 27 and 28 of the file
// alternate these names with the values.
const std::vector<const char*>& SoilTypeNames();

// The 34 lines of a parameter file holding params, as the parameter dialog writes them: the
// label, then the values separated by single blanks (lines 27 and 28: each soil type's name
// before its value), each value in the shortest text that reads back to the same number.
std::vector<std::string> ParameterFileLines(const ParameterSet& params);
// Writes those lines as a whole file (GBK, CR LF), loadable by LoadParameters and the dialog.
void WriteParameterFile(const std::string& fsPath, const std::string& displayName, const ParameterSet& params);

// Name and value of every parameter in file order, as text ("%g"-like, shortest exact).
std::vector<std::pair<std::string, std::string>> ListParameters(const ParameterSet& params);

}  // namespace tarnwell
