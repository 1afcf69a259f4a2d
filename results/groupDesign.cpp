// The design table of the PSPLIB parameter groups, and the two grid parameters that can be
// measured on a loaded project.
#include "results/groupDesign.h"

#include "project/state.h"

const double ncLevels[ncLevelNum] = {1.5, 1.8, 2.1};
const double rfLevels[rfLevelNum] = {0.25, 0.5, 0.75, 1.0};
static const double rsLevelsSmall[4] = {0.2, 0.5, 0.7, 1.0};
static const double rsLevelsJ120[5] = {0.1, 0.2, 0.3, 0.4, 0.5};

int rsLevelNumOf(int dataset)
{
    if (dataset >= 1 && dataset <= 3) return 4;
    return dataset == 4 ? 5 : 0;
}

int groupNumOf(int dataset) { return ncLevelNum * rfLevelNum * rsLevelNumOf(dataset); }

double rsLevel(int dataset, int r) { return dataset == 4 ? rsLevelsJ120[r] : rsLevelsSmall[r]; }

bool groupDesign(int dataset, int group, double& nc, double& rf, double& rs)
{
    int rsNum = rsLevelNumOf(dataset);
    if (rsNum == 0 || group < 1 || group > groupNumOf(dataset)) return false;
    int place = group - 1;
    nc = ncLevels[place / (rsNum * rfLevelNum)];
    rf = rfLevels[place / rsNum % rfLevelNum];
    rs = rsLevel(dataset, place % rsNum);
    return true;
}

double networkComplexity()
{
    int arcs = 0;
    for (int a = 1; a <= actNum; a++)
        for (int i = 1; i <= succNum[a]; i++) {
            int b = succList[a][i];
            bool redundant = false;
            for (int j = 1; j <= succNum[a] && !redundant; j++)
                redundant = j != i && succList[a][j] != b && setHas(succSet[succList[a][j]], b);
            arcs += !redundant;
        }
    return actNum == 0 ? 0.0 : double(arcs) / actNum;
}

double resourceFactor()
{
    int pairs = 0, positive = 0;
    for (int a = 2; a < actNum; a++)
        for (int k = 1; k <= resNum; k++) {
            pairs++;
            positive += resReq[a][k] > 0;
        }
    return pairs == 0 ? 0.0 : double(positive) / pairs;
}
