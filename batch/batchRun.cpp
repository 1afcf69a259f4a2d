// The batch run: the passes of the interactive program driven by flags, one replication per seed,
// with a stream per instance, shards, resuming, results files written as each instance ends, and
// clean stops. A finished instance is kept when both its policy line and its results row are
// complete; any failed write stops the pass, names the file and the system's reason, and loses
// nothing already kept.
#include <algorithm>
#include <cstdio>

#include "batch/batch.h"
#include "cli/fileChecks.h"
#include "cli/progress.h"
#include "cli/stopSignals.h"
#include "config/labels.h"
#include "project/platform.h"
#include "project/state.h"
#include "solve/solve.h"

// Progress on standard error: a rewritten line on a terminal, a plain line per group otherwise.
static void showProgress(const BatchOptions& o, int done, int total, bool groupEnd,
                         ProgressClock::time_point start)
{
    if (o.quiet) return;
    bool tty = progressOnTerminal();
    if (!tty && !groupEnd) return;
    std::string eta = etaText(start, done, total);
    // A file run has one group of files: its progress names the run, not a group.
    const char* set = o.files.empty() ? datasetName[datasetType] : o.name.c_str();
    std::string where = o.files.empty() ? "group " + std::to_string(paramNum) : std::string("files");
    if (tty)
        std::fprintf(stderr, "\r%s %s %s: %d/%d instances, %s left   ", set, distName[distNum], where.c_str(), done,
                     total, eta.c_str());
    else
        std::fprintf(stderr, "%s %s: %s done, %d/%d instances, %s left\n", set, distName[distNum], where.c_str(),
                     done, total, eta.c_str());
}

enum class PassEnd { complete, incomplete, refused, stopped };

// One pass (a distribution of one seed). done counts the instances solved for the progress line.
static PassEnd runPass(const BatchOptions& o, uint32_t seed, int& done, int& total, ProgressClock::time_point start)
{
    startPass();
    RunIdentity id = passIdentity(o, distNum, seed);
    id.version = programVersion();
    std::string base = resultsBase(o.reports, id, o.shard, o.shardCount);
    const int groupSize = instancesPerGroup(o);
    int passSize = 0;
    for (int g = o.firstGroup; g <= o.lastGroup; ++g)
        for (int i = 1; i <= groupSize; ++i) passSize += inShard(o, g, i);
    if (fileExists(base + ".csv")) {
        if (o.resume) {
            total -= passSize;
            // A run killed between the final renames and this cleanup left the scratch files.
            for (const char* ext : {".txt.part", ".csv.part", ".jsonl.part"}) std::remove((base + ext).c_str());
            return PassEnd::complete;
        }
        std::fprintf(stderr, "tarvo: %s.csv exists: this pass is complete (remove it to run again, or --resume)\n",
                     base.c_str());
        return PassEnd::refused;
    }

    // Rows already complete in the files of an interrupted run of the same parameters.
    std::vector<ResultRow> rows;
    std::vector<bool> doneInst(1 + std::max(600, groupSize));
    if (o.resume && fileExists(base + ".csv.part")) {
        if (!keptRows(o, base, id, rows)) return PassEnd::refused;
        for (const ResultRow& row : rows) doneInst[rowInst(row)] = true;
        total -= static_cast<int>(rows.size());
    }

    // The kept rows are written anew, each file through one rename, so that a kill at any moment
    // leaves either the old or the new file; the solved instances are then appended.
    std::string csvText = csvHeader(id.fileRun) + "\n", jsonText, error;
    for (const ResultRow& row : rows) {
        csvText += csvLine(id, row) + "\n";
        jsonText += row.policy + "\n";
    }
    OutputFile csv, jsonl, txt;
    bool ok = writeWhole(base + ".jsonl.part", jsonText, error) && writeWhole(base + ".csv.part", csvText, error) &&
              openOutput(jsonl, base + ".jsonl.part", true, error) && openOutput(csv, base + ".csv.part", true, error) &&
              openOutput(txt, base + ".txt.part", false, error) &&
              writeOutput(txt, "Inst\tPh1.makespan\tPh2.makespan\tBestGap%\tCPU(seconds)\n", error);

    bool complete = ok;
    for (paramNum = o.firstGroup; paramNum <= o.lastGroup && complete && !stopSignal; ++paramNum) {
        bool any = false;
        for (instNum = 1; instNum <= groupSize && complete && !stopSignal; ++instNum) {
            int inst = (paramNum - 1) * 10 + instNum;
            if (!inShard(o, paramNum, instNum) || doneInst[inst]) continue;
            std::string stem;
            if (id.fileRun) {
                projectFile = o.projects[instNum - 1].path;
                stem = o.projects[instNum - 1].stem;
            }
            uint32_t streamSeed = o.singleStream ? getRandState()
                                  : id.fileRun   ? fileSeed(seed, distNum, stem)
                                                 : instanceSeed(seed, datasetType, distNum, paramNum, instNum);
            setRandState(streamSeed);
            if (!solveInstance()) {
                complete = false;
                break;
            }
            ResultRow row = solvedRow(id, streamSeed, stem);
            // The policy line first: a results row is never on disk without it.
            ok = writeOutput(jsonl, row.policy + "\n", error) && writeOutput(csv, csvLine(id, row) + "\n", error) &&
                 writeOutput(txt, instanceLine(), error);
            if (!ok) {
                complete = false;
                break;
            }
            rows.push_back(row);
            any = true;
            ++done;
            showProgress(o, done, total, false, start);
        }
        if (any) showProgress(o, done, total, instNum > groupSize, start);
    }
    std::string closeError;
    for (OutputFile* file : {&jsonl, &csv, &txt})
        if (!closeOutput(*file, closeError) && ok) {
            ok = false;
            error = closeError;
        }
    if (!ok) std::fprintf(stderr, "tarvo: cannot write %s\n", error.c_str());
    if (stopSignal && ok) {
        if (!o.quiet) endProgressLine();
        std::fprintf(stderr, "tarvo: stopped by signal %d; the files %s.*.part keep %zu finished instances "
                     "(run again with --resume)\n", static_cast<int>(stopSignal), base.c_str(), rows.size());
        return PassEnd::stopped;
    }
    if (complete && ok) {
        // The pass is complete: final files in instance order, each in one rename.
        if (writeFinalFiles(base, id, rows, error)) {
            for (const char* ext : {".txt.part", ".csv.part", ".jsonl.part"}) std::remove((base + ext).c_str());
            return PassEnd::complete;
        }
        std::fprintf(stderr, "tarvo: cannot write %s\n", error.c_str());
    }
    std::printf("The %s pass is incomplete; its files stay %s.*.part with %zu finished instances "
                "(mend the cause, then --resume).\n", distName[distNum], base.c_str(), rows.size());
    return stopSignal ? PassEnd::stopped : PassEnd::incomplete;
}

RunIdentity passIdentity(const BatchOptions& o, int dist, uint32_t seed)
{
    bool hv = passIsHV(dist, o.method);
    RunIdentity id{o.files.empty() ? datasetLabels[o.dataset] : o.name, distLabels[dist], methodLabels[hv ? 1 : 2],
                   std::to_string(budgetLabel), o.singleStream ? "single" : std::to_string(seed),
                   o.files.empty() ? std::to_string(o.firstGroup) + "-" + std::to_string(o.lastGroup)
                                   : std::to_string(o.projects.size()),
                   "", !o.files.empty()};
    return id;
}

int runBatch(const BatchOptions& o)
{
    catchStopSignals();
    setKeyWaits(false);
    instanceFolder = o.instances;
    if (!makeDirectory(o.reports.c_str())) {
        std::printf("Cannot create the reports folder %s.\n", o.reports.c_str());
        return exitIncomplete;
    }
    fillLabels();
    datasetType = o.dataset;
    varSetting = o.method;

    // Instances this process has to solve, for the progress estimate (resumed ones counted off later).
    int total = 0;
    for (uint64_t seed = o.firstSeed; seed <= o.lastSeed; ++seed)
        for (int d = 1; d <= 5; ++d)
            for (int g = o.firstGroup; g <= o.lastGroup && o.dist[d]; ++g)
                for (int i = 1; i <= instancesPerGroup(o); ++i) total += inShard(o, g, i);
    int done = 0;
    auto start = ProgressClock::now();

    int code = exitClean;
    for (uint64_t seed = o.firstSeed; seed <= o.lastSeed; ++seed) {
        for (distNum = 1; distNum <= 5; ++distNum) {
            if (!o.dist[distNum]) continue;
            PassEnd end = runPass(o, static_cast<uint32_t>(seed), done, total, start);
            if (end == PassEnd::stopped) {
                projectFile.clear();
                return exitSignalBase + stopSignal;
            }
            if (end == PassEnd::refused && code == exitClean) code = exitUsage;
            if (end == PassEnd::incomplete) code = exitIncomplete;
        }
    }
    if (!o.quiet) endProgressLine();
    projectFile.clear();
    return code;
}
