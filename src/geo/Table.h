// A flexible reader of daily tables (gauge records, weather series, small CSV lists): the
// delimiter, the lines to skip, whether a header row names the columns, the date as one ISO
// column or as year, month and day columns, and a no-data value. Columns are named by
// their header or by their 1-based number.
#pragma once

#include <string>
#include <vector>

#include "geo/GeoSupport.h"

namespace tarnwell::geo {

struct TableFormat {
  char delimiter = ',';  // ',', ';', '\t', or ' ' for runs of blanks and tabs
  int skipLines = 0;     // lines before the header (or before the data without a header)
  bool header = true;
  std::vector<std::string> dateColumns{"date"};  // one ISO date column, or year month day
  std::string noData;                            // a field with this text is missing
};

class Table {
 public:
  static Table Read(const std::string& fsPath, const std::string& displayName, const TableFormat& format);

  std::size_t Rows() const { return rows_.size(); }
  long Line(std::size_t row) const { return lines_[row]; }
  const std::string& Name() const { return name_; }
  const std::vector<std::string>& Header() const { return header_; }
  const TableFormat& Format() const { return format_; }

  // The 0-based index of a column named by its header text or 1-based number; `role` says
  // in messages what the column was wanted for.
  int Column(const std::string& nameOrNumber, const std::string& role) const;
  bool HasColumn(const std::string& name) const;
  const std::string& Field(std::size_t row, int column) const;
  bool Missing(std::size_t row, int column) const;  // empty or the no-data text
  double Real(std::size_t row, int column) const;
  int Integer(std::size_t row, int column) const;
  Day Date(std::size_t row) const;

 private:
  std::string name_;
  TableFormat format_;
  std::vector<std::string> header_;
  std::vector<std::vector<std::string>> rows_;
  std::vector<long> lines_;
  std::vector<int> dateColumns_;
};

// One column of a daily table over the days first..last.
struct DailyValues {
  Day first;
  std::vector<double> values;  // NaN where missing
  std::vector<long> lines;     // the line of each day's row; 0 when the table has none
  int missing = 0;
};

// Rows outside first..last are passed over; a date given twice is refused.
DailyValues ReadDaily(const Table& table, int column, Day first, Day last);
// Refuses the first missing day: names the file, the day and the rows around the gap.
void RequireEveryDay(const Table& table, const DailyValues& values, const std::string& what);

// Splits one line of a table as the format says (quotes group a field in a delimited line).
std::vector<std::string> SplitTableLine(const std::string& line, char delimiter);

}  // namespace tarnwell::geo
