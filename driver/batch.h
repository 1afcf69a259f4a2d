// Batch mode: the program run from scripts and clusters with flags instead of menus, with a
// reproducible stream per instance, machine-readable results, shards, merging and resuming.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Exit code for flags or values that cannot be used.
constexpr int exitUsage = 2;

// Everything a batch run was asked to do.
struct BatchOptions {
    int dataset = 0;                  // 1..4
    bool dist[6] = {};                // distributions chosen, 1..5
    int method = 0;                   // varSetting: 0 default, 1 HV, 2 LV
    std::string instances = "Instances";
    std::string reports = "Reports";
    int firstGroup = 1, lastGroup = 0;  // 0: the data set's last group
    uint32_t seed = 1;
    bool singleStream = false;
    int shard = 0, shardCount = 0;    // shard K of N (1..N); 0 = the whole run
    int jobs = 1;
    bool resume = false;
    bool quiet = false;
};

// One solved instance as the results files hold it.
struct ResultRow {
    int group = 0, instance = 0, activities = 0;
    double lowerBound = 0, ph1Makespan = 0, ph1Gap = 0, ph2Makespan = 0, ph2Gap = 0, smallerGap = 0;
    double cpuSeconds = 0;
    uint32_t streamSeed = 0;
    std::string host;
    std::string policy;               // the JSON Lines record of the policy found
};

// What makes rows belong to one run: equal identities may be merged.
struct RunIdentity {
    std::string dataset, distribution, method, config, runSeed, groups, version;
};

// Parses argv; on a bad flag prints why and returns false with code set (exitUsage, or exitClean
// after --help / --version).
bool parseBatchOptions(int argc, char** argv, BatchOptions& options, int& code);
// Runs the batch passes; returns the exit code.
int runBatch(const BatchOptions& options);
// `tarvo merge`: combines shard results files; returns the exit code.
int runMerge(int argc, char** argv);
// --jobs N: runs N shard processes of this program, then merges; returns the exit code.
int runJobs(const BatchOptions& options, int argc, char** argv);

// Results files (results.cpp).
std::string programVersion();
std::string hostName();
std::string csvHeader();
std::string csvLine(const RunIdentity& id, const ResultRow& row);
// Reads the complete rows of a results file; false when the file is not one of ours.
bool readCsv(const std::string& path, RunIdentity& id, std::vector<ResultRow>& rows, std::string& error);
// Policy records of a JSON Lines file, by instance number (group - 1) * 10 + instance.
bool readPolicies(const std::string& path, std::vector<std::string>& byInstance);
// Writes the report of rows (sorted by instance) to path in the interactive program's format.
bool writeReportFromRows(const std::string& path, std::vector<ResultRow> rows);
// Merges the rows of the given results files into the whole run's files; returns the exit code.
int mergeResults(const std::vector<std::string>& csvPaths, const std::string& reports);
// Writes text to path through a temporary name, so the file is either complete or absent.
bool writeWhole(const std::string& path, const std::string& text);
// Base path (no extension) of a pass's files; shard 0 for the whole run.
std::string resultsBase(const std::string& reports, const RunIdentity& id, int shard, int shardCount);
