// Checks of an evaluation's files before any work: complete files and .part files must hold the
// evaluation asked for, and the samples file may replace nothing it does not own.
#include "evaluate/evalClaims.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>

#include "cli/exitCodes.h"
#include "cli/fileChecks.h"
#include "evaluate/evaluation.h"
#include "results/resultsCsv.h"

EvalIdentity evalIdentityOf(const EvalRow& row)
{
    return {row.dataset, row.distribution, row.method, row.config, row.runSeed, row.runVersion,
            row.evalDistribution, row.runs, row.evalSeed, row.version};
}

bool rowsOfExperiment(const std::vector<EvalRow>& rows, const EvalIdentity& want, const std::string& path,
                      std::string& error)
{
    for (const EvalRow& row : rows) {
        EvalIdentity have = evalIdentityOf(row);
        if (sameEval(have, want)) continue;
        error = path + " holds another evaluation (" + describeEval(have) + "); this one is " + describeEval(want);
        return false;
    }
    return true;
}

// The absolute form of a path that may not exist yet: its folder resolved, its name kept.
static std::string absolutePath(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char resolved[PATH_MAX];
    if (!realpath(folder.c_str(), resolved)) return path;
    return std::string(resolved) + "/" + name;
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return absolutePath(a) == absolutePath(b);
}

// Whether path holds at least one line.
static bool holdsLines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    return in && std::getline(in, line) && !line.empty();
}

bool checkSamples(const std::string& samples, const std::vector<std::string>& taken, bool resume, bool anyComplete,
                  bool allComplete, SamplesState& state, std::string& error)
{
    state = SamplesState::fresh;
    const std::string part = samples + ".part";
    for (const std::string& path : taken)
        if (sameFile(samples, path) || sameFile(part, path)) {
            error = "--samples " + samples + " is " + path + ", a file this evaluation reads or writes: name another";
            return false;
        }
    struct stat here;
    if (lstat(samples.c_str(), &here) == 0 && !S_ISREG(here.st_mode)) {
        error = "--samples " + samples + " is not a regular file (" +
                (S_ISDIR(here.st_mode) ? "a folder" : S_ISLNK(here.st_mode) ? "a symbolic link" : "not a file") +
                "): name a file";
        return false;
    }
    const bool exists = access(samples.c_str(), F_OK) == 0, partExists = access(part.c_str(), F_OK) == 0;
    if (exists) {
        if (!resume) {
            error = samples + " exists: it is a complete samples file (remove it, or name another with --samples)";
            return false;
        }
        // Made final by this evaluation just before a failure that kept its evaluation files
        // from theirs; or everything is complete and nothing is to be written.
        if (partExists || allComplete) {
            state = SamplesState::complete;
            return true;
        }
        error = samples + " is the complete samples file of another evaluation: name another with --samples";
        return false;
    }
    if (anyComplete) {
        error = "--samples " + samples + ": evaluation files complete without their samples are given (see "
                "--resume); their samples would be missing: evaluate them anew into other files";
        return false;
    }
    if (partExists && !resume && holdsLines(part)) {
        error = part + " keeps the samples of an interrupted evaluation: continue it with --resume, or remove it";
        return false;
    }
    return true;
}

namespace evaluation {

// Takes the lock of the files named by base into locks; false with the message printed.
static bool lockFiles(ExperimentLocks& locks, const std::string& base)
{
    std::string error;
    locks.held.emplace_back();
    if (lockExperiment(locks.held.back(), base, error)) return true;
    locks.held.pop_back();
    return refuse(error);
}

int claimOutputs(Evaluation& e)
{
    Options& o = e.options;
    std::vector<std::string> taken;
    bool anyComplete = false, allComplete = true;
    for (const Input& in : e.inputs) {
        taken.push_back(in.path);
        taken.push_back(in.path.substr(0, in.path.size() - 6) + ".csv");
    }
    if (!o.samples.empty() && !lockFiles(e.locks, o.samples)) return exitUsage;
    for (const Output& out : e.outputs) {
        taken.push_back(out.path);
        taken.push_back(out.path + ".part");
        if (!lockFiles(e.locks, out.path.substr(0, out.path.size() - 4))) return exitUsage;
        const Input& in = e.inputs[out.input];
        const PolicyRecord& first = in.records.front();
        const EvalIdentity want{first.dataset, in.rowDistribution, in.rowMethod, in.rowConfig,
                                in.runSeed, in.runVersion, out.label, o.runs, o.seed, programVersion()};
        const bool complete = fileExists(out.path);
        const std::string held = complete ? out.path : out.path + ".part";
        anyComplete = anyComplete || complete;
        allComplete = allComplete && complete;
        if (!complete && !fileExists(held)) continue;
        std::vector<EvalRow> rows;
        std::string error;
        if (!readEvalCsv(held, rows, error)) return failWith(exitUsage, error + "; it is left as it is");
        if (complete && !o.resume)
            return failWith(exitUsage, out.path + " exists: this evaluation is complete (remove it to run again, or --resume)");
        if (!complete && !o.resume && !rows.empty())
            return failWith(exitUsage, held + " keeps " + std::to_string(rows.size() / rowsPerRecord(in)) + " finished instances of "
                            "this evaluation: continue them with --resume, or remove it to start again");
        if (!rowsOfExperiment(rows, want, held, error))
            return failWith(exitUsage, (o.resume ? "cannot resume: " : "") + error);
    }
    if (o.samples.empty()) return exitClean;
    SamplesState state;
    std::string error;
    if (!checkSamples(o.samples, taken, o.resume, anyComplete, allComplete, state, error))
        return failWith(exitUsage, error);
    // Samples made final by an evaluation stopped before its own files were: nothing to add, and
    // their .part goes once the evaluation files are final.
    if (state == SamplesState::complete) {
        e.keptSamplesPart = o.samples + ".part";
        o.samples.clear();
    }
    return exitClean;
}

}  // namespace evaluation
