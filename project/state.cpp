// Definitions of the shared state declared in state.h, in the same order, all zero at start.
// The label tables are the only initialised entries besides zero; the menus fill them again.
#include "project/state.h"

uint64_t bitMask[64];
uint8_t actNum;
uint8_t resNum;
uint16_t dur[actDim];
uint8_t resReq[actDim][resDim];
uint8_t resCap[resDim];
uint8_t succNum[actDim];
uint8_t succList[actDim][actDim];
uint8_t predNum[actDim];
uint8_t predList[actDim][actDim];
ActSet succSet[actDim];
ActSet predSet[actDim];

int32_t datasetType;
int32_t distNum;
int32_t firstDist, lastDist;
int32_t varSetting;
bool isHV;
int32_t paramNum;
int32_t instNum;
const char* datasetName[5];
const char* distName[6];
const char* varName[3];
std::string instanceFolder = "Instances";
std::string projectFile;

int32_t solvedNum;
double ph1Makespan, ph1Gap, ph1GapSum;
double ph2Makespan, bestGap, ph2GapSum;
double cpuTime, cpuTimeSum;

std::ofstream report;
std::string reportPath;

float durSpread[actDim];
float samplePool1000[actDim][1001];
float samplePoolMid[actDim][midLevels + 1];
float samplePool10[actDim][11];
int32_t poolCursor1000[actDim];
int32_t poolCursorMid[actDim];
int32_t poolCursor10[actDim];

float earlyStart[actDim];
float earlyFinish[actDim];
float lateStart[actDim];
float lateFinish[actDim];

float simTime;
float startTime[actDim];
float finishTime[actDim];
ActSet extraFinPred[actDim];
ActSet extraStartPred[actDim];

int32_t ph1Iter;
int32_t popSize;
uint8_t elitePool[maxElite + 1][actDim];
float eliteVal[maxPop + 1];
uint8_t eliteOrder[maxPop + 1];
uint8_t* bestList;
uint64_t resProfile[max_time + 1];

int32_t candNum;
uint8_t candArcs[3 * (maxCand + 1)];
uint8_t candGain[maxCand + 1];
float candProb[maxCand + 1];
int32_t candFound;
uint8_t foundGain[nt_total_arcs_nr + 1];

uint8_t popArcs[maxPop + 1][arcListDim];
uint8_t popArcNum[maxPop + 1];
uint8_t offArcs[maxPop + 1][arcListDim];
uint8_t offArcNum[maxPop + 1];
float offFit[maxPop + 1];
uint8_t offOrder[maxPop + 1];
uint8_t gaPairNum;
