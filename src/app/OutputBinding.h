// The output files of a session's workspace bound for the layers below, which know no
// workspace: the five files of an output directory for the writers, the whole-basin year's
// files and outlet series, and the stored results for their readers.
#pragma once

#include <string>

#include "app/Session.h"
#include "results/OutputParser.h"
#include "results/Statistic.h"

namespace tarnwell {

// Binds the five files of a directory (model path) to their files on disk.
YearFiles BindYearFiles(const Session& session, const std::string& dirModelPath);
OutputFile BindFile(const Session& session, const std::string& modelPath);

// The whole-basin year of n sub-basins in the session's workspace: its directory made, the
// outlet series opened on the first year, the files bound, then the results' step.
void AggregateBasin(Session& session, BasinAggregation& agg, int n);
// The read-back halves alone, for tests of what the sub-basin files may hold.
void AggregateBasinDaily(Session& session, BasinAggregation& agg, int count, int year);
void AggregateBasinBudget(Session& session, BasinAggregation& agg, int count);

// The session's stored results for the viewer.
StoredResults StoredResultsOf(const Session& session);

}  // namespace tarnwell
