// The sub-basin list: count, then name, Muskingum K and x per line. Sub-basins before a
// failure stay in the table and in the list.
#include "FuzzSupport.h"
#include "app/Startup.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  Session session("/nonexistent-fuzz-workspace");
  const auto& s = session.state;
  TextReader r = TextReader::FromString(fuzz::Bytes(data, size), "input/子流域.in");
  fuzz::Reading(
      "input/子流域.in",
      [&] {
        LoadSubBasinList(session, r);
        if (session.listItems.size() != static_cast<std::size_t>(s.SubBasinCount) + 1)
          fuzz::Broken("list items out of step with the table");
      },
      [&](const TarnwellError&) {
        if (session.listItems.size() != static_cast<std::size_t>(s.SubBasinCount))
          fuzz::Broken("list items out of step with the table after a failure");
      });
  if (s.SubBasinCount == 0) return 0;  // the count itself failed: the tables are untouched
  const std::size_t n = static_cast<std::size_t>(s.SubBasinCount) + 1;
  if (s.SubBasinName.size() != n || s.SubBasinK.size() != n || s.SubBasinX.size() != n || s.SubBasinFlow.size() != n ||
      s.YearEndState.size() != n)
    fuzz::Broken("sub-basin tables of different lengths");
  return 0;
}
