// Evaluation files of `tarvo evaluate`: one row per policy, instance and evaluation
// distribution, read by `tarvo summarize` and by a resumed evaluation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One row of an evaluation file: one policy of one instance under one evaluation distribution.
// Empty numeric fields (in_sample, bias without the batch .csv; the paired columns of ph1 rows)
// read as NaN. The columns are those of the list in evalCsv.cpp, the four path-bound columns last
// (after run_version); a file run's rows leave group and instance empty (0 here) and name the
// project in two more columns after all the others, file and stem, as its batch results do.
struct EvalRow {
    std::string dataset, distribution, evalDistribution, method, config, runSeed;
    int group = 0, instance = 0;
    std::string file, stem;           // a file run's rows only
    std::string policy;               // "ph1" or "ph2"
    long runs = 0;
    uint32_t evalSeed = 0;
    double lowerBound = 0, inSample = 0, mean = 0, stderrOfMean = 0, ci95Low = 0, ci95High = 0, sd = 0;
    double p50 = 0, p90 = 0, p95 = 0, p99 = 0, gap = 0, bias = 0, pairedDiff = 0, pairedStderr = 0;
    std::string version;              // of the program that evaluated
    std::string runVersion;           // of the batch run that found the policy ("" without its .csv)
    // The mean longest path of the scenarios with its standard error (the same on every row of an
    // instance and distribution), and the row's gap above it in % with its paired standard error.
    double pathBound = 0, pathBoundStderr = 0, gapPath = 0, gapPathStderr = 0;
};

std::string evalCsvHeader(bool fileRun = false);
// The row in the layout its stem says: a file run's when stem is not empty.
std::string evalCsvLine(const EvalRow& row);
// Reads the rows of an evaluation file of either layout, every field checked for its type and
// range (no hex form, nan or inf; known labels; runs 2 or more); false with a message naming the
// file, the line and the field when it is not one, or the reason when it is a folder, pipe or
// device. A .part file's last line without its line feed was cut short and is left out.
bool readEvalCsv(const std::string& path, std::vector<EvalRow>& rows, std::string& error);
// The same for text already read; path only names the file in the messages.
bool parseEvalText(const std::string& text, const std::string& path, std::vector<EvalRow>& rows, std::string& error);
