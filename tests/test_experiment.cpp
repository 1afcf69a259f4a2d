// The identity of an experiment and its locks: which policy line belongs to which row, how two
// evaluations are told apart, one writer per set of files, and the samples file kept apart from
// the files an evaluation reads and writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "results/experimentIdentity.h"
#include "results/experimentLock.h"
#include "evaluate/evalClaims.h"
#include "support/testSupport.h"

namespace {

TEST(experimentIdentity, aPolicyLineFitsOnlyTheRowOfItsOwnRun)
{
    RunIdentity id{"J30", "U1", "LV", "5000", "1", "1-2", "v"};
    ResultRow row;
    row.group = 2;
    row.instance = 3;
    row.streamSeed = 77;
    PolicyRecord r;
    r.dataset = "J30";
    r.distribution = "U1";
    r.method = "LV";
    r.config = 5000;
    r.group = 2;
    r.instance = 3;
    r.inst = 13;
    r.streamSeed = 77;
    std::string fault;
    EXPECT_TRUE(policyFitsRow(r, id, row, fault)) << fault;
    // Each field alone makes the line another run's.
    auto refused = [&](PolicyRecord other, const std::string& key) {
        EXPECT_FALSE(policyFitsRow(other, id, row, fault));
        EXPECT_NE(fault.find(key), std::string::npos) << fault;
    };
    PolicyRecord o = r;
    o.dataset = "J60";
    refused(o, "\"dataset\" is J60, but its results row says J30");
    o = r;
    o.distribution = "U2";
    refused(o, "\"distribution\" is U2");
    o = r;
    o.method = "HV";
    refused(o, "\"method\" is HV");
    o = r;
    o.config = 25000;
    refused(o, "\"config\" is 25000");
    o = r;
    o.streamSeed = 78;
    refused(o, "\"stream_seed\" is 78, but its results row says 77");
    o = r;
    o.instance = 4;
    refused(o, "\"instance\" is 2 4");
    o = r;
    o.stem = "x";
    refused(o, "\"stem\"");
}

TEST(experimentIdentity, describedIdentitiesNameWhatTellsThemApart)
{
    RunIdentity a{"J30", "U1", "LV", "5000", "single", "1-48", "v1"};
    EXPECT_EQ(describeRun(a), "J30 U1 LV 5000, groups 1-48, single stream, version v1");
    RunIdentity b = a;
    EXPECT_TRUE(sameRun(a, b));
    b.version = "v2";
    EXPECT_FALSE(sameRun(a, b));
    b = a;
    b.groups = "1-47";
    EXPECT_FALSE(sameRun(a, b));
    EXPECT_EQ(evalNameSuffix(10000, 1), "");
    EXPECT_EQ(evalNameSuffix(2000, 1), "-runs2000");
    EXPECT_EQ(evalNameSuffix(10000, 0), "-seed0");
    EvalIdentity e{"J30", "U1", "LV", "5000", "1", "v", "U1-L10", 50, 7, "v"};
    EvalIdentity f = e;
    EXPECT_TRUE(sameEval(e, f));
    for (auto change : {+[](EvalIdentity& x) { x.runs = 51; }, +[](EvalIdentity& x) { x.evalSeed = 8; },
                        +[](EvalIdentity& x) { x.evalDistribution = "U1"; }, +[](EvalIdentity& x) { x.runSeed = ""; }}) {
        f = e;
        change(f);
        EXPECT_FALSE(sameEval(e, f)) << describeEval(f);
    }
}

TEST(experimentLock, oneHolderAtATimeAndTheLockFileGoesWithIt)
{
    enterScratchDir();
    ExperimentLock first, second;
    std::string error;
    ASSERT_TRUE(lockExperiment(first, "run", error)) << error;
    EXPECT_FALSE(lockExperiment(second, "run", error));
    EXPECT_NE(error.find("another tarvo process (pid " + std::to_string(getpid()) + ") is writing the files run.*"),
              std::string::npos)
        << error;
    unlockExperiment(first);
    EXPECT_NE(access("run.lock", F_OK), 0) << "the lock file is removed with the lock";
    EXPECT_TRUE(lockExperiment(second, "run", error)) << error;
    {
        ExperimentLocks held;
        held.held.push_back(second);
    }
    EXPECT_TRUE(lockExperiment(first, "run", error)) << "a set of locks gives them back at its end: " << error;
    unlockExperiment(first);
    EXPECT_FALSE(lockExperiment(first, "no/such/folder/run", error));
    EXPECT_NE(error.find("cannot make the lock file no/such/folder/run.lock"), std::string::npos) << error;
}

TEST(evalClaims, theSamplesFileTakesNothingItDoesNotOwn)
{
    enterScratchDir();
    std::ofstream("in.jsonl") << "x\n";
    SamplesState state;
    std::string error;
    // An input under another spelling of its path is still the input.
    EXPECT_FALSE(checkSamples("./in.jsonl", {"in.jsonl"}, false, false, false, state, error));
    EXPECT_NE(error.find("a file this evaluation reads or writes"), std::string::npos) << error;
    EXPECT_FALSE(checkSamples("out.csv.part", {"out.csv", "out.csv.part"}, false, false, false, state, error))
        << "an output not written yet";
    EXPECT_TRUE(checkSamples("s.jsonl", {"in.jsonl"}, false, false, false, state, error)) << error;
    EXPECT_EQ(state, SamplesState::fresh);
    // Evaluation files complete without samples cannot be given samples afterwards.
    EXPECT_FALSE(checkSamples("s.jsonl", {}, true, true, false, state, error));
    std::ofstream("s.jsonl") << "{}\n";
    EXPECT_FALSE(checkSamples("s.jsonl", {}, false, false, false, state, error)) << "complete, without --resume";
    EXPECT_FALSE(checkSamples("s.jsonl", {}, true, false, false, state, error)) << "another evaluation's";
    EXPECT_TRUE(checkSamples("s.jsonl", {}, true, true, true, state, error)) << error;
    EXPECT_EQ(state, SamplesState::complete);
    std::ofstream("s.jsonl.part") << "{}\n";
    EXPECT_TRUE(checkSamples("s.jsonl", {}, true, false, false, state, error)) << "made final by this evaluation";
    EXPECT_EQ(state, SamplesState::complete);
    std::remove("s.jsonl");
    EXPECT_FALSE(checkSamples("s.jsonl", {}, false, false, false, state, error)) << "a .part without --resume";
    EXPECT_NE(error.find("continue it with --resume"), std::string::npos) << error;
    EXPECT_FALSE(checkSamples(".", {}, false, false, false, state, error));
    EXPECT_NE(error.find("a folder"), std::string::npos) << error;
}

}  // namespace
