// Results files of batch runs: one CSV row per solved instance with the identity of its run,
// written so that numbers read back bit for bit, and read back checked for resume, merge,
// evaluation and summaries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One solved instance as the results files hold it.
struct ResultRow {
    int group = 0, instance = 0, activities = 0;
    double lowerBound = 0, ph1Makespan = 0, ph1Gap = 0, ph2Makespan = 0, ph2Gap = 0, smallerGap = 0;
    double cpuSeconds = 0;
    uint32_t streamSeed = 0;
    std::string host;
    std::string policy;               // the JSON Lines record of the policy found, without line feed
    // A file run keeps its instances as group 1, instance k (k the place of the file in the run,
    // 1..N), so the report numbers them 1..N; file is the path as given and stem its base name
    // without extension, which seeds the instance's stream.
    std::string file, stem;
};

// The number the report gives a row: (group - 1) * 10 + instance, or a file run's place k.
inline int rowInst(const ResultRow& row) { return (row.group - 1) * 10 + row.instance; }

// What makes rows belong to one run: equal identities may be merged.
// A file run names itself in dataset, holds its number of files in groups, and sets fileRun.
struct RunIdentity {
    std::string dataset, distribution, method, config, runSeed, groups, version;
    bool fileRun = false;
};

// The version and git hash of this program, as the results files carry them.
std::string programVersion();
std::string hostName();
std::string csvHeader(bool fileRun = false);
std::string csvLine(const RunIdentity& id, const ResultRow& row);
// Reads the complete rows of a results file; false (error names file and line) when the file is
// not one of ours. A last line without its line feed is a write cut short and is left out.
bool readCsv(const std::string& path, RunIdentity& id, std::vector<ResultRow>& rows, std::string& error);
// Parses the text of a results file as readCsv does; path only names it in the error.
bool parseCsv(const std::string& text, const std::string& path, RunIdentity& id, std::vector<ResultRow>& rows,
              std::string& error);
// The policy file that goes with a results file: x.csv -> x.jsonl, x.csv.part -> x.jsonl.part.
std::string policyPathFor(const std::string& csvPath);
// Attaches to each row its policy line from the records of the policy file at path; false (error
// names the file and the instance) when a row has no complete policy line.
bool attachPolicies(const std::string& path, std::vector<ResultRow>& rows, std::string& error);
