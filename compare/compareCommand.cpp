// The entry of `tarvo compare`: flags, inputs planned and checked whole, the --out file claimed,
// every distribution's instances run, then the table on standard output and the rows in --out.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "cli/exitCodes.h"
#include "cli/fileChecks.h"
#include "cli/flagStyle.h"
#include "compare/compare.h"
#include "config/labels.h"
#include "results/experimentLock.h"
#include "results/outputFile.h"

using namespace comparison;

static bool parseOptions(int argc, char** argv, Options& o, int& code)
{
    CLI::App app{"Runs the policies of several policy files (.jsonl) on the same evaluation scenarios and compares "
                 "each with the first by paired statistics.",
                 "tarvo compare"};
    app.add_option("--runs", o.runs, "scenarios per instance (default 10000)")->check(CLI::Range(2L, 100000000L));
    app.add_option("--seed", o.seed, "seed of the scenario streams (default 1)");
    app.add_option("--dist", o.dist, "searched (default: the inputs' own), a list such as U1,EXP, or all");
    app.add_option("--levels", o.levelsValue, "draw from the L-level tabulation of the search (default 0: exact)")
        ->check(CLI::Range(0, 1000000));
    app.add_option("--policy", o.policy, "reported (default: the policy the batch report counts), ph1 or ph2")
        ->check(CLI::IsMember({"reported", "ph1", "ph2"}));
    app.add_option("--baseline", o.baseline, "lft: the base is the latest-finish-time list, resource-based (LFT-RB)")
        ->check(CLI::IsMember({"lft"}));
    app.add_option("--format", o.format, "md (default), csv or latex")->check(CLI::IsMember({"md", "csv", "latex"}));
    app.add_option("--out", o.out, "also write the per-instance comparisons to this CSV file (never overwritten)");
    app.add_option("--instances", o.instances, "folder of the .sm files (default Instances)");
    app.add_option("--jobs", o.jobs, "worker processes (default 1)")->check(CLI::Range(1, 256));
    app.add_flag("--quiet", o.quiet, "no progress on standard error");
    app.add_option("files", o.files, "policy files; the first is the base unless --baseline")->required();
    return parseCommandFlags(app, argc, argv, "tarvo compare", code);
}

int runCompare(int argc, char** argv)
{
    Options o;
    int code = exitClean;
    if (!parseOptions(argc, argv, o, code)) return code;
    std::vector<Input> inputs;
    std::vector<Instance> instances;
    std::vector<int> dists;
    if ((code = planComparison(o, inputs, instances, dists)) != exitClean) return code;
    ExperimentLocks locks;
    OutputFile out;
    std::string error;
    if (!o.out.empty()) {
        if (fileExists(o.out)) {
            refuse("tarvo compare", o.out + " exists: a complete file is never overwritten");
            return exitUsage;
        }
        locks.held.emplace_back();
        if (!lockExperiment(locks.held.back(), o.out, error)) {
            locks.held.pop_back();
            refuse("tarvo compare", error);
            return exitUsage;
        }
    }
    const std::string dataset = inputs.back().records.front().dataset;
    std::string table = tableHeader(o.format), rows = outHeader();
    for (int d : dists) {
        const std::string label = std::string(distLabels[d]) + (o.levelsValue > 0 ? "-L" + std::to_string(o.levelsValue) : "");
        if (!o.quiet) std::fprintf(stderr, "tarvo compare: %s, %zu instances, %zu policies\n", label.c_str(),
                                   instances.size(), inputs.size());
        std::vector<InstanceResult> results;
        if (!runInstances(o, inputs, instances, d, results)) return exitIncomplete;
        table += tableRows(o, inputs, results, dataset, label);
        rows += outRows(o, inputs, instances, results, dataset, label);
    }
    table += tableFooter(o.format);
    // The file is written whole (path.new, then renamed): its name only ever holds a complete file.
    if (!o.out.empty() && !writeWhole(o.out, rows, error)) {
        refuse("tarvo compare", error);
        return exitIncomplete;
    }
    std::fputs(table.c_str(), stdout);
    if (!o.quiet)
        std::fprintf(stderr, "tarvo compare: inputs named by their file's base name%s\n",
                 o.baseline == "lft" ? ", the base LFT-RB" : "");
    return exitClean;
}
