// "tarnwell check": loads everything a run needs, sub-basin by sub-basin, and reports it.
#pragma once

#include <ostream>

namespace tarnwell {
struct Session;
// Writes the table to out; throws the first error met.
void RunCheck(Session& session, std::ostream& out);
}  // namespace tarnwell
