// Critical-path preprocessing: earliest and latest start and finish times with nominal durations
// and unlimited resources; earlyFinish[actNum] is the lower bound of every gap.
#pragma once

// Fills earlyStart, earlyFinish, lateStart, lateFinish; needs the starting values that
// buildSamplePool sets. Returns 1.
int computeCpmTimes();
