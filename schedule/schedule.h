// `tarvo schedule`: the schedule one policy of a policy record produces, under nominal durations or
// one evaluation scenario, with its critical chain, written as CSV or JSON for the pictures.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// `tarvo schedule ...` (argv[1] is "schedule"); returns the exit code (2 for unusable input).
int runSchedule(int argc, char** argv);

// The rule a policy is executed under.
enum class ScheduleRule { activityBased, resourceBased, withArcs };

// A policy as a JSON Lines record of a batch run holds it.
struct PolicyRecord {
    std::string dataset, distribution, method;
    int group = 0, instance = 0;
    std::vector<int> list;                    // the activity list, place 1 first
    std::vector<std::array<int, 3>> arcs;     // (from, to, type): 1 finish-to-start, 2 start-to-start
};

// The record of group/instance in a JSON Lines policy file; false with the reason in error.
bool findPolicyRecord(const std::string& path, int group, int instance, PolicyRecord& record, std::string& error);
// Checks the record against the loaded project: the list a precedence-feasible permutation of
// 1..actNum, the arcs between activities of the project and free of cycles with the precedences.
bool checkPolicy(const PolicyRecord& record, std::string& error);

// Runs list (place 0 = 0) under rule with durations[a], a = 1..actNum, after putting arcs in force
// for withArcs; leaves the schedule in startTime/finishTime and returns the makespan.
float realiseSchedule(uint8_t* list, ScheduleRule rule, const std::vector<std::array<int, 3>>& arcs,
                      const float* durations);

// critical[a], a = 1..actNum, for the schedule just realised: true when a lies on a chain of
// binding links from the start to the end activity (criticalChain.cpp says which links bind).
void markCriticalChain(const uint8_t* list, ScheduleRule rule, bool* critical);
