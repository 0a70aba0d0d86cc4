#include "mpi/MpiPool.h"

#include <mpi.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <list>
#include <stdexcept>

#include "calibration/ThreadPool.h"

namespace tarnwell::mpi {

namespace {

constexpr int kTagHello = 1, kTagJob = 2, kTagResult = 3, kTagStop = 4;
constexpr auto kPoll = std::chrono::milliseconds(1);

void Check(int rc, const char* what) {
  if (rc == MPI_SUCCESS) return;
  char text[MPI_MAX_ERROR_STRING];
  int length = 0;
  MPI_Error_string(rc, text, &length);
  throw std::runtime_error(std::string("MPI ") + what +
                           " failed: " + std::string(text, static_cast<std::size_t>(length)));
}

int WorldRank() {
  int rank = 0;
  Check(MPI_Comm_rank(MPI_COMM_WORLD, &rank), "rank");
  return rank;
}

int WorldSize() {
  int size = 1;
  Check(MPI_Comm_size(MPI_COMM_WORLD, &size), "size");
  return size;
}

bool MpiRunning() {
  int initialised = 0, finalised = 0;
  MPI_Initialized(&initialised);
  MPI_Finalized(&finalised);
  return initialised && !finalised;
}

// Messages are plain bytes: both ends are the same program.
class Packer {
 public:
  template <class T>
  void Put(const T& v) {
    const char* p = reinterpret_cast<const char*>(&v);
    bytes_.insert(bytes_.end(), p, p + sizeof v);
  }
  void PutDoubles(const std::vector<double>& v) {
    Put(static_cast<std::uint32_t>(v.size()));
    for (double d : v) Put(d);
  }
  void PutText(const std::string& s) {
    Put(static_cast<std::uint32_t>(s.size()));
    bytes_.insert(bytes_.end(), s.begin(), s.end());
  }
  std::vector<char> Take() { return std::move(bytes_); }

 private:
  std::vector<char> bytes_;
};

class Unpacker {
 public:
  explicit Unpacker(const std::vector<char>& bytes) : p_(bytes.data()), end_(bytes.data() + bytes.size()) {}
  template <class T>
  T Get() {
    Need(sizeof(T));
    T v;
    std::memcpy(&v, p_, sizeof v);
    p_ += sizeof v;
    return v;
  }
  std::vector<double> GetDoubles() {
    std::vector<double> v(Get<std::uint32_t>());
    for (double& d : v) d = Get<double>();
    return v;
  }
  std::string GetText() {
    const auto n = Get<std::uint32_t>();
    Need(n);
    std::string s(p_, n);
    p_ += n;
    return s;
  }

 private:
  void Need(std::size_t n) const {
    if (static_cast<std::size_t>(end_ - p_) < n) throw std::runtime_error("MPI: a message ended early");
  }
  const char* p_;
  const char* end_;
};

// Sends that never wait for the receiver (so two ranks sending to each other cannot block
// each other, whatever the size of the messages); buffers are kept until each send is done.
class Outbox {
 public:
  void Send(std::vector<char> bytes, int to, int tag) {
    items_.push_back({std::move(bytes), MPI_REQUEST_NULL});
    Item& item = items_.back();
    Check(MPI_Isend(item.bytes.data(), static_cast<int>(item.bytes.size()), MPI_BYTE, to, tag, MPI_COMM_WORLD,
                    &item.request),
          "send");
  }
  void Progress() {
    for (auto it = items_.begin(); it != items_.end();) {
      int done = 0;
      Check(MPI_Test(&it->request, &done, MPI_STATUS_IGNORE), "send");
      it = done ? items_.erase(it) : std::next(it);
    }
  }
  void Flush() {
    for (Item& item : items_) Check(MPI_Wait(&item.request, MPI_STATUS_IGNORE), "send");
    items_.clear();
  }

 private:
  struct Item {
    std::vector<char> bytes;
    MPI_Request request;
  };
  std::list<Item> items_;
};

// A message of `tag` from `from` (MPI_ANY_SOURCE: anyone), if one has arrived.
bool TryReceive(int from, int tag, std::vector<char>& bytes, MPI_Status& status) {
  int arrived = 0;
  Check(MPI_Iprobe(from, tag, MPI_COMM_WORLD, &arrived, &status), "probe");
  if (!arrived) return false;
  int count = 0;
  Check(MPI_Get_count(&status, MPI_BYTE, &count), "count");
  bytes.assign(static_cast<std::size_t>(count), 0);
  Check(MPI_Recv(bytes.data(), count, MPI_BYTE, status.MPI_SOURCE, status.MPI_TAG, MPI_COMM_WORLD, MPI_STATUS_IGNORE),
        "receive");
  return true;
}

std::vector<char> PackResult(long tag, const EvaluationOutcome& o) {
  Packer p;
  p.Put(static_cast<std::int64_t>(tag));
  p.Put(static_cast<std::uint8_t>(o.ok));
  p.Put(o.result.loss);
  p.PutDoubles(o.result.metrics);
  p.Put(o.seconds);
  p.PutText(o.error);
  return p.Take();
}

// The notice rank 0 writes when mpirun ends the job under it; kept where a signal handler
// can reach it without allocating.
std::string& EndNotice() {
  static std::string text =
      "tarnwell: mpirun ended this calibration (a rank died or the job was interrupted; mpirun "
      "names the rank). Every evaluation already in the trace is kept: run the same command "
      "with --resume to continue.\n";
  return text;
}
const char* gNotice = nullptr;
std::size_t gNoticeLength = 0;

extern "C" void OnTerminate(int) {
  if (gNotice) {
    const ssize_t written = ::write(STDERR_FILENO, gNotice, gNoticeLength);
    (void)written;
  }
  ::_exit(1);
}

}  // namespace

bool LaunchedByMpirun() {
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK", "PMI_SIZE"})
    if (std::getenv(name)) return true;
  return false;
}

Environment::Environment(int* argc, char*** argv) {
  if (!LaunchedByMpirun()) return;
  int provided = 0;
  Check(MPI_Init_thread(argc, argv, MPI_THREAD_FUNNELED, &provided), "start");
  active_ = true;
  // Failures come back as codes and become exceptions with a message, rather than ending
  // the job without one.
  MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
  rank_ = WorldRank();
  size_ = WorldSize();
}

Environment::~Environment() {
  if (active_ && MpiRunning()) MPI_Finalize();
}

void AgreeReady(const std::string& problem) {
  if (!MpiRunning()) {
    if (!problem.empty()) throw std::runtime_error(problem);
    return;
  }
  const int rank = WorldRank();
  int mine = problem.empty() ? INT_MAX : rank, first = INT_MAX;
  Check(MPI_Allreduce(&mine, &first, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD), "agreement");
  if (first == INT_MAX) return;
  int length = rank == first ? static_cast<int>(problem.size()) : 0;
  Check(MPI_Bcast(&length, 1, MPI_INT, first, MPI_COMM_WORLD), "agreement");
  std::string text = rank == first ? problem : std::string(static_cast<std::size_t>(length), '\0');
  Check(MPI_Bcast(text.data(), length, MPI_CHAR, first, MPI_COMM_WORLD), "agreement");
  throw std::runtime_error(first == 0 ? text : "rank " + std::to_string(first) + ": " + text);
}

void SetEndNotice(const std::string& text) { EndNotice() = text.empty() || text.back() == '\n' ? text : text + "\n"; }

struct MpiEvaluatorPool::State {
  std::unique_ptr<ThreadEvaluatorPool> local;
  std::vector<int> capacity;  // per rank; 0 for a rank that could not start
  Outbox outbox;
  struct sigaction previous {};
  bool handling = false;

  void StopOthers() {
    for (std::size_t r = 1; r < capacity.size(); ++r)
      if (capacity[r] > 0) outbox.Send({}, static_cast<int>(r), kTagStop);
    outbox.Flush();
  }
};

MpiEvaluatorPool::MpiEvaluatorPool(EvaluationFunction evaluate, int workers) : state_(std::make_unique<State>()) {
  if (!MpiRunning() || WorldRank() != 0) throw std::logic_error("the MPI pool belongs to rank 0 of a running job");
  State& s = *state_;
  // From here on a job that mpirun ends (another rank died, even before it said hello)
  // leaves rank 0 with the notice.
  gNotice = EndNotice().c_str();
  gNoticeLength = EndNotice().size();
  struct sigaction action {};
  action.sa_handler = OnTerminate;
  sigemptyset(&action.sa_mask);
  s.handling = ::sigaction(SIGTERM, &action, &s.previous) == 0;
  std::string problem;
  try {
    s.local = std::make_unique<ThreadEvaluatorPool>(std::move(evaluate), workers);
  } catch (const std::exception& e) {
    problem = e.what();
  }
  const int size = WorldSize();
  s.capacity.assign(static_cast<std::size_t>(size), 0);
  s.capacity[0] = s.local ? s.local->Capacity() : 0;
  // Every other rank says how many evaluations it runs at once, or why it cannot.
  for (int i = 1; i < size; ++i) {
    MPI_Status status;
    Check(MPI_Probe(MPI_ANY_SOURCE, kTagHello, MPI_COMM_WORLD, &status), "start");
    std::vector<char> bytes;
    TryReceive(status.MPI_SOURCE, kTagHello, bytes, status);
    Unpacker u(bytes);
    const int slots = u.Get<std::int32_t>();
    const std::string why = u.GetText();
    s.capacity[static_cast<std::size_t>(status.MPI_SOURCE)] = slots;
    if (slots <= 0 && problem.empty()) problem = "rank " + std::to_string(status.MPI_SOURCE) + ": " + why;
  }
  if (!problem.empty()) {
    s.StopOthers();
    if (s.handling) ::sigaction(SIGTERM, &s.previous, nullptr);
    throw std::runtime_error(problem);
  }
}

MpiEvaluatorPool::~MpiEvaluatorPool() {
  try {
    state_->StopOthers();
  } catch (...) {
    // A job whose ranks cannot be reached any more is ending anyway.
  }
  if (state_->handling) ::sigaction(SIGTERM, &state_->previous, nullptr);
}

int MpiEvaluatorPool::Capacity() const {
  int total = 0;
  for (int c : state_->capacity) total += c;
  return total;
}

void MpiEvaluatorPool::Evaluate(const std::vector<EvaluationJob>& jobs, const JobFinished& finished) {
  State& s = *state_;
  std::vector<int> busy(s.capacity.size(), 0);
  std::size_t next = 0;
  int outstanding = 0;
  FinishedJobs ended(finished);

  // Each job to the rank with the most free places (rank 0's own threads included).
  auto fill = [&] {
    while (ended.StartMore() && next < jobs.size()) {
      std::size_t rank = 0;
      int freest = 0;
      for (std::size_t r = 0; r < busy.size(); ++r)
        if (s.capacity[r] - busy[r] > freest) freest = s.capacity[r] - busy[r], rank = r;
      if (freest == 0) return;
      if (rank == 0) {
        s.local->Submit(static_cast<long>(next), jobs[next].values);
      } else {
        Packer p;
        p.Put(static_cast<std::int64_t>(next));
        p.PutDoubles(jobs[next].values);
        s.outbox.Send(p.Take(), static_cast<int>(rank), kTagJob);
      }
      ++busy[rank];
      ++next;
      ++outstanding;
    }
  };
  auto deliver = [&](std::size_t rank, long index, EvaluationOutcome&& outcome) {
    --busy[rank];
    --outstanding;
    ended.Deliver(static_cast<std::size_t>(index), std::move(outcome));
  };

  fill();
  while (outstanding > 0) {
    s.outbox.Progress();
    std::vector<char> bytes;
    MPI_Status status;
    bool heard = false;
    while (TryReceive(MPI_ANY_SOURCE, kTagResult, bytes, status)) {
      heard = true;
      Unpacker u(bytes);
      const auto index = static_cast<long>(u.Get<std::int64_t>());
      EvaluationOutcome o;
      o.ok = u.Get<std::uint8_t>() != 0;
      o.result.loss = u.Get<double>();
      o.result.metrics = u.GetDoubles();
      o.seconds = u.Get<double>();
      o.error = u.GetText();
      deliver(static_cast<std::size_t>(status.MPI_SOURCE), index, std::move(o));
    }
    for (auto& [index, outcome] : s.local->TakeFinished(heard ? std::chrono::milliseconds(0) : kPoll))
      deliver(0, index, std::move(outcome));
    fill();
  }
  s.outbox.Flush();
  ended.RethrowIfFailed();
}

void ServeEvaluations(EvaluationFunction evaluate, int workers) {
  if (!MpiRunning() || WorldRank() == 0) throw std::logic_error("ranks other than 0 serve evaluations");
  std::unique_ptr<ThreadEvaluatorPool> pool;
  std::string problem;
  try {
    pool = std::make_unique<ThreadEvaluatorPool>(std::move(evaluate), workers);
  } catch (const std::exception& e) {
    problem = e.what();
  }
  Packer hello;
  hello.Put(static_cast<std::int32_t>(pool ? pool->Capacity() : 0));
  hello.PutText(problem);
  std::vector<char> helloBytes = hello.Take();
  Check(MPI_Send(helloBytes.data(), static_cast<int>(helloBytes.size()), MPI_BYTE, 0, kTagHello, MPI_COMM_WORLD),
        "start");
  if (!pool) throw std::runtime_error(problem);

  Outbox outbox;
  for (;;) {
    std::vector<char> bytes;
    MPI_Status status;
    bool stop = false;
    while (TryReceive(0, MPI_ANY_TAG, bytes, status)) {
      if (status.MPI_TAG == kTagStop) {
        stop = true;
        break;
      }
      Unpacker u(bytes);
      const auto index = static_cast<long>(u.Get<std::int64_t>());
      pool->Submit(index, u.GetDoubles());
    }
    if (stop) break;
    for (auto& [index, outcome] : pool->TakeFinished(kPoll)) outbox.Send(PackResult(index, outcome), 0, kTagResult);
    outbox.Progress();
  }
  outbox.Flush();
}

}  // namespace tarnwell::mpi
