// Counting the year blocks of a meteorological file.
#include "FuzzSupport.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  TextReader r = TextReader::FromString(fuzz::Bytes(data, size), "input/流域1/met.in");
  fuzz::Reading("input/流域1/met.in", [&] {
    const int blocks = CountMetYearBlocks(r);
    // A block is at least a header and 365 day lines.
    if (blocks < 0 || static_cast<long long>(blocks) * 366 > r.LineNumber())
      fuzz::Broken("more blocks than the file has lines for");
  });
  return 0;
}
