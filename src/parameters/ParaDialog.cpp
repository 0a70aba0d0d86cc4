#include "parameters/ParaDialog.h"

#include <cstdint>

#include "inputs/TextFile.h"

namespace tarnwell {

std::optional<GroundwaterSum> ParseGroundwaterSum(const std::string& text) {
  if (text == "twice") return GroundwaterSum::Twice;
  if (text == "once") return GroundwaterSum::Once;
  return std::nullopt;
}

const char* GroundwaterSumName(GroundwaterSum g) { return g == GroundwaterSum::Once ? "once" : "twice"; }

// Where each token of each line goes. Line 3 (SimYears) is the only integer.
std::vector<double*> ParameterLineTargets(ParameterSet& p, int line) {
  switch (line) {
    case 1: return {&p.Latitude};
    case 2: return {&p.EvapConversionCoef};
    case 3: return {};
    case 4: return {&p.SoilLayerEvapWeight[0], &p.SoilLayerEvapWeight[1], &p.SoilLayerEvapWeight[2]};
    case 5: return {&p.EtAvailabilityParam};
    case 6: return {&p.OpenWaterEvapCoef};
    case 7: return {&p.SoilEvapParam};
    case 8: return {&p.TranspirationDeficitCoef};
    case 9: return {&p.FreeWaterOutflowSurface, &p.FreeWaterOutflowInterflow, &p.FreeWaterOutflowGroundwater};
    case 10: return {&p.FreeWaterThresholdSurface, &p.FreeWaterThresholdInterflow};
    case 11: return {&p.WmCurveExponent};
    case 12: return {&p.InterflowRecessionCoef};
    case 13: return {&p.GroundwaterRecessionCoef};
    case 14: return {&p.DeepLeakageCoef, &p.GroundwaterOutflowCoef, &p.WaterTableExponent};
    case 15: return {&p.SnowMeltRate};
    case 16: return {&p.SnowEvapRate};
    case 17: return {&p.PreferentialFlowPorosity};
    case 18: return {&p.SoilFreezeRate};
    case 19: return {&p.SnowfallTemp};
    case 20: return {&p.SoilFreezeTemp};
    case 21: return {&p.SaturatedWaterContent};
    case 22: return {&p.FieldCapacity};
    case 23: return {&p.WiltingPoint};
    case 24: return {&p.LayerThickness1, &p.LayerThickness2, &p.LayerThickness3};
    case 25: return {&p.UpperLayerDrainageRate};
    case 26: return {&p.Erodibility[0]};
    case 27: return {&p.Erodibility[1], &p.Erodibility[2], &p.Erodibility[3], &p.Erodibility[4]};
    case 28: return {&p.Erodibility[5], &p.Erodibility[6], &p.Erodibility[7], &p.Erodibility[8]};
    case 29: return {&p.SedimentStoreInitial};
    case 30: return {&p.SedimentScourExponent};
    case 31: return {&p.SedimentSettlingExponent};
    case 32: return {&p.CriticalDepositionVelocity};
    case 33: return {&p.CriticalScourVelocity};
    case 34: return {&p.SedimentConsolidationCoef};
    default: return {};
  }
}

const std::vector<ParameterLine>& ParameterFileLayout() {
  static const std::vector<ParameterLine> layout = {
      {"纬度", {1}, {"Latitude"}},
      {"蒸发折算系数", {1}, {"EvapConversionCoef"}},
      {"模拟年数", {1}, {"SimYears"}},
      {"各层土壤蒸发权重", {1, 2, 3}, {"SoilLayerEvapWeight[0]", "SoilLayerEvapWeight[1]", "SoilLayerEvapWeight[2]"}},
      {"蒸散发可利用参数", {1}, {"EtAvailabilityParam"}},
      {"大水面蒸发系数", {1}, {"OpenWaterEvapCoef"}},
      {"土壤蒸发参数", {1}, {"SoilEvapParam"}},
      {"蒸腾亏空系数", {1}, {"TranspirationDeficitCoef"}},
      {"自由水出流系数",
       {1, 2, 3},
       {"FreeWaterOutflowSurface", "FreeWaterOutflowInterflow", "FreeWaterOutflowGroundwater"}},
      {"自由水出流阈值", {1, 2}, {"FreeWaterThresholdSurface", "FreeWaterThresholdInterflow"}},
      {"土壤蓄水Wm分布曲线指数", {1}, {"WmCurveExponent"}},
      {"壤中流调蓄系数", {1}, {"InterflowRecessionCoef"}},
      {"地下水调蓄系数", {1}, {"GroundwaterRecessionCoef"}},
      {"包气带积水向地下水输送参数", {1, 2, 3}, {"DeepLeakageCoef", "GroundwaterOutflowCoef", "WaterTableExponent"}},
      {"日正温融雪量", {1}, {"SnowMeltRate"}},
      {"日积雪蒸发量", {1}, {"SnowEvapRate"}},
      {"土壤优先流空隙率", {1}, {"PreferentialFlowPorosity"}},
      {"日负温土壤水冻结量", {1}, {"SoilFreezeRate"}},
      {"降水积雪气温", {1}, {"SnowfallTemp"}},
      {"土壤水冻结气温", {1}, {"SoilFreezeTemp"}},
      {"土壤饱和含水量", {1}, {"SaturatedWaterContent"}},
      {"田间持水量", {1}, {"FieldCapacity"}},
      {"凋萎含水量", {1}, {"WiltingPoint"}},
      {"土壤层包气带厚度", {1, 2, 3}, {"LayerThickness1", "LayerThickness2", "LayerThickness3"}},
      {"上土层排水率", {1}, {"UpperLayerDrainageRate"}},
      {"可侵蚀性", {1}, {"Erodibility[0]"}},
      {"紫色土", {1, 3, 5, 7}, {"Erodibility[1]", "Erodibility[2]", "Erodibility[3]", "Erodibility[4]"}},
      {"暗棕壤", {1, 3, 5, 7}, {"Erodibility[5]", "Erodibility[6]", "Erodibility[7]", "Erodibility[8]"}},
      {"泥沙库初始沙量", {1}, {"SedimentStoreInitial"}},
      {"泥沙库冲刷指数", {1}, {"SedimentScourExponent"}},
      {"泥沙库沉降指数", {1}, {"SedimentSettlingExponent"}},
      {"临界沉积流速", {1}, {"CriticalDepositionVelocity"}},
      {"临界冲刷流速", {1}, {"CriticalScourVelocity"}},
      {"泥沙库固结系数", {1}, {"SedimentConsolidationCoef"}},
  };
  return layout;
}

void LoadParameters(TextReader& reader, ParameterSet& params) {
  const auto& layout = ParameterFileLayout();
  for (int line = 1; line <= static_cast<int>(layout.size()); ++line) {
    FieldLine fields = reader.ReadFields();
    const ParameterLine& row = layout[static_cast<std::size_t>(line - 1)];
    if (line == 3) {
      params.SimYears = fields.Integer(1);
      continue;
    }
    std::vector<double*> targets = ParameterLineTargets(params, line);
    for (std::size_t i = 0; i < row.tokens.size(); ++i) *targets[i] = fields.Real(row.tokens[i]);
  }
}

void LoadParameters(const std::string& fsPath, const std::string& displayName, ParameterSet& params) {
  TextReader reader(fsPath, displayName);
  LoadParameters(reader, params);
}

const std::vector<const char*>& SoilTypeNames() {
  static const std::vector<const char*> names = {"紫色土", "黄壤性土",   "黄棕壤",     "酸性棕壤",
                                                 "暗棕壤", "中性粗骨土", "高山草甸土", "高山寒漠土"};
  return names;
}

std::vector<std::string> ParameterFileLines(const ParameterSet& params) {
  ParameterSet copy = params;
  std::vector<std::string> lines;
  const auto& layout = ParameterFileLayout();
  for (int line = 1; line <= static_cast<int>(layout.size()); ++line) {
    const ParameterLine& row = layout[static_cast<std::size_t>(line - 1)];
    if (line == 3) {
      lines.push_back(std::string(row.label) + " " + std::to_string(params.SimYears));
      continue;
    }
    const std::vector<double*> targets = ParameterLineTargets(copy, line);
    // Lines 27 and 28 carry Erodibility[1..4] and [5..8]: a soil name before each value.
    const std::size_t firstSoil = line == 27 ? 0 : line == 28 ? 4 : SIZE_MAX;
    std::string text;
    for (std::size_t i = 0; i < targets.size(); ++i) {
      if (firstSoil != SIZE_MAX) {
        if (i > 0) text += ' ';
        text += SoilTypeNames()[firstSoil + i];
      } else if (i == 0) {
        text = row.label;
      }
      text += ' ';
      text += ShortestReal(*targets[i]);
    }
    lines.push_back(text);
  }
  return lines;
}

void WriteParameterFile(const std::string& fsPath, const std::string& displayName, const ParameterSet& params) {
  WriteWholeFile(fsPath, displayName, ParameterFileLines(params));
}

std::vector<std::pair<std::string, std::string>> ListParameters(const ParameterSet& params) {
  ParameterSet copy = params;
  std::vector<std::pair<std::string, std::string>> out;
  const auto& layout = ParameterFileLayout();
  for (int line = 1; line <= static_cast<int>(layout.size()); ++line) {
    const ParameterLine& row = layout[static_cast<std::size_t>(line - 1)];
    if (line == 3) {
      out.emplace_back(row.names[0], std::to_string(params.SimYears));
      continue;
    }
    std::vector<double*> targets = ParameterLineTargets(copy, line);
    for (std::size_t i = 0; i < targets.size(); ++i) out.emplace_back(row.names[i], ShortestReal(*targets[i]));
  }
  return out;
}

}  // namespace tarnwell
