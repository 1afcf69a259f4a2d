// `tarvo merge` and the merge after --jobs: the rows of several shard files of one run combined
// into the files one process would have written (CPU column apart), with gaps and duplicates checked.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "batch/batch.h"

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
        // A row counts only with its policy: a results file whose policy file lacks a line was
        // cut short or damaged, and merging it would lose that policy without a word.
        if (!attachPolicies(policyPathFor(path), rows, error)) {
            std::fprintf(stderr, "tarvo merge: %s; nothing written (resume the run that wrote %s)\n", error.c_str(),
                         path.c_str());
            return exitUsage;
        }
        Pass& pass = passes[sameRunKey(id)];
        if (pass.firstFile.empty()) {
            pass.id = id;
            pass.firstFile = path;
            long long files = 0;
            pass.seen.assign(1 + (id.fileRun && parseWhole(id.groups, 1, maxRunFiles, files) ? files : 600), false);
        } else if (id.runSeed != pass.id.runSeed || id.version != pass.id.version || id.groups != pass.id.groups ||
                   id.fileRun != pass.id.fileRun) {
            std::fprintf(stderr, "tarvo merge: %s and %s belong to different runs (seed %s / %s, version %s / %s, "
                         "groups %s / %s)\n", pass.firstFile.c_str(), path.c_str(), pass.id.runSeed.c_str(),
                         id.runSeed.c_str(), pass.id.version.c_str(), id.version.c_str(), pass.id.groups.c_str(),
                         id.groups.c_str());
            return exitUsage;
        }
        for (ResultRow& row : rows) {
            int inst = rowInst(row);
            if (inst < 1 || inst >= static_cast<int>(pass.seen.size()) || pass.seen[inst]) continue;  // a duplicate keeps its first copy
            pass.seen[inst] = true;
            pass.rows.push_back(row);
        }
    }
    if (passes.empty()) {
        std::fprintf(stderr, "tarvo merge: no results rows in the files given\n");
        return exitUsage;
    }
    for (auto& [key, pass] : passes) {
        std::string missing;
        int missingNum = 0;
        if (pass.id.fileRun) {
            // The shards' rows do not name the files they lack: those are told by number.
            for (std::size_t k = 1; k < pass.seen.size(); ++k)
                if (!pass.seen[k]) missing += (missingNum++ ? " " : "") + std::to_string(k);
        } else {
            int first = 0, last = 0;
            std::sscanf(pass.id.groups.c_str(), "%d-%d", &first, &last);
            for (int g = first; g <= last; ++g)
                for (int i = 1; i <= 10; ++i)
                    if (!pass.seen[(g - 1) * 10 + i]) missing += (missingNum++ ? " " : "") + instanceStem(pass.id.dataset, g, i);
        }
        if (missingNum > 0) {
            std::fprintf(stderr, "tarvo merge: %s %s: %d instance(s) missing, nothing written: %s\n",
                         pass.id.dataset.c_str(), pass.id.distribution.c_str(), missingNum, missing.c_str());
            code = exitIncomplete;
            continue;
        }
        std::string base = resultsBase(reports, pass.id, 0, 0);
        std::string error;
        if (!writeFinalFiles(base, pass.id, pass.rows, error)) {
            std::fprintf(stderr, "tarvo merge: cannot write %s\n", error.c_str());
            code = exitIncomplete;
            continue;
        }
        std::fprintf(stderr, "tarvo merge: %s.txt (%zu instances)\n", base.c_str(), pass.rows.size());
    }
    return code;
}

int runMerge(int argc, char** argv)
{
    std::string reports;
    std::vector<std::string> files;
    FlagsOutcome outcome = parseMergeFlags(std::vector<std::string>(argv + 1, argv + argc), reports, files);
    if (!outcome.run) {
        std::fputs(outcome.text.c_str(), outcome.code == exitClean ? stdout : stderr);
        return outcome.code;
    }
    return mergeResults(files, reports);
}
