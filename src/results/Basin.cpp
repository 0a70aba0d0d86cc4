// The whole-basin year: sub-basin outflows routed to the outlet and summed, the other
// quantities averaged over the sub-basins from their output files of the same year.
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>

#include "model/Calendar.h"
#include "model/Errors.h"
#include "model/InputRanges.h"
#include "model/Observation.h"
#include "results/Format.h"
#include "results/OutputParser.h"
#include "results/Statistic.h"

namespace tarnwell {

namespace {
constexpr double kRoutingStep = 24.0;  // hours
}  // namespace

double MuskingumDenominator(double K, double x) { return kRoutingStep / 2 + (1 - x) * K; }

namespace {
constexpr int kReaches = 1;  // one reach from the sub-basin to the outlet
constexpr int kReachCount = kReaches < 1 ? 1 : (kReaches > 20 ? 20 : kReaches);
}  // namespace

MuskingumCoefficients MuskingumCoefficientsOf(double K, double x) {
  constexpr double dt = kRoutingStep;
  constexpr int N = kReachCount;
  const double Kn = K / N;
  const double X = (1 - (1 - 2 * x) * N) / 2;
  const double D = dt / 2 + (1 - X) * Kn;
  return {(dt / 2 - Kn * X) / D, (dt / 2 + Kn * X) / D, ((1 - X) * Kn - dt / 2) / D};
}

std::string MuskingumDenominatorProblem(double K, double x) {
  const double denominator = MuskingumDenominator(K, x);
  if (denominator > 0) return "";
  return "give a routing denominator 12 + (1 - x) K of " + Printf("%g", denominator) +
         " h: it must be above 0 (x at most 1 with K at least 0 keeps it so)";
}

std::string NegativeMuskingumCoefficient(double K, double x) {
  // K = 0 passes the flow unchanged (C2 = -1 cancels C1 exactly): nothing can turn negative.
  if (K == 0 || !(MuskingumDenominator(K, x) > 0)) return "";
  const MuskingumCoefficients c = MuskingumCoefficientsOf(K, x);
  const double values[3] = {c.c0, c.c1, c.c2};
  // A coefficient of 0 computed a rounding below it (K x = 12 h) is no fault.
  for (int i = 0; i < 3; ++i)
    if (values[i] < -1e-9) return "C" + std::to_string(i) + " = " + Printf("%.2f", values[i]);
  return "";
}

void MuskingumRoute(ModelState& s, double K, double x) {
  constexpr int lag = 0;  // days
  const int N = kReachCount;
  const MuskingumCoefficients c = MuskingumCoefficientsOf(K, x);
  const double C0 = c.c0, C1 = c.c1, C2 = c.c2;
  const DaySeries& I = s.SimFlow;
  DaySeries out{};
  out[1] = I[1];
  std::array<double, 22> A{}, B{};
  for (int j = 1; j <= N + 1; ++j) A[j] = ((N + 1 - j) * I[1] + (j - 1) * out[1]) / N;
  for (int t = 1; t <= kMaxDays - 1; ++t) {
    B[1] = I[t + 1];
    A[1] = I[t];
    for (int j = 1; j <= N; ++j) B[j + 1] = C0 * B[j] + C1 * A[j] + C2 * A[j + 1];
    for (int j = 2; j <= N + 1; ++j) A[j] = B[j];
    out[t + 1] = B[N + 1];
  }
  for (int d = lag + 1; d <= kMaxDays; ++d) s.RoutedFlow[d] = out[d - lag];
}

namespace {

// A day line of the outlet series: a date, the discharge and the concentration, numbers.
bool IsOutletDayLine(const FieldLine& line) {
  double v = 0;
  return line.Count() >= 3 && ParseReal(line.View(1), v) && ParseReal(line.View(2), v);
}

}  // namespace

OutletBlock ReadOutletBlock(int year, int daysInYear, TextReader& river) {
  const std::string block = "the outlet block of " + std::to_string(year);
  if (river.AtEnd())
    throw FileError(river.Name(), river.LineNumber() + 1, "the file ends before " + block + " (its heading line)");
  river.ReadLine();  // the year's heading
  const long heading = river.LineNumber();
  const std::string placed = block + " (heading at line " + std::to_string(heading) + ")";
  OutletBlock b;
  for (int d = 1; d <= daysInYear; ++d) {
    if (river.AtEnd())
      throw FileError(river.Name(), river.LineNumber() + 1,
                      "the file ends after " + std::to_string(d - 1) + " day lines of " + placed + ", which needs " +
                          std::to_string(daysInYear));
    FieldLine line = river.ReadFields();
    if (!IsOutletDayLine(line) && d > 1) {
      // Most likely the next year's heading: a day is missing.
      throw InputError(river.Name(), line.LineNumber(),
                       "this is no day line (a date, the discharge and the concentration): is a day "
                       "missing? " +
                           placed + " has " + std::to_string(d - 1) + " day lines before it, and " +
                           std::to_string(year) + " needs " + std::to_string(daysInYear));
    }
    const double q = line.Real(1);  // m3/s
    const double c = line.Real(2);  // kg/m3
    for (int t : {1, 2})
      if (std::fabs(line.Real(t)) > kLargestInputValue)
        throw InputError(river.Name(), line.LineNumber(),
                         "\"" + line.Token(t) + "\" (token " + std::to_string(t) +
                             ") is beyond any measured value (at most 1e9 in magnitude)");
    b.flow.push_back(q);
    b.conc.push_back(c);
  }
  // One more day line after the year's last day: the block is longer than its year.
  const std::size_t offset = river.Offset();
  const long lineNumber = river.LineNumber();
  while (!river.AtEnd()) {
    FieldLine next = river.ReadFields();
    if (next.Count() == 0) continue;
    if (IsOutletDayLine(next))
      throw InputError(river.Name(), next.LineNumber(),
                       placed + " has more day lines than the " + std::to_string(daysInYear) + " days of " +
                           std::to_string(year) + ": this line is one too many");
    break;
  }
  river.Seek(offset, lineNumber);
  return b;
}

void ApplyOutletObservations(ModelState& s, const OutletBlock& b) {
  s.BasinObsFlow.fill(0.0);
  s.BasinObsSediment.fill(0.0);
  for (std::size_t i = 0; i < b.flow.size() && i < static_cast<std::size_t>(kMaxDays); ++i) {
    const double q = b.flow[i], c = b.conc[i];
    s.BasinObsFlow[i + 1] = Observation(q);
    // A day lacking either reading has no observed load (two marks would multiply to a
    // positive number).
    s.BasinObsSediment[i + 1] = IsObserved(q) && IsObserved(c) ? 86.4 * q * c : kNoObservation;  // t/day
  }
}

void ReadOutletObservations(ModelState& s, TextReader& river) {
  ApplyOutletObservations(s, ReadOutletBlock(s.CurYear, s.DaysInYear, river));
}

void RouteAndSumBasin(ModelState& s, int n) {
  s.SimulatedSubBasin = 0;  // the rows from here on are the whole basin's
  s.BasinFlow.fill(0.0);
  s.BasinSediment.fill(0.0);
  for (int k = 1; k <= n; ++k) {
    // The shared series serve as work space: afterwards they hold the last sub-basin's m3/s.
    s.SimFlow = s.SubBasinFlow[static_cast<std::size_t>(k)];
    s.SimSediment = s.SubBasinSediment[static_cast<std::size_t>(k)];
    MuskingumRoute(s, s.SubBasinK[static_cast<std::size_t>(k)], s.SubBasinX[static_cast<std::size_t>(k)]);
    // Sediment reaches the outlet on the same day.
    s.RoutedSediment = s.SimSediment;
    for (int d = 1; d <= kMaxDays; ++d) {
      s.BasinFlow[d] += s.RoutedFlow[d];
      s.BasinSediment[d] += s.RoutedSediment[d];
    }
  }
}

void AggregateBasin(ModelState& s, const BasinFiles& files, BasinAggregation& agg, int n) {
  RouteAndSumBasin(s, n);
  WriteBasinYear(s, files, agg, n);
}

void WriteBasinYear(ModelState& s, const BasinFiles& files, BasinAggregation& agg, int count) {
  const YearFiles& out = files.basin;
  if (s.BasinFilesCreated == 0) {
    s.BasinFilesCreated = 1;
    for (const OutputFile* f : {&out.Daily, &out.DailyS, &out.Budget, &out.BudgetS, &out.DailyF}) f->Create();
  }
  WriteSubBasinHeaders(s, out);
  ReadOutletObservations(s, *agg.RiverFile);
  AggregateBasinDaily(s, files, agg, count, s.CurYear);
  AggregateBasinBudget(s, files, agg, count);
}

namespace {

// Reads one year block of a sub-basin output file from where the year before stopped,
// line by line on the raw bytes, so that the cursor it leaves is an exact byte offset.
class BlockReader : public ResultLines {
 public:
  BlockReader(const OutputFile& file, const FileCursor& at) : name_(file.name), at_(at) {
    std::ifstream in(file.path, std::ios::binary);
    if (!in) throw FileError(name_, 0, std::string("cannot open: ") + std::strerror(errno));
    in.seekg(0, std::ios::end);
    const auto size = static_cast<std::uint64_t>(in.tellg());
    if (size < at.byteOffset) throw FileError(name_, 0, "the file is shorter than the years already aggregated");
    in.seekg(static_cast<std::streamoff>(at.byteOffset));
    raw_.resize(static_cast<std::size_t>(size - at.byteOffset));
    in.read(raw_.data(), static_cast<std::streamsize>(raw_.size()));
    if (!in) throw FileError(name_, 0, "cannot read");
  }
  bool AtEnd() const override { return pos_ >= raw_.size(); }
  // The next line, decoded, without consuming it ("" at the end).
  std::string Peek() const override {
    if (AtEnd()) return std::string();
    std::size_t end = raw_.find('\n', pos_);
    std::size_t stop = end == std::string::npos ? raw_.size() : end;
    if (stop > pos_ && raw_[stop - 1] == '\r') --stop;
    return DecodeText(std::string_view(raw_).substr(pos_, stop - pos_));
  }
  std::string Next() override {
    std::string line = Peek();
    ++lines_;
    if (!AtEnd()) {
      std::size_t end = raw_.find('\n', pos_);
      pos_ = end == std::string::npos ? raw_.size() : end + 1;
    }
    return line;
  }
  long LineNumber() const override { return at_.linesDone + lines_; }  // of the line read last
  FileCursor Cursor() const { return {at_.byteOffset + pos_, at_.linesDone + lines_}; }
  const std::string& Name() const override { return name_; }

 private:
  std::string name_;
  FileCursor at_;
  std::string raw_;
  std::size_t pos_ = 0;
  long lines_ = 0;
};

// Sums of one row position over the sub-basins that have it.
template <std::size_t W>
struct RowSum {
  std::string label;
  int dayOfYear = 0;
  std::array<double, W> sum{};
  int contributors = 0;
};

// The next year block of a sub-basin file, which the sub-basin's year has just written.
ResultBlock NextBlock(ResultFile file, BlockReader& r) {
  ResultBlock block;
  if (!ParseResultBlock(file, r, block))
    throw FileError(r.Name(), r.LineNumber() + 1, "the file ends before the year block of the year aggregated");
  return block;
}

// Day rows of a daily block, W values after the date, keyed by year and day of the year.
// The measured value (if any) is an observation, which the whole basin takes from the
// outlet instead: the parser checks it, and it is not summed.
template <std::size_t W>
void AddDailyRows(ResultFile file, BlockReader& r, std::map<long, RowSum<W>>& rows) {
  const std::size_t measured = MeasuredValueIndex(file);
  for (const ResultRow& day : NextBlock(file, r).rows) {
    const int doy = DayOfYear(day.year, day.month, day.day);
    RowSum<W>& row = rows[static_cast<long>(day.year) * 1000 + doy];
    row.label = day.label;
    row.dayOfYear = doy;
    for (std::size_t i = 0; i < W; ++i)
      if (i != measured) row.sum[i] += day.values[i];
    ++row.contributors;
  }
}

// Month rows (1-12) and the year row (13) of a budget block, N first.
template <std::size_t W>
void AddBudgetRows(ResultFile file, BlockReader& r, std::map<long, RowSum<W>>& rows) {
  for (const ResultRow& period : NextBlock(file, r).rows) {
    RowSum<W>& row = rows[static_cast<long>(period.year) * 100 + (period.month == 0 ? 13 : period.month)];
    row.label = period.label;
    for (std::size_t i = 0; i < W; ++i) row.sum[i] += period.values[i];
    ++row.contributors;
  }
}

std::array<FileCursor, 5>& CursorsOf(BasinAggregation& agg, int k) {
  if (agg.cursors.size() <= static_cast<std::size_t>(k)) agg.cursors.resize(static_cast<std::size_t>(k) + 1);
  return agg.cursors[static_cast<std::size_t>(k)];
}

template <std::size_t W>
std::array<double, W> MeanOf(const RowSum<W>& row) {
  std::array<double, W> v{};
  for (std::size_t i = 0; i < W; ++i) v[i] = row.sum[i] / row.contributors;
  return v;
}

}  // namespace

void AggregateBasinDaily(ModelState& s, const BasinFiles& bound, BasinAggregation& agg, int count, int year) {
  (void)year;  // the rows carry their own dates
  std::map<long, RowSum<14>> daily;
  std::map<long, RowSum<4>> sediment, frozen;
  for (int k = 1; k <= count; ++k) {
    const YearFiles& files = bound.subBasins.at(static_cast<std::size_t>(k - 1));
    std::array<FileCursor, 5>& at = CursorsOf(agg, k);
    BlockReader d(files.Daily, at[0]), g(files.DailyS, at[1]), f(files.DailyF, at[2]);
    AddDailyRows(ResultFile::Daily, d, daily);
    AddDailyRows(ResultFile::DailySediment, g, sediment);
    AddDailyRows(ResultFile::DailyFrozen, f, frozen);
    at[0] = d.Cursor();
    at[1] = g.Cursor();
    at[2] = f.Cursor();
  }
  if (count >= 1) s.BasinDailyLinesDone = agg.cursors[1][0].linesDone;
  const YearFiles& out = bound.basin;
  std::vector<std::string> rows;
  for (const auto& [key, row] : daily) {
    DailyValues v = MeanOf(row);
    // Outlet discharge, simulated and observed, in m3/s.
    v[10] = s.BasinFlow[static_cast<std::size_t>(row.dayOfYear)];
    v[11] = s.BasinObsFlow[static_cast<std::size_t>(row.dayOfYear)];
    RequireFiniteRow([&s, &label = row.label] { return RowPlace(s, label); }, kDailyColumns, v.data(), v.size());
    v[kReFlowValue] = MeasuredValue(v[kReFlowValue]);
    rows.push_back(BasinDailyRow(row.label, v));
  }
  out.Daily.Append(rows);
  rows.clear();
  for (const auto& [key, row] : sediment) {
    FourValues v = MeanOf(row);
    // Outlet loads, observed and simulated, t/day.
    v[1] = s.BasinObsSediment[static_cast<std::size_t>(row.dayOfYear)];
    v[2] = s.BasinSediment[static_cast<std::size_t>(row.dayOfYear)];
    RequireFiniteRow([&s, &label = row.label] { return RowPlace(s, label); }, kSedimentColumns, v.data(), v.size());
    v[kReChanshaValue] = MeasuredValue(v[kReChanshaValue]);
    rows.push_back(BasinFourValueRow(row.label, v));
  }
  out.DailyS.Append(rows);
  rows.clear();
  for (const auto& [key, row] : frozen) rows.push_back(BasinFourValueRow(row.label, MeanOf(row)));
  out.DailyF.Append(rows);
}

void AggregateBasinBudget(ModelState& s, const BasinFiles& bound, BasinAggregation& agg, int count) {
  std::map<long, RowSum<13>> runoff;
  std::map<long, RowSum<9>> sediment;
  for (int k = 1; k <= count; ++k) {
    const YearFiles& files = bound.subBasins.at(static_cast<std::size_t>(k - 1));
    std::array<FileCursor, 5>& at = CursorsOf(agg, k);
    BlockReader b(files.Budget, at[3]), t(files.BudgetS, at[4]);
    AddBudgetRows(ResultFile::Budget, b, runoff);
    AddBudgetRows(ResultFile::SedimentBudget, t, sediment);
    at[3] = b.Cursor();
    at[4] = t.Cursor();
  }
  if (count >= 1) s.BasinBudgetLinesDone = agg.cursors[1][3].linesDone;
  const YearFiles& out = bound.basin;
  std::vector<std::string> rows;
  for (const auto& [key, row] : runoff) {
    const std::array<double, 13> m = MeanOf(row);
    BudgetValues v{};
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = m[i + 1];
    RequireFiniteRow([&s, &label = row.label] { return RowPlace(s, label); }, kBudgetColumns, v.data(), v.size());
    rows.push_back(BasinBudgetRow(row.label, static_cast<int>(std::lround(m[0])), v));
  }
  out.Budget.Append(rows);
  rows.clear();
  for (const auto& [key, row] : sediment) {
    const std::array<double, 9> m = MeanOf(row);
    SedBudgetValues v{};
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = m[i + 1];
    RequireFiniteRow([&s, &label = row.label] { return RowPlace(s, label); }, kSedBudgetColumns, v.data(), v.size());
    rows.push_back(BasinSedBudgetRow(row.label, static_cast<int>(std::lround(m[0])), v));
  }
  out.BudgetS.Append(rows);
}

}  // namespace tarnwell
