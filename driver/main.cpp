// Program entry of tarvo. Without arguments: the reports folder, the three questions, one pass per
// chosen distribution, then a key press. With flags: the batch run; `tarvo merge` combines shards,
// `tarvo evaluate` simulates exported policies afresh, `tarvo summarize` condenses results files.
#include <cstdio>
#include <cstring>

#include "driver/batch.h"
#include "driver/driver.h"
#include "evaluate/evaluate.h"
#include "evaluate/summarize.h"
#include "project/platform.h"

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "merge") == 0) return runMerge(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "evaluate") == 0) return runEvaluate(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "summarize") == 0) return runSummarize(argc, argv);
    if (argc > 1) {
        BatchOptions options;
        int code = exitClean;
        if (!parseBatchOptions(argc, argv, options, code)) return code;
        return options.jobs > 1 ? runJobs(options, argc, argv) : runBatch(options);
    }
    makeDirectory("Reports");
    int groups = runMenus();
    if (groups == 0) return exitNoAnswer;
    int code = runExperiment(groups);
    std::printf("\nPress any key to exit...\n");
    waitKey();
    return code;
}
