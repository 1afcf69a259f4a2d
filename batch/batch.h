// Batch mode: the program run from scripts and clusters with flags instead of menus, with a
// reproducible stream per instance, machine-readable results, shards, merging and resuming.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/exitCodes.h"
#include "results/resultsCsv.h"
#include "results/csvFields.h"
#include "results/outputFile.h"
#include "results/runNames.h"
#include "results/streamKeys.h"

// One project file of a file run: the path as given (or folder/name) and its stem.
struct ProjectFile {
    std::string path, stem;
};

// Everything a batch run was asked to do.
struct BatchOptions {
    int dataset = 0;                  // 1..4
    bool dist[6] = {};                // distributions chosen, 1..5
    int method = 0;                   // varSetting: 0 default, 1 HV, 2 LV
    std::string instances = "Instances";
    std::string reports = "Reports";
    int firstGroup = 1, lastGroup = 0;  // 0: the data set's last group
    uint32_t firstSeed = 1, lastSeed = 1;  // one replication per seed, in this order
    bool singleStream = false;
    int shard = 0, shardCount = 0;    // shard K of N (1..N); 0 = the whole run
    int jobs = 1;
    bool resume = false;
    bool quiet = false;
    // A file run (--files): the paths as given and the run's name (empty: from the first path).
    // dataset is then 0 and the groups unused; resolveFiles fills projects from the paths.
    std::vector<std::string> files;
    std::string name;
    std::vector<ProjectFile> projects;
};

// What reading the flags decided: run, or stop with code after printing text (--help and
// --version on standard output, a refusal on standard error).
struct FlagsOutcome {
    bool run = false;
    int code = 0;
    std::string text;
};

// Instances 1..passSize of a group: ten in a data set, all N files of a file run (one group).
inline int instancesPerGroup(const BatchOptions& o)
{
    return o.files.empty() ? 10 : static_cast<int>(o.projects.size());
}
// Whether instance inst of group belongs to this process's shard.
inline bool inShard(const BatchOptions& o, int group, int inst)
{
    return o.shardCount == 0 || ((group - 1) * 10 + inst - 1) % o.shardCount == o.shard - 1;
}

// The files of a file run: each path a file, or a folder whose *.sm and *.rcp files are taken in
// name order. Refuses (error says which path and why) a path that cannot be read, a folder
// without project files, two files of one stem, a path the results files cannot hold (comma,
// quote or control character), and more than maxRunFiles files.
bool listProjectFiles(const std::vector<std::string>& paths, std::vector<ProjectFile>& files, std::string& error);
// The name of a file run: --name, or the base name of the first path (a folder's own name, a
// file's stem).
std::string runNameOf(const BatchOptions& options);
// Fills options.projects from options.files (file runs); false with the message printed.
bool resolveFiles(BatchOptions& options);
// The identity of the pass of distribution dist and seed of a run.
RunIdentity passIdentity(const BatchOptions& options, int dist, uint32_t seed);

// Reads the words of `tarvo run` (without the program name or the word run). Never exits and
// never prints: the caller prints outcome.text. Reads the Slurm array variables when no shard is given.
FlagsOutcome parseBatchFlags(const std::vector<std::string>& words, BatchOptions& options);
// Reads the words of `tarvo merge` (without the word merge): the reports folder and the files.
FlagsOutcome parseMergeFlags(const std::vector<std::string>& words, std::string& reports,
                             std::vector<std::string>& files);
// The flags that make another process of this program do what options say (for --jobs workers).
std::vector<std::string> batchFlags(const BatchOptions& options);
// `tarvo run` and `tarvo --dataset ...`: argv[0] is the word run or the program; returns the exit code.
int runBatchCommand(int argc, char** argv);
// Runs the batch passes, one replication per seed; returns the exit code.
int runBatch(const BatchOptions& options);
// `tarvo merge`: combines shard results files; argv[0] is the word merge; returns the exit code.
int runMerge(int argc, char** argv);
// --jobs N: runs N shard processes of this program, then merges; returns the exit code.
int runJobs(const BatchOptions& options);

// The files of a complete pass (passFiles.cpp).
// The report of rows (sorted by instance) in the interactive program's format.
std::string reportFromRows(std::vector<ResultRow> rows);
// The three files of a complete pass (.txt, .jsonl, .csv, in this order: the .csv last, since
// its presence marks the pass complete); false with error naming the file and the system's reason.
bool writeFinalFiles(const std::string& base, const RunIdentity& id, std::vector<ResultRow> rows,
                     std::string& error);
// Base path (no extension) of a pass's files: -seedN for every seed but 1, -shardKofN for a shard.
std::string resultsBase(const std::string& reports, const RunIdentity& id, int shard, int shardCount);
// Merges the rows of the given results files into the whole run's files; returns the exit code.
int mergeResults(const std::vector<std::string>& csvPaths, const std::string& reports);

// One pass's rows (passRows.cpp).
// The rows of an interrupted pass that count as done (resume): rows of base.csv.part whose line
// in base.jsonl.part is complete too; false, with the message printed, when the files belong to
// another run.
bool keptRows(const BatchOptions& options, const std::string& base, const RunIdentity& id,
              std::vector<ResultRow>& rows);
// The row of the instance just solved, with its policy line.
ResultRow solvedRow(const RunIdentity& id, uint32_t streamSeed, const std::string& projectStem);
// The report line of the instance just solved, as the interactive program writes it.
std::string instanceLine();
