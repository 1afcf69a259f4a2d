// Policy records of batch runs: JSON parsing with nlohmann/json, the checks of the list and arcs
// against the instance, and their installation in the engine's tables.
#include "evaluate/policy.h"

#include <nlohmann/json.hpp>
#include <cstdio>

#include "engine/engine.h"
#include "phase2/phase2.h"
#include "project/cpm.h"
#include "project/platform.h"
#include "project/reader.h"
#include "project/state.h"

using nlohmann::json;

static bool fault(std::string& error, const std::string& file, int lineNo, const std::string& what)
{
    error = file + ", line " + std::to_string(lineNo) + ": " + what;
    return false;
}

// Index of label in names[1..count], or 0.
static int labelIndex(const std::string& label, const char* const* names, int count)
{
    for (int k = 1; k <= count; ++k)
        if (label == names[k]) return k;
    return 0;
}

bool parsePolicyRecord(const std::string& line, const std::string& file, int lineNo, PolicyRecord& r,
                       std::string& error)
{
    static const char* const sets[] = {"", "J30", "J60", "J90", "J120"};
    static const char* const dists[] = {"", "U1", "B1", "U2", "B2", "EXP"};
    json j = json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.is_object()) return fault(error, file, lineNo, "not a JSON object");
    auto text = [&](const char* key, std::string& out) {
        if (!j.contains(key) || !j[key].is_string()) return false;
        out = j[key].get<std::string>();
        return true;
    };
    auto whole = [&](const char* key, long low, long high, long& out) {
        if (!j.contains(key) || !j[key].is_number_integer()) return false;
        out = j[key].get<long>();
        return out >= low && out <= high;
    };
    long config, group, instance, seed;
    if (!text("dataset", r.dataset) || !text("distribution", r.distribution) || !text("method", r.method))
        return fault(error, file, lineNo, "\"dataset\", \"distribution\" and \"method\" must be texts");
    r.datasetType = labelIndex(r.dataset, sets, 4);
    r.distNum = labelIndex(r.distribution, dists, 5);
    if (r.datasetType == 0) return fault(error, file, lineNo, "unknown data set \"" + r.dataset + "\"");
    if (r.distNum == 0) return fault(error, file, lineNo, "unknown distribution \"" + r.distribution + "\"");
    if (r.method != "HV" && r.method != "LV")
        return fault(error, file, lineNo, "unknown method \"" + r.method + "\" (HV or LV)");
    r.hv = r.method == "HV";
    if (!whole("config", 1, 1000000000L, config)) return fault(error, file, lineNo, "\"config\" must be a budget label");
    if (!whole("group", 1, r.datasetType == 4 ? 60 : 48, group))
        return fault(error, file, lineNo, "\"group\" must be a parameter group of " + r.dataset);
    if (!whole("instance", 1, 10, instance)) return fault(error, file, lineNo, "\"instance\" must be 1..10");
    if (!whole("stream_seed", 0, 4294967295L, seed)) seed = 0;
    r.config = static_cast<int>(config);
    r.group = static_cast<int>(group);
    r.instance = static_cast<int>(instance);
    r.streamSeed = static_cast<uint32_t>(seed);

    r.list.clear();
    r.arcs.clear();
    if (!j.contains("list") || !j["list"].is_array())
        return fault(error, file, lineNo, "\"list\" must be an array of activity numbers");
    for (const json& a : j["list"]) {
        if (!a.is_number_integer()) return fault(error, file, lineNo, "\"list\" holds " + a.dump() + ", not an activity number");
        r.list.push_back(a.get<int>());
    }
    if (!j.contains("arcs") || !j["arcs"].is_array())
        return fault(error, file, lineNo, "\"arcs\" must be an array of [from, to, type]");
    for (const json& arc : j["arcs"]) {
        bool ok = arc.is_array() && arc.size() == 3;
        for (std::size_t k = 0; ok && k < 3; ++k) ok = arc[k].is_number_integer();
        if (!ok) return fault(error, file, lineNo, "arc " + arc.dump() + " is not [from, to, type]");
        r.arcs.push_back({arc[0].get<int>(), arc[1].get<int>(), arc[2].get<int>()});
    }
    return true;
}

std::string instanceStem(const PolicyRecord& r)
{
    static const char* const stems[] = {"", "j30", "j60", "j90", "j120"};
    return stems[r.datasetType] + std::to_string(r.group) + "_" + std::to_string(r.instance);
}

static std::string arcText(const std::array<int, 3>& arc)
{
    return "[" + std::to_string(arc[0]) + ", " + std::to_string(arc[1]) + ", " + std::to_string(arc[2]) + "]";
}

// The list: every activity once, each after all its predecessors.
static bool checkList(const PolicyRecord& r, const std::string& file, int lineNo, std::string& error)
{
    const int n = actNum;
    const std::string where = instanceStem(r) + " has " + std::to_string(n) + " activities";
    if (static_cast<int>(r.list.size()) != n)
        return fault(error, file, lineNo, "the list holds " + std::to_string(r.list.size()) + " activities; " + where);
    ActSet placed;
    setClear(placed);
    for (int p = 1; p <= n; ++p) {
        const int a = r.list[p - 1];
        if (a < 1 || a > n)
            return fault(error, file, lineNo, "activity " + std::to_string(a) + " at place " + std::to_string(p) +
                                                  " of the list is outside the project; " + where);
        if (setHas(placed, a))
            return fault(error, file, lineNo, "activity " + std::to_string(a) + " stands twice in the list");
        if (!setSubset(predSet[a], placed)) {
            int q = 1;
            while (!setHas(predSet[a], q) || setHas(placed, q)) ++q;
            return fault(error, file, lineNo, "the list is not in precedence order: activity " + std::to_string(a) +
                                                  " at place " + std::to_string(p) + " stands before its predecessor " +
                                                  std::to_string(q));
        }
        setAdd(placed, a);
    }
    return true;
}

// The arcs: within the project, and acyclic together with the precedences. Each arc is tested
// against the arcs before it, so the message names the first one that closes a cycle.
static bool checkArcs(const PolicyRecord& r, const std::string& file, int lineNo, std::string& error)
{
    const int n = actNum;
    // after[a]: the activities that cannot start before a has (started or finished): the project's
    // successors, grown by each accepted arc.
    std::vector<ActSet> after(n + 1);
    for (int a = 1; a <= n; ++a) after[a] = succSet[a];
    for (const std::array<int, 3>& arc : r.arcs) {
        const int from = arc[0], to = arc[1];
        if (from < 1 || from > n || to < 1 || to > n)
            return fault(error, file, lineNo, "arc " + arcText(arc) + " names an activity outside 1.." + std::to_string(n));
        if (arc[2] != 1 && arc[2] != 2)
            return fault(error, file, lineNo, "arc " + arcText(arc) + " has type " + std::to_string(arc[2]) +
                                                  " (1 finish-to-start, 2 start-to-start)");
        if (from == to || setHas(after[to], from))
            return fault(error, file, lineNo, "arc " + arcText(arc) + " closes a cycle");
        // Everything at or before from now comes before everything at or after to.
        ActSet later = after[to];
        setAdd(later, to);
        for (int a = 1; a <= n; ++a)
            if (a == from || setHas(after[a], from)) setUnite(after[a], later);
    }
    return true;
}

bool loadPolicy(const PolicyRecord& r, const std::string& instances, const std::string& file, int lineNo,
                uint8_t* list, std::string& error)
{
    instanceFolder = instances;
    datasetType = r.datasetType;
    paramNum = r.group;
    instNum = r.instance;
    if (!readInstance())
        return fault(error, file, lineNo, "instance " + instanceStem(r) + " cannot be read from " + instances +
                                              " (see the message above)");
    // The starting values the critical-path passes expect (buildSamplePool sets them in a search).
    for (int i = 0; i <= actNum; ++i) {
        earlyStart[i] = -1.0f;
        lateFinish[i] = -1.0f;
        earlyFinish[i] = 0.0f;
        lateStart[i] = 0.0f;
    }
    computeCpmTimes();
    if (!checkList(r, file, lineNo, error) || !checkArcs(r, file, lineNo, error)) return false;
    list[0] = 0;
    for (int p = 1; p <= actNum; ++p) list[p] = static_cast<uint8_t>(r.list[p - 1]);
    std::vector<uint8_t> arcList(3 * (r.arcs.size() + 1));
    for (std::size_t k = 0; k < r.arcs.size(); ++k)
        for (int c = 0; c < 3; ++c) arcList[3 * (k + 1) + c] = static_cast<uint8_t>(r.arcs[k][c]);
    clearExtraArcs();
    applyArcs(arcList.data(), static_cast<int>(r.arcs.size()));
    return true;
}

float runPhase1Policy(const PolicyRecord& r, uint8_t* list, const float* durations)
{
    return r.hv ? executeResourceBasedGiven(list, durations) : executeActivityBasedGiven(list, durations);
}

float runPhase2Policy(uint8_t* list, const float* durations)
{
    return executeWithArcsGiven(list, durations);
}
