// Batch mode: the program run from scripts and clusters with flags instead of menus, with a
// reproducible stream per instance, machine-readable results, shards, merging and resuming.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Exit code for flags or values that cannot be used, and for input files that are not ours.
constexpr int exitUsage = 2;

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

// The most files one run takes.
constexpr int maxRunFiles = 100000;

// The files of a file run: each path a file, or a folder whose *.sm and *.rcp files are taken in
// name order. Refuses (error says which path and why) a path that cannot be read, a folder
// without project files, two files of one stem, a path the results files cannot hold (comma,
// quote or control character), and more than maxRunFiles files.
bool listProjectFiles(const std::vector<std::string>& paths, std::vector<ProjectFile>& files, std::string& error);
// The 64-bit FNV-1a hash of a file's stem: what the search's stream and the evaluation's
// scenarios of a file run are derived from.
uint64_t stemHash(const std::string& stem);
// SplitMix64's finaliser: every bit of z reaches every bit of the result. The search's stream
// seeds and the evaluation's scenario keys are mixed with it.
uint64_t mix64(uint64_t z);
// A run name that can stand in file names and results files: 1..64 letters, digits, '_', '-', '.'
// or '+', not starting with '.' or '-', and not the name of a PSPLIB set.
bool validRunName(const std::string& name);
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
// Reads the words of `tarvo merge` (without the word merge): the reports folder, the files, --quiet.
FlagsOutcome parseMergeFlags(const std::vector<std::string>& words, std::string& reports,
                             std::vector<std::string>& files, bool& quiet);
// The commands of the program, one line each, for the help texts.
extern const char* const commandList;
// text with its letters a..z in upper case: labels are read in any case.
std::string upperCase(std::string text);
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

// Results files (results.cpp).
std::string programVersion();
std::string hostName();
std::string csvHeader(bool fileRun = false);
// A whole decimal number (digits only, no sign or space) in [low, high].
bool parseWhole(const std::string& text, long long low, long long high, long long& value);
// A finite decimal number such as 12.5 or -1e-3 (no hex form, nan, inf or blank).
bool parseDecimal(const std::string& text, double& value);
std::string csvLine(const RunIdentity& id, const ResultRow& row);
// Reads the complete rows of a results file; false (error names file and line) when the file is
// not one of ours, or a folder, pipe or device. A .part file's last line without its line feed is
// a write cut short and is left out; a complete file's counts.
bool readCsv(const std::string& path, RunIdentity& id, std::vector<ResultRow>& rows, std::string& error);
// Parses the text of a results file as readCsv does; path only names it in the error.
bool parseCsv(const std::string& text, const std::string& path, RunIdentity& id, std::vector<ResultRow>& rows,
              std::string& error);
// The report of rows (sorted by instance) in the interactive program's format.
std::string reportFromRows(std::vector<ResultRow> rows);
// The three files of a complete pass (.txt, .jsonl, .csv, in this order: the .csv last, since
// its presence marks the pass complete); false with error naming the file and the system's reason.
bool writeFinalFiles(const std::string& base, const RunIdentity& id, std::vector<ResultRow> rows,
                     std::string& error);
// Merges the rows of the given results files into the whole run's files; returns the exit code.
// quiet: no line per merged file (refusals and missing instances are still said).
int mergeResults(const std::vector<std::string>& csvPaths, const std::string& reports, bool quiet = false);
// Base path (no extension) of a pass's files: -seedN for every seed but 1, -shardKofN for a shard.
std::string resultsBase(const std::string& reports, const RunIdentity& id, int shard, int shardCount);
// The policy file that goes with a results file: x.csv -> x.jsonl, x.csv.part -> x.jsonl.part.
std::string policyPathFor(const std::string& csvPath);
// Attaches to each row its policy line from the records of the policy file at path; false (error
// names the file and the instance) when a row has no complete policy line.
bool attachPolicies(const std::string& path, std::vector<ResultRow>& rows, std::string& error);

// Output files (outputFile.cpp): written straight to the system, one call per piece, so that a
// failed write (full disk, file-size limit, I/O error) is seen at once and reported as
// "<path>: <the system's reason>" in error.
struct OutputFile {
    std::string path;
    int fd = -1;
};
// Opens path for writing, emptied (append false) or kept and written at its end.
bool openOutput(OutputFile& file, const std::string& path, bool append, std::string& error);
bool writeOutput(OutputFile& file, const std::string& text, std::string& error);
// Closes the file (nothing to do when it is not open); a failure reported on close counts too.
bool closeOutput(OutputFile& file, std::string& error);
// Writes text to path through path.new and one rename, so the file is either complete or absent.
bool writeWhole(const std::string& path, const std::string& text, std::string& error);
