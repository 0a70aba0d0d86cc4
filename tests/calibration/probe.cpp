// A small calibration of Rosenbrock's function, for the tests that kill a calibrating process
// and run one under mpirun, and for measuring the runner:
//   calibration_probe --trace FILE [--resume] [--method dds|sce|lhs] [--evaluations N] [--batch B]
//     [--complexes C] [--workers W] [--seed S] [--sleep-ms MS] [--spin-ms MS]
//     [--die-after K | --throw-after K] [--die-rank R]
// It prints "best <evaluation> <loss>". Each evaluation waits --sleep-ms, or computes for
// --spin-ms; rank R (default 1, or the process itself without MPI) ends abruptly at its K-th
// evaluation with --die-after, as a crash would, or fails it with an exception with --throw-after.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <thread>

#include "TestFunctions.h"
#include "calibration/Runner.h"
#include "calibration/ThreadPool.h"
#ifdef TARNWELL_HAVE_MPI
#include "mpi/MpiPool.h"
#endif

using namespace tarnwell;

int main(int argc, char** argv) {
#ifdef TARNWELL_HAVE_MPI
  mpi::Environment mpiEnvironment(&argc, &argv);
  const int rank = mpiEnvironment.Rank(), ranks = mpiEnvironment.Size();
#else
  const int rank = 0, ranks = 1;
#endif
  std::map<std::string, std::string> options;
  for (int i = 1; i < argc; ++i)
    if (std::string key = argv[i]; key.rfind("--", 0) == 0)
      options[key.substr(2)] = i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0 ? argv[++i] : "";
  const auto number = [&](const char* key, long fallback) {
    return options.count(key) ? std::atol(options[key].c_str()) : fallback;
  };
  const long sleepMs = number("sleep-ms", 0), spinMs = number("spin-ms", 0);
  const long dieAfter = number("die-after", 0), throwAfter = number("throw-after", 0);
  const long dieRank = number("die-rank", ranks > 1 ? 1 : 0);
  std::atomic<long> done{0};
  const EvaluationFunction evaluate = [&](const std::vector<double>& x) {
    if (rank == dieRank && (dieAfter > 0 || throwAfter > 0)) {
      const long mine = ++done;
      if (mine == dieAfter) {
        std::fprintf(stderr, "rank %d: ending abruptly at its evaluation %ld\n", rank, mine);
        std::_Exit(9);
      }
      if (mine == throwAfter) throw std::runtime_error("deliberate failure on rank " + std::to_string(rank));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    // Arithmetic for a fixed thread CPU time, as a model evaluation would spend it.
    volatile double sink = 0;
    const auto cpuMs = [] {
      timespec t{};
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
      return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
    };
    for (const double start = cpuMs(); cpuMs() - start < static_cast<double>(spinMs);)
      for (int i = 0; i < 1000; ++i) sink = sink + std::sqrt(static_cast<double>(i));
    return EvaluationResult{test::Rosenbrock(x), {x[0]}};
  };
  const int workers = static_cast<int>(number("workers", 2));
  try {
    CalibrationRun run;
    run.parameters = {{"x0", -2, 2, false}, {"x1", -2, 2, false}, {"x2", 0.01, 4, true}};
    const std::string method = options["method"];
    run.search.method = method == "sce" ? SearchMethod::Sce : method == "lhs" ? SearchMethod::Lhs : SearchMethod::Dds;
    run.search.evaluations = number("evaluations", 60), run.search.batch = static_cast<int>(number("batch", 4));
    run.search.complexes = static_cast<int>(number("complexes", 3));
    run.search.seed = static_cast<std::uint64_t>(number("seed", 3));
    run.lossName = "f", run.metricNames = {"x0"};
    run.tracePath = run.traceName = options["trace"];
    run.resume = options.count("resume") > 0;
    CalibrationResult result;
#ifdef TARNWELL_HAVE_MPI
    if (ranks > 1 && rank != 0) {
      mpi::ServeEvaluations(evaluate, workers);
      return 0;
    }
    if (ranks > 1) {
      mpi::MpiEvaluatorPool pool(evaluate, workers);
      result = RunCalibration(run, pool);
    } else
#endif
    {
      ThreadEvaluatorPool pool(evaluate, workers);
      result = RunCalibration(run, pool);
    }
    std::printf("best %ld %.17g\n", result.Best().number, result.Best().loss);
    return 0;
  } catch (const std::exception& e) {
    if (rank == 0) std::fprintf(stderr, "calibration_probe: %s\n", e.what());
    return 1;
  }
}
