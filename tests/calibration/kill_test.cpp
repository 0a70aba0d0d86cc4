// A calibrating process killed with SIGKILL in the middle, then resumed, ends with the
// trace of an uninterrupted calibration (all but the seconds column).
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "TestSupport.h"

namespace tarnwell {
namespace {

struct Exit {
  bool exited = false;
  int status = -1;
};

// Runs the probe; with killAtLines > 0 it gets SIGKILL once its trace has that many lines
// (the header counts). Orphaned writers of the killed process are waited for.
Exit RunProbe(std::vector<std::string> args, const std::string& trace, const std::string& log,
              long killAtLines = 0) {
  args.insert(args.begin(), TARNWELL_PROBE);
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) ::_exit(126);
    ::dup2(out, 1);
    ::dup2(out, 2);
    std::vector<char*> raw;
    for (std::string& a : args) raw.push_back(a.data());
    raw.push_back(nullptr);
    ::execv(raw[0], raw.data());
    ::_exit(127);
  }
  Exit e;
  if (pid < 0) return e;
  if (killAtLines > 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      const std::string bytes = test::ReadBytes(trace);
      if (std::count(bytes.begin(), bytes.end(), '\n') >= killAtLines) break;
      int st = 0;
      if (::waitpid(pid, &st, WNOHANG) == pid || std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "the probe ended (or stalled) before it was killed";
        return e;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ::kill(pid, SIGKILL);
  }
  int st = 0;
  ::waitpid(pid, &st, 0);
  for (int other = 0; ::waitpid(-pid, &other, 0) > 0 || errno == EINTR;) {
  }
  e.exited = WIFEXITED(st);
  e.status = e.exited ? WEXITSTATUS(st) : -1;
  return e;
}

std::vector<std::string> WithoutSeconds(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "a line without CR LF at byte " << start;
    if (end == std::string::npos) break;
    const std::string line = bytes.substr(start, end - start);
    lines.push_back(line.substr(0, line.rfind(',')));
    start = end + 2;
  }
  return lines;
}

TEST(Resume, AKilledCalibrationResumesToTheUninterruptedResult) {
  test::TempDir dir;
  const std::vector<std::string> common = {"--evaluations", "60", "--workers", "2", "--batch", "3"};
  auto with = [&](std::vector<std::string> more) {
    more.insert(more.begin(), common.begin(), common.end());
    return more;
  };
  const std::string whole = dir / "whole.csv", killed = dir / "killed.csv";
  const Exit full = RunProbe(with({"--trace", whole}), whole, dir / "whole.log");
  ASSERT_TRUE(full.exited && full.status == 0) << test::ReadBytes(dir / "whole.log");
  const std::vector<std::string> expected = WithoutSeconds(test::ReadBytes(whole));
  ASSERT_EQ(expected.size(), 61u);

  // Ten milliseconds per evaluation: killed with a batch in flight, about a third through.
  const Exit kill = RunProbe(with({"--trace", killed, "--sleep-ms", "10"}), killed, dir / "killed.log", 21);
  EXPECT_FALSE(kill.exited);
  const std::vector<std::string> left = WithoutSeconds(test::ReadBytes(killed));
  ASSERT_GE(left.size(), 21u);
  ASSERT_LT(left.size(), 61u);
  EXPECT_EQ(left, std::vector<std::string>(expected.begin(), expected.begin() + static_cast<long>(left.size())));

  const Exit resumed = RunProbe(with({"--trace", killed, "--resume"}), killed, dir / "resumed.log");
  ASSERT_TRUE(resumed.exited && resumed.status == 0) << test::ReadBytes(dir / "resumed.log");
  EXPECT_EQ(WithoutSeconds(test::ReadBytes(killed)), expected);
  EXPECT_EQ(test::ReadBytes(dir / "resumed.log"), test::ReadBytes(dir / "whole.log"));
}

}  // namespace
}  // namespace tarnwell
