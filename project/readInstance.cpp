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
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "project/closurePass.h"
#include "project/platform.h"
#include "project/reader.h"
#include "project/state.h"

// ---------------------------------------------------------------------------------------------
// Token scanner over the open file
// ---------------------------------------------------------------------------------------------

// The longest keyword has 23 characters; longer tokens are kept cut and never match anything.
constexpr int tokenDim = 40;
// No number in a valid file comes near this; a longer run of digits is reported, not parsed.
constexpr long numberCeiling = 2147483647L;

static std::streambuf* source;    // the open instance file
static const char* sourcePath;    // its path, for messages
static int lineNo;                // line of the next unread character, from 1
static char token[tokenDim];      // the last token read, NUL-terminated
static bool tokenCut;             // the last token was longer than token[] holds
static int tokenLine;             // line on which the last token starts
static char expected[96];         // what the next number means, for messages

// The blanks of the C locale, so that tabs and the carriage returns of Windows line ends separate
// tokens exactly like spaces.
static bool isBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

static int takeChar()
{
    int c = source->sbumpc();
    if (c == '\n') ++lineNo;
    return c;
}

// Prints "Instance file <path>[, line <n>]: <text>" on its own line. line 0 leaves the line out,
// for faults of the network as a whole.
__attribute__((format(printf, 2, 3))) static bool reject(int line, const char* format, ...)
{
    std::printf("Instance file %s", sourcePath);
    if (line > 0) std::printf(", line %d", line);
    std::printf(": ");
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    return false;
}

// The last token as it may be shown on a console: control bytes as '?', a cut token with "...".
static const char* shownToken()
{
    static char shown[tokenDim + 4];
    int k = 0;
    for (; token[k] != '\0'; ++k) {
        unsigned char c = static_cast<unsigned char>(token[k]);
        shown[k] = c < 0x20 || c >= 0x7f ? '?' : token[k];
    }
    if (tokenCut) {
        std::memcpy(shown + k, "...", 3);
        k += 3;
    }
    shown[k] = '\0';
    return shown;
}

__attribute__((format(printf, 1, 2))) static void describe(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(expected, sizeof expected, format, args);
    va_end(args);
}

// Reads the next token. With withinLine, a line end before the token ends the search: the token
// must stand on the line being read. Returns false when no token was found.
static bool nextToken(bool withinLine)
{
    int c = source->sgetc();
    while (c != EOF && isBlank(c)) {
        if (c == '\n' && withinLine) return false;
        takeChar();
        c = source->sgetc();
    }
    if (c == EOF) return false;
    tokenLine = lineNo;
    tokenCut = false;
    int k = 0;
    // The blank behind the token stays unread: "discard the rest of the line" starts right there.
    while (c != EOF && !isBlank(c)) {
        // A NUL byte would end the token early, and "3<NUL>x" would pass for the number 3.
        if (k < tokenDim - 1)
            token[k++] = c == '\0' ? '?' : static_cast<char>(c);
        else
            tokenCut = true;
        takeChar();
        c = source->sgetc();
    }
    token[k] = '\0';
    return true;
}

// Skips tokens until one equals the keyword as a whole, case-sensitively.
static bool skipTo(const char* keyword)
{
    while (nextToken(false))
        if (!tokenCut && std::strcmp(token, keyword) == 0) return true;
    return reject(0, "the file ends before the keyword \"%s\"", keyword);
}

// Reads up to and including the next line feed; at the end of the file there is nothing to drop,
// and the next number read reports the early end.
static void discardLine()
{
    int c;
    do c = takeChar();
    while (c != EOF && c != '\n');
}

// Reads the number described by expected[]: a whole token of decimal digits, at most maxValue.
// withinLine: the number continues a row and must stand on the same line.
static bool readNumber(bool withinLine, long maxValue, long& value)
{
    if (!nextToken(withinLine)) {
        if (source->sgetc() == EOF) return reject(lineNo, "the file ends where %s should stand", expected);
        return reject(lineNo, "the row ends where %s should stand", expected);
    }
    const char* digits = token[0] == '-' ? token + 1 : token;
    bool allDigits = digits[0] != '\0';
    for (const char* p = digits; *p != '\0' && allDigits; ++p) allDigits = *p >= '0' && *p <= '9';
    if (!allDigits) return reject(tokenLine, "\"%s\" is not a whole number (%s expected)", shownToken(), expected);
    long v = 0;
    for (const char* p = digits; *p != '\0' && v <= numberCeiling; ++p) v = v * 10 + (*p - '0');
    // A cut token has more digits than any number the tables can hold.
    if (tokenCut) v = numberCeiling + 1;
    if (digits != token && v != 0) return reject(tokenLine, "%s is negative (\"%s\")", expected, shownToken());
    if (v > maxValue) return reject(tokenLine, "%s is %s, above the largest value %ld", expected, shownToken(), maxValue);
    value = v;
    return true;
}

// After the last number of a row only blanks may follow on its line. act 0: the availabilities.
static bool endOfRow(int act)
{
    if (!nextToken(true)) return true;
    if (act == 0) return reject(tokenLine, "\"%s\" follows the last availability", shownToken());
    return reject(tokenLine, "\"%s\" follows the last number of the row of activity %d", shownToken(), act);
}

// ---------------------------------------------------------------------------------------------
// The steps of one read
// ---------------------------------------------------------------------------------------------

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
    if (n < 2) return reject(tokenLine, "the job count %ld is below 2 (the dummy start and end)", n);
    actNum = static_cast<uint8_t>(n);
    // Only rows 0..n are cleared; rows above keep an earlier, larger project's values.
    for (int i = 0; i <= actNum; ++i) {
        succNum[i] = 0;
        predNum[i] = 0;
    }
    for (int i = 1; i <= actNum; ++i) {
        setClear(succSet[i]);
        setClear(predSet[i]);
    }
    return true;
}

static bool readResourceCount()
{
    if (!skipTo("renewable")) return false;
    // The colon behind the keyword, not examined.
    if (!nextToken(false)) return reject(lineNo, "the file ends after the keyword \"renewable\"");
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
// successors. Each arc is checked before it is stored: successors within 1..n and not the activity
// itself. An arc listed twice is stored twice, as the file gives it (the format allows it, and every
// later pass holds an activity once however often it stands in a list); only the room of the lists
// bounds how often, so no list is written past its last place.
static bool readPrecedences()
{
    if (!skipTo("successors")) return false;
    int n = actNum;
    for (int i = 1; i <= n; ++i) {
        long job, modes, count;
        describe("the job number of activity %d", i);
        if (!readNumber(false, numberCeiling, job)) return false;
        describe("the mode count of activity %d", i);
        if (!readNumber(true, numberCeiling, modes)) return false;
        describe("the successor count of activity %d", i);
        if (!readNumber(true, numberCeiling, count)) return false;
        if (count > maxAct)
            return reject(tokenLine, "activity %d has %ld successors, more than the %d a list can hold", i, count,
                          maxAct);
        for (int k = 1; k <= count; ++k) {
            long j;
            describe("successor %d of activity %d", k, i);
            if (!readNumber(true, numberCeiling, j)) return false;
            if (j < 1 || j > n) return reject(tokenLine, "successor %ld of activity %d is outside 1 .. %d", j, i, n);
            if (j == i) return reject(tokenLine, "activity %d lists itself as its successor", i);
            if (predNum[j] == maxAct)
                return reject(tokenLine, "activity %ld has more than the %d predecessors a list can hold", j, maxAct);
            setAdd(succSet[i], static_cast<int>(j));
            succList[i][++succNum[i]] = static_cast<uint8_t>(j);
            // Rows come in ascending i, so every predecessor list grows in ascending order.
            setAdd(predSet[j], i);
            predList[j][++predNum[j]] = static_cast<uint8_t>(i);
        }
        if (!endOfRow(i)) return false;
    }
    return true;
}

// Transitive closure by repeated passes until nothing changes. A set grown earlier in a pass is
// used at once by later activities of the same pass. The passes end on any network, since sets
// only grow; a cycle shows afterwards as an activity inside its own set.
static void closeSets()
{
    int n = actNum;
    while (closurePassOverPredecessors(predSet)) {
    }
    bool changed = true;
    while (changed) {
        changed = false;
        for (int i = n; i >= 1; --i)
            for (int p = 1; p <= succNum[i]; ++p) {
                const ActSet& s = succSet[succList[i][p]];
                if (!setSubset(s, succSet[i])) {
                    setUnite(succSet[i], s);
                    changed = true;
                }
            }
    }
}

// The network every later pass assumes: acyclic, activity 1 the only one without predecessors,
// activity n the only one without successors. (In an acyclic network where every other activity
// has a predecessor, activity 1 cannot have one, and likewise for n; so those need no test.)
static bool checkNetwork()
{
    int n = actNum;
    for (int i = 1; i <= n; ++i)
        if (setHas(succSet[i], i)) return reject(0, "the precedence relations form a cycle through activity %d", i);
    for (int i = 2; i <= n; ++i)
        if (predNum[i] == 0) return reject(0, "activity %d has no predecessor (only activity 1 may start the project)", i);
    for (int i = 1; i < n; ++i)
        if (succNum[i] == 0) return reject(0, "activity %d has no successor (only activity %d may end the project)", i, n);
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
        long job, mode, d;
        describe("the job number of activity %d in the requests table", i);
        if (!readNumber(false, numberCeiling, job)) return false;
        describe("the mode of activity %d", i);
        if (!readNumber(true, numberCeiling, mode)) return false;
        describe("the duration of activity %d", i);
        if (!readNumber(true, 65535, d)) return false;
        dur[i] = static_cast<uint16_t>(d);
        for (int r = 1; r <= resNum; ++r) {
            long q;
            describe("the requirement of activity %d for resource %d", i, r);
            if (!readNumber(true, 255, q)) return false;
            resReq[i][r] = static_cast<uint8_t>(q);
        }
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
        if (!readNumber(r > 1, 255, c)) return false;
        resCap[r] = static_cast<uint8_t>(c);
    }
    return resNum == 0 || endOfRow(0);
}

// An activity that needs more of a resource than there is could never start in any schedule.
static bool checkRequirements()
{
    for (int i = 1; i <= actNum; ++i)
        for (int r = 1; r <= resNum; ++r)
            if (resReq[i][r] > resCap[r])
                return reject(0, "activity %d needs %d units of resource %d, which has only %d", i, resReq[i][r], r,
                              resCap[r]);
    return true;
}

// With every duration 0 the lower bound is 0 and no gap above it can be computed.
static bool checkDurations()
{
    for (int i = 1; i <= actNum; ++i)
        if (dur[i] > 0) return true;
    return reject(0, "every activity has duration 0, so the project has no length to compare with");
}

// ---------------------------------------------------------------------------------------------
// The reader
// ---------------------------------------------------------------------------------------------

bool readInstance()
{
    // Any data set other than 1..3 reads from the J120 files, hence at index 0.
    static const char* setName[] = {"j120", "j30", "j60", "j90"};
    static char path[4096];
    if (!projectFile.empty())
        std::snprintf(path, sizeof path, "%s", projectFile.c_str());
    else
    std::snprintf(path, sizeof path, "%s/%s%d_%d.sm", instanceFolder.c_str(),
                  setName[datasetType >= 1 && datasetType <= 3 ? datasetType : 0], paramNum, instNum);
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) {
        bitMask[0] = 1;
        for (int b = 1; b < 64; ++b) bitMask[b] = bitMask[b - 1] << 1;
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
    bitMask[0] = 1;
    for (int b = 1; b < 64; ++b) bitMask[b] = bitMask[b - 1] << 1;
    source = &text;
    sourcePath = path;
    lineNo = 1;

    bool ok = readJobCount() && readResourceCount() && readPrecedences();
    if (ok) {
        closeSets();
        ok = checkNetwork() && readRequests() && readAvailabilities() && checkRequirements() && checkDurations();
    }
    if (!ok) waitKey();
    source = nullptr;
    sourcePath = nullptr;
    return ok;
}
