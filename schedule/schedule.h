// `tarvo schedule`: the schedule one policy of a policy record produces, under nominal durations or
// one evaluation scenario, with its critical chain, written as CSV or JSON for the pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/policyRecord.h"

// `tarvo schedule ...` (argv[0] is the word "schedule"); returns the exit code (2 for unusable input).
int runSchedule(int argc, char** argv);

// The rule a policy is executed under.
enum class ScheduleRule { activityBased, resourceBased, withArcs };

// The record of group/instance in a policy file; false with the reason (file, line) in error.
bool findPolicyRecord(const std::string& path, int group, int instance, PolicyRecord& record, std::string& error);
// Checks the record against the loaded project: the list a precedence-feasible permutation of
// 1..actNum, the arcs between activities of the project and free of cycles with the precedences.
bool checkPolicy(const PolicyRecord& record, std::string& error);

// Runs list (place 0 = 0) under rule with durations[a], a = 1..actNum, after putting arcs in force
// for withArcs; leaves the schedule in startTime/finishTime and returns the makespan.
float realiseSchedule(uint8_t* list, ScheduleRule rule, const std::vector<PolicyArc>& arcs, const float* durations);

// critical[a], a = 1..actNum, for the schedule just realised: true when a lies on a chain of
// binding links from the start to the end activity (criticalChain.cpp says which links bind).
void markCriticalChain(const uint8_t* list, ScheduleRule rule, bool* critical);
