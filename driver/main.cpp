// Program entry of tarvo: the reports folder, the three questions, one pass per chosen
// distribution, then a key press to end. The exit code tells a clean run from a cut-short one.
#include <cstdio>

#include "driver/driver.h"
#include "project/platform.h"

int main()
{
    makeDirectory("Reports");
    int groups = runMenus();
    if (groups == 0) return exitNoAnswer;
    int code = runExperiment(groups);
    std::printf("\nPress any key to exit...\n");
    waitKey();
    return code;
}
