// The solve pipeline that the interactive program and batch runs share: the start of a pass, one
// instance from its file to its results, and the lines of the report file.
#pragma once

#include <string>

// The Phase 2 method of a pass of distribution dist (1..5) under varSetting (0 default, 1 HV,
// 2 LV): by default arc addition (HV) for U2, B2 and EXP, removal (LV) for U1 and B1.
inline bool passIsHV(int dist, int setting) { return setting == 0 ? dist > 2 : setting == 1; }

// Fills the shared label tables datasetName, distName and varName.
void fillLabels();
// Resets the pass's counters and accumulators and decides its Phase 2 method.
void startPass();
// Reads and solves instance paramNum/instNum of the current pass: reader, sample pool, critical
// path, Phase 1, Phase 2, CPU time. False when the read failed (the reader has said why).
bool solveInstance();
// After a failed read of instance paramNum/instNum of a data set: when the set's first file is
// absent too, names the set that was never installed and the command that installs it.
void sayMissingSet();

// Report file of the current pass: its path for the given timestamp, and the lines written to it.
std::string composeReportPath(const std::string& timestamp);
void writeInstanceLine();
void writeSummary();
