// Resuming a batch pass: the rows an interrupted run of the same experiment left complete in its
// .part files, each with its policy line checked against its row; and whether a pass may start
// over the files it finds (a complete one, finished .part files).
#include <algorithm>
#include <cstdio>

#include "batch/batch.h"
#include "results/experimentIdentity.h"
#include "cli/fileChecks.h"
#include "project/inputFile.h"
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
    if (!csvRows.empty() && !sameRun(old, id)) {
        std::fprintf(stderr, "tarvo: cannot resume from %s.csv.part: it holds another experiment (%s); this run is %s\n",
                     base.c_str(), describeRun(old).c_str(), describeRun(id).c_str());
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
    std::vector<const PolicyRecord*> policies(places);
    for (const PolicyRecord& r : records)
        if (r.inst < places) policies[r.inst] = &r;
    std::vector<bool> seen(places);
    for (ResultRow& row : csvRows) {
        int inst = rowInst(row);
        if (!policies[inst] || seen[inst]) continue;
        // A policy line is taken only as the one of its row: a line of another run (another
        // distribution's file put in its place) would give the row a policy it was not solved with.
        std::string fault;
        if (!policyFitsRow(*policies[inst], id, row, fault)) {
            std::fprintf(stderr, "tarvo: cannot resume from %s.jsonl.part: line %d belongs to another run: %s\n",
                         base.c_str(), policies[inst]->lineNo, fault.c_str());
            return false;
        }
        seen[inst] = true;
        row.policy = policyLine(*policies[inst]);
        rows.push_back(row);
    }
    return true;
}

// The finished rows in the .csv.part of base (0 when there is none); -1 when it cannot be read
// as a results file, whose content is then not ours to discard either.
static long finishedRows(const std::string& base)
{
    if (!fileExists(base + ".csv.part")) return 0;
    RunIdentity id;
    std::vector<ResultRow> rows;
    std::string error;
    return readCsv(base + ".csv.part", id, rows, error) ? static_cast<long>(rows.size()) : -1;
}

bool checkCompletePass(const std::string& base, const RunIdentity& id, bool resume, bool& complete)
{
    complete = false;
    if (!fileExists(base + ".csv")) return true;
    RunIdentity old;
    std::vector<ResultRow> rows;
    std::string error;
    if (!readCsv(base + ".csv", old, rows, error)) {
        std::fprintf(stderr, "tarvo: %s; it is left as it is\n", error.c_str());
        return false;
    }
    if (!sameRun(old, id)) {
        std::fprintf(stderr, "tarvo: %s.csv holds another experiment (%s); this run is %s: it is left as it is "
                     "(move it away to run this one here)\n", base.c_str(), describeRun(old).c_str(),
                     describeRun(id).c_str());
        return false;
    }
    if (!resume) {
        std::fprintf(stderr, "tarvo: %s.csv exists: this pass is complete (remove it to run again, or --resume)\n",
                     base.c_str());
        return false;
    }
    complete = true;
    return true;
}

bool passMayStart(const BatchOptions& o, const std::string& base, const RunIdentity& id, bool& complete)
{
    if (!checkCompletePass(base, id, o.resume, complete)) return false;
    if (complete) return true;
    long kept = finishedRows(base);
    if (kept < 0) {
        // Say what stands there when it is not a file at all (a folder, a pipe), else what is wrong with it.
        const std::string part = base + ".csv.part";
        const std::string fault = inputFault(part, InputKind::regularOnly);
        std::fprintf(stderr, "tarvo: %s: %s; it is left as it is (move it away)\n", part.c_str(),
                     fault.empty() ? "not a tarvo results file" : fault.c_str());
        return false;
    }
    if (kept > 0 && !o.resume) {
        std::fprintf(stderr, "tarvo: %s.*.part keep %ld finished instances of this pass: continue them with "
                     "--resume, or remove them to start again\n", base.c_str(), kept);
        return false;
    }
    return true;
}
