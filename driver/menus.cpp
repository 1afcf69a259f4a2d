// The three start-up questions: data set, duration distribution, Phase 2 method.
// Each is asked until a valid number is given; the answers fill the run configuration and labels.
#include <cstdio>
#include <iostream>
#include <string>

#include "driver/driver.h"
#include "project/state.h"
#include "solve/solve.h"

// Outcome of reading one answer.
enum { answerNumber, answerNotNumber, answerEnd };

// Reads one answer. A token that is not a number is reported and its whole line discarded, so the
// question is asked again rather than failing forever; at end of input the run cannot go on.
static int readAnswer(const char* question, int& value)
{
    if (std::cin >> value) return answerNumber;
    if (std::cin.eof()) {
        std::printf("\nNo answer to the %s question: standard input has ended.\n", question);
        return answerEnd;
    }
    std::cin.clear();
    std::string line;
    std::getline(std::cin, line);
    std::printf("invalid: not a number: \"%s\"\n", line.c_str());
    return answerNotNumber;
}

// Asks one question until its answer is a number in [low, high]; false at end of input.
static bool ask(const char* prompt, const char* question, const char* invalid, int low, int high, int& value)
{
    for (;;) {
        std::printf("%s", prompt);
        int got = readAnswer(question, value);
        if (got == answerEnd) return false;
        if (got == answerNotNumber) continue;
        if (value >= low && value <= high) return true;
        std::printf(invalid, value);
    }
}

int runMenus()
{
    fillLabels();
    std::printf("1:J30\t2:J60\t3:J90\t4:J120 \n");
    if (!ask("Enter dataset number : \n", "data set", "invalid: datasetType = %d\n", 1, 4, datasetType))
        return 0;
    int groups = datasetType == 4 ? 60 : 48;
    std::printf("Total number of instances: %d\n\n", groups * 10);

    std::printf("0:All\t1:U1\t2:B1\t3:U2\t4:B2\t5:Exp \n");
    if (!ask("Enter distribution number:\n", "distribution", "invalid: distNum = %d\n", 0, 5, distNum))
        return 0;
    std::cout << std::endl;
    firstDist = distNum == 0 ? 1 : distNum;
    lastDist = distNum == 0 ? 5 : distNum;

    std::printf("0:Default(recomended:-))\t\n1:GRASP+GA_arc_add: High Variability (HV) \n"
                "2:GRASP+greedy_arc_removal: Low Variability (LV)\n");
    if (!ask("Enter Ph.2 optimization type : \n", "Phase 2 type", "invalid: varSetting = %d\n", 0, 2, varSetting))
        return 0;
    std::cout << std::endl;
    std::printf("Solving...\n");
    return groups;
}
