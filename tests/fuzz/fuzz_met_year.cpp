// The meteorological year reader: the first bytes choose the lines already read in
// earlier years, the sub-basin area and the latitude; the rest is the file.
#include "FuzzSupport.h"
#include "processes/Processes.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  if (size < 3) return 0;
  ModelState s;
  ParameterSet p;
  s.MetLinesRead = (data[0] & 0x80) ? 367 * (data[0] & 3) : data[0];
  s.BasinArea = (data[1] & 1) ? 0.0 : 86.4 * (data[1] >> 1);
  s.YearIndex = (data[1] & 2) ? 1 : 2;
  p.Latitude = static_cast<int>(data[2]) - 128, p.EvapConversionCoef = 1.0;
  s.SeasonDay1 = 60 - data[2], s.SeasonDay2 = 120 + data[2] * 4, s.SeasonDay3 = 250, s.SeasonDay4 = 300 - data[0] * 3;
  TextReader r = TextReader::FromString(fuzz::Bytes(data + 3, size - 3), "input/流域1/met.txt");
  fuzz::Reading("input/流域1/met.txt", [&] {
    ReadMeteorologicalYear(s, p, r);
    if (s.DaysInYear != 365 && s.DaysInYear != 366) fuzz::Broken("a year of neither 365 nor 366 days");
    int days = 0;
    for (int m = 1; m <= 12; ++m) days += s.DaysInMonth[m];
    if (days != s.DaysInYear) fuzz::Broken("months do not add up to the year");
  });
  return 0;
}
