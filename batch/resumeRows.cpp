// Resuming a batch pass: the rows an interrupted run of the same parameters left complete in
// its .part files, each with its policy line, checked to belong to this run.
#include <algorithm>
#include <cstdio>

#include "batch/batch.h"
#include "cli/fileChecks.h"
#include "results/policyRecord.h"

// The instances of an interrupted run that count as done: rows of the .csv.part whose line in the
// .jsonl.part is complete too (whatever the .csv holds, an instance without its policy is solved
// again). Returns false, with the message printed, when the files belong to another run.
bool keptRows(const BatchOptions& o, const std::string& base, const RunIdentity& id,
                     std::vector<ResultRow>& rows)
{
    RunIdentity old;
    std::vector<ResultRow> csvRows;
    std::string error;
    if (!readCsv(base + ".csv.part", old, csvRows, error)) {
        std::fprintf(stderr, "tarvo: cannot resume: %s\n", error.c_str());
        return false;
    }
    if (!csvRows.empty() && (old.runSeed != id.runSeed || old.version != id.version || old.groups != id.groups ||
                             old.method != id.method || old.fileRun != id.fileRun)) {
        std::fprintf(stderr, "tarvo: cannot resume from %s.csv.part: it was written by another run (%s, seed %s, "
                     "groups %s, %s)\n", base.c_str(), old.version.c_str(), old.runSeed.c_str(), old.groups.c_str(),
                     old.method.c_str());
        return false;
    }
    std::vector<PolicyRecord> records;
    if (fileExists(base + ".jsonl.part") && !readPolicyFile(base + ".jsonl.part", records, error)) {
        std::fprintf(stderr, "tarvo: cannot resume: %s\n", error.c_str());
        return false;
    }
    // Instance k of a file run must still be the file it was: a renamed or reordered folder
    // would otherwise give its results to another file.
    for (const ResultRow& row : csvRows) {
        const ProjectFile* here = id.fileRun ? &o.projects[row.instance - 1] : nullptr;
        if (here && (row.file != here->path || row.stem != here->stem)) {
            std::fprintf(stderr, "tarvo: cannot resume from %s.csv.part: its instance %d is %s, but this run's is %s\n",
                         base.c_str(), row.instance, row.file.c_str(), here->path.c_str());
            return false;
        }
    }
    const int groupSize = instancesPerGroup(o), places = 1 + std::max(600, groupSize);
    std::vector<std::string> policies(places);
    // A policy line counts for the instance whose place and stem it names (a file run's records
    // name their stem; a data set's records have none).
    for (const PolicyRecord& r : records) {
        bool own = id.fileRun ? r.inst <= groupSize && r.stem == o.projects[r.inst - 1].stem
                              : r.inst < places && r.stem.empty();
        if (own) policies[r.inst] = policyLine(r);
    }
    std::vector<bool> seen(places);
    for (ResultRow& row : csvRows) {
        int inst = rowInst(row);
        if (policies[inst].empty() || seen[inst]) continue;
        seen[inst] = true;
        row.policy = policies[inst];
        rows.push_back(row);
    }
    return true;
}
