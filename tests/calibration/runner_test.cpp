// The runner: the same trace and best on any number of workers, resume from any point of a
// trace, refusal of a trace of another configuration, failed evaluations, unscorable points.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <limits>
#include <thread>

#include "ProbeSupport.h"
#include "TestFunctions.h"
#include "calibration/Runner.h"
#include "calibration/ThreadPool.h"

namespace tarnwell {
namespace {

// Rosenbrock in 3 dimensions; each evaluation sleeps 0-2 ms, depending on the point, so
// that evaluations end out of order on several workers.
EvaluationResult Scrambled(const std::vector<double>& x) {
  std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(std::fabs(x[0] * 1000)) % 3));
  return {test::Rosenbrock(x), {x[0]}};
}

// 45 evaluations from (0.5, 0.5, 0.5), resumed from the trace when `resume`.
CalibrationRun TestRun(SearchMethod method, const std::string& trace, bool resume = false) {
  CalibrationRun run;
  run.parameters = {{"x0", -2, 2, false}, {"x1", -2, 2, false}, {"x2", 0.01, 4, true}};
  run.search.method = method, run.search.evaluations = 45, run.search.seed = 5;
  run.search.batch = 4, run.search.complexes = 3;
  run.start = std::vector<double>{0.5, 0.5, 0.5};
  run.lossName = "f", run.metricNames = {"first"};
  run.tracePath = trace, run.traceName = "trace.csv", run.resume = resume;
  return run;
}

CalibrationResult Calibrate(const CalibrationRun& run, int workers, const EvaluationFunction& f = Scrambled) {
  ThreadEvaluatorPool pool(f, workers);
  return RunCalibration(run, pool);
}

std::string Name(SearchMethod method, const std::string& what) {
  return what + std::to_string(static_cast<int>(method)) + ".csv";
}

TEST(Runner, SameTraceAndBestOnOneTwoAndThreeWorkers) {
  test::TempDir dir;
  for (SearchMethod method : {SearchMethod::Dds, SearchMethod::Sce, SearchMethod::Lhs}) {
    std::vector<std::string> first;
    for (int workers : {1, 2, 3}) {
      SCOPED_TRACE(testing::Message() << "method " << static_cast<int>(method) << ", " << workers << " workers");
      const std::string trace = dir / Name(method, std::to_string(workers));
      const CalibrationResult result = Calibrate(TestRun(method, trace), workers);
      const std::vector<std::string> lines = test::TraceWithoutSeconds(trace);
      ASSERT_EQ(lines.size(), 46u);
      EXPECT_EQ(lines[0], "evaluation,x0,x1,x2,f,first");
      EXPECT_EQ(result.best, std::min_element(result.records.begin(), result.records.end(), [](auto& a, auto& b) {
                               return a.loss < b.loss;
                             }) - result.records.begin());
      if (workers == 1) first = lines;
      EXPECT_EQ(lines, first);
    }
  }
}

TEST(Runner, ResumeFromAnyPointEndsAsAnUninterruptedRun) {
  test::TempDir dir;
  for (SearchMethod method : {SearchMethod::Dds, SearchMethod::Sce}) {
    const std::string whole = dir / Name(method, "whole");
    const CalibrationResult reference = Calibrate(TestRun(method, whole), 2);
    EXPECT_EQ(Calibrate(TestRun(method, whole, true), 1).resumed, 45);  // nothing left to evaluate
    const std::string bytes = test::ReadBytes(whole);
    // Within SCE-UA's first population of 21, after it, and one before the end.
    for (std::size_t kept : {0u, 6u, 23u, 44u}) {
      SCOPED_TRACE(testing::Message() << "method " << static_cast<int>(method) << ", " << kept << " kept");
      const std::string partial = dir / Name(method, "partial" + std::to_string(kept) + "-");
      std::size_t end = 0;
      for (std::size_t line = 0; line <= kept; ++line) end = bytes.find('\n', end) + 1;
      test::WriteBytes(partial, bytes.substr(0, end));
      std::atomic<int> calls{0};
      const CalibrationResult result = Calibrate(TestRun(method, partial, true), 3, [&](const std::vector<double>& x) {
        ++calls;
        return Scrambled(x);
      });
      EXPECT_EQ(result.resumed, static_cast<long>(kept));
      EXPECT_EQ(calls, 45 - static_cast<int>(kept));
      EXPECT_EQ(test::TraceWithoutSeconds(partial), test::TraceWithoutSeconds(whole));
      EXPECT_EQ(result.Best().values, reference.Best().values);
    }
  }
}

void Says(const std::string& message, const std::string& part) {
  EXPECT_NE(message.find(part), std::string::npos) << message;
}

TEST(Runner, RefusesATraceOfAnotherConfiguration) {
  test::TempDir dir;
  const std::string trace = dir / "trace.csv";
  Calibrate(TestRun(SearchMethod::Dds, trace), 2);
  const auto resume = [&](std::function<void(CalibrationRun&)> change, SearchMethod method = SearchMethod::Dds) {
    CalibrationRun run = TestRun(method, trace, true);
    change(run);
    return test::ThrownMessage([&] { Calibrate(run, 2); });
  };
  // Another seed proposes other points: the settings kept beside the trace name it.
  Says(resume([](CalibrationRun& r) { r.search.seed = 6; }),
       "trace-settings.txt line 4: seed: the trace trace.csv was made with 5, this calibration has 6");
  // A trace without its settings (of an earlier version): the first point that differs is named.
  std::filesystem::remove(dir / "trace-settings.txt");
  Says(resume([](CalibrationRun& r) { r.search.seed = 6, r.start.reset(); }),
       "trace.csv line 2: \"0.5\" (column 2): evaluation 1 recorded x0 = 0.5 where this calibration proposes");
  Says(resume([](CalibrationRun& r) { r.parameters[1].name = "y"; }),
       "trace.csv line 1: \"x1\" (column 3) where this calibration writes \"y\"");
  Says(resume([](CalibrationRun& r) { r.search.evaluations = 10; }), "holds 45 evaluations, more than the 10");
  // A fresh run does not throw the evaluations away unasked.
  Says(resume([](CalibrationRun& r) { r.resume = false; }),
       "trace.csv: already holds 45 evaluations: continue them with --resume");
  CalibrationRun replace = TestRun(SearchMethod::Lhs, trace);
  replace.replaceTrace = true;
  EXPECT_EQ(Calibrate(replace, 2).records.size(), 45u);
  // A damaged line.
  test::WriteBytes(trace, test::ReadBytes(trace) + "46,0.1,zero,0.3,1,0.1,0.001\r\n");
  std::filesystem::remove(dir / "trace-settings.txt");
  Says(resume([](CalibrationRun& r) { r.search.evaluations = 50; }, SearchMethod::Lhs),
       "trace.csv line 47: \"zero\" (column 3) is not a number");
}

TEST(Runner, AFailedEvaluationEndsTheRunKeepingEveryEarlierOne) {
  test::TempDir dir;
  const std::string whole = dir / "whole.csv", failing = dir / "failing.csv";
  const std::vector<double> bad = Calibrate(TestRun(SearchMethod::Dds, whole), 1).records[12].values;  // evaluation 13
  const std::string message = test::ThrownMessage([&] {
    Calibrate(TestRun(SearchMethod::Dds, failing), 3, [&](const std::vector<double>& x) {
      if (x == bad) throw std::runtime_error("the model stopped");
      return Scrambled(x);
    });
  });
  EXPECT_EQ(message.rfind("evaluation 13 (x0 = ", 0), 0u) << message;
  Says(message, ") failed: the model stopped");
  const std::vector<std::string> all = test::TraceWithoutSeconds(whole);
  EXPECT_EQ(test::TraceWithoutSeconds(failing), std::vector<std::string>(all.begin(), all.begin() + 13));
}

TEST(Runner, UnscorablePointsRankLastAndLeaveTheirFieldsEmpty) {
  test::TempDir dir;
  const auto f = [](const std::vector<double>& x) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return EvaluationResult{x[0] > 0 ? nan : x[0] * x[0], {nan}};
  };
  const CalibrationResult r = Calibrate(TestRun(SearchMethod::Lhs, dir / "t.csv"), 2, f);
  for (const TraceRecord& record : r.records)
    EXPECT_EQ(record.values[0] > 0, record.loss == std::numeric_limits<double>::infinity()) << record.number;
  // What could not be scored is an empty field (the metric's, before the seconds), never
  // "inf" or "nan"; the trace reads back.
  for (const std::string& line : test::TraceWithoutSeconds(dir / "t.csv"))
    EXPECT_TRUE(line[0] == 'e' || (line.find('n') == std::string::npos && line.back() == ',')) << line;
  EXPECT_EQ(Calibrate(TestRun(SearchMethod::Lhs, dir / "t.csv", true), 2, f).best, r.best);
}

}  // namespace
}  // namespace tarnwell
