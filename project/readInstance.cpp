// The instance reader: loads one PSPLIB single-mode file into the project tables and derives the
// predecessor lists and the transitive successor/predecessor sets.
//
// The file is a stream of blank-separated tokens anchored by five whole-token keywords. A valid file
// loads exactly as the format is defined; anything else (a file that ends early, a token that is not
// a non-negative whole number, a value too large for its table, an arc that leaves the project or
// would break the network structure every later pass relies on) is rejected with a message naming
// the file, the line and the token, before anything out of range reaches a table. The rows of the
// precedence and requests tables must each stand on one line, so that a row with a wrong count
// cannot silently shift every later number of the table.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>

#include "project/inputFile.h"
#include "project/platform.h"
#include "project/reader.h"
#include "project/readerSteps.h"
#include "project/scanner.h"
#include "project/state.h"

// ---------------------------------------------------------------------------------------------
// The steps of one read
// ---------------------------------------------------------------------------------------------

// After the last number of a row only blanks may follow on its line. act 0: the availabilities.
static bool endOfRow(int act)
{
    if (!nextToken(true)) return true;
    if (act == 0) return reject(tokenLineNo(), "\"%s\" follows the last availability", shownToken());
    return reject(tokenLineNo(), "\"%s\" follows the last number of the row of activity %d", shownToken(), act);
}

static bool readJobCount()
{
    if (!skipTo("):")) return false;
    long n;
    describe("the job count");
    if (!readNumber(false, numberCeiling, n)) return false;
    if (n > maxAct) {
        std::cout << "number of jobs out of limit!\t\tn == " << n << "\t\tlimit == " << maxAct << std::endl;
        return false;
    }
    // Every pass after the reader needs a dummy start and a distinct dummy end.
    if (n < 2) return reject(tokenLineNo(), "the job count %ld is below 2 (the dummy start and end)", n);
    actNum = static_cast<uint8_t>(n);
    clearProjectRows(actNum);
    return true;
}

static bool readResourceCount()
{
    if (!skipTo("renewable")) return false;
    // The colon behind the keyword, not examined.
    if (!nextToken(false)) return reject(scanLineNo(), "the file ends after the keyword \"renewable\"");
    long k;
    describe("the number of renewable resources");
    if (!readNumber(false, numberCeiling, k)) return false;
    if (k > maxRes) {
        std::cout << "number of resources out of limit!\t\tk == " << k << "\t\tlimit == " << maxRes << std::endl;
        return false;
    }
    resNum = static_cast<uint8_t>(k);
    return true;
}

// One row per activity: job number and mode count (both unused), the successor count, the
// successors, all on one line.
static bool readPrecedences()
{
    if (!skipTo("successors")) return false;
    int n = actNum;
    for (int i = 1; i <= n; ++i) {
        long job, modes;
        describe("the job number of activity %d", i);
        if (!readNumber(false, numberCeiling, job)) return false;
        describe("the mode count of activity %d", i);
        if (!readNumber(true, numberCeiling, modes)) return false;
        if (!readSuccessors(i, true)) return false;
        if (!endOfRow(i)) return false;
    }
    return true;
}

// One row per activity: job number and mode (both unused), duration, one requirement per resource.
static bool readRequests()
{
    if (!skipTo("duration")) return false;
    // The rest of the column titles and the separator line below them.
    discardLine();
    discardLine();
    for (int i = 1; i <= actNum; ++i) {
        long job, mode;
        describe("the job number of activity %d in the requests table", i);
        if (!readNumber(false, numberCeiling, job)) return false;
        describe("the mode of activity %d", i);
        if (!readNumber(true, numberCeiling, mode)) return false;
        if (!readDurationAndRequirements(i, true)) return false;
        if (!endOfRow(i)) return false;
    }
    return true;
}

static bool readAvailabilities()
{
    if (!skipTo("RESOURCEAVAILABILITIES:")) return false;
    // The rest of the keyword's line and the line of resource labels.
    discardLine();
    discardLine();
    for (int r = 1; r <= resNum; ++r) {
        long c;
        describe("the availability of resource %d", r);
        if (!readNumber(r > 1, maxAmount, c)) return false;
        resCap[r] = static_cast<uint8_t>(c);
    }
    return resNum == 0 || endOfRow(0);
}

// ---------------------------------------------------------------------------------------------
// The reader
// ---------------------------------------------------------------------------------------------

const char* instancePath(int group, int inst)
{
    // Any data set other than 1..3 reads from the J120 files, hence at index 0.
    static const char* setName[] = {"j120", "j30", "j60", "j90"};
    static char path[4096];
    std::snprintf(path, sizeof path, "%s/%s%d_%d.sm", instanceFolder.c_str(),
                  setName[datasetType >= 1 && datasetType <= 3 ? datasetType : 0], group, inst);
    return path;
}

bool readInstance()
{
    if (!projectFile.empty()) return readProjectFile(projectFile.c_str());
    const char* path = instancePath(paramNum, instNum);
    // A folder or a pipe at the file's name would crash or block the read: refused by what it is.
    // (A file that is not there keeps the interactive program's own message below.)
    struct stat info;
    std::string fault = stat(path, &info) == 0 ? inputFault(path, InputKind::regularOnly) : "";
    if (!fault.empty()) {
        fillBitMask();
        std::printf("Instance file %s cannot be opened: %s\n", path, fault.c_str());
        waitKey();
        return false;
    }
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) {
        fillBitMask();
        std::printf("Sample file %s not found! \n", path);
        waitKey();
        return false;
    }
    bool ok = readInstanceFrom(*file.rdbuf(), path);
    file.close();
    return ok;
}

bool readInstanceFrom(std::streambuf& text, const char* path)
{
    fillBitMask();
    scanStart(text, path);

    bool ok = readJobCount() && readResourceCount() && readPrecedences();
    if (ok) {
        closeSets();
        ok = checkNetwork() && readRequests() && readAvailabilities() && checkRequirements() && checkDurations();
    }
    if (!ok) waitKey();
    scanEnd();
    return ok;
}
