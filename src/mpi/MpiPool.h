// Evaluations spread over the ranks of an MPI job (`mpirun -np K tarnwell calibrate ...`):
// rank 0 proposes and records, every rank evaluates on its own threads. The search runs on
// rank 0 alone and never sees who evaluated what, so the result is the one a single process
// gives with the same seed.
//
// What the program must do:
//   int main(int argc, char** argv) {
//     tarnwell::mpi::Environment mpi(&argc, &argv);  // first thing; finalises at the end
//     ...
//     // every rank prepares (reads its inputs), then all learn whether all could:
//     std::string problem;  // empty: ready
//     try { ...prepare... } catch (const std::exception& e) { problem = e.what(); }
//     tarnwell::mpi::AgreeReady(problem);  // throws on every rank if any rank failed
//     if (mpi.Rank() == 0) {
//       tarnwell::mpi::MpiEvaluatorPool pool(evaluate, workers);
//       RunCalibration(run, pool, &progress);    // as with a ThreadEvaluatorPool
//     } else {
//       tarnwell::mpi::ServeEvaluations(evaluate, workers);  // until rank 0 is done
//     }
//   }
// Messages should be printed by rank 0 only.
//
// When a rank dies, Open MPI's mpirun ends the whole job: it prints which rank died and how,
// and sends SIGTERM to the other ranks (SIGKILL shortly after). That signal is all a rank
// learns; rank 0 answers it by printing the notice set with SetEndNotice and exiting. Every
// evaluation already in the trace stays there, and `--resume` continues the calibration.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "calibration/Evaluation.h"

namespace tarnwell::mpi {

// Whether mpirun (or another MPI launcher) started this process.
bool LaunchedByMpirun();

// MPI for the life of the program when started by mpirun (only the main thread calls MPI);
// otherwise nothing, and the process is rank 0 of 1.
class Environment {
 public:
  Environment(int* argc, char*** argv);
  ~Environment();
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;
  bool Active() const { return active_; }
  int Rank() const { return rank_; }
  int Size() const { return size_; }

 private:
  bool active_ = false;
  int rank_ = 0;
  int size_ = 1;
};

// Collective: every rank says whether it is ready (an empty problem) and all learn whether
// all are. When a rank is not, every rank throws std::runtime_error with the message of the
// lowest such rank.
void AgreeReady(const std::string& problem);

// What rank 0 prints when mpirun ends the job under it (a rank died, or the job was
// interrupted). The default says that the trace keeps what was recorded and --resume
// continues.
void SetEndNotice(const std::string& text);

// Rank 0's pool: its own `workers` threads and every other rank's. Constructing it meets
// ServeEvaluations on the other ranks; destroying it lets them return.
class MpiEvaluatorPool : public EvaluatorPool {
 public:
  MpiEvaluatorPool(EvaluationFunction evaluate, int workers);
  ~MpiEvaluatorPool() override;
  int Capacity() const override;
  void Evaluate(const std::vector<EvaluationJob>& jobs, const JobFinished& finished) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Every other rank: evaluates what rank 0 sends, `workers` at once, until rank 0's pool is
// destroyed. Throws when this rank's workers cannot start (rank 0 hears of it too).
void ServeEvaluations(EvaluationFunction evaluate, int workers);

}  // namespace tarnwell::mpi
