// The season file reader.
#include "FuzzSupport.h"
#include "model/ModelState.h"

#include <string>

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TextReader r = TextReader::FromString(fuzz::Bytes(data, size), "Parameters/season.txt");
  ModelState s;
  try {
    ReadSeasonFile(s, r);
  } catch (const TarnwellError& e) {
    fuzz::CheckNamesFile(e, "Parameters/season.txt");
    // The day numbers are on line 2; line 1 can only fail for not being text.
    const bool notText = std::string(e.what()).find("not a text file") != std::string::npos;
    if (e.Line() != 2 && !(e.Line() == 1 && notText)) fuzz::Broken("season error not on line 2");
  }
  return 0;
}
