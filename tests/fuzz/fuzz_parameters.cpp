// The parameter file loader: it stores what converts and fails with the system's error.
#include "FuzzSupport.h"
#include "parameters/ParaDialog.h"

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TextReader r = TextReader::FromString(fuzz::Bytes(data, size), "Parameters/当前参数文件.txt");
  ParameterSet p;
  p.ErodibilityMode = 1;
  try {
    LoadParameters(r, p);
    (void)ListParameters(p);
  } catch (const TarnwellError& e) {
    fuzz::CheckNamesFile(e, "Parameters/当前参数文件.txt");
    if (e.Line() < 1 || e.Line() > 34) fuzz::Broken("parameter error outside lines 1-34");
  }
  if (p.ErodibilityMode != 1) fuzz::Broken("loading changed the erodibility mode");
  return 0;
}
