// The runner: the same trace and best on any number of workers, resume from a partial
// trace, refusals of a trace of another configuration, failed evaluations, unscorable
// points and workers that cannot start.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <limits>
#include <thread>

#include "ProbeSupport.h"
#include "TestFunctions.h"
#include "calibration/Runner.h"
#include "calibration/ThreadPool.h"
#include "model/Errors.h"

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
    std::size_t firstBest = 0;
    for (int workers : {1, 2, 3}) {
      SCOPED_TRACE(testing::Message() << "method " << static_cast<int>(method) << ", " << workers << " workers");
      const std::string trace = dir / Name(method, std::to_string(workers));
      ThreadEvaluatorPool pool(Scrambled, workers);
      EXPECT_EQ(pool.Capacity(), workers);
      const CalibrationResult result = RunCalibration(TestRun(method, trace), pool);
      ASSERT_EQ(result.records.size(), 45u);
      const std::vector<std::string> lines = test::TraceWithoutSeconds(trace);
      ASSERT_EQ(lines.size(), 46u);
      EXPECT_EQ(lines[0], "evaluation,x0,x1,x2,f,first");
      for (std::size_t i = 0; i < result.records.size(); ++i) {
        EXPECT_EQ(result.records[i].number, static_cast<long>(i + 1));
        EXPECT_LE(result.Best().loss, result.records[i].loss);
      }
      if (workers == 1) first = lines, firstBest = result.best;
      EXPECT_EQ(lines, first);
      EXPECT_EQ(result.best, firstBest);
    }
  }
}

TEST(Runner, ResumeFromAnyPointEndsAsAnUninterruptedRun) {
  test::TempDir dir;
  for (SearchMethod method : {SearchMethod::Dds, SearchMethod::Sce}) {
    const std::string whole = dir / Name(method, "whole");
    Calibrate(TestRun(method, whole), 2);
    const CalibrationResult reference = Calibrate(TestRun(method, whole, true), 1);  // nothing left to evaluate
    EXPECT_EQ(reference.resumed, 45);
    for (std::size_t kept : {0u, 1u, 6u, 23u, 44u}) {
      SCOPED_TRACE(testing::Message() << "method " << static_cast<int>(method) << ", " << kept << " kept");
      const std::string partial = dir / Name(method, "partial" + std::to_string(kept) + "-");
      std::ifstream in(whole, std::ios::binary);
      std::ofstream out(partial, std::ios::binary);
      std::string line;
      for (std::size_t i = 0; i <= kept && std::getline(in, line); ++i) out << line << "\n";
      out.close();
      std::atomic<int> calls{0};
      const CalibrationResult result = Calibrate(TestRun(method, partial, true), 3, [&](const std::vector<double>& x) {
        ++calls;
        return Scrambled(x);
      });
      EXPECT_EQ(result.resumed, static_cast<long>(kept));
      EXPECT_EQ(calls, 45 - static_cast<int>(kept));
      EXPECT_EQ(test::TraceWithoutSeconds(partial), test::TraceWithoutSeconds(whole));
      EXPECT_EQ(result.best, reference.best);
      EXPECT_EQ(result.Best().values, reference.Best().values);
    }
  }
}

// The message of the error f() throws (failing the test when it throws none).
template <class F>
TarnwellError ErrorOf(F&& f) {
  try {
    f();
  } catch (const TarnwellError& e) {
    return e;
  } catch (const std::exception& e) {
    return TarnwellError(e.what(), "", 0, "", -1);
  }
  ADD_FAILURE() << "no error";
  return TarnwellError("(no error)", "", 0, "", -1);
}

void Says(const TarnwellError& e, const std::string& part) {
  EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
}

TEST(Runner, RefusesATraceOfAnotherConfiguration) {
  test::TempDir dir;
  const std::string trace = dir / "trace.csv";
  Calibrate(TestRun(SearchMethod::Dds, trace), 2);
  auto resume = [&](SearchMethod method, auto&& change) {
    CalibrationRun run = TestRun(method, trace, true);
    change(run);
    return ErrorOf([&] { Calibrate(run, 2); });
  };
  // Another seed proposes other points: the settings kept beside the trace name it.
  const TarnwellError seed = resume(SearchMethod::Dds, [](CalibrationRun& r) { r.search.seed = 6; });
  EXPECT_EQ(seed.File(), "trace-settings.txt");
  EXPECT_EQ(seed.Line(), 4);
  EXPECT_EQ(std::string(seed.what()),
            "trace-settings.txt line 4: seed: the trace trace.csv was made with 5, this "
            "calibration has 6: a search proposes the recorded points only with the "
            "settings they were made with; give the same again, or remove the trace to "
            "start afresh");
  // A trace without its settings (of an earlier version): the first point that differs is named.
  std::filesystem::remove(dir / "trace-settings.txt");
  const TarnwellError point = resume(SearchMethod::Dds, [](CalibrationRun& r) { r.search.seed = 6, r.start.reset(); });
  EXPECT_EQ(point.File(), "trace.csv");
  EXPECT_EQ(point.Line(), 2);
  EXPECT_EQ(point.TokenIndex(), 1);
  Says(point, "evaluation 1 recorded x0 = 0.5 where this calibration proposes");
  // Other parameters: the header says so; a smaller budget than the trace holds.
  Says(resume(SearchMethod::Dds, [](CalibrationRun& r) { r.parameters[1].name = "y"; }),
       "trace.csv line 1: \"x1\" (column 3) where this calibration writes \"y\"");
  Says(resume(SearchMethod::Dds, [](CalibrationRun& r) { r.search.evaluations = 10; }),
       "holds 45 evaluations, more than the 10");
  // A fresh run does not throw the evaluations away unasked.
  Says(ErrorOf([&] { Calibrate(TestRun(SearchMethod::Dds, trace), 2); }),
       "trace.csv: already holds 45 evaluations: continue them with --resume");
  CalibrationRun replace = TestRun(SearchMethod::Lhs, trace);
  replace.replaceTrace = true;
  EXPECT_EQ(Calibrate(replace, 2).records.size(), 45u);
  // A damaged line.
  std::ofstream(trace, std::ios::binary | std::ios::app) << "46,0.1,zero,0.3,1,0.1,0.001\r\n";
  std::filesystem::remove(dir / "trace-settings.txt");
  Says(resume(SearchMethod::Lhs, [](CalibrationRun& r) { r.search.evaluations = 50; }),
       "trace.csv line 47: \"zero\" (column 3) is not a number");
}

TEST(Runner, AFailedEvaluationEndsTheRunKeepingEveryEarlierOne) {
  test::TempDir dir;
  const std::string whole = dir / "whole.csv", failing = dir / "failing.csv";
  const std::vector<double> bad = Calibrate(TestRun(SearchMethod::Dds, whole), 1).records[12].values;  // evaluation 13
  const std::string message = ErrorOf([&] {
                                Calibrate(TestRun(SearchMethod::Dds, failing), 3, [&](const std::vector<double>& x) {
                                  if (x == bad) throw std::runtime_error("the model stopped");
                                  return Scrambled(x);
                                });
                              }).what();
  EXPECT_EQ(message.rfind("evaluation 13 (x0 = ", 0), 0u) << message;
  EXPECT_NE(message.find(") failed: the model stopped"), std::string::npos) << message;
  const std::vector<std::string> all = test::TraceWithoutSeconds(whole);
  EXPECT_EQ(test::TraceWithoutSeconds(failing), std::vector<std::string>(all.begin(), all.begin() + 13));
}

TEST(Runner, UnscorablePointsRankLast) {
  test::TempDir dir;
  const auto f = [](const std::vector<double>& x) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return EvaluationResult{x[0] > 0 ? nan : x[0] * x[0], {nan}};
  };
  const CalibrationResult r = Calibrate(TestRun(SearchMethod::Lhs, dir / "t.csv"), 2, f);
  EXPECT_LE(r.Best().values[0], 0);
  int infinite = 0;
  for (const TraceRecord& record : r.records)
    if (record.values[0] > 0) {
      EXPECT_EQ(record.loss, std::numeric_limits<double>::infinity());
      ++infinite;
    }
  EXPECT_GT(infinite, 0);
  // What could not be scored is an empty field, never "inf" or "nan".
  const std::vector<std::string> lines = test::TraceWithoutSeconds(dir / "t.csv");
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find("nan"), std::string::npos) << line;
    EXPECT_EQ(line.find("inf"), std::string::npos) << line;
  }
  EXPECT_EQ(lines[1].back(), ',') << lines[1];  // the metric, before the seconds
  // And the trace reads back.
  EXPECT_EQ(Calibrate(TestRun(SearchMethod::Lhs, dir / "t.csv", true), 2, f).best, r.best);
}

TEST(Runner, AWorkerThatCannotStartIsAClearError) {
  int started = 0;
  auto starter = [&](std::function<void()> body) {
    if (++started == 3) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    return std::thread(std::move(body));
  };
  const std::string message = ErrorOf([&] { ThreadEvaluatorPool pool(Scrambled, 4, starter); }).what();
  EXPECT_EQ(message.rfind("cannot start 4 worker threads (2 started): ", 0), 0u) << message;
}

}  // namespace
}  // namespace tarnwell
