// The batch run: the passes of the interactive program driven by flags, one replication per seed,
// with a stream per instance, shards, resuming, results files written as each instance ends, and
// clean stops. A finished instance is kept when both its policy line and its results row are
// complete; any failed write stops the pass, names the file and the system's reason, and loses
// nothing already kept.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <sstream>

#include "batch/batch.h"
#include "batch/policyRecord.h"
#include "driver/driver.h"
#include "phase2/phase2.h"
#include "project/platform.h"
#include "project/state.h"

// Set by SIGTERM / SIGINT: the run finishes the instance in hand, keeps its files and stops.
static volatile std::sig_atomic_t stopSignal = 0;

static void onStopSignal(int sig) { stopSignal = sig; }

// The stream state of one instance: a SplitMix64 mix of the base seed, the data set, the
// distribution, the group and the instance, so that a result depends on nothing else.
static uint32_t instanceSeed(uint32_t seed, int dataset, int dist, int group, int inst)
{
    uint64_t z = (uint64_t{seed} << 32) ^ (uint64_t(dataset) << 24) ^ (uint64_t(dist) << 16) ^
                 (uint64_t(group) << 8) ^ uint64_t(inst);
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<uint32_t>(z);
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
    r.group = row.group;
    r.instance = row.instance;
    r.inst = (row.group - 1) * 10 + row.instance;
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
    if (tty)
        std::fprintf(stderr, "\r%s %s group %d: %d/%d instances, %s left   ", datasetName[datasetType],
                     distName[distNum], paramNum, done, total, eta);
    else
        std::fprintf(stderr, "%s %s: group %d done, %d/%d instances, %s left\n", datasetName[datasetType],
                     distName[distNum], paramNum, done, total, eta);
}

static bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

static bool inShard(const BatchOptions& o, int group, int inst)
{
    return o.shardCount == 0 || ((group - 1) * 10 + inst - 1) % o.shardCount == o.shard - 1;
}

// The instances of an interrupted run that count as done: rows of the .csv.part whose line in the
// .jsonl.part is complete too (whatever the .csv holds, an instance without its policy is solved
// again). Returns false, with the message printed, when the files belong to another run.
static bool keptRows(const std::string& base, const RunIdentity& id, std::vector<ResultRow>& rows)
{
    RunIdentity old;
    std::vector<ResultRow> csvRows;
    std::string error;
    if (!readCsv(base + ".csv.part", old, csvRows, error)) {
        std::fprintf(stderr, "tarvo: cannot resume: %s\n", error.c_str());
        return false;
    }
    if (!csvRows.empty() && (old.runSeed != id.runSeed || old.version != id.version || old.groups != id.groups ||
                             old.method != id.method)) {
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
    std::vector<std::string> policies(601);
    for (const PolicyRecord& r : records) policies[r.inst] = policyLine(r);
    bool seen[601] = {};
    for (ResultRow& row : csvRows) {
        int inst = (row.group - 1) * 10 + row.instance;
        if (policies[inst].empty() || seen[inst]) continue;
        seen[inst] = true;
        row.policy = policies[inst];
        rows.push_back(row);
    }
    return true;
}

// The row of the instance just solved.
static ResultRow solvedRow(uint32_t streamSeed)
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
    RunIdentity id{datasetName[datasetType], distName[distNum], isHV ? varName[1] : varName[2],
                   std::to_string(budgetLabel), o.singleStream ? "single" : std::to_string(seed),
                   std::to_string(o.firstGroup) + "-" + std::to_string(o.lastGroup), programVersion()};
    std::string base = resultsBase(o.reports, id, o.shard, o.shardCount);
    int passSize = 0;
    for (int g = o.firstGroup; g <= o.lastGroup; ++g)
        for (int i = 1; i <= 10; ++i) passSize += inShard(o, g, i);
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
    bool doneInst[601] = {};
    if (o.resume && fileExists(base + ".csv.part")) {
        if (!keptRows(base, id, rows)) return PassEnd::refused;
        for (const ResultRow& row : rows) doneInst[(row.group - 1) * 10 + row.instance] = true;
        total -= static_cast<int>(rows.size());
    }

    // The kept rows are written anew, each file through one rename, so that a kill at any moment
    // leaves either the old or the new file; the solved instances are then appended.
    std::string csvText = csvHeader() + "\n", jsonText, error;
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
        for (instNum = 1; instNum <= 10 && complete && !stopSignal; ++instNum) {
            int inst = (paramNum - 1) * 10 + instNum;
            if (!inShard(o, paramNum, instNum) || doneInst[inst]) continue;
            uint32_t streamSeed = o.singleStream ? getRandState()
                                                 : instanceSeed(seed, datasetType, distNum, paramNum, instNum);
            setRandState(streamSeed);
            if (!solveInstance()) {
                complete = false;
                break;
            }
            ResultRow row = solvedRow(streamSeed);
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
        if (any) showProgress(o, done, total, instNum > 10, start);
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
    std::printf("The %s pass is incomplete; its files stay %s.*.part with %zu finished instances "
                "(mend the cause, then --resume).\n", distName[distNum], base.c_str(), rows.size());
    return stopSignal ? PassEnd::stopped : PassEnd::incomplete;
}

int runBatch(const BatchOptions& o)
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
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
                for (int i = 1; i <= 10; ++i) total += inShard(o, g, i);
    int done = 0;
    auto start = std::chrono::steady_clock::now();

    int code = exitClean;
    for (uint64_t seed = o.firstSeed; seed <= o.lastSeed; ++seed) {
        for (distNum = 1; distNum <= 5; ++distNum) {
            if (!o.dist[distNum]) continue;
            PassEnd end = runPass(o, static_cast<uint32_t>(seed), done, total, start);
            if (end == PassEnd::stopped) return 128 + stopSignal;
            if (end == PassEnd::refused && code == exitClean) code = exitUsage;
            if (end == PassEnd::incomplete) code = exitIncomplete;
        }
    }
    if (!o.quiet && isatty(STDERR_FILENO)) std::fprintf(stderr, "\n");
    return code;
}
