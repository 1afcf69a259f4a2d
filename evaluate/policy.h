// Policies exported by batch runs: one JSON Lines record read and checked against its instance,
// and installed the way the engine reads a policy (an activity list and the extra arc sets).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One record of a batch run's .jsonl file, as written there: the search's identity and the
// policy found (the best Phase 1 list, and the arcs in force with it after Phase 2).
struct PolicyRecord {
    std::string dataset, distribution, method;   // "J30", "U2", "HV"
    int config = 0;                               // budget label: 5000 or 25000
    int group = 0, instance = 0;
    uint32_t streamSeed = 0;
    std::vector<int> list;                        // places 1..n, as in the file
    std::vector<std::array<int, 3>> arcs;         // [from, to, type], type 1 finish-to-start, 2 start-to-start
    // Derived from the labels: data set 1..4, distribution 1..5, and whether Phase 1 ran the
    // resource-based policy (HV) or the activity-based one (LV).
    int datasetType = 0, distNum = 0;
    bool hv = false;
};

// Parses line lineNo of file: JSON with the keys above, known labels, group and instance in
// range. On failure error reads "<file>, line <n>: <what is wrong>".
bool parsePolicyRecord(const std::string& line, const std::string& file, int lineNo, PolicyRecord& record,
                       std::string& error);

// Reads the record's instance from the folder instances (readInstance: the project tables),
// computes its critical-path times (earlyFinish[actNum] is the lower bound), and checks the
// policy against it: the list a permutation of 1..actNum in precedence order, every arc between
// two distinct activities of the project, of type 1 or 2, and closing no cycle with the
// project's precedences and the arcs before it. Then copies the list into list[0..actNum]
// (list[0] = 0) and puts exactly the record's arcs into extraFinPred and extraStartPred (through
// applyArcs). On failure error names the file, the line and the fault, and nothing is installed.
bool loadPolicy(const PolicyRecord& record, const std::string& instances, const std::string& file, int lineNo,
                uint8_t* list, std::string& error);

// The makespan of one run of the record's Phase 1 policy (activity-based for LV, resource-based
// for HV) or of its Phase 2 policy (the list with the arcs, resource-based with arcs), on the
// durations given per activity; the same engine code as the search.
float runPhase1Policy(const PolicyRecord& record, uint8_t* list, const float* durations);
float runPhase2Policy(uint8_t* list, const float* durations);

// Instance file stem of the record, e.g. j3017_3.
std::string instanceStem(const PolicyRecord& record);
