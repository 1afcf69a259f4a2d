// The policy `tarvo schedule` shows: one instance's record of a policy file, found, and checked
// against the loaded project before any engine runs it.
#include "project/state.h"
#include "schedule/schedule.h"

bool findPolicyRecord(const std::string& path, int group, int instance, PolicyRecord& record, std::string& error)
{
    std::vector<PolicyRecord> records;
    if (!readPolicyFile(path, records, error)) return false;
    for (const PolicyRecord& r : records) {
        if (r.group == group && r.instance == instance) {
            record = r;
            return true;
        }
    }
    error = path + ": no record of group " + std::to_string(group) + " instance " + std::to_string(instance);
    return false;
}

bool checkPolicy(const PolicyRecord& record, std::string& error)
{
    // The policy file's reader has checked the list as a permutation and the arcs' ends and types
    // against the data set's size; here they meet the project itself.
    int n = actNum;
    if (static_cast<int>(record.list.size()) != n + 1) {
        error = "the list has " + std::to_string(record.list.size() - 1) + " activities, the project " +
                std::to_string(n);
        return false;
    }
    ActSet placed = {};
    for (int p = 1; p <= n; ++p) {
        int a = record.list[p];
        if (a < 1 || a > n || setHas(placed, a) || !setSubset(predSet[a], placed)) {
            error = "list place " + std::to_string(p) + ": activity " + std::to_string(a) +
                    (a < 1 || a > n      ? " is outside the project"
                     : setHas(placed, a) ? " appears twice"
                                         : " stands before one of its predecessors");
            return false;
        }
        setAdd(placed, a);
    }
    // Arcs plus precedences must leave an order in which every activity can start (Kahn's
    // algorithm); a cycle, even of start-to-start arcs, would stop the engine.
    int waiting[actDim] = {};
    for (int a = 1; a <= n; ++a) waiting[a] = predNum[a];
    for (const PolicyArc& arc : record.arcs) {
        if (arc.from < 1 || arc.from > n || arc.to < 1 || arc.to > n || arc.from == arc.to) {
            error = "arc [" + std::to_string(arc.from) + ", " + std::to_string(arc.to) + ", " +
                    std::to_string(arc.type) + "] does not join two activities of the project";
            return false;
        }
        ++waiting[arc.to];
    }
    uint8_t ready[actDim];
    int readyNum = 0, done = 0;
    for (int a = 1; a <= n; ++a)
        if (waiting[a] == 0) ready[readyNum++] = static_cast<uint8_t>(a);
    while (readyNum > 0) {
        int a = ready[--readyNum];
        ++done;
        auto release = [&](int s) {
            if (--waiting[s] == 0) ready[readyNum++] = static_cast<uint8_t>(s);
        };
        for (int k = 1; k <= succNum[a]; ++k) release(succList[a][k]);
        for (const PolicyArc& arc : record.arcs)
            if (arc.from == a) release(arc.to);
    }
    if (done < n) {
        error = "the arcs close a cycle with each other or with the precedences";
        return false;
    }
    return true;
}
