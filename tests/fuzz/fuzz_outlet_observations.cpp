// The outlet observation reader, read forward year after year as the run does: the first
// byte chooses the length of the years (365 or 366 days).
#include "FuzzSupport.h"
#include "results/Statistic.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  if (size < 1) return 0;
  ModelState s;
  s.DaysInYear = (data[0] & 1) ? 366 : 365;
  TextReader r = TextReader::FromString(fuzz::Bytes(data + 1, size - 1), "input/RiverDaily.in");
  fuzz::Reading("input/RiverDaily.in", [&] {
    for (int year = 0; year < 4; ++year) ReadOutletObservations(s, r);
  });
  return 0;
}
