// Program entry of tarvo: the table of commands. Without arguments the interactive program runs;
// with arguments the first word names the command (flags alone are a batch run).
#include <csignal>
#include <cstdio>
#include <cstring>

#include "batch/batch.h"
#include "cli/exitCodes.h"
#include "cli/standardOutput.h"
#include "compare/compare.h"
#include "driver/driver.h"
#include "evaluate/evaluate.h"
#include "schedule/schedule.h"
#include "summarize/summarize.h"

// A command gets the arguments from its own word on: argv[0] is the word (run, merge, ...).
struct Command {
    const char* word;
    int (*run)(int argc, char** argv);
};

static const Command commands[] = {
    {"run", runBatchCommand},
    {"merge", runMerge},
    {"evaluate", runEvaluate},
    {"summarize", runSummarize},
    {"schedule", runSchedule},
    {"compare", runCompare},
};

int main(int argc, char** argv)
{
    if (argc == 1) return runInteractive();
    // Beyond a file-size limit a command's write then fails with EFBIG and is reported with its
    // file, like a full disk, instead of the signal killing the process amid its files.
    std::signal(SIGXFSZ, SIG_IGN);
    // Flags without a command word are a batch run, as before there were commands; the batch
    // parser skips argv[0] (here the program) as it skips the word run.
    if (argv[1][0] == '-') return outputChecked(runBatchCommand(argc, argv));
    for (const Command& command : commands)
        if (std::strcmp(argv[1], command.word) == 0) return outputChecked(command.run(argc - 1, argv + 1));
    std::fprintf(stderr, "tarvo: unknown command \"%s\"; the commands are:", argv[1]);
    for (const Command& command : commands) std::fprintf(stderr, " %s", command.word);
    std::fprintf(stderr, " (or no arguments for the menus; see --help)\n");
    return exitUsage;
}
