#include "app/RunState.h"

#include "app/Bytes.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace tarnwell {

std::string RunState::Date() const {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", calendarYear, month, dayOfMonth);
  return text;
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
