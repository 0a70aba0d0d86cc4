// Whole runs of tiny workspaces, shared by the driver and engine tests: every year of a
// workspace run by the driver, or by the program in one process or under mpirun, and two
// runs' files compared byte for byte.
#pragma once

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "TestSupport.h"
#include "TinyWorkspace.h"
#include "app/DayEngine.h"
#include "app/Driver.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "calibration/ProbeSupport.h"
#include "hardening/HardeningSupport.h"

namespace tarnwell::test {

using Files = std::map<std::string, std::string>;

struct WholeRun {
  Files files;          // every output file, by its path from the workspace
  ModelState state;     // as the last year left it
  int laneEngines = 0;  // side by side: the engines made for the lanes
};

// How RunYears runs: the engine (a fused one on one thread when none is given), the year
// boundary, the number of whole runs one after the other by the same driver, the last of
// them side by side on `sideBySide` threads when > 0, where the workspace is written (a
// scratch directory when empty), and anything else the driver is told before the first run.
struct RunSetUp {
  DayEngine* engine = nullptr;
  CarryOver carry = CarryOver::Mean;
  int sideBySide = 0;
  int runs = 1;
  std::string root = "";
  std::function<void(Driver&)> more = nullptr;
};

inline WholeRun RunYears(const TinyWorkspace& w, const RunSetUp& how = {}) {
  TempDir scratch;
  const std::string root = how.root.empty() ? scratch.Path().string() : how.root;
  WriteTinyWorkspace(root, w);
  Session session(root);
  StartUpWorkspace(session);
  ProgressObserver quiet;
  const std::unique_ptr<DayEngine> fused = MakeDayEngine("fused", 1);
  Driver driver(session, quiet, how.engine ? *how.engine : *fused);
  driver.SetCarryOver(how.carry);
  if (how.more) how.more(driver);
  WholeRun r;
  for (int run = 1; run <= how.runs; ++run) {
    if (how.sideBySide > 0 && run == how.runs)
      driver.RunSideBySide(
          how.sideBySide, [&r](int t) { return ++r.laneEngines, MakeDayEngine("fused", t); }, true);
    driver.Run();
    while (driver.NextYear() == Driver::StepResult::Simulated) {
    }
  }
  r.files = OutputFiles(root);
  r.state = session.state;
  return r;
}

inline void ExpectSameFiles(const Files& expected, const Files& got) {
  EXPECT_EQ(got.size(), expected.size());
  for (const auto& [name, bytes] : expected) {
    const auto it = got.find(name);
    if (it == got.end()) ADD_FAILURE() << name << " missing";
    else EXPECT_TRUE(SameBytes(bytes, it->second)) << name;
  }
}

// The program with args, in one process or (ranks > 0) under mpirun; the log of mpirun holds
// what every rank printed, on either stream.
inline CliResult Tarnwell(const TempDir& dir, std::vector<std::string> args, int ranks = 0) {
  if (ranks == 0) return RunCliWith(args, dir.Path().string(), {});
#ifdef TARNWELL_MPIRUN
  args.insert(args.begin(), {TARNWELL_MPIRUN, "--oversubscribe", "--mca", "orte_tmpdir_base", dir.Path().string(),
                             "-np", std::to_string(ranks), TARNWELL_CLI});
  const char* asan = std::getenv("ASAN_OPTIONS");
  const ProbeExit e = RunProcess(args, dir / "mpi.log", "", 0, 300,
                                 {{"OMPI_ALLOW_RUN_AS_ROOT", "1"},
                                  {"OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1"},
                                  {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":detect_leaks=0"}});
  return {e.exited, e.status, e.log, e.log};
#else
  ADD_FAILURE() << "built without mpirun";
  return {};
#endif
}

// Sub-basins of unlike sizes (the largest last) and reaches over the years from 2000, the
// second year starting late.
inline TinyWorkspace UnlikeSubBasins(int subBasins, int years) {
  TinyWorkspace w = SmallBasins(subBasins, years, 3, 3);
  for (int k = 0; k < subBasins; ++k) {
    TinySubBasin& b = w.subBasins[static_cast<std::size_t>(k)];
    b.rows = 2 + k;
    b.K = 8.0 * (k + 1);
    if (years > 1) b.years[1].startDay = 30 + 7 * k;
  }
  return w;
}

}  // namespace tarnwell::test
