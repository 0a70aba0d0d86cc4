// The sub-basin list: count, then name, Muskingum K and x per line. Sub-basins before a
// failure stay in the table and in the list.
#include "FuzzSupport.h"
#include "app/Session.h"
#include "app/Startup.h"

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Session session("/nonexistent-fuzz-workspace");
  TextReader r = TextReader::FromString(fuzz::Bytes(data, size), "input/子流域.in");
  try {
    LoadSubBasinList(session, r);
    if (session.listItems.size() != static_cast<std::size_t>(session.state.SubBasinCount) + 1)
      fuzz::Broken("list items out of step with the table");
  } catch (const TarnwellError& e) {
    fuzz::CheckNamesFile(e, "input/子流域.in");
    if (session.listItems.size() != static_cast<std::size_t>(session.state.SubBasinCount))
      fuzz::Broken("list items out of step with the table after a failure");
  }
  const auto& s = session.state;
  if (s.SubBasinCount == 0) return 0;  // the count itself failed: the tables are untouched
  const std::size_t n = static_cast<std::size_t>(s.SubBasinCount) + 1;
  if (s.SubBasinName.size() != n || s.SubBasinK.size() != n || s.SubBasinX.size() != n || s.SubBasinFlow.size() != n ||
      s.YearEndState.size() != n)
    fuzz::Broken("sub-basin tables of different lengths");
  return 0;
}
