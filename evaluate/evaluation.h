// The parts of `tarvo evaluate` and what they share: the flags, the input files checked whole,
// the results files, the units of work, the writer of the .part files and the samples file.
//
// The unit of work is one policy record: its instance is loaded once and both of its policies are
// run on the same scenarios under every evaluation distribution still to do. Units go to worker
// processes by their place in the command (unit i to worker i mod N; the engine works on global
// tables, so workers are processes, not threads); each sends back the finished text of its rows,
// and the parent process alone writes the files. Rows arrive in any order; the final files are
// sorted, so they do not depend on --jobs, on resuming or on the order of the work.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "cli/progress.h"
#include "evaluate/samplesFile.h"
#include "results/evalCsv.h"
#include "results/experimentLock.h"
#include "results/outputFile.h"
#include "results/policyRecord.h"

namespace evaluation {

struct Options {
    long runs = 10000;
    uint32_t seed = 1;
    std::string dist = "searched";
    int levels = 0;
    std::string instances = "Instances";
    std::string reports;
    int jobs = 1;
    bool resume = false;
    bool quiet = false;
    std::string samples;
    std::string policy = "own";                   // "own", or "lft": the LFT list of each instance under RB
    std::vector<std::string> files;
};

// One input file with its records checked, and what its sibling batch .csv says about them.
struct Input {
    std::string path, base;
    std::vector<PolicyRecord> records;
    bool fileRun = false;                         // records of a file run, named by stem
    std::map<std::string, int> instOfStem;        // a file run's stems -> their places in the run
    std::vector<double> inSample1, inSample2;    // per record; NaN without a row
    std::string runSeed, runVersion;              // "" without the .csv
    std::vector<int> dists;                       // evaluation distributions 1..5
    // One policy per record (a record of another method, or the LFT list of --policy lft) instead
    // of a batch record's two; the method, distribution and config its rows carry.
    bool singlePolicy = false;
    std::string rowMethod, rowDistribution, rowConfig;
};

// Rows per record and output: 1 for a single policy, 2 (ph1 and ph2) for a batch record.
inline int rowsPerRecord(const Input& in) { return in.singlePolicy ? 1 : 2; }

// One results file: an input file under one evaluation distribution.
struct Output {
    int input = 0, dist = 0;
    std::string label;                            // "U2", or "U2-L1000" with --levels
    std::string path;                             // final name; path + ".part" until complete
    bool complete = false;                        // existed before this command (with --resume)
    std::vector<bool> done;                       // per record: rows (and samples) already kept
    OutputFile part;                              // the .part file while this command writes it
};

// A record still to do under the outputs listed.
struct Unit {
    int input;
    std::size_t record;
    std::vector<int> outputs;
};

// The .part files being written, and whether a write has failed.
struct Writer {
    std::vector<Output>* outputs;
    OutputFile samples;
    bool failed = false;
};

// The whole command: planned, resumed, run and finished in that order.
struct Evaluation {
    Options options;
    std::vector<Input> inputs;
    std::vector<Output> outputs;
    std::map<std::string, int> outputNames;       // an output's file name -> its place
    std::vector<Unit> units;
    Writer writer;
    ProgressClock::time_point start;
    int done = 0;                                 // units finished by this command
    int code = 0;                                 // exitIncomplete once a worker has failed
    ExperimentLocks locks;                        // of every file this command writes
    std::string keptSamplesPart;                  // a samples .part to remove at the end
};

// ---- Messages (evaluateCommand.cpp) ----
// Prints "tarvo evaluate: what" on standard error; false, so that a check can return it.
bool refuse(const std::string& what);
int failWith(int code, const std::string& what);

// Whether a row (an evaluation row, a batch results row or a samples line) belongs to a record: a
// file run's by its stem (never by its place, which another run of the same project may give
// another number), a PSPLIB one by group and instance.
template <class Row>
bool rowOfRecord(const Row& row, const PolicyRecord& r)
{
    return r.stem.empty() ? row.stem.empty() && row.group == r.group && row.instance == r.instance
                          : row.stem == r.stem;
}
// The place of a row's instance in its run, for sorting: the report's number for PSPLIB (so group,
// then instance), the file's place for a file run, whose stem then breaks any tie.
std::tuple<int, std::string> placeOf(const Input& in, int group, int instance, const std::string& stem);

// ---- The steps ----
// Reads the flags; false with code set (2 for usage, 0 after --help). (evalOptions.cpp)
bool parseOptions(int argc, char** argv, Options& o, int& code);
// Distributions named by --dist for an input searched under searched.
bool parseDistList(const std::string& text, int searched, std::vector<int>& dists);
// Every input checked and every output named before anything is written; the exit code.
// (evalPlan.cpp)
int planEvaluation(Evaluation& e);
// Every file this command would write locked and checked against the evaluation asked for: a
// complete one kept only with --resume when it holds this evaluation, a .part with rows only
// continued with --resume, the samples file apart from every input and output; the exit code.
// (evalClaims.cpp)
int claimOutputs(Evaluation& e);
// Complete outputs kept (--resume), rows of interrupted ones kept, the .part files
// opened and the units still to do listed; the exit code. (evalResume.cpp)
int resumeEvaluation(Evaluation& e);
// Runs the units, in this process or in workers, into the .part files; the exit code (1 when the
// workers could not be started). (evalPool.cpp)
int runUnits(Evaluation& e);
// Closes the .part files and, when every unit is done, writes the final files sorted and prints
// the summaries; the exit code. (evalFinish.cpp)
int finishEvaluation(Evaluation& e);

// ---- A unit (evalUnit.cpp) ----
// Runs the unit and returns its message: per output, "<output> <csv bytes> <samples bytes>\n",
// then the two CSV rows and the two samples lines.
std::string runUnit(const Options& o, const Input& in, std::size_t k, const std::vector<int>& outputs,
                    const std::vector<Output>& all);

// ---- The .part files and the samples file (evalWriter.cpp) ----
// Writes text to an open output; a failure is reported with the file's path and the system's reason.
bool writeAll(OutputFile& file, const std::string& text);
// Writes one unit's message into the .part files, each flushed.
void takeMessage(Writer& w, const std::string& message);
// Copies the lines at places from the file at path to out (without their output names unless keepNames).
bool copySamples(const std::string& path, const std::vector<SamplesPlace>& places, OutputFile& out, bool keepNames);

// ---- Console (evalSummary.cpp) ----
void showProgress(const Options& o, int done, int total, ProgressClock::time_point start);
// The summary of one complete results file on standard output.
void printSummary(const Output& output, const std::vector<EvalRow>& rows, const std::string& input);

}  // namespace evaluation
