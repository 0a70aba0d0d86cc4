// Calibrations over two MPI ranks (mpirun -np 2): the same trace and best as one process; a
// rank that dies or fails ends the run with a message, keeps what was recorded, and a resume
// in one process finishes with the uninterrupted result.
#include <gtest/gtest.h>

#include "ProbeSupport.h"

namespace tarnwell {
namespace {

// The probe under mpirun, its session files in the test's own directory (two mpiruns at once
// would race to create the shared one).
test::ProbeExit MpiRun(const test::TempDir& dir, std::vector<std::string> args, const std::string& log) {
  args.insert(args.begin(), {TARNWELL_MPIRUN, "--oversubscribe", "--mca", "orte_tmpdir_base", dir.Path().string(),
                             "-np", "2", TARNWELL_PROBE});
  // Open MPI refuses root without these (CI runs as root). Under the sanitizers Open MPI's own
  // allocations, freed by no one in components it has unloaded by then, are not leaks of ours.
  const char* asan = std::getenv("ASAN_OPTIONS");
  return test::RunProcess(args, log, "", 0, 120,
                          {{"OMPI_ALLOW_RUN_AS_ROOT", "1"},
                           {"OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1"},
                           {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":detect_leaks=0"}});
}

std::vector<std::string> With(std::vector<std::string> more) {
  more.insert(more.begin(), {"--evaluations", "48", "--batch", "4", "--sleep-ms", "2"});
  return more;
}

void EndedWell(const test::ProbeExit& run) { EXPECT_TRUE(run.exited && run.status == 0) << run.log; }

TEST(Mpi, TwoRanksGiveTheResultOfOneProcessAndAResumeFinishesARunARankEnded) {
  test::TempDir dir;
  std::string best;  // DDS's "best <n> <loss>"
  // DDS on two ranks of one worker each, SCE-UA on two ranks of two workers each.
  for (const auto& [method, workers] : {std::pair{"dds", "1"}, {"sce", "2"}}) {
    SCOPED_TRACE(method);
    const std::string one = dir / (method + std::string("-one.csv")), two = dir / (method + std::string("-two.csv"));
    const test::ProbeExit threads = test::RunProbe(With({"--method", method, "--workers", "2", "--trace", one}),
                                                   dir / "one.log");
    EndedWell(threads);
    const test::ProbeExit ranks = MpiRun(dir, With({"--method", method, "--workers", workers, "--trace", two}),
                                         dir / "ranks.log");
    EndedWell(ranks);
    ASSERT_EQ(test::TraceWithoutSeconds(one).size(), 49u);
    EXPECT_EQ(test::TraceWithoutSeconds(two), test::TraceWithoutSeconds(one));
    EXPECT_NE(ranks.log.find(threads.log), std::string::npos) << ranks.log;
    if (best.empty()) best = threads.log;
  }
  // Rank 1 ends abruptly at its seventh evaluation.
  const std::vector<std::string> expected = test::TraceWithoutSeconds(dir / "dds-one.csv");
  const std::string broken = dir / "broken.csv";
  const test::ProbeExit died = MpiRun(dir, With({"--workers", "1", "--trace", broken, "--die-after", "7"}),
                                      dir / "died.log");
  EXPECT_FALSE(died.timedOut || (died.exited && died.status == 0)) << died.log;
  EXPECT_NE(died.log.find("tarnwell: mpirun ended this calibration"), std::string::npos) << died.log;
  const std::vector<std::string> kept = test::TraceWithoutSeconds(broken);
  ASSERT_GE(kept.size(), 1u);
  ASSERT_LT(kept.size(), expected.size());
  EXPECT_EQ(kept, std::vector<std::string>(expected.begin(), expected.begin() + static_cast<long>(kept.size())));
  const test::ProbeExit resumed = test::RunProbe(With({"--workers", "2", "--trace", broken, "--resume"}),
                                                 dir / "resumed.log");
  EndedWell(resumed);
  EXPECT_EQ(test::TraceWithoutSeconds(broken), expected);
  EXPECT_EQ(resumed.log, best);
}

TEST(Mpi, AFailedEvaluationOnAnotherRankEndsTheRunWithItsMessage) {
  test::TempDir dir;
  const std::string trace = dir / "failed.csv";
  const test::ProbeExit failed = MpiRun(dir, With({"--workers", "1", "--trace", trace, "--throw-after", "5"}),
                                        dir / "failed.log");
  EXPECT_TRUE(!failed.timedOut && failed.exited && failed.status != 0) << failed.log;
  EXPECT_NE(failed.log.find(") failed: deliberate failure on rank 1"), std::string::npos) << failed.log;
  EXPECT_NE(failed.log.find("calibration_probe: evaluation "), std::string::npos) << failed.log;
  EXPECT_GE(test::TraceWithoutSeconds(trace).size(), 1u);
}

}  // namespace
}  // namespace tarnwell
