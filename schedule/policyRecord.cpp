// Policy records for `tarvo schedule`: finding one instance's record in a JSON Lines policy file
// and checking it against the loaded project before any engine runs it.
#include <fstream>

#include <nlohmann/json.hpp>

#include "project/state.h"
#include "schedule/schedule.h"

using nlohmann::json;

// A whole number of a record, or false when the key is missing or holds anything else.
static bool wholeNumber(const json& record, const char* key, int& value)
{
    auto it = record.find(key);
    if (it == record.end() || !it->is_number_integer()) return false;
    value = it->get<int>();
    return true;
}

static bool readRecord(const json& record, PolicyRecord& out, std::string& error)
{
    for (const char* key : {"dataset", "distribution", "method"}) {
        if (!record.contains(key) || !record[key].is_string()) {
            error = std::string("key \"") + key + "\" missing or not a string";
            return false;
        }
    }
    out.dataset = record["dataset"];
    out.distribution = record["distribution"];
    out.method = record["method"];
    if (!record.contains("list") || !record["list"].is_array()) {
        error = "key \"list\" missing or not an array";
        return false;
    }
    out.list.clear();
    for (const json& a : record["list"]) {
        if (!a.is_number_integer()) {
            error = "\"list\" holds " + a.dump() + ", not an activity number";
            return false;
        }
        out.list.push_back(a.get<int>());
    }
    out.arcs.clear();
    if (record.contains("arcs")) {
        if (!record["arcs"].is_array()) {
            error = "\"arcs\" is not an array";
            return false;
        }
        for (const json& arc : record["arcs"]) {
            if (!arc.is_array() || arc.size() != 3 || !arc[0].is_number_integer() || !arc[1].is_number_integer() ||
                !arc[2].is_number_integer()) {
                error = "arc " + arc.dump() + " is not [from, to, type]";
                return false;
            }
            out.arcs.push_back({arc[0].get<int>(), arc[1].get<int>(), arc[2].get<int>()});
        }
    }
    return true;
}

bool findPolicyRecord(const std::string& path, int group, int instance, PolicyRecord& record, std::string& error)
{
    std::ifstream file(path);
    if (!file) {
        error = path + ": cannot be read";
        return false;
    }
    std::string text;
    for (int line = 1; std::getline(file, text); ++line) {
        if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
        json parsed = json::parse(text, nullptr, false);
        std::string where = path + " line " + std::to_string(line) + ": ";
        int g = 0, i = 0;
        if (parsed.is_discarded() || !parsed.is_object()) {
            error = where + "not a JSON object";
            return false;
        }
        if (!wholeNumber(parsed, "group", g) || !wholeNumber(parsed, "instance", i)) {
            error = where + "\"group\" or \"instance\" missing or not a whole number";
            return false;
        }
        if (g != group || i != instance) continue;
        record.group = g;
        record.instance = i;
        if (!readRecord(parsed, record, error)) {
            error = where + error;
            return false;
        }
        return true;
    }
    error = path + ": no record of group " + std::to_string(group) + " instance " + std::to_string(instance);
    return false;
}

bool checkPolicy(const PolicyRecord& record, std::string& error)
{
    int n = actNum;
    if (static_cast<int>(record.list.size()) != n) {
        error = "the list has " + std::to_string(record.list.size()) + " activities, the project " + std::to_string(n);
        return false;
    }
    ActSet placed = {};
    for (size_t p = 0; p < record.list.size(); ++p) {
        int a = record.list[p];
        std::string where = "list place " + std::to_string(p + 1) + ": activity " + std::to_string(a);
        if (a < 1 || a > n || setHas(placed, a)) {
            error = where + (a < 1 || a > n ? " is outside the project" : " appears twice");
            return false;
        }
        if (!setSubset(predSet[a], placed)) {
            error = where + " stands before one of its predecessors";
            return false;
        }
        setAdd(placed, a);
    }
    // Arcs plus precedences must leave an order in which every activity can start (Kahn's
    // algorithm); a cycle, even of start-to-start arcs, would stop the engine.
    int waiting[actDim] = {};
    for (int a = 1; a <= n; ++a) waiting[a] = predNum[a];
    for (const auto& arc : record.arcs) {
        std::string name = "arc [" + std::to_string(arc[0]) + ", " + std::to_string(arc[1]) + ", " +
                           std::to_string(arc[2]) + "]";
        if (arc[0] < 1 || arc[0] > n || arc[1] < 1 || arc[1] > n || arc[0] == arc[1]) {
            error = name + " does not join two activities of the project";
            return false;
        }
        if (arc[2] != 1 && arc[2] != 2) {
            error = name + ": type is neither 1 (finish-to-start) nor 2 (start-to-start)";
            return false;
        }
        ++waiting[arc[1]];
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
        for (const auto& arc : record.arcs)
            if (arc[0] == a) release(arc[1]);
    }
    if (done < n) {
        error = "the arcs close a cycle with each other or with the precedences";
        return false;
    }
    return true;
}
