// What a running calibration shows: on a terminal one bar with the evaluations done, the
// best loss so far and the time left; otherwise one plain line per evaluation.
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "calibration/Runner.h"

namespace tarnwell {

class CalibrationProgress : public CalibrationObserver {
 public:
  // clock: seconds since some fixed moment (the steady clock when empty).
  CalibrationProgress(std::ostream& out, bool terminal, std::string lossName, std::function<double()> clock = {});
  void Resumed(long count) override;
  void Recorded(const TraceRecord& record, const TraceRecord& best, long total) override;
  // Ends the bar's line (nothing for plain lines).
  void Finish();

 private:
  double Now() const;
  std::string Left(long done, long total) const;

  std::ostream& out_;
  bool terminal_;
  std::string lossName_;
  std::function<double()> clock_;
  double start_ = 0;      // when this session's first evaluation began to count
  double lastDraw_ = -1;  // when the bar was last drawn
  long resumed_ = 0;      // evaluations from an earlier session
  bool drawn_ = false;
};

// "m:ss" or "h:mm:ss".
std::string ClockTime(double seconds);

}  // namespace tarnwell
