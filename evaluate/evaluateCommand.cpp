// `tarvo evaluate`: the entry, which reads as the command runs (flags, plan, resume, run, finish),
// and the messages and orderings its parts share.
#include <cstdio>

#include "cli/exitCodes.h"
#include "cli/flagStyle.h"
#include "evaluate/evaluate.h"
#include "evaluate/evaluation.h"
#include "project/platform.h"
#include "solve/solve.h"

namespace evaluation {

bool refuse(const std::string& what) { return ::refuse("tarvo evaluate", what); }

int failWith(int code, const std::string& what)
{
    refuse(what);
    return code;
}

// The place of a row's instance in its run, for sorting: the report's number for PSPLIB (so group,
// then instance), the file's place for a file run, whose stem then breaks any tie.
std::tuple<int, std::string> placeOf(const Input& in, int group, int instance, const std::string& stem)
{
    if (stem.empty()) return {(group - 1) * 10 + instance, stem};
    auto it = in.instOfStem.find(stem);
    return {it == in.instOfStem.end() ? 0 : it->second, stem};
}

}  // namespace evaluation

int runEvaluate(int argc, char** argv)
{
    using namespace evaluation;
    Evaluation e;
    int code = exitClean;
    if (!parseOptions(argc, argv, e.options, code)) return code;
    setKeyWaits(false);
    fillLabels();
    if ((code = planEvaluation(e)) != exitClean) return code;
    if ((code = resumeEvaluation(e)) != exitClean) return code;
    if ((code = runUnits(e)) != exitClean) return code;
    return finishEvaluation(e);
}
