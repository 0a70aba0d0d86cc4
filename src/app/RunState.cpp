#include "app/RunState.h"

#include "app/Bytes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace tarnwell {

std::string RunState::Date() const {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", calendarYear, month, dayOfMonth);
  return text;
}

SubBasinState SubBasinState::Take(const ModelState& s) {
  SubBasinState st;
  st.rows = s.GridRows;
  st.cols = s.GridCols;
  st.cells = CellStores::Take(s);
  st.yearEnd = s.YearEndValue;
  st.routedInterflow = s.RoutedInterflow;
  st.routedGwFlow = s.RoutedGwFlow;
  st.sedStore = s.SedStore;
  st.dayCount = s.DayCount;
  st.monthSimDays = s.MonthSimDays;
  st.cellCount = s.SubBasinCellCount;
  // The days done only: the days still to come hold what the sub-basin run before in this
  // model state left there, which no later day reads.
  const auto done = static_cast<std::ptrdiff_t>(s.DayCount) + 1;
  for (std::size_t i = 0; i < kStateSeriesCount; ++i) {
    const DaySeries& from = s.*kStateSeries[i];
    std::copy(from.begin() + 1, from.begin() + done, st.series[i].begin() + 1);
  }
  st.dayYear = s.DayYear;
  st.dayMonth = s.DayMonth;
  st.dayOfMonth = s.DayOfMonth;
  st.water = s.Water;
  return st;
}

void SubBasinState::Restore(ModelState& s) const {
  cells.Restore(s);
  s.YearEndValue = yearEnd;
  s.RoutedInterflow = routedInterflow;
  s.RoutedGwFlow = routedGwFlow;
  s.SedStore = sedStore;
  s.SubBasinCellCount = cellCount;
  s.DayCount = dayCount;
  s.MonthSimDays = monthSimDays;
  for (std::size_t i = 0; i < kStateSeriesCount; ++i) s.*kStateSeries[i] = series[i];
  s.DayYear = dayYear;
  s.DayMonth = dayMonth;
  s.DayOfMonth = dayOfMonth;
  s.Water = water;
}

std::string ParameterFileHash(const std::string& bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

using bytes::Get;
using bytes::GetVector;
using bytes::Put;
using bytes::PutVector;

std::string EncodeSubBasinState(const SubBasinState& s) {
  std::string out;
  Put(out, s.rows);
  Put(out, s.cols);
  Put(out, s.cells.rows);
  Put(out, s.cells.cols);
  for (auto store : kCellStores) PutVector(out, s.cells.*store);
  PutVector(out, s.cells.CellFlag);
  Put(out, s.yearEnd);
  Put(out, s.routedInterflow);
  Put(out, s.routedGwFlow);
  Put(out, s.sedStore);
  Put(out, s.dayCount);
  Put(out, s.monthSimDays);
  Put(out, s.cellCount);
  Put(out, s.series);
  Put(out, s.dayYear);
  Put(out, s.dayMonth);
  Put(out, s.dayOfMonth);
  Put(out, s.water);
  Put(out, s.fileBytes);
  return out;
}

SubBasinState DecodeSubBasinState(const std::string& bytes, std::size_t& at) {
  SubBasinState s;
  s.rows = Get<int>(bytes, at);
  s.cols = Get<int>(bytes, at);
  s.cells.rows = Get<int>(bytes, at);
  s.cells.cols = Get<int>(bytes, at);
  for (auto store : kCellStores) s.cells.*store = GetVector<double>(bytes, at);
  s.cells.CellFlag = GetVector<std::int32_t>(bytes, at);
  s.yearEnd = Get<YearEnd>(bytes, at);
  s.routedInterflow = Get<double>(bytes, at);
  s.routedGwFlow = Get<double>(bytes, at);
  s.sedStore = Get<double>(bytes, at);
  s.dayCount = Get<int>(bytes, at);
  s.monthSimDays = Get<int>(bytes, at);
  s.cellCount = Get<int>(bytes, at);
  s.series = Get<decltype(s.series)>(bytes, at);
  s.dayYear = Get<DayIntSeries>(bytes, at);
  s.dayMonth = Get<DayIntSeries>(bytes, at);
  s.dayOfMonth = Get<DayIntSeries>(bytes, at);
  s.water = Get<YearWater>(bytes, at);
  s.fileBytes = Get<decltype(s.fileBytes)>(bytes, at);
  return s;
}

}  // namespace tarnwell
