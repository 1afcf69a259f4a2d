// The Patterson reader: loads one project in the .rcp layout of RCPLIB into the project tables, with
// the same tables, arcs, closures and checks as the PSPLIB reader.
//
// The file is nothing but whole numbers: "n K", the K capacities, then per activity 1..n its duration,
// K requirements, successor count and successors. Published files wrap long successor lists, so the
// reader goes by tokens alone and line ends mean nothing; the lines are still counted for the
// messages. Because no keyword anchors a row, a count that is wrong shifts every later number: the
// reader therefore insists that nothing but blanks follows the last activity's row.
#include "project/platform.h"
#include "project/reader.h"
#include "project/readerSteps.h"
#include "project/scanner.h"
#include "project/state.h"

// Smallest project: the dummy start, one real activity and the dummy end.
constexpr int minPattersonAct = 3;

static bool readCounts()
{
    long n, k;
    describe("the activity count");
    if (!readNumber(false, numberCeiling, n)) return false;
    if (n > maxAct)
        return reject(tokenLineNo(), "the project has %ld activities (dummies included), above the limit of %d", n,
                      maxAct);
    if (n < minPattersonAct)
        return reject(tokenLineNo(), "the project has %ld activities (dummies included), below the %d of a dummy "
                      "start, one activity and a dummy end", n, minPattersonAct);
    actNum = static_cast<uint8_t>(n);
    clearProjectRows(actNum);
    describe("the resource count");
    if (!readNumber(false, numberCeiling, k)) return false;
    if (k > maxRes) return reject(tokenLineNo(), "the project has %ld resources, above the limit of %d", k, maxRes);
    resNum = static_cast<uint8_t>(k);
    return true;
}

static bool readCapacities()
{
    for (int r = 1; r <= resNum; ++r) {
        long c;
        describe("the capacity of resource %d", r);
        if (!readNumber(false, maxAmount, c)) return false;
        resCap[r] = static_cast<uint8_t>(c);
    }
    return true;
}

// Rows come in ascending activity number, so the predecessor lists grow in ascending order, as with
// the PSPLIB reader.
static bool readActivities()
{
    for (int i = 1; i <= actNum; ++i)
        if (!readDurationAndRequirements(i, false) || !readSuccessors(i, false)) return false;
    return true;
}

static bool checkNothingFollows()
{
    if (!nextToken(false)) return true;
    return reject(tokenLineNo(), "\"%s\" follows the row of the last activity %d (do the counts at the head of "
                  "the file match its rows?)", shownToken(), actNum);
}

bool readPattersonFrom(std::streambuf& text, const char* path)
{
    fillBitMask();
    scanStart(text, path);
    bool ok = readCounts() && readCapacities() && readActivities() && checkNothingFollows();
    if (ok) {
        closeSets();
        ok = checkNetwork() && checkRequirements() && checkDurations();
    }
    if (!ok) waitKey();
    scanEnd();
    return ok;
}
