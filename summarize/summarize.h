// `tarvo summarize`: batch results files and evaluation files of any number of seeds condensed
// into one row per data set, distribution, method, configuration, evaluation distribution, instance
// set, evaluation runs and seed, and program version, as CSV, Markdown or a booktabs LaTeX table.
#pragma once

#include <string>
#include <vector>

// The command, argv[0] being the word summarize; returns the exit code (0, or 2 for bad flags or files).
int runSummarize(int argc, char** argv);

// One row of the summary. Batch columns are NaN where only evaluation files were given, and the
// eval columns NaN where none were.
struct SummaryRow {
    std::string dataset, distribution, method, config, evalDistribution;
    std::string version;              // of the batch runs (of the evaluated runs, for evaluation files)
    std::string evalVersion;          // of the evaluating program ("" without evaluation files)
    std::string groups;               // the instance set in words: "1-48", "1-2 5", or "480 files"
    long runs = 0;                    // evaluation runs per policy (0: a batch row)
    std::string evalSeed;             // the evaluation's seed ("" for a batch row)
    int instances = 0, seeds = 0;
    double ph1GapMean = 0, ph2GapMean = 0, ph2GapCiLow = 0, ph2GapCiHigh = 0, cpuMean = 0;
    double evalPh1GapMean = 0, evalPh2GapMean = 0;
    // The same gaps above the path bound (the mean longest path of the scenarios).
    double evalPh1GapPathMean = 0, evalPh2GapPathMean = 0;
    std::string by, level;            // with --by: nc, rf, rs or group, and this row's level
    // The reported policy's bias (in-sample estimate - out-of-sample mean): in percent of its
    // out-of-sample mean, as the evaluation's console gives it, and in time units.
    double biasPercentMean = 0, biasMean = 0;
    std::string intervalOver;         // "seeds" (t over the seeds' averages) or "instances"
};

// Reads the files (batch .csv or evaluation .csv, told apart by their header) and condenses them;
// false with a message naming the file and line. Evaluation rows join the row of the batch run they
// evaluated (its version from their run_version column); evaluations of one row by different
// program versions are refused rather than mixed.
// With by (nc, rf, rs or group) the instances of each row are split by their group's design level
// (results/groupDesign.h), one row per level; file runs, which have no levels, are then refused.
bool summarizeFiles(const std::vector<std::string>& paths, std::vector<SummaryRow>& rows, std::string& error,
                    const std::string& by = "");
// The rows in format "csv", "md" or "latex".
std::string formatSummary(const std::vector<SummaryRow>& rows, const std::string& format);
