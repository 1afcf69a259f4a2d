// The runs of `tarvo compare`: per instance every input's policy loaded, then all of them run on
// each evaluation scenario in one pass, with the longest path of the scenario beside them.
// With --jobs N, worker processes take instances i = w, w + N, ... and send back their results as
// exact hexadecimal numbers, so the results do not depend on N.
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli/exitCodes.h"
#include "cli/flagStyle.h"
#include "cli/workers.h"
#include "compare/compare.h"
#include "phase2/phase2.h"
#include "project/state.h"
#include "simulation/lftList.h"
#include "simulation/pathBound.h"
#include "simulation/scenarios.h"

namespace comparison {

// The mean in double of float makespans summed in run order: the digits of tarvo evaluate.
static double meanOf(const std::vector<float>& m)
{
    double sum = 0;
    for (float v : m) sum += static_cast<double>(v);
    return sum / static_cast<double>(m.size());
}

static bool runInstance(const Options& o, const std::vector<Input>& inputs, const Instance& inst, int dist,
                        InstanceResult& result)
{
    const std::size_t P = inputs.size();
    static uint8_t lists[maxPolicies][actDim];
    static std::vector<uint8_t> arcLists[maxPolicies];
    static int arcCounts[maxPolicies];
    static std::vector<float> makespans[maxPolicies];
    static std::vector<double> diff;
    std::string error;
    int withArcs = 0;
    const PolicyRecord* keyRecord = nullptr;
    for (std::size_t p = 0; p < P; ++p) {
        const PolicyRecord* r = inst.records[p];
        if (!r) continue;
        if (!keyRecord) keyRecord = r;
        if (!loadPolicy(*r, o.instances, inputs[p].path, lists[p], error)) return refuse("tarvo compare", error);
        arcCounts[p] = static_cast<int>(r->arcs.size());
        arcLists[p].resize(3 * (r->arcs.size() + 1));
        for (int k = 0; k < arcCounts[p]; ++k) {
            arcLists[p][3 * (k + 1)] = static_cast<uint8_t>(r->arcs[k].from);
            arcLists[p][3 * (k + 1) + 1] = static_cast<uint8_t>(r->arcs[k].to);
            arcLists[p][3 * (k + 1) + 2] = static_cast<uint8_t>(r->arcs[k].type);
        }
    }
    std::vector<PolicyRule> rules(P);
    for (std::size_t p = 0; p < P; ++p) {
        if (inputs[p].lft) {
            lftList(lists[p]);
            rules[p] = PolicyRule::resourceBased;
            arcCounts[p] = 0;
        } else {
            rules[p] = inputs[p].rules[inst.records[p] - inputs[p].records.data()];
        }
        if (rules[p] == PolicyRule::withArcs) ++withArcs;
    }
    // The arcs in force are only read by the rule with arcs: with one such policy its arcs stay
    // installed; with more, each run installs its own policy's arcs first.
    for (std::size_t p = 0; p < P; ++p)
        if (rules[p] == PolicyRule::withArcs) {
            clearExtraArcs();
            applyArcs(arcLists[p].data(), arcCounts[p]);
        }
    PathOrder path;
    makePathOrder(path);
    ScenarioSource source;
    makeScenarioSource(source, scenarioKeyOf(*keyRecord, dist, o.seed), dist, o.levelsValue);
    for (std::size_t p = 0; p < P; ++p) makespans[p].resize(o.runs);
    float durations[actDim];
    double pathSum = 0;
    for (long run = 1; run <= o.runs; ++run) {
        drawScenario(source, run, durations);
        pathSum += static_cast<double>(longestPath(path, durations));
        for (std::size_t p = 0; p < P; ++p) {
            if (withArcs > 1 && rules[p] == PolicyRule::withArcs) {
                clearExtraArcs();
                applyArcs(arcLists[p].data(), arcCounts[p]);
            }
            makespans[p][run - 1] = runUnderRule(rules[p], lists[p], durations);
        }
    }
    result.lowerBound = earlyFinish[actNum];
    result.pathBound = pathSum / static_cast<double>(o.runs);
    result.mean.assign(P, 0);
    result.diff.assign(P, 0);
    result.diffStderr.assign(P, 0);
    for (std::size_t p = 0; p < P; ++p) result.mean[p] = meanOf(makespans[p]);
    diff.resize(o.runs);
    for (std::size_t p = 1; p < P; ++p) {
        double sum = 0;
        for (long k = 0; k < o.runs; ++k) {
            diff[k] = static_cast<double>(makespans[p][k]) - static_cast<double>(makespans[0][k]);
            sum += diff[k];
        }
        const double mean = sum / o.runs;
        double squares = 0;
        for (long k = 0; k < o.runs; ++k) squares += (diff[k] - mean) * (diff[k] - mean);
        result.diff[p] = mean;
        result.diffStderr[p] = std::sqrt(squares / (o.runs - 1)) / std::sqrt(static_cast<double>(o.runs));
    }
    clearExtraArcs();
    return true;
}

static std::string encode(const InstanceResult& r)
{
    char text[40];
    std::string out;
    auto put = [&](double v) {
        std::snprintf(text, sizeof text, "%a ", v);
        out += text;
    };
    put(r.lowerBound);
    put(r.pathBound);
    for (std::size_t p = 0; p < r.mean.size(); ++p) {
        put(r.mean[p]);
        put(r.diff[p]);
        put(r.diffStderr[p]);
    }
    return out + "\n";
}

static const char* decode(const char* at, InstanceResult& r, std::size_t P)
{
    char* end;
    auto get = [&]() {
        double v = std::strtod(at, &end);
        at = end;
        return v;
    };
    r.lowerBound = get();
    r.pathBound = get();
    r.mean.assign(P, 0);
    r.diff.assign(P, 0);
    r.diffStderr.assign(P, 0);
    for (std::size_t p = 0; p < P; ++p) {
        r.mean[p] = get();
        r.diff[p] = get();
        r.diffStderr[p] = get();
    }
    return at;
}

namespace {
struct Task {
    const Options* o;
    const std::vector<Input>* inputs;
    const std::vector<Instance>* instances;
    int dist, w, jobs, readFd, writeFd;
};

int work(void* context)
{
    const Task& t = *static_cast<const Task*>(context);
    close(t.readFd);
    std::string text;
    for (std::size_t i = t.w; i < t.instances->size(); i += t.jobs) {
        InstanceResult r;
        if (!runInstance(*t.o, *t.inputs, (*t.instances)[i], t.dist, r)) return exitUsage;
        text += encode(r);
    }
    return writeAllTo(t.writeFd, text) ? exitClean : exitIncomplete;
}
}  // namespace

bool runInstances(const Options& o, const std::vector<Input>& inputs, const std::vector<Instance>& instances,
                  int dist, std::vector<InstanceResult>& results)
{
    results.assign(instances.size(), InstanceResult());
    const int jobs = std::min<int>(o.jobs, static_cast<int>(instances.size()));
    if (jobs <= 1) {
        for (std::size_t i = 0; i < instances.size(); ++i)
            if (!runInstance(o, inputs, instances[i], dist, results[i])) return false;
        return true;
    }
    std::vector<pid_t> pids(jobs);
    std::vector<int> fds(jobs);
    for (int w = 0; w < jobs; ++w) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) return refuse("tarvo compare", "cannot start the workers");
        Task task{&o, &inputs, &instances, dist, w, jobs, pipeFds[0], pipeFds[1]};
        pids[w] = startWorker(work, &task);
        close(pipeFds[1]);
        if (pids[w] < 0) return refuse("tarvo compare", "cannot start the workers");
        fds[w] = pipeFds[0];
    }
    bool ok = true;
    for (int w = 0; w < jobs; ++w) {
        // Each worker's pipe is read to its end in turn: a worker blocked on a full pipe only
        // waits for its turn, and the others run on meanwhile.
        std::string text;
        char chunk[1 << 16];
        ssize_t n;
        while ((n = read(fds[w], chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0) text.append(chunk, static_cast<std::size_t>(n));
        close(fds[w]);
        if (reapWorker(pids[w]) != exitClean) ok = false;
        const char* at = text.c_str();
        for (std::size_t i = w; ok && i < instances.size(); i += jobs) at = decode(at, results[i], inputs.size());
    }
    if (!ok) refuse("tarvo compare", "a worker failed (see above)");
    return ok;
}

}  // namespace comparison
