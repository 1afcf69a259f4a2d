// The plan of `tarvo evaluate`: every input file read and checked against its instances, and
// every results file named, before anything is written.
#include <cmath>
#include <cstdio>

#include "cli/exitCodes.h"
#include "cli/fileChecks.h"
#include "cli/makeFolders.h"
#include "config/labels.h"
#include "evaluate/evaluation.h"
#include "project/platform.h"
#include "project/state.h"
#include "results/experimentIdentity.h"
#include "results/resultsCsv.h"
#include "simulation/policy.h"

namespace evaluation {

static bool readInput(const Options& o, const std::string& path, Input& in)
{
    in.path = path;
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    if (name.size() <= 6 || name.compare(name.size() - 6, 6, ".jsonl") != 0)
        return refuse(path + ": not a policy file (.jsonl)");
    in.base = name.substr(0, name.size() - 6);
    // An input is a complete file: its last line counts even without a line feed (and is refused
    // by the reader if it was cut short). Given on the command line, it may be a pipe, read once.
    std::string error;
    if (!readPolicyFile(path, in.records, error, InputKind::regularOrStream)) return refuse(error);
    std::map<std::string, int> seen;   // instance stem -> line
    uint8_t list[actDim];
    for (const PolicyRecord& r : in.records) {
        const PolicyRecord& first = in.records.front();
        const std::string where = path + ": line " + std::to_string(r.lineNo) + ": ";
        // One file, one experiment: a batch run's records, or one method's, never both.
        if (isMethodRecord(r) != isMethodRecord(first))
            return refuse(where +
                          (isMethodRecord(r) ? "a record of another method (\"rule\")" : "a batch run's record") +
                          ", but line " + std::to_string(first.lineNo) + " holds " +
                          (isMethodRecord(first) ? "one of another method" : "a batch run's") +
                          ": give the two kinds in files of their own");
        if (isMethodRecord(r) &&
            (r.dataset != first.dataset || r.method != first.method || r.distribution != first.distribution))
            return refuse(where + r.dataset + " of method " + r.method + " made for " +
                          (r.distribution.empty() ? "no distribution" : r.distribution) +
                          " belongs to another experiment than line " + std::to_string(first.lineNo) + " (" +
                          first.dataset + " of method " + first.method + " made for " +
                          (first.distribution.empty() ? "no distribution" : first.distribution) +
                          "): give each method's records in a file of its own");
        // A run's name is never a PSPLIB set's, so equal names also mean records of one kind.
        if (!isMethodRecord(r) && (r.dataset != first.dataset || r.distribution != first.distribution ||
                                   r.method != first.method || r.config != first.config))
            return refuse(where + r.dataset + " " + r.distribution + " " + r.method + " " + std::to_string(r.config) +
                          " belongs to another run than line " + std::to_string(first.lineNo));
        const std::string stem = instanceStem(r);
        if (seen.count(stem))
            return refuse(where + "instance " + stem + " was given before, on line " + std::to_string(seen[stem]));
        seen[stem] = r.lineNo;
        // A method's file records have no place in a run: they sort in the order of their lines.
        if (!r.stem.empty()) in.instOfStem[r.stem] = isMethodRecord(r) ? r.lineNo : r.inst;
        if (!loadPolicy(r, o.instances, path, list, error)) return refuse(error);
        // A project whose durations are all 0 has no gap to give (a lower bound of 0).
        if (!(earlyFinish[actNum] > 0))
            return refuse(where + "instance " + stem + " has the lower bound 0 (no activity takes time): its gaps "
                          "cannot be computed");
    }
    if (in.records.empty()) return refuse(path + ": holds no policy record");
    const PolicyRecord& head = in.records.front();
    in.fileRun = !head.stem.empty();
    if (head.distribution.empty() && upperCase(o.dist) == "SEARCHED")
        return refuse(path + ": its records name no distribution they were made for: give the evaluation "
                      "distributions with --dist (e.g. --dist U2 or --dist all)");
    parseDistList(o.dist, distributionOf(head), in.dists);
    in.singlePolicy = isMethodRecord(head) || o.policy == "lft";
    if (o.policy == "lft") {
        // The reference policy belongs to no method and no search: its rows say so.
        in.rowMethod = "LFT";
        return true;
    }
    in.rowMethod = head.method;
    in.rowDistribution = head.distribution;
    // Another method's records: no configuration, and no batch .csv of in-sample estimates.
    if (isMethodRecord(head)) return true;
    in.rowConfig = std::to_string(head.config);

    // The batch run's own estimates, from the .csv beside the .jsonl.
    in.inSample1.assign(in.records.size(), NAN);
    in.inSample2.assign(in.records.size(), NAN);
    std::string csvPath = path.substr(0, path.size() - 6) + ".csv";
    if (!fileExists(csvPath)) {
        std::fprintf(stderr, "tarvo evaluate: %s not found: in_sample, bias and run_seed stay empty for %s\n",
                     csvPath.c_str(), path.c_str());
        return true;
    }
    RunIdentity id;
    std::vector<ResultRow> rows;
    if (!readCsv(csvPath, id, rows, error)) return refuse(error);
    const PolicyRecord& first = in.records.front();
    if (!rows.empty() && (id.dataset != first.dataset || id.distribution != first.distribution ||
                          id.method != first.method || id.config != std::to_string(first.config) ||
                          id.fileRun != in.fileRun))
        return refuse(csvPath + " belongs to another run than " + path);
    in.runSeed = id.runSeed;
    in.runVersion = id.version;
    // A file run's rows join their records by stem: the run may list the files in another order.
    for (std::size_t k = 0; k < in.records.size(); ++k)
        for (const ResultRow& row : rows)
            if (rowOfRecord(row, in.records[k])) {
                // The batch run's estimates are floats written with 9 digits: back to the float.
                in.inSample1[k] = static_cast<float>(row.ph1Makespan);
                in.inSample2[k] = static_cast<float>(row.ph2Makespan);
            }
    return true;
}

int planEvaluation(Evaluation& e)
{
    const Options& o = e.options;
    e.inputs.resize(o.files.size());
    for (std::size_t f = 0; f < o.files.size(); ++f)
        if (!readInput(o, o.files[f], e.inputs[f])) return exitUsage;

    for (std::size_t f = 0; f < e.inputs.size(); ++f) {
        std::string folder = o.reports;
        if (folder.empty()) {
            std::size_t slash = e.inputs[f].path.find_last_of('/');
            folder = slash == std::string::npos ? "." : e.inputs[f].path.substr(0, slash);
        }
        for (int d : e.inputs[f].dists) {
            Output out;
            out.input = static_cast<int>(f);
            out.dist = d;
            out.label = std::string(distLabels[d]) + (o.levels > 0 ? "-L" + std::to_string(o.levels) : "");
            // A single policy's file says whose it is after the evaluation's own part, where a batch
            // run's evaluation never has a word: "-lft", or "-method-<label>".
            const Input& in = e.inputs[f];
            const std::string whose = o.policy == "lft" ? "-lft" : in.singlePolicy ? "-method-" + in.rowMethod : "";
            out.path = folder + "/" + in.base + "-eval-" + out.label + evalNameSuffix(e.options.runs, e.options.seed) +
                       whose + ".csv";
            std::string name = out.path.substr(out.path.find_last_of('/') + 1);
            if (e.outputNames.count(name)) return failWith(exitUsage, "two inputs would both write " + name);
            e.outputNames[name] = static_cast<int>(e.outputs.size());
            out.done.assign(e.inputs[f].records.size(), false);
            e.outputs.push_back(out);
        }
    }
    std::string folderError;
    if (!o.reports.empty() && !makeFolders(o.reports, folderError)) return failWith(exitIncomplete, folderError);

    return exitClean;
}

}  // namespace evaluation
