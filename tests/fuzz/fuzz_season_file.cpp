// The season file reader.
#include "FuzzSupport.h"
#include "model/ModelState.h"

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TextReader r = TextReader::FromString(fuzz::Bytes(data, size), "Parameters/season.txt");
  ModelState s;
  try {
    ReadSeasonFile(s, r);
  } catch (const TarnwellError& e) {
    fuzz::CheckNamesFile(e, "Parameters/season.txt");
    if (e.Line() != 2) fuzz::Broken("season error not on line 2");
  }
  return 0;
}
