// Policy records: one JSON object per line of a .jsonl file, the policy a batch run found for one
// instance. The one reader and the one writer of that format, for resume, merge and evaluation.
//
// A line looks like this (keys always in this order, no spaces):
//   {"dataset":"J30","distribution":"U1","method":"LV","config":5000,"group":1,"instance":1,
//    "inst":1,"stream_seed":1375029675,"list":[1,4,2,...,32],"arcs":[[2,3,2],[3,14,2]]}
// - dataset "J30", "J60", "J90" or "J120"; distribution "U1", "B1", "U2", "B2" or "EXP";
//   method "HV" or "LV" (the Phase 2 method of the pass); config the budget label (5000, 25000);
// - group 1..60 and instance 1..10 name the file j<set><group>_<instance>.sm; inst is
//   (group - 1) * 10 + instance, the number the report prints;
// - stream_seed the state of the random stream the instance was solved from;
// - list the best Phase 1 activity list: every activity 1..n once, 1 first and n last, where n is
//   the data set's size plus the two dummies (32, 62, 92, 122);
// - arcs the extra arcs in force with the list after Phase 2, [from, to, type] with type 1
//   finish-to-start and 2 start-to-start (the chain left by LV, or the best member's arcs of HV).
//
// A file run's line names the file in place of group and instance:
//   {"dataset":"RG30","distribution":"U1","method":"LV","config":5000,"file":"rg30/Pat1.rcp",
//    "stem":"Pat1","inst":1,"stream_seed":...,"list":[...],"arcs":[...]}
// - dataset the run's name; file the path as the run was given it; stem its base name without
//   extension; inst the file's place in the run, 1..N; n any size 3..122.
//
// What the reader checks: the JSON syntax, every key present with its type, the names and ranges
// above, inst agreeing with group and instance, the list a permutation of 1..n with 1 first and n
// last, arcs between activities 1..n with a known type. What it cannot check without the project:
// that the list respects the precedences and that the arcs close no cycle (the caller's duty).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/inputFile.h"

// One extra arc of an exported policy.
struct PolicyArc {
    int from = 0, to = 0, type = 0;
};

// One line of a policy file, read.
struct PolicyRecord {
    std::string dataset, distribution, method;
    int config = 0;
    int group = 0, instance = 0, inst = 0;  // group and instance 0 in a file run's record
    std::string file, stem;               // a file run's record only
    uint32_t streamSeed = 0;
    std::vector<int> list;            // places 1..n; entry 0 unused (0), as an activity list
    std::vector<PolicyArc> arcs;      // in the order of the line
    std::string rule;                 // a record of another method: "AB", "RB" or "RBA"; "" in a batch run's
    int lineNo = 0;                   // line of the file it was read from (readPolicyFile)
};

// A record of another method (the key "rule" marks it) names its own method and the rule its
// list runs under, and needs none of the batch run's keys:
//   {"dataset":"J30","group":1,"instance":1,"method":"mine","rule":"RBA","distribution":"U2",
//    "list":[1,4,2,...,32],"arcs":[[2,3,2]]}
// - method 1..32 letters, digits and _-.+; rule "AB" (activity-based), "RB" (resource-based) or
//   "RBA" (resource-based with the arcs);
// - distribution optional: the one the policy was made for ("" in the record without it);
// - arcs optional (none); arcs under AB or RB are refused, since those rules would ignore them;
// - or "dataset" a run name with "file" and "stem" in place of group and instance, any size n;
// - keys in any order; any key but these and the ignored batch keys config, inst and
//   stream_seed is refused. The record keeps config 0, stream seed 0, inst (group - 1) * 10 +
//   instance (0 with a file).
// docs/policy-format.md and docs/policy-record.schema.json describe both kinds.

// A method label as records of other methods give it: 1..32 letters, digits, '_', '-', '.', '+'.
bool validMethodLabel(const std::string& label);

// Parses one line (without its line feed). On failure returns false and says in fault what is
// wrong, e.g. "\"group\" is 61, not 1..60"; the caller adds file and line. Never throws.
bool parsePolicyLine(const std::string& line, PolicyRecord& record, std::string& fault);

// The line of a record, byte for byte as the batch run writes it (no line feed).
std::string policyLine(const PolicyRecord& record);

// Reads every line of a policy file. A last line without its line feed is, in a .part file, a
// write cut short (killed run, full disk) and is left out; in a complete file it counts. Every
// other line must parse. On failure returns false with error "<path>: line <n>: <fault>", or
// "<path>: <reason>" when it cannot be read (a folder, a device; a pipe unless kind allows it).
bool readPolicyFile(const std::string& path, std::vector<PolicyRecord>& records, std::string& error,
                    InputKind kind = InputKind::regularOnly);

// The same for text already in memory; path only names the file in the error.
bool parsePolicyText(const std::string& text, const std::string& path, std::vector<PolicyRecord>& records,
                     std::string& error);
