// The water-table depth below the surface at the end of each year, over the inside cells of
// every sub-basin, under either year boundary: the figures the README gives.
//   water_table_report WORKSPACE [YEARS]
// Runs the workspace in memory (no file written) with the fused engine, once with each
// carry-over, and prints per year and sub-basin the mean, the least and the greatest depth (m;
// negative: above the ground) and the share of cells above the ground.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "app/DayEngine.h"
#include "app/Driver.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "parameters/ParaDialog.h"

namespace tw = tarnwell;

class DepthReport : public tw::ProgressObserver {
 public:
  DepthReport(const tw::ModelState& s, const char* carry) : s_(s), carry_(carry) {}
  void SubBasinYearDone(int k, int) override {
    double sum = 0, least = 1e300, most = -1e300;
    long n = 0, above = 0;
    for (std::size_t i = 0; i < s_.CellCount(); ++i) {
      if (s_.CellFlag[i] <= 0) continue;
      const double depth = s_.SurfElev[i] - s_.WTElev[i];
      sum += depth;
      least = std::min(least, depth);
      most = std::max(most, depth);
      ++n;
      if (depth < 0) ++above;
    }
    std::printf("%-6s %5d %3d %10.2f %10.2f %10.2f %7.1f%%\n", carry_, s_.CurYear, k, sum / n, least, most,
                100.0 * above / n);
  }

 private:
  const tw::ModelState& s_;
  const char* carry_;
};

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: water_table_report WORKSPACE [YEARS]\n");
    return 2;
  }
  try {
    std::printf("%-6s %5s %3s %10s %10s %10s %8s\n", "carry", "year", "sub", "mean m", "least m", "most m", "above");
    for (tw::CarryOver carry : {tw::CarryOver::Mean, tw::CarryOver::Cells}) {
      tw::Session session(argv[1]);
      tw::ReadStartUp(session);
      tw::TextReader p = session.Open(session.state.ParamFilePath);
      tw::LoadParameters(p, session.params);
      const int years = argc > 2 ? std::stoi(argv[2]) : std::max(1, session.params.SimYears);
      auto inputs = std::make_shared<tw::WorkspaceInputs>();
      tw::CheckInputs(session, years, inputs.get());
      DepthReport report(session.state, tw::CarryOverName(carry));
      auto engine = tw::MakeDayEngine("fused", 0);
      tw::Driver driver(session, report, *engine);
      driver.UseInputs(inputs);
      driver.WriteNoFiles();
      driver.SetCarryOver(carry);
      driver.Run();
      while (session.state.YearIndex < years)
        if (driver.NextYear() != tw::Driver::StepResult::Simulated) break;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
