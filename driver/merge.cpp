// `tarvo merge` and the merge after --jobs: the rows of several shard files of one run combined
// into the files one process would have written (CPU column apart), with gaps and duplicates checked.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "driver/batch.h"
#include "driver/driver.h"

// Instance file stem of instance number inst of a data set label, e.g. J30 and 163 give j3017_3.
static std::string instanceStem(const std::string& dataset, int group, int instance)
{
    std::string set = dataset.substr(1);
    return "j" + set + std::to_string(group) + "_" + std::to_string(instance);
}

static std::string sameRunKey(const RunIdentity& id)
{
    return id.dataset + "/" + id.distribution + "/" + id.method + "/" + id.config;
}

int mergeResults(const std::vector<std::string>& csvPaths, const std::string& reports)
{
    struct Pass {
        RunIdentity id;
        std::string firstFile;
        std::vector<ResultRow> rows;
        std::vector<bool> seen;
    };
    std::map<std::string, Pass> passes;
    int code = exitClean;
    for (const std::string& path : csvPaths) {
        RunIdentity id;
        std::vector<ResultRow> rows;
        std::string error;
        if (!readCsv(path, id, rows, error)) {
            std::fprintf(stderr, "tarvo merge: %s\n", error.c_str());
            return exitUsage;
        }
        if (rows.empty()) continue;
        std::vector<std::string> policies;
        std::string jsonl = path.substr(0, path.size() - 4) + ".jsonl";
        if (path.size() > 4 && path.compare(path.size() - 4, 4, ".csv") == 0) readPolicies(jsonl, policies);
        Pass& pass = passes[sameRunKey(id)];
        if (pass.firstFile.empty()) {
            pass.id = id;
            pass.firstFile = path;
            pass.seen.assign(601, false);
        } else if (id.runSeed != pass.id.runSeed || id.version != pass.id.version || id.groups != pass.id.groups) {
            std::fprintf(stderr, "tarvo merge: %s and %s belong to different runs (seed %s / %s, version %s / %s, "
                         "groups %s / %s)\n", pass.firstFile.c_str(), path.c_str(), pass.id.runSeed.c_str(),
                         id.runSeed.c_str(), pass.id.version.c_str(), id.version.c_str(), pass.id.groups.c_str(),
                         id.groups.c_str());
            return exitUsage;
        }
        for (ResultRow& row : rows) {
            int inst = (row.group - 1) * 10 + row.instance;
            if (inst < 1 || inst > 600 || pass.seen[inst]) continue;  // a duplicate keeps its first copy
            pass.seen[inst] = true;
            if (inst < static_cast<int>(policies.size())) row.policy = policies[inst];
            pass.rows.push_back(row);
        }
    }
    if (passes.empty()) {
        std::fprintf(stderr, "tarvo merge: no results rows in the files given\n");
        return exitUsage;
    }
    for (auto& [key, pass] : passes) {
        int first = 0, last = 0;
        std::sscanf(pass.id.groups.c_str(), "%d-%d", &first, &last);
        std::string missing;
        int missingNum = 0;
        for (int g = first; g <= last; ++g)
            for (int i = 1; i <= 10; ++i)
                if (!pass.seen[(g - 1) * 10 + i]) {
                    missing += (missingNum++ ? " " : "") + instanceStem(pass.id.dataset, g, i);
                }
        if (missingNum > 0) {
            std::fprintf(stderr, "tarvo merge: %s %s: %d instance(s) missing, nothing written: %s\n",
                         pass.id.dataset.c_str(), pass.id.distribution.c_str(), missingNum, missing.c_str());
            code = exitIncomplete;
            continue;
        }
        std::string base = resultsBase(reports, pass.id, 0, 0);
        std::sort(pass.rows.begin(), pass.rows.end(), [](const ResultRow& a, const ResultRow& b) {
            return a.group * 10 + a.instance < b.group * 10 + b.instance;
        });
        std::string csvText = csvHeader() + "\n", jsonText;
        for (const ResultRow& row : pass.rows) {
            csvText += csvLine(pass.id, row) + "\n";
            if (!row.policy.empty()) jsonText += row.policy + "\n";
        }
        if (!writeReportFromRows(base + ".txt", pass.rows) || !writeWhole(base + ".jsonl", jsonText) ||
            !writeWhole(base + ".csv", csvText)) {
            std::fprintf(stderr, "tarvo merge: cannot write %s.*\n", base.c_str());
            code = exitIncomplete;
            continue;
        }
        std::fprintf(stderr, "tarvo merge: %s.txt (%zu instances)\n", base.c_str(), pass.rows.size());
    }
    return code;
}

int runMerge(int argc, char** argv)
{
    std::string reports = "Reports";
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--reports" && i + 1 < argc) reports = argv[++i];
        else if (arg.compare(0, 10, "--reports=") == 0) reports = arg.substr(10);
        else if (arg.compare(0, 2, "--") == 0) {
            std::fprintf(stderr, "tarvo merge: unknown argument: \"%s\" (see --help)\n", arg.c_str());
            return exitUsage;
        } else files.push_back(arg);
    }
    if (files.empty()) {
        std::fprintf(stderr, "tarvo merge: name the results files (.csv) to merge\n");
        return exitUsage;
    }
    return mergeResults(files, reports);
}
