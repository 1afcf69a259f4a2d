// The identity of an experiment: what a batch results file or an evaluation file is the result
// of, how that shows in its file name, and the checks that keep two experiments' files apart.
#pragma once

#include <cstdint>
#include <string>

#include "results/policyRecord.h"
#include "results/resultsCsv.h"

// Whether a run's groups are its data set's whole set (a file run always is).
bool wholeSet(const RunIdentity& id);
// What the file name adds for what differs from the defaults: "-gA-B" for groups other than the
// whole set, "-seedN" for a seed other than 1, "-single" for the single stream. Empty for the
// whole set under seed 1, so the files of the default run keep their plain names.
std::string runNameSuffix(const RunIdentity& id);
// The identity in words, for messages: "J30 U1 LV 5000, groups 1-48, seed 1, version ...".
std::string describeRun(const RunIdentity& id);
// Whether two identities name one experiment (everything equal, program version included).
bool sameRun(const RunIdentity& a, const RunIdentity& b);
// Whether a policy record is the one of this row of this run: data set, distribution, method,
// configuration, stream seed, and group and instance (or stem); false with the first difference
// in fault.
bool policyFitsRow(const PolicyRecord& record, const RunIdentity& id, const ResultRow& row, std::string& fault);

// What an evaluation file is the result of: the run its policy file holds, the evaluation
// distribution (with its levels), the number of runs, the seed and the evaluating program.
struct EvalIdentity {
    std::string dataset, distribution, method, config, runSeed, runVersion;
    std::string evalDistribution;     // "U2", or "U2-L1000" with levels
    long runs = 0;
    uint32_t evalSeed = 0;
    std::string version;
};

// The evaluation's part of a file name, after "-eval-<DIST>[-L<L>]": "-runsN" for other than
// 10,000 runs, "-seedS" for a seed other than 1; empty for the defaults.
std::string evalNameSuffix(long runs, uint32_t seed);
std::string describeEval(const EvalIdentity& id);
bool sameEval(const EvalIdentity& a, const EvalIdentity& b);
