// The trace of a calibration, "trace.csv": a header line, then one line per evaluation in
// evaluation-number order: the number, the parameter values, the loss, the metrics and the
// seconds the evaluation took. Numbers are written in their shortest exact form, so a trace
// read back gives the very same values, and a resumed calibration replays the same search.
// Lines are appended whole through the model's writer (CR LF, the file complete up to its
// last line even when the process is killed).
#pragma once

#include <string>
#include <vector>

namespace tarnwell {

struct TraceRecord {
  long number = 0;  // 1-based
  std::vector<double> values;
  double loss = 0;
  std::vector<double> metrics;
  double seconds = 0;
};

// The columns: "evaluation", the parameter names, the loss's name (which says what was
// minimised, e.g. "1-KGE"), the metric names, "seconds".
struct TraceLayout {
  std::vector<std::string> parameterNames;
  std::string lossName;
  std::vector<std::string> metricNames;
  std::string Header() const;
};

std::string TraceLine(const TraceRecord& record);

// Reads a trace written for `layout`. A header of other columns, a line that does not
// convert, a number out of sequence: TarnwellError naming the file, the line and the token.
// A missing or empty file holds no records.
std::vector<TraceRecord> ReadTrace(const std::string& fsPath, const std::string& displayName,
                                   const TraceLayout& layout);

}  // namespace tarnwell
