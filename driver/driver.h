// Experiment driver: the start-up menus, the passes over distributions, groups and instances,
// the report files and the console progress.
#pragma once

#include <string>

// Exit codes of the program.
constexpr int exitClean = 0;       // every chosen pass ran to its end
constexpr int exitIncomplete = 1;  // a pass was cut short (failed read) or its report could not be written
constexpr int exitNoAnswer = 3;    // standard input ended before the three questions were answered

// The labels of data sets, distributions and Phase 2 methods used in file names and on the console.
void fillLabels();
// Asks the three start-up questions; returns the number of parameter groups (48 or 60), or 0 when
// standard input ended first (the message has been printed).
int runMenus();
// Runs every chosen pass; returns exitClean or exitIncomplete.
int runExperiment(int groups);

// Resets the pass's counters and accumulators and decides its Phase 2 method.
void startPass();
// Reads and solves instance paramNum/instNum of the current pass: reader, sample pool, critical
// path, Phase 1, Phase 2, CPU time. False when the read failed (the reader has said why).
bool solveInstance();

// Report file of the current pass: its path for the given timestamp, and the lines written to it.
std::string composeReportPath(const std::string& timestamp);
void writeInstanceLine();
void writeSummary();
