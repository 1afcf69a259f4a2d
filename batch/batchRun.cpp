// The batch run: the passes of the interactive program driven by flags, one replication per seed,
// with a stream per instance, shards, resuming, results files written as each instance ends, and
// clean stops. A finished instance is kept when both its policy line and its results row are
// complete; any failed write stops the pass, names the file and the system's reason, and loses
// nothing already kept.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sstream>

#include "batch/batch.h"
#include "batch/policyRecord.h"
#include "driver/driver.h"
#include "phase2/phase2.h"
#include "project/inputFile.h"
#include "project/makeFolders.h"
#include "project/platform.h"
#include "project/state.h"
#include "project/warnings.h"

// Set by SIGTERM / SIGINT: the run finishes the instance in hand, keeps its files and stops.
static volatile std::sig_atomic_t stopSignal = 0;

static void onStopSignal(int sig) { stopSignal = sig; }

// The stream state of one instance: a mix of the base seed, the data set, the distribution, the
// group and the instance, so that a result depends on nothing else.
static uint32_t instanceSeed(uint32_t seed, int dataset, int dist, int group, int inst)
{
    uint64_t z = (uint64_t{seed} << 32) ^ (uint64_t(dataset) << 24) ^ (uint64_t(dist) << 16) ^
                 (uint64_t(group) << 8) ^ uint64_t(inst);
    return static_cast<uint32_t>(mix64(z));
}

// The stream state of a file run's instance: the base seed, the distribution and the file's stem
// (its FNV-1a hash), never its place, folder or layout; so a file gives the same result in any
// run of any files, and the same project as .sm and as .rcp gives the same result too.
static uint32_t fileSeed(uint32_t seed, int dist, const std::string& stem)
{
    return static_cast<uint32_t>(mix64(mix64(stemHash(stem)) ^ (uint64_t{seed} << 8) ^ uint64_t(dist)));
}

// The policy found for the instance just solved: the best Phase 1 list and the arcs in force
// with it after Phase 2 (the remaining chain for LV, the best member's arcs for HV).
static std::string policyOfInstance(const RunIdentity& id, const ResultRow& row)
{
    PolicyRecord r;
    r.dataset = id.dataset;
    r.distribution = id.distribution;
    r.method = id.method;
    r.config = budgetLabel;
    r.inst = rowInst(row);
    if (id.fileRun) {
        r.file = row.file;
        r.stem = row.stem;
    } else {
        r.group = row.group;
        r.instance = row.instance;
    }
    r.streamSeed = row.streamSeed;
    int n = actNum;
    r.list.assign(bestList, bestList + n + 1);
    if (!isHV) {
        for (int p = 3; p <= n - 1; ++p)
            if (setHas(extraStartPred[bestList[p]], bestList[p - 1])) r.arcs.push_back({bestList[p - 1], bestList[p], 2});
    } else if (candNum >= gaMinCandidates) {
        int m = eliteOrder[1];
        for (int k = 1; k <= popArcNum[m]; ++k)
            r.arcs.push_back({popArcs[m][3 * k], popArcs[m][3 * k + 1], popArcs[m][3 * k + 2]});
    }
    return policyLine(r);
}

// Progress on standard error: a rewritten line on a terminal, a plain line per group otherwise.
static void showProgress(const BatchOptions& o, int done, int total, bool groupEnd,
                         std::chrono::steady_clock::time_point start)
{
    if (o.quiet) return;
    bool tty = isatty(STDERR_FILENO);
    if (!tty && !groupEnd) return;
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long left = done > 0 ? static_cast<long>(elapsed / done * (total - done) + 0.5) : 0;
    char eta[32];
    std::snprintf(eta, sizeof eta, "%ld:%02ld:%02ld", left / 3600, left / 60 % 60, left % 60);
    // A file run has one group of files: its progress names the run, not a group.
    const char* set = o.files.empty() ? datasetName[datasetType] : o.name.c_str();
    std::string where = o.files.empty() ? "group " + std::to_string(paramNum) : std::string("files");
    if (tty)
        std::fprintf(stderr, "\r%s %s %s: %d/%d instances, %s left   ", set, distName[distNum], where.c_str(), done,
                     total, eta);
    else
        std::fprintf(stderr, "%s %s: %s done, %d/%d instances, %s left\n", set, distName[distNum], where.c_str(),
                     done, total, eta);
}

// Instances 1..passSize of a pass: groups of ten in a data set, one group of N in a file run.
static int instancesPerGroup(const BatchOptions& o)
{
    return o.files.empty() ? 10 : static_cast<int>(o.projects.size());
}

static bool inShard(const BatchOptions& o, int group, int inst)
{
    return o.shardCount == 0 || ((group - 1) * 10 + inst - 1) % o.shardCount == o.shard - 1;
}

// The instances of an interrupted run that count as done: rows of the .csv.part whose line in the
// .jsonl.part is complete too (whatever the .csv holds, an instance without its policy is solved
// again). Returns false, with the message printed, when the files belong to another run.
static bool keptRows(const BatchOptions& o, const std::string& base, const RunIdentity& id,
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
    if (pathExists(base + ".jsonl.part") && !readPolicyFile(base + ".jsonl.part", records, error)) {
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

// The row of the instance just solved.
static ResultRow solvedRow(uint32_t streamSeed, const std::string& projectStem)
{
    ResultRow row;
    row.streamSeed = streamSeed;
    row.group = paramNum;
    row.instance = instNum;
    row.activities = actNum;
    row.lowerBound = earlyFinish[actNum];
    row.ph1Makespan = ph1Makespan;
    row.ph1Gap = ph1Gap;
    row.ph2Makespan = ph2Makespan;
    row.ph2Gap = bestGap;
    row.smallerGap = ph1Gap > bestGap ? bestGap : ph1Gap;
    row.cpuSeconds = cpuTime;
    row.host = hostName();
    if (!projectFile.empty()) {
        row.file = projectFile;
        row.stem = projectStem;
    }
    return row;
}

// The report line of the instance just solved, as the interactive program writes it.
static std::string instanceLine()
{
    std::ostringstream text;
    std::streambuf* file = static_cast<std::ostream&>(report).rdbuf(text.rdbuf());
    writeInstanceLine();
    static_cast<std::ostream&>(report).rdbuf(file);
    return text.str();
}

enum class PassEnd { complete, incomplete, refused, stopped };

// One pass (a distribution of one seed). done counts the instances solved for the progress line.
static PassEnd runPass(const BatchOptions& o, uint32_t seed, int& done, int& total,
                       std::chrono::steady_clock::time_point start)
{
    startPass();
    RunIdentity id = passIdentity(o, distNum, seed);
    id.version = programVersion();
    std::string base = resultsBase(o.reports, id, o.shard, o.shardCount);
    const int groupSize = instancesPerGroup(o);
    int passSize = 0;
    for (int g = o.firstGroup; g <= o.lastGroup; ++g)
        for (int i = 1; i <= groupSize; ++i) passSize += inShard(o, g, i);
    if (pathExists(base + ".csv")) {
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
    if (o.resume && pathExists(base + ".csv.part")) {
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
    // Whether the .part files hold this pass's rows: only then may a message send the user to them.
    const bool partsMade = pathExists(base + ".csv.part") && pathExists(base + ".jsonl.part");

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
            const bool solved = solveInstance();
            reportCountedWarnings(id.fileRun ? (distName[distNum] + std::string(" ") + projectFile).c_str()
                                             : (std::string(datasetName[datasetType]) + " " + distName[distNum] +
                                                " group " + std::to_string(paramNum) + " instance " +
                                                std::to_string(instNum)).c_str());
            if (!solved) {
                complete = false;
                break;
            }
            ResultRow row = solvedRow(streamSeed, stem);
            row.policy = policyOfInstance(id, row);
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
        if (!o.quiet && isatty(STDERR_FILENO)) std::fprintf(stderr, "\n");
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
    if (partsMade)
        std::printf("The %s pass is incomplete; its files stay %s.*.part with %zu finished instances "
                    "(mend the cause, then --resume).\n", distName[distNum], base.c_str(), rows.size());
    else
        std::printf("The %s pass is incomplete; its .part files could not be made, and nothing of it was "
                    "written (mend the cause, then run it again).\n", distName[distNum]);
    return stopSignal ? PassEnd::stopped : PassEnd::incomplete;
}

RunIdentity passIdentity(const BatchOptions& o, int dist, uint32_t seed)
{
    bool hv = o.method == 0 ? dist > 2 : o.method == 1;
    RunIdentity id{o.files.empty() ? datasetName[o.dataset] : o.name, distName[dist], hv ? "HV" : "LV",
                   std::to_string(budgetLabel), o.singleStream ? "single" : std::to_string(seed),
                   o.files.empty() ? std::to_string(o.firstGroup) + "-" + std::to_string(o.lastGroup)
                                   : std::to_string(o.projects.size()),
                   "", !o.files.empty()};
    return id;
}

int runBatch(const BatchOptions& o)
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    setKeyWaits(false);
    setWarningsCounted(true);
    instanceFolder = o.instances;
    std::string folderError;
    if (!makeFolders(o.reports, folderError)) {
        std::fprintf(stderr, "tarvo: %s\n", folderError.c_str());
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
    auto start = std::chrono::steady_clock::now();

    int code = exitClean;
    for (uint64_t seed = o.firstSeed; seed <= o.lastSeed; ++seed) {
        for (distNum = 1; distNum <= 5; ++distNum) {
            if (!o.dist[distNum]) continue;
            PassEnd end = runPass(o, static_cast<uint32_t>(seed), done, total, start);
            if (end == PassEnd::stopped) {
                projectFile.clear();
                return 128 + stopSignal;
            }
            if (end == PassEnd::refused && code == exitClean) code = exitUsage;
            if (end == PassEnd::incomplete) code = exitIncomplete;
        }
    }
    if (!o.quiet && isatty(STDERR_FILENO)) std::fprintf(stderr, "\n");
    projectFile.clear();
    return code;
}
