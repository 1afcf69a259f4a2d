// The interactive program's experiment loop: one pass per chosen distribution over every
// parameter group and instance, its report file, the console progress and the final key press.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/exitCodes.h"
#include "driver/driver.h"
#include "project/platform.h"
#include "project/state.h"
#include "solve/solve.h"

// Solves every instance of the chosen data set for distribution distNum. Returns false when the
// pass was cut short (a failed read) or could not write its report.
static bool runPass(int groups)
{
    startPass();

    reportPath = composeReportPath(makeTimestamp());
    errno = 0;
    report.open(reportPath, std::ios::out | std::ios::trunc);
    if (!report.is_open()) {
        // Hours of results must not be computed into a file that does not exist: skip the pass.
        std::printf("Cannot write the report file %s: %s. The %s pass is skipped.\n", reportPath.c_str(),
                    errno ? std::strerror(errno) : "open failed", distName[distNum]);
        return false;
    }
    report << "Inst\tPh1.makespan\tPh2.makespan\tBestGap%\tCPU(seconds)" << std::endl;
    std::cout << distName[distNum] << std::endl;
    cpuTimeSum = 0;

    bool complete = true;
    for (paramNum = 1; paramNum <= groups; ++paramNum) {
        for (instNum = 1; instNum <= 10; ++instNum) {
            if (!solveInstance()) {
                complete = false;
                break;
            }
            writeInstanceLine();
        }
        if (!complete) break;
        // The percent sign leads; the carriage return lets the next group overwrite the line.
        std::cout.precision(3);
        std::cout << "%" << static_cast<float>(paramNum * 100) / static_cast<float>(groups) << "        ";
        std::cout.flush();
        std::cout << "\r";
    }

    writeSummary();
    bool written = report.good();
    report.close();
    if (!written) std::printf("Writing the report file %s failed: %s.\n", reportPath.c_str(), std::strerror(errno));
    std::printf("Done!\n");
    return complete && written;
}

int runExperiment(int groups)
{
    int code = exitClean;
    for (distNum = firstDist; distNum <= lastDist; ++distNum)
        if (!runPass(groups)) code = exitIncomplete;
    return code;
}

int runInteractive()
{
    makeDirectory("Reports");
    int groups = runMenus();
    if (groups == 0) return exitNoAnswer;
    int code = runExperiment(groups);
    std::printf("\nPress any key to exit...\n");
    waitKey();
    return code;
}
