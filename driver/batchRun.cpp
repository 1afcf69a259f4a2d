// The batch run: the passes of the interactive program driven by flags, with a stream per
// instance, shards, resuming, results files written as each instance ends, and clean stops.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "driver/batch.h"
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
static std::string policyRecord(const RunIdentity& id, const ResultRow& row)
{
    std::ostringstream j;
    int n = actNum;
    j << "{\"dataset\":\"" << id.dataset << "\",\"distribution\":\"" << id.distribution << "\",\"method\":\""
      << id.method << "\",\"config\":" << id.config << ",\"group\":" << row.group << ",\"instance\":" << row.instance
      << ",\"inst\":" << (row.group - 1) * 10 + row.instance << ",\"stream_seed\":" << row.streamSeed << ",\"list\":[";
    for (int p = 1; p <= n; ++p) j << (p > 1 ? "," : "") << int(bestList[p]);
    j << "],\"arcs\":[";
    bool first = true;
    auto arc = [&](int from, int to, int type) {
        j << (first ? "" : ",") << "[" << from << "," << to << "," << type << "]";
        first = false;
    };
    if (!isHV) {
        for (int p = 3; p <= n - 1; ++p)
            if (setHas(extraStartPred[bestList[p]], bestList[p - 1])) arc(bestList[p - 1], bestList[p], 2);
    } else if (candNum >= gaMinCandidates) {
        int m = eliteOrder[1];
        for (int k = 1; k <= popArcNum[m]; ++k) arc(popArcs[m][3 * k], popArcs[m][3 * k + 1], popArcs[m][3 * k + 2]);
    }
    j << "]}";
    return j.str();
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
    std::string groupRange = std::to_string(o.firstGroup) + "-" + std::to_string(o.lastGroup);

    // Instances this process has to solve, for the progress estimate (resumed ones counted off later).
    int total = 0;
    for (int d = 1; d <= 5; ++d)
        for (int g = o.firstGroup; g <= o.lastGroup && o.dist[d]; ++g)
            for (int i = 1; i <= 10; ++i) total += inShard(o, g, i);
    int done = 0;
    auto start = std::chrono::steady_clock::now();

    int code = exitClean;
    for (distNum = 1; distNum <= 5; ++distNum) {
        if (!o.dist[distNum]) continue;
        startPass();
        RunIdentity id{datasetName[datasetType], distName[distNum], isHV ? varName[1] : varName[2],
                       std::to_string(budgetLabel), o.singleStream ? "single" : std::to_string(o.seed), groupRange,
                       programVersion()};
        std::string base = resultsBase(o.reports, id, o.shard, o.shardCount);
        if (fileExists(base + ".csv")) {
            if (o.resume) {
                for (int g = o.firstGroup; g <= o.lastGroup; ++g)
                    for (int i = 1; i <= 10; ++i) total -= inShard(o, g, i);
                continue;
            }
            std::fprintf(stderr, "tarvo: %s.csv exists: this pass is complete (remove it to run again, or --resume)\n",
                         base.c_str());
            code = exitUsage;
            continue;
        }

        // Rows already complete in the files of an interrupted run of the same parameters.
        std::vector<ResultRow> rows;
        bool doneInst[601] = {};
        if (o.resume && fileExists(base + ".csv.part")) {
            RunIdentity old;
            std::string error;
            if (!readCsv(base + ".csv.part", old, rows, error)) {
                std::fprintf(stderr, "tarvo: cannot resume: %s\n", error.c_str());
                return exitUsage;
            }
            if (!rows.empty() && (old.runSeed != id.runSeed || old.version != id.version || old.groups != id.groups)) {
                std::fprintf(stderr, "tarvo: cannot resume from %s.csv.part: it was written by another run (%s, %s, groups %s)\n",
                             base.c_str(), old.version.c_str(), old.runSeed.c_str(), old.groups.c_str());
                return exitUsage;
            }
            std::vector<std::string> policies;
            readPolicies(base + ".jsonl.part", policies);
            for (ResultRow& row : rows) {
                int inst = (row.group - 1) * 10 + row.instance;
                if (inst < static_cast<int>(policies.size())) row.policy = policies[inst];
                doneInst[inst] = true;
                total -= 1;
            }
        }

        std::ofstream csv(base + ".csv.part", std::ios::binary | std::ios::trunc);
        std::ofstream jsonl(base + ".jsonl.part", std::ios::binary | std::ios::trunc);
        report.open(base + ".txt.part", std::ios::out | std::ios::trunc);
        if (!csv || !jsonl || !report.is_open()) {
            std::printf("Cannot write the results files %s.*: the %s pass is skipped.\n", base.c_str(), distName[distNum]);
            report.close();
            code = exitIncomplete;
            continue;
        }
        csv << csvHeader() << "\n";
        report << "Inst\tPh1.makespan\tPh2.makespan\tBestGap%\tCPU(seconds)" << std::endl;
        for (const ResultRow& row : rows) {
            csv << csvLine(id, row) << "\n";
            if (!row.policy.empty()) jsonl << row.policy << "\n";
        }
        csv.flush();
        jsonl.flush();

        bool complete = true;
        for (paramNum = o.firstGroup; paramNum <= o.lastGroup && complete && !stopSignal; ++paramNum) {
            bool any = false;
            for (instNum = 1; instNum <= 10 && !stopSignal; ++instNum) {
                int inst = (paramNum - 1) * 10 + instNum;
                if (!inShard(o, paramNum, instNum) || doneInst[inst]) continue;
                ResultRow row;
                row.streamSeed = o.singleStream ? getRandState()
                                                : instanceSeed(o.seed, datasetType, distNum, paramNum, instNum);
                setRandState(row.streamSeed);
                if (!solveInstance()) {
                    complete = false;
                    break;
                }
                writeInstanceLine();
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
                row.policy = policyRecord(id, row);
                csv << csvLine(id, row) << "\n";
                jsonl << row.policy << "\n";
                csv.flush();
                jsonl.flush();
                rows.push_back(row);
                any = true;
                ++done;
                showProgress(o, done, total, false, start);
            }
            if (any) showProgress(o, done, total, instNum > 10, start);
        }
        report.close();
        report.clear();
        bool written = csv.good() && jsonl.good();
        csv.close();
        jsonl.close();
        if (stopSignal) {
            if (!o.quiet && isatty(STDERR_FILENO)) std::fprintf(stderr, "\n");
            std::fprintf(stderr, "tarvo: stopped by signal %d; the files %s.*.part keep %zu finished instances "
                         "(run again with --resume)\n", static_cast<int>(stopSignal), base.c_str(), rows.size());
            return 128 + stopSignal;
        }
        if (!complete || !written) {
            std::printf("The %s pass is incomplete; its files stay %s.*.part (mend the cause, then --resume).\n",
                        distName[distNum], base.c_str());
            code = exitIncomplete;
            continue;
        }
        // The pass is complete: final files in instance order, each in one rename.
        std::sort(rows.begin(), rows.end(), [](const ResultRow& a, const ResultRow& b) {
            return a.group * 10 + a.instance < b.group * 10 + b.instance;
        });
        std::string csvText = csvHeader() + "\n", jsonText;
        for (const ResultRow& row : rows) {
            csvText += csvLine(id, row) + "\n";
            if (!row.policy.empty()) jsonText += row.policy + "\n";
        }
        if (!writeReportFromRows(base + ".txt", rows) || !writeWhole(base + ".jsonl", jsonText) ||
            !writeWhole(base + ".csv", csvText)) {
            std::printf("Cannot write the final files %s.*.\n", base.c_str());
            code = exitIncomplete;
            continue;
        }
        std::remove((base + ".txt.part").c_str());
        std::remove((base + ".csv.part").c_str());
        std::remove((base + ".jsonl.part").c_str());
    }
    if (!o.quiet && isatty(STDERR_FILENO)) std::fprintf(stderr, "\n");
    return code;
}
