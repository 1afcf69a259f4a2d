// Policies exported by batch runs, for evaluation: a record of the shared policy-record reader
// checked against its instance and installed the way the engine reads a policy.
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "results/policyRecord.h"

// Data set 1..4, distribution 1..5 and Phase 2 method of a record's labels (the reader has
// checked them); isHV: Phase 1 ran the resource-based policy (HV) rather than the activity-based one.
int datasetOf(const PolicyRecord& record);
int distributionOf(const PolicyRecord& record);
bool isHVRecord(const PolicyRecord& record);
// Instance file stem of the record, e.g. j3017_3; a file run's record gives its own stem.
std::string instanceStem(const PolicyRecord& record);
// Key of the record's scenario stream under distribution dist (1..5) and seed: by data set, group
// and instance for PSPLIB, by stem for a file run (scenarios.h).
uint64_t scenarioKeyOf(const PolicyRecord& record, int dist, uint32_t seed);
// Adds to a JSON line the keys that name its instance, as the policy records do: group and
// instance, or a file run's file and stem (stem not empty).
void putInstanceKeys(nlohmann::ordered_json& line, int group, int instance, const std::string& file,
                     const std::string& stem);

// Reads the record's instance from the folder instances (a file run's record: its file, the path
// as the run was given it, relative to the current folder; readInstance: the project tables),
// computes its critical-path times (earlyFinish[actNum] is the lower bound), and checks the
// policy against the project: the list a permutation of 1..actNum in precedence order, every arc
// between two distinct activities of the project, of type 1 or 2, and closing no cycle with the
// precedences and the arcs before it. Then copies the list into list[0..actNum] (list[0] = 0) and
// puts exactly the record's arcs into extraFinPred and extraStartPred (through applyArcs). On
// failure error reads "<file>: line <record.lineNo>: <fault>" and nothing is installed.
bool loadPolicy(const PolicyRecord& record, const std::string& instances, const std::string& file, uint8_t* list,
                std::string& error);

// The rules a list runs under: activity-based (AB), resource-based (RB), resource-based with the
// extra arcs in force (RBA).
enum class PolicyRule { activityBased, resourceBased, withArcs };
// The makespan of one run of list under rule, on the durations given per activity.
float runUnderRule(PolicyRule rule, uint8_t* list, const float* durations);

// Whether the record is one of another method (it names its rule) rather than a batch run's.
bool isMethodRecord(const PolicyRecord& record);
// The rule of a rule label "AB", "RB" or "RBA" (false for any other text), and the label of a rule.
bool ruleOfLabel(const std::string& label, PolicyRule& rule);
const char* ruleLabel(PolicyRule rule);
// The rule of the record's first (or only) policy: a batch record's Phase 1 (AB for LV, RB for
// HV), a record of another method its own rule.
PolicyRule phase1RuleOf(const PolicyRecord& record);
// The rule of the record's policy as its method reports it: Phase 2's (RBA) for a batch record,
// a record of another method its own rule.
PolicyRule reportedRuleOf(const PolicyRecord& record);

// The makespan of one run of the record's Phase 1 policy (activity-based for LV, resource-based
// for HV) or of its Phase 2 policy (the list with the arcs, resource-based with arcs), on the
// durations given per activity: the engine code of the search.
float runPhase1Policy(const PolicyRecord& record, uint8_t* list, const float* durations);
float runPhase2Policy(uint8_t* list, const float* durations);
