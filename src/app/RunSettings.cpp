#include "app/RunSettings.h"

#include "app/Session.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell {

namespace {

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

RunSettings LoadRunSettings(const Session& session) {
  RunSettings settings;
  if (!session.ws.FileExists(kRunSettingsPath)) return settings;
  TextReader file = session.Open(kRunSettingsPath);
  std::string seen;
  while (!file.AtEnd()) {
    std::string line = file.ReadLine();
    if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    line = Trim(line);
    if (line.empty()) continue;
    const auto eq = line.find('=');
    const std::string key = Trim(line.substr(0, eq));
    if (eq == std::string::npos)
      throw InputError(file.Name(), file.LineNumber(), "\"" + key + "\" is no setting: write key = value");
    const std::string value = Trim(line.substr(eq + 1));
    if (key != "carry_over" && key != "groundwater_sum")
      throw InputError(file.Name(), file.LineNumber(),
                       "unknown setting \"" + key + "\" (the file knows carry_over and groundwater_sum)");
    if (seen.find(" " + key + " ") != std::string::npos)
      throw InputError(file.Name(), file.LineNumber(), key + " is set twice");
    seen += " " + key + " ";
    if (key == "carry_over") {
      const auto c = ParseCarryOver(value);
      if (!c)
        throw InputError(file.Name(), file.LineNumber(), "carry_over \"" + value + "\" is neither mean nor cells");
      settings.carryOver = *c;
    } else {
      const auto g = ParseGroundwaterSum(value);
      if (!g)
        throw InputError(file.Name(), file.LineNumber(), "groundwater_sum \"" + value + "\" is neither twice nor once");
      settings.groundwaterSum = *g;
    }
  }
  return settings;
}

void SaveRunSettings(const Session& session, const RunSettings& settings) {
  const std::string text =
      std::string(
          "# How each later year starts.\r\n"
          "#   mean:  every cell of a sub-basin from the sub-basin's means of the year before\r\n"
          "#          (soil water, interflow, water table, snow, frozen water; the other stores\r\n"
          "#          empty): the program's documented behaviour.\r\n"
          "#   cells: every cell keeps all its stores, so 1 January starts where 31 December\r\n"
          "#          ended and the water table keeps its shape.\r\n"
          "carry_over = ") +
      CarryOverName(settings.carryOver) +
      "\r\n"
      "# How the outlet's groundwater series counts each cell's groundwater outflow.\r\n"
      "#   twice: after the depth-dependent outflow and again after the lateral exchange:\r\n"
      "#          the program's documented sum.\r\n"
      "#   once:  the outflow the cell loses, counted once.\r\n"
      "groundwater_sum = " +
      GroundwaterSumName(settings.groundwaterSum) + "\r\n";
  ReplaceFile(session.ws.ResolveForWriting(kRunSettingsPath), session.Display(kRunSettingsPath), text);
}

}  // namespace tarnwell
