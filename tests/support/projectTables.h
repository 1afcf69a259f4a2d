// Snapshots of the project tables for the reader tests, their comparison, and a writer of the
// loaded project in the Patterson (.rcp) layout.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "project/state.h"

// Everything the reader writes, copied whole (rows above actNum included).
struct Tables {
    uint64_t mask[64];
    uint8_t n, k;
    uint16_t d[actDim];
    uint8_t req[actDim][resDim];
    uint8_t cap[resDim];
    uint8_t sNum[actDim], sList[actDim][actDim], pNum[actDim], pList[actDim][actDim];
    ActSet sSet[actDim], pSet[actDim];
};

Tables snapshot();
// Equal in every byte, stale rows included.
bool sameTables(const Tables& a, const Tables& b);
// The same project: equal within 1..n, 1..K and the list places in use; stale rows do not count.
bool sameProject(const Tables& a, const Tables& b);

// Fills every project table with junk, so that a read that leaves one unwritten shows.
void scrambleProjectTables();

// The loaded project as a Patterson file: "n K", the capacities, one row per activity (duration,
// requirements, successor count, successors in list order).
std::string pattersonText();

// The same tokens with line ends (now and then blank lines or Windows line ends) put in at random
// between them, the way published files wrap their rows.
std::string wrapAtRandom(const std::string& text, std::mt19937& rng);
