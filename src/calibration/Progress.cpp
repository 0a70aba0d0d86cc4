#include "calibration/Progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarnwell {

namespace {

std::string Loss(double v) {
  if (!std::isfinite(v)) return "n/a";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

}  // namespace

std::string ClockTime(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  const long s = std::lround(seconds);
  char buf[32];
  if (s >= 3600) std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
  else std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
  return buf;
}

CalibrationProgress::CalibrationProgress(std::ostream& out, bool terminal, std::string lossName,
                                         std::function<double()> clock)
    : out_(out), terminal_(terminal), lossName_(std::move(lossName)), clock_(std::move(clock)) {
  start_ = Now();
}

double CalibrationProgress::Now() const {
  if (clock_) return clock_();
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void CalibrationProgress::Resumed(long count) {
  resumed_ = count;
  start_ = Now();  // the time left is judged from this session's own evaluations
  if (!terminal_) out_ << "resumed: " << count << " evaluations taken from the trace\n" << std::flush;
}

std::string CalibrationProgress::Left(long done, long total) const {
  const long mine = done - resumed_;
  if (mine <= 0) return "?";
  return ClockTime((Now() - start_) / static_cast<double>(mine) * static_cast<double>(total - done));
}

void CalibrationProgress::Recorded(const TraceRecord& record, const TraceRecord& best, long total) {
  const long done = record.number;
  if (!terminal_) {
    char line[256];
    std::snprintf(line, sizeof line, "evaluation %ld/%ld: %s %s, best %s (evaluation %ld), %.2f s, %s left\n", done,
                  total, lossName_.c_str(), Loss(record.loss).c_str(), Loss(best.loss).c_str(), best.number,
                  record.seconds, Left(done, total).c_str());
    out_ << line << std::flush;
    return;
  }
  // The bar at most ten times a second, and always for the last evaluation.
  const double now = Now();
  if (drawn_ && now - lastDraw_ < 0.1 && done < total) return;
  lastDraw_ = now;
  drawn_ = true;
  const int width = 30;
  const int filled = total > 0 ? static_cast<int>(std::min<long>(width, done * width / total)) : width;
  char line[256];
  std::snprintf(line, sizeof line, "\r[%s%s] %ld/%ld  best %s %s  %s left ",
                std::string(static_cast<std::size_t>(filled), '#').c_str(),
                std::string(static_cast<std::size_t>(width - filled), ' ').c_str(), done, total, lossName_.c_str(),
                Loss(best.loss).c_str(), Left(done, total).c_str());
  out_ << line << std::flush;
}

void CalibrationProgress::Finish() {
  if (terminal_ && drawn_) out_ << "\n" << std::flush;
}

}  // namespace tarnwell
