// Statistics of the path bound: per instance the mean longest path of the scenarios the policies
// run on, per policy the gap above it with the paired standard error of makespan minus path.
#pragma once

#include <vector>

#include "results/evalCsv.h"

// path_bound and path_bound_stderr of row from the longest paths of its scenarios.
void fillPathBound(EvalRow& row, const std::vector<float>& paths);
// gap_path and gap_path_stderr of row (path_bound set) from the makespans and the longest paths
// of the same scenarios, both in run order (so before fillEvalStatistics sorts the makespans).
// The standard error is that of the mean of makespan - path over the runs, in % of the bound
// (the bound's own error, about a hundredth of the difference's, is not added). Returns the first
// run (1-based) whose makespan lies below its path, 0 when none does: never, unless a policy or
// the path is wrong.
long fillPathGap(EvalRow& row, const std::vector<float>& makespans, const std::vector<float>& paths);
// The number of runs whose makespan lies below the longest path of its scenario.
long runsBelowPath(const std::vector<float>& makespans, const std::vector<float>& paths);
