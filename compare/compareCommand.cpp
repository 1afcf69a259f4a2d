// The entry of `tarvo compare`: flags, inputs planned and checked whole, the --out file claimed,
// every distribution's instances run, then the table on standard output and the rows in --out.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <map>
#include <utility>

#include "cli/exitCodes.h"
#include "cli/fileChecks.h"
#include "cli/flagStyle.h"
#include "compare/compare.h"
#include "config/labels.h"
#include "results/groupDesign.h"
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
    app.add_option("--by", o.by, "one row set per level of nc, rf, rs or group (PSPLIB sets only)")
        ->check(CLI::IsMember({"nc", "rf", "rs", "group"}));
    app.add_option("--out", o.out, "also write the per-instance comparisons to this CSV file (never overwritten)");
    app.add_option("--instances", o.instances, "folder of the .sm files (default Instances)");
    app.add_option("--jobs", o.jobs, "worker processes (default 1)")->check(CLI::Range(1, 256));
    app.add_flag("--quiet", o.quiet, "no progress on standard error");
    app.add_option("files", o.files, "policy files; the first is the base unless --baseline")->required();
    return parseCommandFlags(app, argc, argv, "tarvo compare", code);
}

// The instances of each row set of --by, in the order of the levels ("all" without --by).
static std::vector<std::pair<std::string, std::vector<std::size_t>>> levelsOf(const Options& o,
                                                                                const std::vector<Input>& inputs,
                                                                                const std::vector<Instance>& instances)
{
    std::map<std::pair<double, int>, std::vector<std::size_t>> byLevel;
    const int dataset = labelIndex(inputs.back().records.front().dataset, datasetLabels, datasetCount);
    for (std::size_t i = 0; i < instances.size(); ++i) {
        double nc = 0, rf = 0, rs = 0;
        groupDesign(dataset, instances[i].group, nc, rf, rs);
        const double value = o.by == "nc" ? nc : o.by == "rf" ? rf : o.by == "rs" ? rs : 0;
        byLevel[{value, o.by == "group" ? instances[i].group : 0}].push_back(i);
    }
    std::vector<std::pair<std::string, std::vector<std::size_t>>> levels;
    for (const auto& l : byLevel) {
        char name[40];
        if (o.by.empty()) std::snprintf(name, sizeof name, "all");
        else if (o.by == "group") std::snprintf(name, sizeof name, "group=%d", l.first.second);
        else std::snprintf(name, sizeof name, "%s=%g", o.by.c_str(), l.first.first);
        levels.push_back({name, l.second});
    }
    return levels;
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
    if (!o.by.empty() && (inputs.back().records.front().group == 0 ||
                          labelIndex(inputs.back().records.front().dataset, datasetLabels, datasetCount) == 0)) {
        refuse("tarvo compare", "--by " + o.by + ": a file run's projects have no parameter groups");
        return exitUsage;
    }
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
        for (const auto& level : levelsOf(o, inputs, instances)) {
            std::vector<InstanceResult> subset;
            for (std::size_t i : level.second) subset.push_back(results[i]);
            table += tableRows(o, inputs, subset, dataset, label, level.first);
        }
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
