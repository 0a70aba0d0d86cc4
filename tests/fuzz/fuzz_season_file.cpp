// The season file reader.
#include "FuzzSupport.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  TextReader r = TextReader::FromString(fuzz::Bytes(data, size), "Parameters/season.txt");
  ModelState s;
  fuzz::Reading(
      "Parameters/season.txt", [&] { ReadSeasonFile(s, r); },
      [](const TarnwellError& e) {
        // The day numbers are on line 2; line 1 can only fail for not being text.
        const bool notText = std::string(e.what()).find("not a text file") != std::string::npos;
        if (e.Line() != 2 && !(e.Line() == 1 && notText)) fuzz::Broken("season error not on line 2");
      });
  return 0;
}
