// `tarvo schedule`: the schedule one policy of a policy record produces, under nominal durations or
// one evaluation scenario, with its critical chain, written as CSV or JSON for the pictures.
#pragma once

#include <cstdint>
#include <string>

#include "results/policyRecord.h"

// `tarvo schedule ...` (argv[0] is the word "schedule"); returns the exit code (2 for unusable input).
int runSchedule(int argc, char** argv);

// The rule a policy is executed under.
enum class ScheduleRule { activityBased, resourceBased, withArcs };

// The record of group/instance in a policy file; false with the reason (file, line) in error.
bool findPolicyRecord(const std::string& path, int group, int instance, PolicyRecord& record, std::string& error);
// The record a file run's policy file holds for name: the record of that stem, else, when name is
// a whole number k, the record of the run's k-th file; false with the reason in error.
bool findFileRunRecord(const std::string& path, const std::string& name, PolicyRecord& record, std::string& error);

// critical[a], a = 1..actNum, for the schedule the engine has just run (startTime, finishTime;
// with rule withArcs also extraFinPred and extraStartPred): true when a lies on a chain of binding
// links from the start to the end activity (criticalChain.cpp says which links bind).
void markCriticalChain(const uint8_t* list, ScheduleRule rule, bool* critical);
