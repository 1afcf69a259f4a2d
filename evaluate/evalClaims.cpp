// Checks of an evaluation's files before any work: complete files and .part files must hold the
// evaluation asked for, and the samples file may replace nothing it does not own.
#include "evaluate/evalClaims.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>

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
