#include "geo/Table.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>

#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell::geo {

std::vector<std::string> SplitTableLine(const std::string& line, char delimiter) {
  std::vector<std::string> fields;
  if (delimiter == ' ') {
    std::size_t i = 0;
    while (true) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
      if (i >= line.size()) break;
      std::size_t j = i;
      while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
      fields.push_back(line.substr(i, j - i));
      i = j;
    }
    return fields;
  }
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == delimiter) {
      fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(field);
  for (std::string& f : fields) {
    const std::size_t a = f.find_first_not_of(" \t");
    const std::size_t b = f.find_last_not_of(" \t");
    f = a == std::string::npos ? "" : f.substr(a, b - a + 1);
  }
  return fields;
}

Table Table::Read(const std::string& fsPath, const std::string& displayName, const TableFormat& format) {
  RequireInputFile(fsPath, displayName);
  Table t;
  t.name_ = displayName;
  t.format_ = format;
  TextReader reader(fsPath, displayName);
  reader.SkipLines(format.skipLines);
  bool headerDone = !format.header;
  while (!reader.AtEnd()) {
    std::string line = reader.ReadLine();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    std::vector<std::string> fields = SplitTableLine(line, format.delimiter);
    if (!headerDone) {
      t.header_ = std::move(fields);
      headerDone = true;
      continue;
    }
    t.rows_.push_back(std::move(fields));
    t.lines_.push_back(reader.LineNumber());
  }
  if (format.header && t.header_.empty()) throw InputError(displayName, 0, "the file has no header row");
  for (const std::string& c : format.dateColumns) t.dateColumns_.push_back(t.Column(c, "the date"));
  return t;
}

bool Table::HasColumn(const std::string& name) const {
  for (const std::string& h : header_)
    if (h == name) return true;
  return false;
}

int Table::Column(const std::string& nameOrNumber, const std::string& role) const {
  for (std::size_t i = 0; i < header_.size(); ++i)
    if (header_[i] == nameOrNumber) return static_cast<int>(i);
  int number = 0;
  if (ParseInteger(nameOrNumber, number) && number >= 1) return number - 1;
  std::string names;
  for (const std::string& h : header_) names += (names.empty() ? "" : ", ") + h;
  throw InputError(name_, format_.header ? format_.skipLines + 1 : 0,
                   "no column \"" + nameOrNumber + "\" for " + role +
                       (format_.header ? " (the header names: " + names + ")" : " (give its number, from 1)"));
}

const std::string& Table::Field(std::size_t row, int column) const {
  const std::vector<std::string>& r = rows_[row];
  if (column < 0 || static_cast<std::size_t>(column) >= r.size())
    throw InputError(
        name_, lines_[row],
        "column " + std::to_string(column + 1) + " is missing (the row has " + std::to_string(r.size()) + " fields)");
  return r[static_cast<std::size_t>(column)];
}

bool Table::Missing(std::size_t row, int column) const {
  const std::string& f = Field(row, column);
  if (f.empty()) return true;
  if (format_.noData.empty()) return false;
  if (f == format_.noData) return true;
  // "-9999.000" is the no-data value -9999 too.
  double a = 0, b = 0;
  return ParseReal(f, a) && ParseReal(format_.noData, b) && a == b;
}

double Table::Real(std::size_t row, int column) const {
  const std::string& f = Field(row, column);
  double v = 0;
  if (!ParseReal(f, v)) throw ConversionError(name_, lines_[row], f, column, "a number");
  return v;
}

int Table::Integer(std::size_t row, int column) const {
  const std::string& f = Field(row, column);
  int v = 0;
  if (!ParseInteger(f, v)) throw ConversionError(name_, lines_[row], f, column, "a whole number");
  return v;
}

Day Table::Date(std::size_t row) const {
  Day day;
  if (dateColumns_.size() == 1) {
    const std::string& f = Field(row, dateColumns_[0]);
    if (!ParseIsoDate(f, day)) throw ConversionError(name_, lines_[row], f, dateColumns_[0], "a date YYYY-MM-DD");
    return day;
  }
  if (dateColumns_.size() != 3)
    throw InputError(name_, 0, "the date is one column (YYYY-MM-DD) or three (year, month, day)");
  const int y = Integer(row, dateColumns_[0]), m = Integer(row, dateColumns_[1]), d = Integer(row, dateColumns_[2]);
  std::chrono::year_month_day ymd{std::chrono::year(y), std::chrono::month(static_cast<unsigned>(m)),
                                  std::chrono::day(static_cast<unsigned>(d))};
  if (m < 1 || m > 12 || d < 1 || !ymd.ok())
    throw ConversionError(
        name_, lines_[row],
        Field(row, dateColumns_[0]) + " " + Field(row, dateColumns_[1]) + " " + Field(row, dateColumns_[2]),
        dateColumns_[0], "a date (year, month, day)");
  return Day(ymd);
}

DailyValues ReadDaily(const Table& table, int column, Day first, Day last) {
  DailyValues v;
  v.first = first;
  const std::size_t days = static_cast<std::size_t>((last - first).count() + 1);
  v.values.assign(days, std::numeric_limits<double>::quiet_NaN());
  v.lines.assign(days, 0);
  for (std::size_t row = 0; row < table.Rows(); ++row) {
    const Day d = table.Date(row);
    if (d < first || d > last) continue;
    const std::size_t i = static_cast<std::size_t>((d - first).count());
    if (v.lines[i] != 0)
      throw InputError(table.Name(), table.Line(row),
                       "the date " + IsoDate(d) + " is given twice (first on line " + std::to_string(v.lines[i]) + ")");
    v.lines[i] = table.Line(row);
    if (!table.Missing(row, column)) v.values[i] = table.Real(row, column);
  }
  for (double x : v.values)
    if (std::isnan(x)) ++v.missing;
  return v;
}

void RequireEveryDay(const Table& table, const DailyValues& v, const std::string& what) {
  for (std::size_t i = 0; i < v.values.size(); ++i) {
    if (!std::isnan(v.values[i])) continue;
    const Day d = v.first + std::chrono::days(static_cast<long>(i));
    if (v.lines[i] != 0)
      throw InputError(table.Name(), v.lines[i], "no " + what + " on " + IsoDate(d) + " (the value is missing)");
    std::string around;
    std::size_t before = i, after = i;
    while (before > 0 && v.lines[before] == 0) --before;
    while (after + 1 < v.lines.size() && v.lines[after] == 0) ++after;
    if (v.lines[before] != 0)
      around = " after " + IsoDate(v.first + std::chrono::days(static_cast<long>(before))) + " on line " +
               std::to_string(v.lines[before]);
    if (v.lines[after] != 0)
      around += (around.empty() ? " before " : ", next row ") +
                IsoDate(v.first + std::chrono::days(static_cast<long>(after))) + " on line " +
                std::to_string(v.lines[after]);
    throw InputError(table.Name(), 0, "date gap: no row for " + IsoDate(d) + around);
  }
}

}  // namespace tarnwell::geo
