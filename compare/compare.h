// `tarvo compare`: policies of several inputs run on the same evaluation scenarios per instance,
// compared with a base by paired statistics. What the parts of the command share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "results/policyRecord.h"
#include "simulation/policy.h"

int runCompare(int argc, char** argv);

namespace comparison {

// Inputs of one comparison at most (the base included): the tables of one pass are fixed.
constexpr int maxPolicies = 16;

struct Options {
    long runs = 10000;
    uint32_t seed = 1;
    std::string by, dist = "searched", policy = "reported", baseline, format = "md", out;
    std::string instances = "Instances";
    int levelsValue = 0;
    int jobs = 1;
    bool quiet = false;
    std::vector<std::string> files;
};

// One policy to run per instance: an input's record (or the LFT list when record is null).
struct Input {
    std::string path, label;
    std::vector<PolicyRecord> records;
    std::vector<PolicyRule> rules;   // per record: the rule its policy runs under
    bool lft = false;                // the reference policy LFT-RB, made per instance
};

// The policies of one instance, one per input in input order.
struct Instance {
    std::string stem;
    int group = 0, instance = 0;
    std::vector<const PolicyRecord*> records;   // null for the LFT input
};

// Results of one instance under one evaluation distribution.
struct InstanceResult {
    double lowerBound = 0, pathBound = 0;
    std::vector<double> mean;               // per input
    std::vector<double> diff, diffStderr;   // per comparison (input k against input 0), k = 1..
};

// Reads and checks the inputs, and lists the instances common to all; the exit code. (compareInputs.cpp)
int planComparison(const Options& o, std::vector<Input>& inputs, std::vector<Instance>& instances,
                   std::vector<int>& dists);
// Runs every instance under dist, in this process or in o.jobs workers. (compareRun.cpp)
bool runInstances(const Options& o, const std::vector<Input>& inputs, const std::vector<Instance>& instances,
                  int dist, std::vector<InstanceResult>& results);
// The summary table of one distribution and the per-instance CSV rows. (compareReport.cpp)
std::string tableHeader(const std::string& format);
std::string tableRows(const Options& o, const std::vector<Input>& inputs, const std::vector<InstanceResult>& results,
                      const std::string& dataset, const std::string& evalLabel, const std::string& level);
std::string tableFooter(const std::string& format);
std::string outHeader();
std::string outRows(const Options& o, const std::vector<Input>& inputs, const std::vector<Instance>& instances,
                    const std::vector<InstanceResult>& results, const std::string& dataset, const std::string& evalLabel);

}  // namespace comparison
