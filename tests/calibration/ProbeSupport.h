// Running the calibration probe (tests/calibration/probe.cpp) as a process of its own,
// directly or under mpirun, and reading its trace back.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

namespace tarnwell::test {

struct ProbeExit {
  bool exited = false;  // ended by itself (else killed, or timed out)
  int status = -1;
  bool timedOut = false;
  std::string log;  // standard output and error
};

// Runs argv (argv[0] a path) with its output in `log` and `environment` added to its own. With killAtLines > 0 the
// process gets SIGKILL once `trace` has that many lines (the header counts). A process still running after
// timeoutSeconds is killed with its whole group. Orphans of the process (the writers of a killed run) are waited for.
inline ProbeExit RunProcess(std::vector<std::string> argv, const std::string& log, const std::string& trace = "",
                            long killAtLines = 0, int timeoutSeconds = 120,
                            const std::vector<std::pair<std::string, std::string>>& environment = {}) {
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) ::_exit(126);
    ::dup2(out, 1);
    ::dup2(out, 2);
    for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    ::execv(raw[0], raw.data());
    ::_exit(127);
  }
  ProbeExit e;
  if (pid < 0) return e;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int st = 0;
  bool ended = false, killed = false;
  while (!(ended = ::waitpid(pid, &st, WNOHANG) == pid)) {
    if (!killed && killAtLines > 0) {
      const std::string bytes = ReadBytes(trace);
      if (std::count(bytes.begin(), bytes.end(), '\n') >= killAtLines) killed = ::kill(pid, SIGKILL) == 0;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      e.timedOut = true;
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, &st, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  for (int other = 0; ::waitpid(-pid, &other, 0) > 0 || errno == EINTR;) {
  }
  e.exited = ended && WIFEXITED(st);
  e.status = e.exited ? WEXITSTATUS(st) : -1;
  e.log = ReadBytes(log);
  return e;
}

#ifdef TARNWELL_PROBE
// The probe itself with args.
inline ProbeExit RunProbe(std::vector<std::string> args, const std::string& log) {
  args.insert(args.begin(), TARNWELL_PROBE);
  return RunProcess(std::move(args), log);
}
#endif

// A trace's lines without the seconds column; every line must end on CR LF.
inline std::vector<std::string> TraceWithoutSeconds(const std::string& path) {
  const std::string bytes = ReadBytes(path);
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; start < bytes.size(); start = end + 2) {
    if ((end = bytes.find("\r\n", start)) == std::string::npos) {
      ADD_FAILURE() << path << ": a line without CR LF at byte " << start;
      break;
    }
    lines.push_back(bytes.substr(start, bytes.rfind(',', end) - start));
  }
  return lines;
}

}  // namespace tarnwell::test
