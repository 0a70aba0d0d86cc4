#include "processes/Weather.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "model/InputRanges.h"
#include "model/ModelState.h"
#include "model/Observation.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {

namespace {

// Where the year block being read began, for messages about the block as a whole.
struct BlockPlace {
  int year;
  long headerLine;
  int daysNeeded;
  std::string Describe() const {
    return "the block of " + std::to_string(year) + " (header at line " + std::to_string(headerLine) + ")";
  }
};

// An integer header token that indexes a table, checked where it is read.
int HeaderInteger(const FieldLine& header, int token, int lowest, int highest, const char* what) {
  const int v = header.Integer(token);
  if (v < lowest || v > highest)
    throw InputError(header.File(), header.LineNumber(),
                     "\"" + header.Token(token) + "\" (token " + std::to_string(token) + ") is " + what +
                         ": it must lie between " + std::to_string(lowest) + " and " + std::to_string(highest));
  return v;
}

// A weather or discharge value of a day line.
double DayValue(const FieldLine& line, int token) {
  const double v = line.Real(token);
  if (std::fabs(v) > kLargestInputValue)
    throw InputError(line.File(), line.LineNumber(),
                     "\"" + line.Token(token) + "\" (token " + std::to_string(token) +
                         ") is beyond any measured value (at most 1e9 in magnitude)");
  return v;
}

// Day line d of the block: it must exist and belong to the block's year, else the block is
// short (a missing day, or the next year's block begins early).
FieldLine ReadDayLine(TextReader& file, const BlockPlace& block, int d) {
  if (file.AtEnd())
    throw FileError(file.Name(), file.LineNumber() + 1,
                    "the file ends after " + std::to_string(d - 1) + " day lines of " + block.Describe() +
                        ", which needs " + std::to_string(block.daysNeeded));
  FieldLine line = file.ReadFields();
  const int year = line.Count() == 0 ? 0 : line.Integer(0);
  if (line.Count() == 0 || year != block.year) {
    // A day missing: the next block (or an empty line) comes before the year's last day.
    const std::string what = line.Count() == 0 ? "an empty line" : "a line of " + std::to_string(year);
    throw InputError(file.Name(), line.LineNumber(),
                     block.Describe() + " has " + std::to_string(d - 1) + " day lines but " +
                         std::to_string(block.year) + " needs " + std::to_string(block.daysNeeded) + ": this is " +
                         what + ", not a day of " + std::to_string(block.year));
  }
  return line;
}

// Day line i + 1 of a block straight from the reader's bytes, the common case: true when it
// is a day of the block's year whose fields all convert and lie within measured values (the
// line is then read), false otherwise (nothing is read, and ReadDayLine and DayValue give
// the error).
bool ReadPlainDayLine(TextReader& file, MetBlock& b, std::size_t i, bool ninth) {
  const std::size_t offset = file.Offset();
  const long lineNumber = file.LineNumber();
  std::string_view bytes, token;
  if (!file.ReadLineBytes(bytes)) return false;
  std::size_t pos = 0;
  int whole = 0;
  double values[5] = {0, 0, 0, 0, 0};
  bool plain = FieldScanner::Next(bytes, pos, token) && ParseInteger(token, whole) && whole == b.year;
  for (int t = 1; plain && t <= 3; ++t) plain = FieldScanner::Next(bytes, pos, token) && ParseInteger(token, whole);
  for (int t = 0; plain && t < (ninth ? 5 : 4); ++t)
    plain = FieldScanner::Next(bytes, pos, token) && ParseReal(token, values[t]) &&
            (t == 4 || std::fabs(values[t]) <= kLargestInputValue);
  if (!plain) {
    file.Seek(offset, lineNumber);
    return false;
  }
  b.precip[i] = values[0];
  b.temp[i] = values[1];
  b.flow[i] = values[2];
  b.sedConc[i] = values[3];
  if (ninth) b.extra[i] = values[4];
  return true;
}

// After the last day line of a block: another day line of the same year means the block
// has more days than its year.
void RefuseExtraDays(TextReader& file, const BlockPlace& block) {
  const std::size_t offset = file.Offset();
  const long lineNumber = file.LineNumber();
  while (!file.AtEnd()) {
    FieldLine next = file.ReadFields();
    if (next.Count() == 0) continue;
    int year = 0;
    if (next.Count() >= 8 && ParseInteger(next.View(0), year) && year == block.year)
      throw InputError(file.Name(), next.LineNumber(),
                       block.Describe() + " has more day lines than the " + std::to_string(block.daysNeeded) +
                           " days of " + std::to_string(block.year) + ": this line is one too many");
    break;
  }
  file.Seek(offset, lineNumber);
}

// Day t of a season segment, with days above the year's length standing for the next
// cycle's days of the same year; 0 when the day falls outside the day tables.
int SeasonSlot(long t, int daysInYear) {
  if (t > daysInYear) t -= daysInYear;
  return (t >= 1 && t <= kMaxDays) ? static_cast<int>(t) : 0;
}

// Loop bounds of a segment clipped to the days that can reach a slot (1 .. 2N), so that a
// season file with absurd day numbers costs no more than two years of days.
void ClipSegment(long& first, long& last, long limit) {
  first = std::max(first, 1L);
  last = std::min(last, limit);
}

}  // namespace

void ComputeGrowthIndex(ModelState& state, int daysInYear) {
  const long n = daysInYear;
  const long d1 = state.SeasonDay1, d2 = state.SeasonDay2, d3 = state.SeasonDay3, d4 = state.SeasonDay4;
  DaySeries& gi = state.GrowthIndex;
  // Full growth from season day 2 to season day 3 (across the year end when d3 < d2).
  {
    long e3 = d3 < d2 ? d3 + n : d3;
    long first = d2 + 1, last = e3;
    ClipSegment(first, last, 2 * n);
    for (long t = first; t <= last; ++t)
      if (int s = SeasonSlot(t, daysInYear)) gi[s] = 1.0;
  }
  // Senescence from D3 to D4.
  {
    long e4 = d4 < d3 ? d4 + n : d4;
    long first = d3 + 1, last = e4;
    ClipSegment(first, last, 2 * n);
    for (long t = first; t <= last; ++t)
      if (int s = SeasonSlot(t, daysInYear)) gi[s] = 1 - static_cast<double>(t - d3) / static_cast<double>(e4 - d3);
  }
  // Dormancy from D4 to the next D1.
  {
    long e1 = d1 < d4 ? d1 + n : d1;
    long first = d4 + 1, last = e1;
    ClipSegment(first, last, 2 * n);
    for (long t = first; t <= last; ++t)
      if (int s = SeasonSlot(t, daysInYear)) gi[s] = 0;
  }
  // Green-up from D1 to D2, within the year only.
  {
    long first = d1 + 1, last = d2;
    ClipSegment(first, last, kMaxDays);
    for (long t = first; t <= last; ++t)
      gi[static_cast<std::size_t>(t)] = static_cast<double>(t - d1) / static_cast<double>(d2 - d1);
  }
}

void HamonPet(int month, int dayOfMonth, double& pet, double temperature, double latitude, double coef) {
  pet = HamonPetValue(month, dayOfMonth, temperature, latitude, coef);
}

MetBlock ReadMetBlock(TextReader& metFile) {
  if (metFile.AtEnd())
    throw FileError(metFile.Name(), metFile.LineNumber() + 1, "the file ends before the header line of the year");
  FieldLine header = metFile.ReadFields();
  MetBlock b;
  b.headerLine = header.LineNumber();
  // Every header field that indexes a table is checked here, before anything uses it.
  b.year = HeaderInteger(header, 0, kFirstCalendarYear, kLastCalendarYear, "the calendar year");
  const int days = YearLength(b.year);
  b.monthCount = HeaderInteger(header, 1, 0, kMonths, "the number of months to simulate");
  b.startDay = HeaderInteger(header, 2, 1, days, "the first simulated day of the year");
  b.col8Flag = header.Integer(3);
  b.stationElev = header.Integer(4);
  const BlockPlace block{b.year, header.LineNumber(), days};
  const bool ninth = b.col8Flag != 1;
  for (auto* series : {&b.precip, &b.temp, &b.flow, &b.sedConc, &b.extra})
    series->assign(static_cast<std::size_t>(days), 0.0);
  for (int d = 1; d <= days; ++d) {
    const auto i = static_cast<std::size_t>(d - 1);
    if (ReadPlainDayLine(metFile, b, i, ninth)) continue;
    FieldLine line = ReadDayLine(metFile, block, d);
    line.Integer(1);
    line.Integer(2);
    line.Integer(3);
    b.precip[i] = DayValue(line, 4);
    b.temp[i] = DayValue(line, 5);
    b.flow[i] = DayValue(line, 6);
    b.sedConc[i] = DayValue(line, 7);
    if (ninth) b.extra[i] = line.Real(8);
  }
  RefuseExtraDays(metFile, block);
  return b;
}

void ApplyMeteorologicalYear(ModelState& state, const ParameterSet& params, const MetBlock& b) {
  state.CurYear = b.year;
  state.MonthCount = b.monthCount;
  state.StartDay = b.startDay;
  state.Col8Flag = b.col8Flag;
  state.StationElev = b.stationElev;
  state.DaysInYear = YearLength(state.CurYear);
  for (int m = 1; m <= kMonths; ++m) state.DaysInMonth[m] = MonthLength(state.CurYear, m);

  // m3/s at the outlet to mm/day over the sub-basin.
  state.FlowToDepthFactor = kDepthToFlow / state.BasinArea;

  const bool ninth = state.Col8Flag != 1;
  for (int d = 1; d <= state.DaysInYear; ++d) {
    const auto i = static_cast<std::size_t>(d - 1);
    state.DailyPrecip[d] = b.precip[i];
    state.DailyTemp[d] = b.temp[i];
    const double q = b.flow[i];
    state.DailySedConc[d] = b.sedConc[i];
    if (ninth) state.DailyExtra[d] = b.extra[i];
    // The load uses the raw discharge, before it becomes a depth. A day lacking either
    // reading has no observed load (two marks would multiply to a positive number).
    const double c = state.DailySedConc[d];
    state.ObsSediment[d] = IsObserved(q) && IsObserved(c) ? q * 86400 * c / 1000 : kNoObservation;
    state.ObsFlow[d] = IsObserved(q) ? q * state.FlowToDepthFactor : kNoObservation;
  }

  if (state.YearIndex == 1) {
    // The outlet reservoirs start from the year's first observed discharge; a year without
    // any observation starts them empty.
    double first = 0;
    for (int d = 1; d <= state.DaysInYear; ++d)
      if (IsObserved(state.ObsFlow[d])) {
        first = state.ObsFlow[d];
        break;
      }
    state.RoutedInterflow = 0.4 * first;
    state.RoutedGwFlow = 0.6 * first;
  }

  ComputeGrowthIndex(state, state.DaysInYear);

  // Potential evapotranspiration of every day of the calendar, raised with the growth
  // of the vegetation: the Hamon value at full growth, 1/1.4 of it when dormant.
  int d = 0;
  for (int m = 1; m <= kMonths; ++m) {
    for (int k = 1; k <= state.DaysInMonth[m]; ++k) {
      ++d;
      double pet = 0;
      HamonPet(m, k, pet, state.DailyTemp[d], params.Latitude, params.EvapConversionCoef);
      state.DailyPET[d] = (0.4 * state.GrowthIndex[d] + 1.0) * pet / 1.4;
    }
  }
}

void ReadMeteorologicalYear(ModelState& state, const ParameterSet& params, TextReader& metFile) {
  // The file holds one block per year; the years already simulated are passed over
  // (a reader opened where the last year ended has passed them already).
  if (state.MetLinesRead > 1 && metFile.LineNumber() < state.MetLinesRead)
    metFile.SkipLines(state.MetLinesRead - metFile.LineNumber());
  ApplyMeteorologicalYear(state, params, ReadMetBlock(metFile));
}

void ComputeInterception(ModelState& state, const ParameterSet& /*params*/, int day) {
  std::fill(state.Interception.begin(), state.Interception.end(), 0.0);
  const double precip = state.DailyPrecip[day];
  const double growth = state.GrowthIndex[day];
  const std::size_t n = state.CellCount();
  for (std::size_t i = 0; i < n; ++i) {
    if (state.CellFlag[i] <= 0) continue;
    InterceptCell(precip, growth, state.LandUse[i], state.CellPrecip[i], state.Interception[i], state.CanopyStore[i]);
  }
}

}  // namespace tarnwell
