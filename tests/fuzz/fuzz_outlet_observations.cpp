// The outlet observation reader, read forward year after year as the run does: the first
// byte chooses the length of the years (365 or 366 days).
#include "FuzzSupport.h"
#include "app/Session.h"
#include "model/ModelState.h"
#include "results/Statistic.h"

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  ModelState s;
  s.DaysInYear = (data[0] & 1) ? 366 : 365;
  TextReader r = TextReader::FromString(fuzz::Bytes(data + 1, size - 1), "input/RiverDaily.in");
  try {
    for (int year = 0; year < 4; ++year) ReadOutletObservations(s, r);
  } catch (const TarnwellError& e) {
    fuzz::CheckNamesFile(e, "input/RiverDaily.in");
  }
  return 0;
}
