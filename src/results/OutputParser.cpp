#include "results/OutputParser.h"

#include "model/Calendar.h"
#include "model/Errors.h"
#include "results/Format.h"

namespace tarnwell {

namespace {

struct Layout {
  const char* name;
  std::size_t values;
  std::size_t measured;
  std::vector<const char*> head;  // the lines that begin a year block (nullptr: the year line)
};

const Layout& LayoutOf(ResultFile file) {
  static const Layout layouts[] = {
      {"Daily.out", 14, kReFlowValue, {nullptr, kHeaderD}},
      {"Daily_s.out", 4, kReChanshaValue, {nullptr, kHeaderS}},
      {"Daily_f.out", 4, kNotMeasured, {nullptr, kHeaderF}},
      {"Budget.out", 13, kNotMeasured, {" ", kHeaderB1, kHeaderB2, kHeaderB3, kHeaderB4}},
      {"Budget_s.out", 9, kNotMeasured, {" ", " ", kHeaderT1, kHeaderT2, kHeaderT3}},
  };
  return layouts[static_cast<int>(file)];
}

bool IsDaily(ResultFile file) {
  return file == ResultFile::Daily || file == ResultFile::DailySediment || file == ResultFile::DailyFrozen;
}

bool Digits(const std::string& t, std::size_t from, std::size_t count) {
  if (t.size() < from + count) return false;
  for (std::size_t i = from; i < from + count; ++i)
    if (t[i] < '0' || t[i] > '9') return false;
  return true;
}

int Number(const std::string& t, std::size_t from, std::size_t count) { return std::stoi(t.substr(from, count)); }

// Refused as the number readers refuse a token, but as an InputError: a line that is not of
// the file's layout.
[[noreturn]] void Refuse(const ResultLines& lines, const std::string& token, int index, const std::string& expected) {
  throw InputError(lines.Name(), lines.LineNumber(),
                   "\"" + ShownToken(token) + "\" is not " + expected + " (token " + std::to_string(index) + ")");
}

// "1990 ": one token of digits, a calendar year.
bool IsYearLine(const std::string& text, int& year) {
  const std::vector<std::string> tokens = SplitFields(text);
  if (tokens.size() != 1 || tokens[0].size() > 4 || !Digits(tokens[0], 0, tokens[0].size())) return false;
  year = std::stoi(tokens[0]);
  return year >= 1 && text == YearLine(year);
}

void ReadHeadLine(ResultLines& lines, const char* expected) {
  if (lines.AtEnd())
    throw FileError(lines.Name(), lines.LineNumber() + 1, "the file ends in the header lines of a year block");
  const std::string text = lines.Next();
  if (text == expected) return;
  const std::vector<std::string> got = SplitFields(text), want = SplitFields(expected);
  for (std::size_t i = 0; i < got.size() || i < want.size(); ++i)
    if (i >= got.size() || i >= want.size() || got[i] != want[i])
      Refuse(lines, i < got.size() ? got[i] : "", static_cast<int>(i),
             "the header lines of a year block (" +
                 (want.empty() ? std::string("a blank line") : "\"" + std::string(expected) + "\"") + ")");
  throw InputError(lines.Name(), lines.LineNumber(),
                   "the line is not the header lines of a year block: its blanks differ from the model's");
}

// The values after the label: the measured one a number or "nan", N a whole number.
void ReadValues(ResultLines& lines, const FieldLine& line, const Layout& layout, bool budget, ResultRow& row) {
  const std::size_t count = line.Count();
  if (count != layout.values + 1)
    throw InputError(
        lines.Name(), lines.LineNumber(),
        "a row of " + std::to_string(count) + " tokens; " + std::to_string(layout.values + 1) + " expected");
  row.tokens.reserve(layout.values);
  row.values.reserve(layout.values);
  for (std::size_t i = 0; i < layout.values; ++i) {
    const int at = static_cast<int>(i + 1);
    row.tokens.push_back(line.Token(at));
    if (budget && i == 0) {
      const int n = line.Integer(at);
      if (n < 0) Refuse(lines, row.tokens.back(), at, "a number of days (0 or more)");
      row.values.push_back(n);
    } else {
      row.values.push_back(i == layout.measured ? line.Measured(at) : line.Real(at));
    }
  }
}

bool ParseDailyBlock(const Layout& layout, ResultLines& lines, ResultBlock& block) {
  const std::string yearText = lines.Next();
  block.firstLine = lines.LineNumber();
  if (!IsYearLine(yearText, block.year)) {
    const std::vector<std::string> tokens = SplitFields(yearText);
    Refuse(lines, tokens.empty() ? "" : tokens[0], 0, "the year line of a year block (\"YYYY \")");
  }
  ReadHeadLine(lines, layout.head[1]);
  int before = 0;  // the day of the year of the row before
  while (!lines.AtEnd()) {
    int nextYear = 0;
    if (IsYearLine(lines.Peek(), nextYear)) break;
    std::string text = lines.Next();
    FieldLine line(std::move(text), lines.Name(), lines.LineNumber());
    if (line.Count() == 0)
      throw InputError(lines.Name(), lines.LineNumber(), "an empty line: expected a day row or the next year line");
    ResultRow row;
    row.line = lines.LineNumber();
    row.label = line.Token(0);
    const std::string& t = row.label;
    if (t.size() != 10 || t[2] != '-' || t[5] != '-' || !Digits(t, 0, 2) || !Digits(t, 3, 2) || !Digits(t, 6, 4))
      Refuse(lines, t, 0, "a date MM-DD-YYYY");
    row.month = Number(t, 0, 2);
    row.day = Number(t, 3, 2);
    row.year = Number(t, 6, 4);
    if (row.month < 1 || row.month > 12 || row.day < 1 || row.day > MonthLength(row.year, row.month))
      Refuse(lines, t, 0, "a date MM-DD-YYYY");
    if (row.year != block.year)
      throw InputError(lines.Name(), lines.LineNumber(),
                       "the day " + t + " stands in the block of the year " + std::to_string(block.year));
    const int doy = DayOfYear(row.year, row.month, row.day);
    if (doy <= before)
      throw InputError(lines.Name(), lines.LineNumber(), "the day " + t + " does not follow the day row before it");
    before = doy;
    ReadValues(lines, line, layout, false, row);
    block.rows.push_back(std::move(row));
  }
  return true;
}

bool ParseBudgetBlock(const Layout& layout, ResultLines& lines, ResultBlock& block) {
  block.firstLine = lines.LineNumber() + 1;
  for (const char* head : layout.head) ReadHeadLine(lines, head);
  block.complete = false;
  while (!lines.AtEnd()) {
    std::string text = lines.Next();
    FieldLine line(std::move(text), lines.Name(), lines.LineNumber());
    if (line.Count() == 0)
      throw InputError(lines.Name(), lines.LineNumber(), "an empty line: expected a month row or the year row");
    ResultRow row;
    row.line = lines.LineNumber();
    row.label = line.Token(0);
    const std::string& t = row.label;
    const std::string yearRow = "全年";
    if (t.size() == 7 && t[2] == '-' && Digits(t, 0, 2) && Digits(t, 3, 4)) {
      row.month = Number(t, 0, 2);
      row.year = Number(t, 3, 4);
      if (row.month < 1 || row.month > 12) Refuse(lines, t, 0, "a month MM-YYYY or a year YYYY全年");
    } else if (t.size() == 4 + yearRow.size() && Digits(t, 0, 4) && t.compare(4, yearRow.size(), yearRow) == 0) {
      row.year = Number(t, 0, 4);
    } else {
      Refuse(lines, t, 0, "a month MM-YYYY or a year YYYY全年");
    }
    if (block.year != 0 && row.year != block.year)
      throw InputError(lines.Name(), lines.LineNumber(),
                       "the row " + t + " stands in the block of the year " + std::to_string(block.year));
    if (row.month != 0 && !block.rows.empty() && row.month <= block.rows.back().month)
      throw InputError(lines.Name(), lines.LineNumber(), "the month " + t + " does not follow the month row before it");
    block.year = row.year;
    ReadValues(lines, line, layout, true, row);
    const bool last = row.month == 0;
    block.rows.push_back(std::move(row));
    if (last) {
      block.complete = true;
      break;
    }
  }
  return true;
}

}  // namespace

std::string TextReaderLines::Peek() const {
  const std::size_t offset = file_.Offset();
  const long line = file_.LineNumber();
  std::string text = file_.ReadLine();
  file_.Seek(offset, line);
  return text;
}

const char* ResultFileName(ResultFile file) { return LayoutOf(file).name; }
std::size_t ResultValueCount(ResultFile file) { return LayoutOf(file).values; }
std::size_t MeasuredValueIndex(ResultFile file) { return LayoutOf(file).measured; }

bool ParseResultBlock(ResultFile file, ResultLines& lines, ResultBlock& block) {
  block = ResultBlock{};
  if (lines.AtEnd()) return false;
  const Layout& layout = LayoutOf(file);
  return IsDaily(file) ? ParseDailyBlock(layout, lines, block) : ParseBudgetBlock(layout, lines, block);
}

std::vector<ResultBlock> ParseResultFile(ResultFile file, TextReader& reader) {
  TextReaderLines lines(reader);
  std::vector<ResultBlock> blocks;
  ResultBlock block;
  while (ParseResultBlock(file, lines, block)) blocks.push_back(std::move(block));
  return blocks;
}

}  // namespace tarnwell
