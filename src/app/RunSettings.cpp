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
  bool seen = false;
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
    if (key != "carry_over")
      throw InputError(file.Name(), file.LineNumber(), "unknown setting \"" + key + "\" (the file knows carry_over)");
    if (seen) throw InputError(file.Name(), file.LineNumber(), "carry_over is set twice");
    const auto c = ParseCarryOver(value);
    if (!c) throw InputError(file.Name(), file.LineNumber(), "carry_over \"" + value + "\" is neither mean nor cells");
    settings.carryOver = *c;
    seen = true;
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
      CarryOverName(settings.carryOver) + "\r\n";
  ReplaceFile(session.ws.ResolveForWriting(kRunSettingsPath), session.Display(kRunSettingsPath), text);
}

}  // namespace tarnwell
