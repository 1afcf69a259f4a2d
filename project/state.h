// The shared state of tarvo: every table the program works on, declared once, with program lifetime.
// Tables indexed by activity run 1..actNum and by resource 1..resNum; entry 0 is unused everywhere
// (0 means "none" in activity and place fields). Rows above actNum keep an earlier project's values
// and are never read. Each banner names the subsystem that writes the tables under it.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "config/config.h"
#include "project/actSet.h"
#include "project/limits.h"

// Size of a table indexed by activity, by resource, and of an arc list (triple k at bytes 3k..3k+2).
constexpr int actDim = maxAct + 1;
constexpr int resDim = maxRes + 1;
constexpr int arcListDim = 3 * (arcPop_max_arc_nr + 1);

// ---- Project tables: written only by the instance reader, read by everybody ----
extern uint64_t bitMask[64];                 // bitMask[b] = 1 << b, b = 0..63
extern uint8_t actNum;                       // activities including the dummy start 1 and end actNum
extern uint8_t resNum;                       // renewable resources, 0..maxRes
extern uint16_t dur[actDim];                 // nominal duration of each activity
extern uint8_t resReq[actDim][resDim];       // [activity][resource] amount needed while running
extern uint8_t resCap[resDim];               // availability per resource; the engines lower and restore it
extern uint8_t succNum[actDim];              // immediate successors per activity
extern uint8_t succList[actDim][actDim];     // successors at places 1..succNum, in file order
extern uint8_t predNum[actDim];              // immediate predecessors per activity
extern uint8_t predList[actDim][actDim];     // predecessors at places 1..predNum, ascending (an arc
                                             // listed twice in the file stands twice in both lists)
extern ActSet succSet[actDim];               // transitive successors (the activity itself excluded)
extern ActSet predSet[actDim];               // transitive predecessors (the activity itself excluded)

// ---- Run configuration: set by the menus and the experiment loop ----
extern int32_t datasetType;                  // 1 J30, 2 J60, 3 J90, 4 J120
extern int32_t distNum;                      // 1 U1, 2 B1, 3 U2, 4 B2, 5 EXP (the current pass)
extern int32_t firstDist, lastDist;          // distributions of the run
extern int32_t varSetting;                   // Phase 2 choice: 0 default, 1 HV, 2 LV
extern bool isHV;                            // current pass uses arc addition (true) or removal
extern int32_t paramNum;                     // parameter group of the current instance, from 1
extern int32_t instNum;                      // instance within the group, 1..10
extern const char* datasetName[5];           // "J30".."J120" at 1..4
extern const char* distName[6];              // "U1","B1","U2","B2","EXP" at 1..5
extern const char* varName[3];               // "HV" at 1, "LV" at 2
extern std::string instanceFolder;           // folder of the instance files: "Instances" unless a batch run names another
extern std::string projectFile;              // when not empty, the one project file readInstance reads (PSPLIB
                                             // or Patterson layout) in place of the data set's file; empty by default

// ---- Results of the current instance and accumulators of the current distribution ----
extern int32_t solvedNum;                    // instances read successfully in this pass
extern double ph1Makespan, ph1Gap, ph1GapSum;
extern double ph2Makespan, bestGap, ph2GapSum;
extern double cpuTime, cpuTimeSum;           // CPU seconds of the instance, of the pass

// ---- Report output: the experiment loop ----
extern std::ofstream report;                 // the open report file of the current pass
extern std::string reportPath;               // its path

// ---- Durations: quantile tables and draw cursors, rebuilt per instance ----
extern float durSpread[actDim];              // half-width s of the uniform rules
extern float samplePool1000[actDim][1001];   // 1000-level quantiles, permuted in place by draws
extern float samplePoolMid[actDim][midLevels + 1];  // midLevels-level quantiles
extern float samplePool10[actDim][11];       // 10-level quantiles
extern int32_t poolCursor1000[actDim];       // next draw place in each table, 1..N+1
extern int32_t poolCursorMid[actDim];
extern int32_t poolCursor10[actDim];

// ---- Critical-path times with nominal durations (whole numbers held as floats) ----
extern float earlyStart[actDim];
extern float earlyFinish[actDim];            // earlyFinish[actNum] is the lower bound of every gap
extern float lateStart[actDim];
extern float lateFinish[actDim];

// ---- Execution engine: the schedule of the last run, and the extra arcs it obeys ----
extern float simTime;                        // time of the last decision point
extern float startTime[actDim];              // -1 = not started
extern float finishTime[actDim];             // finishTime[actNum] is the makespan
extern ActSet extraFinPred[actDim];          // f in extraFinPred[t]: t starts after f finishes
extern ActSet extraStartPred[actDim];        // f in extraStartPred[t]: t starts after f starts
// (The tables the engine and the justification keep from run to run are private to engine.cpp
// and justifyList.cpp.)

// ---- Phase 1: construction counter, elite pool, best list, justification profile ----
extern int32_t ph1Iter;                      // constructions done in this Phase 1
extern int32_t popSize;                      // elite pool size in Phase 1, population size in HV
extern uint8_t elitePool[maxElite + 1][actDim];  // elite lists at slots 1..popSize
extern float eliteVal[maxPop + 1];           // value per elite slot or HV member, 1..popSize
extern uint8_t eliteOrder[maxPop + 1];       // slots sorted by eliteVal, places 1..popSize
extern uint8_t* bestList;                    // the best elite list, handed to Phase 2
extern uint64_t resProfile[max_time + 1];    // justification: free capacity per time unit 0..max_time,
                                             // resource r in 16-bit lane r - 1 (all four tested at once)

// ---- Phase 2, HV: candidate arc network ----
extern int32_t candNum;                      // candidates kept, at most maxCand
extern uint8_t candArcs[3 * (maxCand + 1)];  // candidate triples 1..candNum, largest gain first
extern uint8_t candGain[maxCand + 1];
extern float candProb[maxCand + 1];          // selection probability, proportional to the gain
extern int32_t candFound;                    // improving arcs found before the cut
extern uint8_t foundGain[nt_total_arcs_nr + 1];  // gains in order of discovery

// ---- Phase 2, HV: population of the arc-adding genetic algorithm ----
extern uint8_t popArcs[maxPop + 1][arcListDim];  // arcs of member m
extern uint8_t popArcNum[maxPop + 1];
extern uint8_t offArcs[maxPop + 1][arcListDim];  // arcs of child h
extern uint8_t offArcNum[maxPop + 1];
extern float offFit[maxPop + 1];
extern uint8_t offOrder[maxPop + 1];         // children sorted by offFit, places 1..popSize
extern uint8_t gaPairNum;                    // crossover pairs per generation
