// The reading half of the output files' layout (Format.h is the writing half): the one
// strict parser of the five files of a sub-basin's or the whole basin's output directory,
// used by the whole-basin step (the sub-basin files read back), the window's tables and
// charts, and the export. It takes exactly what the writers write and nothing else:
//
//   Daily.out, Daily_s.out, Daily_f.out: year blocks of a year line ("1990 "), the header
//     line as written, then day rows of that year in date order: "MM-DD-YYYY" (a date of
//     the calendar) and the file's number of values, each a decimal number; the measured
//     value (Re_flow, Re_chansha) may also be "nan", a day without observation, and a
//     negative one (files written before that rule) is taken as missing too.
//   Budget.out, Budget_s.out: year blocks of the blank and header lines as written, month
//     rows "MM-YYYY" in month order, then the year row "YYYY全年", all of one year, each with
//     N (a whole number) and the file's number of values. Only the end of the file may cut a
//     block short of its year row (a run still writing it).
//
// Anything else is refused with an error naming the file, the line and the token.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "inputs/TextFile.h"

namespace tarnwell {

enum class ResultFile { Daily, DailySediment, DailyFrozen, Budget, SedimentBudget };

// "Daily.out", "Daily_s.out", "Daily_f.out", "Budget.out", "Budget_s.out".
const char* ResultFileName(ResultFile file);
// The values of a row after its date or period label (a budget row: N and the values).
std::size_t ResultValueCount(ResultFile file);
// The measured value of a day row (Re_flow, Re_chansha); kNotMeasured when it has none.
inline constexpr std::size_t kNotMeasured = static_cast<std::size_t>(-1);
std::size_t MeasuredValueIndex(ResultFile file);

// The lines of a file one at a time: a whole file (TextReaderLines), or the part of one the
// whole-basin step reads on from where the year before stopped.
class ResultLines {
 public:
  virtual ~ResultLines() = default;
  virtual bool AtEnd() const = 0;
  virtual std::string Peek() const = 0;  // the next line, not taken ("" at the end)
  virtual std::string Next() = 0;
  virtual long LineNumber() const = 0;  // of the line taken last
  virtual const std::string& Name() const = 0;
};

class TextReaderLines : public ResultLines {
 public:
  explicit TextReaderLines(TextReader& file) : file_(file) {}
  bool AtEnd() const override { return file_.AtEnd(); }
  std::string Peek() const override;
  std::string Next() override { return file_.ReadLine(); }
  long LineNumber() const override { return file_.LineNumber(); }
  const std::string& Name() const override { return file_.Name(); }

 private:
  TextReader& file_;
};

struct ResultRow {
  long line = 0;
  std::string label;                 // "07-15-2001", "07-2001" or "2001全年", as written
  int year = 0, month = 0, day = 0;  // month 0: a year row; day 0: a budget row
  std::vector<std::string> tokens;   // the values as the file holds them
  std::vector<double> values;        // and as numbers; a measured value of a day without
                                     // observation is kNoObservation
};

struct ResultBlock {
  int year = 0;          // a daily block's year line; a budget block's rows' year (0: none yet)
  long firstLine = 0;    // its first line
  bool complete = true;  // a budget block: its year row was read
  std::vector<ResultRow> rows;
};

// Parses the next year block of `lines`, a file of the kind `file`; false when the file has
// no more lines. A daily block ends before the next year line; a budget block after its
// year row. Throws InputError or ConversionError naming the file, the line and the token.
bool ParseResultBlock(ResultFile file, ResultLines& lines, ResultBlock& block);

// Every year block of a whole file.
std::vector<ResultBlock> ParseResultFile(ResultFile file, TextReader& reader);

// A workspace's stored results as the caller binds them for their readers (the window's
// tables and charts): the program directory that model paths start from, the number of
// sub-basins, the run marker's model path, and how a file (a model path) is found and opened.
struct StoredResults {
  std::string programDir;
  int subBasinCount = 0;
  std::string markFile;
  std::function<bool(const std::string& modelPath)> exists;
  std::function<TextReader(const std::string& modelPath)> open;
};

}  // namespace tarnwell
