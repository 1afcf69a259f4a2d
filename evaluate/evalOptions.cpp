// Flags of `tarvo evaluate`, read by CLI11 and checked: the runs, the seed, the distributions,
// the levels, the folders, the workers and the samples file.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "cli/exitCodes.h"
#include "cli/flagStyle.h"
#include "config/labels.h"
#include "evaluate/evaluation.h"

namespace evaluation {

bool parseDistList(const std::string& text, int searched, std::vector<int>& dists)
{
    dists.clear();
    if (upperCase(text) == "SEARCHED") {
        dists.push_back(searched);
        return true;
    }
    if (upperCase(text) == "ALL") {
        for (int d = 1; d <= 5; ++d) dists.push_back(d);
        return true;
    }
    std::stringstream in(text);
    std::string name;
    while (std::getline(in, name, ',')) {
        int d = 0;
        d = labelIndex(upperCase(name), distLabels, distCount);
        if (d == 0) return false;
        if (std::find(dists.begin(), dists.end(), d) == dists.end()) dists.push_back(d);
    }
    return !dists.empty();
}

bool parseOptions(int argc, char** argv, Options& o, int& code)
{
    CLI::App app{"Simulates the policies of batch runs (.jsonl) afresh on independent scenarios.", "tarvo evaluate"};
    app.add_option("--runs", o.runs, "scenarios per policy (default 10000)")->check(CLI::Range(2L, 100000000L));
    app.add_option("--seed", o.seed, "seed of the scenario streams (default 1)");
    app.add_option("--dist", o.dist, "searched (default), a list such as U1,EXP, or all");
    app.add_option("--levels", o.levels, "draw from the L-level tabulation of the search instead (default 0: exact)")
        ->check(CLI::Range(0, 1000000));
    app.add_option("--instances", o.instances,
                   "folder of the .sm files (default Instances); a file run's records (tarvo run --files) name "
                   "their own project files, read by the path the run was given, from the current folder");
    app.add_option("--reports", o.reports, "folder of the output files (default: the input's folder)");
    app.add_option("--jobs", o.jobs, "worker processes (default 1)")->check(CLI::Range(1, 256));
    app.add_flag("--resume", o.resume, "keep the instances already complete in this command's files");
    app.add_option("--samples", o.samples, "also write every run's makespan to this JSON Lines file");
    app.add_flag("--quiet", o.quiet, "no progress on standard error");
    app.add_option("--policy", o.policy,
                   "own (default): the records' own policies; lft: per instance the latest-finish-time list "
                   "under the resource-based rule (LFT-RB) instead")
        ->check(CLI::IsMember({"own", "lft"}));
    app.add_option("files", o.files,
                   "policy files of batch runs (PSPLIB sets or file runs) or of another method (records with "
                   "\"rule\", docs/policy-format.md)")->required();
    app.footer("A file run's policies are evaluated like a PSPLIB set's: their results files carry the columns "
               "file and stem after the others (group and instance empty), their samples lines file and stem "
               "instead of group and instance, and each project's scenarios follow from its stem, the "
               "distribution and the seed, so the same project gets the same scenarios in any run.");
    if (!parseCommandFlags(app, argc, argv, "tarvo evaluate", code)) return false;
    std::vector<int> probe;
    if (!parseDistList(o.dist, 1, probe)) {
        std::fprintf(stderr, "tarvo evaluate: --dist: \"%s\" is not searched, all or a list of U1,B1,U2,B2,EXP\n",
                     o.dist.c_str());
        code = exitUsage;
        return false;
    }
    return true;
}

}  // namespace evaluation
