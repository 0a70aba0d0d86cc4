// The parameter file loader: it stores what converts and fails with the system's error.
#include "FuzzSupport.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  const std::string name = "Parameters/当前参数文件.txt";
  TextReader r = TextReader::FromString(fuzz::Bytes(data, size), name);
  ParameterSet p;
  p.ErodibilityMode = 1;
  fuzz::Reading(
      name,
      [&] {
        LoadParameters(r, p);
        (void)ListParameters(p);
      },
      [](const TarnwellError& e) {
        if (e.Line() < 1 || e.Line() > 34) fuzz::Broken("parameter error outside lines 1-34");
      });
  if (p.ErodibilityMode != 1) fuzz::Broken("loading changed the erodibility mode");
  return 0;
}
