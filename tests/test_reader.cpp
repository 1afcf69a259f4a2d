// Tests of the instance reader: every benchmark file against an independent parse, the limits and
// keywords of the format, partial clearing between projects, and the broken files of tests/corpus.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "solve/solve.h"
#include "project/checkState.h"
#include "project/platform.h"
#include "project/reader.h"
#include "project/state.h"
#include "support/projectTables.h"
#include "support/testSupport.h"

namespace {

// ---- Helpers ----

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Runs readInstance and returns what it printed.
std::string readCapturingOutput(bool& ok)
{
    testing::internal::CaptureStdout();
    ok = readInstance();
    std::fflush(stdout);
    std::cout.flush();
    return testing::internal::GetCapturedStdout();
}

std::string loadTextCapturingOutput(const std::string& text, bool& ok)
{
    testing::internal::CaptureStdout();
    ok = loadInstanceText(text);
    std::fflush(stdout);
    std::cout.flush();
    return testing::internal::GetCapturedStdout();
}

// Writes text as Instances/j301_1.sm of the current folder and reads it; the folder is made by
// the caller once, so that a loop of loads leaves one scratch folder behind, not one per load.
std::string loadHere(const std::string& text, bool& ok)
{
    writeText("Instances/j301_1.sm", text);
    datasetType = 1;
    paramNum = 1;
    instNum = 1;
    return readCapturingOutput(ok);
}

void enterInstanceScratchDir()
{
    enterScratchDir();
    ASSERT_EQ(mkdir("Instances", 0777), 0);
}

// The reader's tables must equal what setProject builds independently for the same project.
void expectLoadedAs(const TestProject& p)
{
    Tables read = snapshot();
    setProject(p);
    EXPECT_TRUE(sameProject(read, snapshot()));
}

// ---- An independent parse of a benchmark file, by section titles and lines ----

struct Parsed {
    int n = 0, k = 0;
    std::vector<int> dur, cap;
    std::vector<std::vector<int>> req, succ;
};

std::vector<int> numbersOf(const std::string& line)
{
    std::istringstream in(line);
    std::vector<int> v;
    int x;
    while (in >> x) v.push_back(x);
    return v;
}

bool parseBenchmark(const std::string& text, Parsed& p)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    std::size_t prec = 0, reqs = 0, avail = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.rfind("jobs (incl. supersource/sink )", 0) == 0) p.n = std::stoi(l.substr(l.find(':') + 1));
        if (l.rfind("  - renewable", 0) == 0) p.k = std::stoi(l.substr(l.find(':') + 1));
        if (l == "PRECEDENCE RELATIONS:") prec = i + 2;
        if (l == "REQUESTS/DURATIONS:") reqs = i + 3;
        if (l == "RESOURCEAVAILABILITIES:") avail = i + 2;
    }
    if (p.n < 2 || prec == 0 || reqs == 0 || avail == 0 || avail >= lines.size()) return false;
    p.succ.assign(p.n + 1, {});
    p.dur.assign(p.n + 1, 0);
    p.req.assign(p.n + 1, std::vector<int>(p.k + 1, 0));
    for (int i = 1; i <= p.n; ++i) {
        std::vector<int> row = numbersOf(lines[prec + i - 1]);
        if (row.size() < 3 || static_cast<int>(row.size()) != 3 + row[2]) return false;
        p.succ[i].assign(row.begin() + 3, row.end());
        row = numbersOf(lines[reqs + i - 1]);
        if (static_cast<int>(row.size()) != 3 + p.k) return false;
        p.dur[i] = row[2];
        for (int r = 1; r <= p.k; ++r) p.req[i][r] = row[2 + r];
    }
    p.cap = numbersOf(lines[avail]);
    p.cap.insert(p.cap.begin(), 0);
    return static_cast<int>(p.cap.size()) == p.k + 1;
}

// Compares the project tables with the parse; returns the first difference, or "" when none.
std::string differences(const Parsed& p)
{
    std::ostringstream why;
    int n = p.n;
    if (actNum != n || resNum != p.k) return "counts differ";
    for (int b = 0; b < 64; ++b)
        if (bitMask[b] != uint64_t{1} << b) return "bitMask differs";
    for (int r = 1; r <= p.k; ++r)
        if (resCap[r] != p.cap[r]) return "availability differs";
    // Reachability by depth-first search from each activity; predecessors in ascending order.
    std::vector<std::vector<char>> reach(n + 1, std::vector<char>(n + 1, 0));
    std::vector<std::vector<int>> preds(n + 1);
    std::vector<int> stack;
    for (int i = 1; i <= n; ++i) {
        for (int j : p.succ[i]) preds[j].push_back(i);
        stack.assign(1, i);
        while (!stack.empty()) {
            int a = stack.back();
            stack.pop_back();
            for (int j : p.succ[a])
                if (!reach[i][j]) {
                    reach[i][j] = 1;
                    stack.push_back(j);
                }
        }
    }
    // Nothing outside 1..n: bit 0 of both words and the bits above n stay clear.
    ActSet within;
    setClear(within);
    for (int a = 1; a <= n; ++a) setAdd(within, a);
    for (int i = 1; i <= n; ++i) {
        if (dur[i] != p.dur[i]) why << "duration of " << i;
        for (int r = 1; r <= p.k; ++r)
            if (resReq[i][r] != p.req[i][r]) why << "requirement of " << i;
        if (succNum[i] != p.succ[i].size()) why << "succNum of " << i;
        for (std::size_t s = 0; s < p.succ[i].size() && s < succNum[i]; ++s)
            if (succList[i][s + 1] != p.succ[i][s]) why << "succList of " << i;
        if (predNum[i] != preds[i].size()) why << "predNum of " << i;
        for (std::size_t s = 0; s < preds[i].size() && s < predNum[i]; ++s)
            if (predList[i][s + 1] != preds[i][s]) why << "predList of " << i;
        for (int j = 1; j <= n; ++j) {
            if (setHas(succSet[i], j) != (reach[i][j] != 0)) why << "succSet of " << i;
            if (setHas(predSet[j], i) != (reach[i][j] != 0)) why << "predSet of " << j;
        }
        if (!setSubset(succSet[i], within) || !setSubset(predSet[i], within))
            why << "set bits outside 1.." << n << " at " << i;
        if (!why.str().empty()) return why.str();
    }
    if (predNum[1] != 0 || succNum[n] != 0) return "dummy start or end has arcs";
    return "";
}

void checkDataset(int dataset, const char* name, int groups)
{
    std::string dir = TARVO_PSPLIB_DIR;
    enterScratchDir();
    ASSERT_EQ(symlink(dir.c_str(), "Instances"), 0);
    int checked = 0, failed = 0;
    for (int g = 1; g <= groups && failed < 5; ++g)
        for (int i = 1; i <= 10 && failed < 5; ++i) {
            std::string file = std::string(name) + std::to_string(g) + "_" + std::to_string(i) + ".sm";
            Parsed p;
            if (!parseBenchmark(readFile(dir + "/" + file), p)) {
                ADD_FAILURE() << "cannot parse " << file << " in the test";
                ++failed;
                continue;
            }
            datasetType = dataset;
            paramNum = g;
            instNum = i;
            if (!readInstance()) {
                ADD_FAILURE() << file << " was rejected";
                ++failed;
                continue;
            }
            std::string why = differences(p);
            if (!why.empty()) {
                ADD_FAILURE() << file << ": " << why;
                ++failed;
            }
            ++checked;
        }
    EXPECT_EQ(checked, groups * 10);
}

// Project of n activities: 1 -> 2..n-1 -> n, resources as given.
TestProject fan(int n)
{
    TestProject p;
    p.dur.assign(n + 1, 1);
    p.dur[1] = p.dur[n] = 0;
    for (int j = 2; j < n; ++j) {
        p.arcs.push_back({1, j});
        p.arcs.push_back({j, n});
    }
    return p;
}

// Four activities in a diamond: arcs 1->3 listed before 1->2, two resources.
TestProject diamond()
{
    TestProject p;
    p.dur = {0, 0, 3, 5, 0};
    p.arcs = {{1, 3}, {1, 2}, {2, 4}, {3, 4}};
    p.cap = {0, 6, 2};
    p.req = {{}, {0, 0, 0}, {0, 4, 1}, {0, 6, 2}, {0, 0, 0}};
    return p;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to)
{
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

}  // namespace

// ---- Every benchmark file ----

TEST(reader, loadsEveryJ30FileLikeAnIndependentParse) { checkDataset(1, "j30", 48); }
TEST(reader, loadsEveryJ60FileLikeAnIndependentParse) { checkDataset(2, "j60", 48); }
TEST(reader, loadsEveryJ90FileLikeAnIndependentParse) { checkDataset(3, "j90", 48); }
TEST(reader, loadsEveryJ120FileLikeAnIndependentParse) { checkDataset(4, "j120", 60); }

// ---- The format and its limits ----

TEST(reader, keepsFileOrderForSuccessorsAndAscendingOrderForPredecessors)
{
    bool ok;
    std::string out = loadTextCapturingOutput(psplibText(diamond()), ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(out, "");
    EXPECT_EQ(succNum[1], 2);
    EXPECT_EQ(succList[1][1], 3);
    EXPECT_EQ(succList[1][2], 2);
    EXPECT_EQ(predNum[1], 0);
    EXPECT_EQ(predNum[4], 2);
    EXPECT_EQ(predList[4][1], 2);
    EXPECT_EQ(predList[4][2], 3);
    ActSet want;
    setClear(want);
    for (int a : {1, 2, 3}) setAdd(want, a);
    EXPECT_TRUE(setEqual(predSet[4], want));
    setClear(want);
    for (int a : {2, 3, 4}) setAdd(want, a);
    EXPECT_TRUE(setEqual(succSet[1], want));
    EXPECT_EQ(resCap[1], 6);
    EXPECT_EQ(resReq[3][1], 6);
    EXPECT_EQ(dur[3], 5);
    expectLoadedAs(diamond());
}

TEST(reader, loadsActivitiesNumberedAgainstThePrecedenceOrder)
{
    // 1 -> 5 -> 4 -> 3 -> 2 -> 6 and 1 -> 3: one pass in either direction closes neither set.
    TestProject p;
    p.dur = {0, 0, 2, 3, 4, 5, 0};
    p.arcs = {{1, 5}, {1, 3}, {2, 6}, {3, 2}, {4, 3}, {5, 4}};
    p.cap = {0, 5};
    p.req = {{}, {0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 0}};
    ASSERT_TRUE(loadInstanceText(psplibText(p)));
    EXPECT_TRUE(setHas(succSet[5], 6));
    EXPECT_TRUE(setHas(predSet[2], 5));
    EXPECT_EQ(predList[3][1], 1);
    EXPECT_EQ(predList[3][2], 4);
    expectLoadedAs(p);
}

TEST(reader, accepts122JobsAndFillsBothWordsAndWholeLists)
{
    // 1 precedes every other activity directly and 122 follows every other: 121 entries each.
    TestProject p = fan(122);
    p.arcs.push_back({1, 122});
    ASSERT_TRUE(loadInstanceText(psplibText(p)));
    EXPECT_EQ(actNum, 122);
    EXPECT_EQ(succNum[1], 121);
    EXPECT_EQ(predNum[122], 121);
    EXPECT_EQ(predList[122][121], 121);
    EXPECT_EQ(succSet[1].w[0], ~uint64_t{0} << 2);            // activities 2..63
    EXPECT_EQ(succSet[1].w[1], (~uint64_t{0} >> 4) & ~uint64_t{1});  // 64..122 = bits 1..59
    EXPECT_EQ(predSet[122].w[0], ~uint64_t{1});               // 1..63
    EXPECT_EQ(predSet[122].w[1], succSet[1].w[1] & ~(uint64_t{1} << 59));  // 64..121
    expectLoadedAs(p);
}

TEST(reader, rejects123JobsWithTheLimitMessageBeforeTouchingTheTables)
{
    actNum = 7;
    succNum[3] = 9;
    std::memset(bitMask, 0, sizeof bitMask);
    bool ok;
    std::string out = loadTextCapturingOutput(psplibText(fan(123)), ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(out, "number of jobs out of limit!\t\tn == 123\t\tlimit == 122\n");
    EXPECT_EQ(actNum, 7);
    EXPECT_EQ(succNum[3], 9);
    EXPECT_EQ(bitMask[63], uint64_t{1} << 63);
}

TEST(reader, loadsAProjectWithoutResources)
{
    TestProject p = fan(5);
    p.dur = {0, 0, 7, 8, 9, 0};
    ASSERT_TRUE(loadInstanceText(psplibText(p)));
    EXPECT_EQ(resNum, 0);
    EXPECT_EQ(dur[4], 9);
    expectLoadedAs(p);
}

TEST(reader, rejectsFiveResourcesWithTheLimitMessageAfterClearingTheCounts)
{
    TestProject p = fan(6);
    p.cap = {0, 9, 9, 9, 9, 9};
    p.req.assign(7, std::vector<int>(6, 1));
    succNum[2] = 9;
    predNum[6] = 9;
    setAdd(succSet[6], 50);
    bool ok;
    std::string out = loadTextCapturingOutput(psplibText(p), ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(out, "number of resources out of limit!\t\tk == 5\t\tlimit == 4\n");
    EXPECT_EQ(actNum, 6);
    EXPECT_EQ(succNum[2], 0);
    EXPECT_EQ(predNum[6], 0);
    EXPECT_TRUE(setEmpty(succSet[6]));
}

TEST(reader, datasetTypeChoosesThePathPrefix)
{
    enterScratchDir();
    ASSERT_EQ(mkdir("Instances", 0777), 0);
    const char* names[] = {"Instances/j12017_3.sm", "Instances/j3017_3.sm", "Instances/j6017_3.sm",
                           "Instances/j9017_3.sm"};
    for (int d = 0; d < 4; ++d) writeText(names[d], psplibText(fan(3 + d)));
    paramNum = 17;
    instNum = 3;
    for (int type : {1, 2, 3, 4, 0, 5, -1}) {
        datasetType = type;
        ASSERT_TRUE(readInstance()) << type;
        EXPECT_EQ(actNum, type >= 1 && type <= 3 ? 3 + type : 3) << type;
    }
    datasetType = 1;
    instNum = 4;
    bool ok;
    std::string out = readCapturingOutput(ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(out, "Sample file Instances/j3017_4.sm not found! \n");
}

TEST(reader, keywordsMatchOnlyAsWholeCaseSensitiveTokens)
{
    // Decoys in front of each keyword; any of them taken for the keyword misreads the file.
    std::string text = psplibText(diamond());
    text = replaceAll(text, "projects ", "x): 90 ):: 91 (): 92 ):x 93\nprojects ");
    text = replaceAll(text, "  - renewable ", "Renewable : 9 RENEWABLE : 9 renewable: 9 #renewable : 9\n  - renewable ");
    text = replaceAll(text, "PRECEDENCE RELATIONS:", "Successors successors: #successors 99\nPRECEDENCE RELATIONS:");
    text = replaceAll(text, "REQUESTS/DURATIONS:", "Duration durations duration: #duration 77\nREQUESTS/DURATIONS:");
    text = replaceAll(text, "RESOURCEAVAILABILITIES:",
                      "RESOURCEAVAILABILITIES RESOURCEAVAILABILITIES:: resourceavailabilities: "
                      "xRESOURCEAVAILABILITIES:\n1 1\n1 1\nRESOURCEAVAILABILITIES:");
    ASSERT_NE(text.find("Successors"), std::string::npos);
    ASSERT_TRUE(loadInstanceText(text));
    expectLoadedAs(diamond());
}

TEST(reader, windowsLineEndsTabsAndAMissingLastLineEndLoadLikeTheOriginal)
{
    for (const char* stem : {"j301_1", "j1201_1"}) {
        std::string name = std::string(stem) + ".sm";
        std::string original = readFile(std::string(TARVO_PSPLIB_DIR) + "/" + name);
        ASSERT_FALSE(original.empty()) << name;
        enterInstanceScratchDir();
        bool ok;
        loadHere(original, ok);
        ASSERT_TRUE(ok);
        Tables want = snapshot();
        std::string crlf = replaceAll(original, "\n", "\r\n");
        std::string tabs = replaceAll(replaceAll(original, "  ", "\t"), " ", "\t");
        std::string noLastEnd = original.substr(0, original.find_last_not_of("\n*") + 1);
        for (const std::string& variant : {crlf, tabs, replaceAll(tabs, "\n", "\r\n"), noLastEnd}) {
            // A stale table in between shows anything the variant fails to overwrite.
            loadHere(psplibText(fan(40)), ok);
            ASSERT_TRUE(ok);
            std::string out = loadHere(variant, ok);
            ASSERT_TRUE(ok) << name << ": " << out;
            EXPECT_TRUE(sameProject(snapshot(), want)) << name;
        }
    }
}

TEST(reader, readingTheSameFileTwiceGivesIdenticalTables)
{
    ASSERT_TRUE(loadBenchmark("j1201_1"));
    Tables first = snapshot();
    ASSERT_TRUE(readInstance());
    EXPECT_TRUE(sameTables(first, snapshot()));
}

TEST(reader, aSmallProjectAfterALargeOneLeavesTheHigherRowsAlone)
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    Tables small = snapshot();
    ASSERT_TRUE(loadBenchmark("j1201_1"));
    Tables large = snapshot();
    ASSERT_TRUE(loadBenchmark("j301_1"));
    Tables after = snapshot();
    for (int i = 1; i <= 32; ++i) {
        EXPECT_EQ(after.sNum[i], small.sNum[i]) << i;
        EXPECT_EQ(after.pNum[i], small.pNum[i]) << i;
        EXPECT_TRUE(setEqual(after.sSet[i], small.sSet[i])) << i;
        EXPECT_TRUE(setEqual(after.pSet[i], small.pSet[i])) << i;
        for (int s = 1; s <= small.pNum[i]; ++s) EXPECT_EQ(after.pList[i][s], small.pList[i][s]);
    }
    for (int i = 33; i <= 122; ++i) {
        EXPECT_EQ(after.sNum[i], large.sNum[i]) << i;
        EXPECT_EQ(after.pNum[i], large.pNum[i]) << i;
        EXPECT_TRUE(setEqual(after.sSet[i], large.sSet[i])) << i;
        EXPECT_TRUE(setEqual(after.pSet[i], large.pSet[i])) << i;
        EXPECT_EQ(after.d[i], large.d[i]) << i;
    }
}

// ---- Broken files ----

TEST(reader, storesAnArcListedTwiceTwiceAndKeepsTheSetsOfTheSingleArc)
{
    enterInstanceScratchDir();
    const std::string corpus = TARVO_TEST_CORPUS_DIR;
    bool ok;
    EXPECT_EQ(loadHere(readFile(corpus + "/tiny.sm"), ok), "");
    ASSERT_TRUE(ok);
    Tables single = snapshot();
    EXPECT_EQ(loadHere(readFile(corpus + "/successor-twice.sm"), ok), "");
    ASSERT_TRUE(ok);
    Tables twice = snapshot();
    // Row 3 reads 4, 5, 4: both lists hold the arc 3 -> 4 twice, in file and ascending order.
    EXPECT_EQ(twice.sNum[3], 3);
    EXPECT_EQ(twice.sList[3][1], 4);
    EXPECT_EQ(twice.sList[3][2], 5);
    EXPECT_EQ(twice.sList[3][3], 4);
    ASSERT_EQ(twice.pNum[4], single.pNum[4] + 1);
    EXPECT_EQ(twice.pList[4][twice.pNum[4] - 1], 3);
    EXPECT_EQ(twice.pList[4][twice.pNum[4]], 3);
    for (int a = 1; a <= actNum; ++a) {
        EXPECT_TRUE(setEqual(twice.sSet[a], single.sSet[a])) << a;
        EXPECT_TRUE(setEqual(twice.pSet[a], single.pSet[a])) << a;
    }
}

TEST(reader, boundsEveryListByItsRoomWhenArcsRepeat)
{
    TestProject p = fan(122);
    // 122 successors, two of them repeated: as many as a list holds, so the file loads.
    TestProject full = p;
    full.arcs.push_back({1, 2});
    full.arcs.push_back({1, 3});
    bool ok;
    EXPECT_EQ(loadTextCapturingOutput(psplibText(full), ok), "");
    ASSERT_TRUE(ok);
    EXPECT_EQ(succNum[1], 122);
    EXPECT_EQ(predNum[2], 2);

    // 123 successors: one more than a list holds.
    TestProject over = full;
    over.arcs.push_back({1, 4});
    std::string out = loadTextCapturingOutput(psplibText(over), ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(out.find("line 15: activity 1 has 123 successors, more than the 122 a list can hold"), std::string::npos)
        << out;

    // Activity 122 follows 120 activities; two of them listing it twice fill its predecessor list,
    // a third overflows it: the arc that would take place 123 is the one of the last row (121).
    TestProject preds = p;
    preds.arcs.push_back({2, 122});
    preds.arcs.push_back({3, 122});
    EXPECT_EQ(loadTextCapturingOutput(psplibText(preds), ok), "");
    ASSERT_TRUE(ok);
    EXPECT_EQ(predNum[122], 122);
    preds.arcs.push_back({4, 122});
    out = loadTextCapturingOutput(psplibText(preds), ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(out.find("line 135: activity 122 has more than the 122 predecessors a list can hold"), std::string::npos)
        << out;
}

// What every accepted file guarantees the later passes, checked from the lists alone.
std::string networkFaults()
{
    int n = actNum;
    if (n < 2 || n > maxAct || resNum > maxRes) return "counts out of range";
    for (int i = 1; i <= n; ++i) {
        if (succNum[i] > maxAct || predNum[i] > maxAct) return "list longer than its room";
        if ((i == 1) != (predNum[i] == 0) || (i == n) != (succNum[i] == 0)) return "wrong start or end";
        if (setHas(succSet[i], i)) return "cycle";
        for (int s = 1; s <= succNum[i]; ++s) {
            int j = succList[i][s];
            if (j < 1 || j > n || !setHas(succSet[i], j) || !setHas(predSet[j], i)) return "arc not in the sets";
        }
        for (int r = 1; r <= resNum; ++r)
            if (resReq[i][r] > resCap[r]) return "requirement above availability";
    }
    return "";
}

TEST(reader, acceptsADamagedFileOnlyWhenItsNetworkIsSound)
{
    // Random damage of the kinds hand edits and transfers cause: digits, signs, blanks and line
    // ends replaced, dropped or doubled. Whatever the reader accepts must be a sound project.
    enterInstanceScratchDir();
    const std::string original = readFile(std::string(TARVO_TEST_CORPUS_DIR) + "/tiny.sm");
    const char pool[] = "0123456789 -\n\t\r x";
    std::mt19937 gen(20240601);
    int accepted = 0;
    for (int variant = 0; variant < 400; ++variant) {
        std::string text = original;
        int edits = 1 + static_cast<int>(gen() % 3);
        for (int e = 0; e < edits; ++e) {
            std::size_t at = gen() % text.size();
            char c = pool[gen() % (sizeof pool - 1)];
            switch (gen() % 3) {
            case 0: text[at] = c; break;
            case 1: text.erase(at, 1); break;
            default: text.insert(at, 1, c); break;
            }
        }
        bool ok;
        std::string out = loadHere(text, ok);
        if (ok) {
            ++accepted;
            EXPECT_EQ(out, "");
            EXPECT_EQ(networkFaults(), "") << text;
        } else {
            EXPECT_NE(out, "");
        }
    }
    // Both outcomes occur, or the damage says nothing.
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, 400);
}

TEST(reader, rejectsEveryBrokenCorpusFileWithItsFileLineAndFault)
{
    struct Case {
        const char* file;
        const char* fault;  // the message after "Instance file Instances/j301_1.sm"
    };
    const Case cases[] = {
        {"bad-empty.sm", ": the file ends before the keyword \"):\""},
        {"bad-ends-before-renewable.sm", ": the file ends before the keyword \"renewable\""},
        {"bad-ends-in-precedences.sm", ", line 22: the file ends where the job number of activity 4 should stand"},
        {"bad-ends-in-requests.sm",
         ", line 32: the file ends where the job number of activity 4 in the requests table should stand"},
        {"bad-no-availabilities.sm", ": the file ends before the keyword \"RESOURCEAVAILABILITIES:\""},
        {"bad-renewable-capitalised.sm", ": the file ends before the keyword \"renewable\""},
        {"bad-availability-missing.sm", ", line 38: the row ends where the availability of resource 2 should stand"},
        {"bad-job-count-word.sm", ", line 6: \"six\" is not a whole number (the job count expected)"},
        {"bad-job-count-negative.sm", ", line 6: the job count is negative (\"-6\")"},
        {"bad-job-count-one.sm", ", line 6: the job count 1 is below 2 (the dummy start and end)"},
        {"bad-job-count-zero.sm", ", line 6: the job count 0 is below 2 (the dummy start and end)"},
        {"bad-job-count-huge.sm", ", line 6: the job count is 99999999999, above the largest value 2147483647"},
        {"bad-resource-count-negative.sm", ", line 9: the number of renewable resources is negative (\"-2\")"},
        {"bad-mode-negative.sm", ", line 20: the mode count of activity 2 is negative (\"-1\")"},
        {"bad-successor-count-word.sm",
         ", line 21: \"x\" is not a whole number (the successor count of activity 3 expected)"},
        {"bad-successor-count-too-large.sm", ", line 19: activity 1 has 123 successors, more than the 122 a list can hold"},
        {"bad-successor-out-of-range.sm", ", line 22: successor 7 of activity 4 is outside 1 .. 6"},
        {"bad-successor-zero.sm", ", line 23: successor 0 of activity 5 is outside 1 .. 6"},
        {"bad-successor-itself.sm", ", line 21: activity 3 lists itself as its successor"},
        {"bad-row-short.sm", ", line 21: the row ends where successor 3 of activity 3 should stand"},
        {"bad-row-long.sm", ", line 20: \"5\" follows the last number of the row of activity 2"},
        {"bad-cycle.sm", ": the precedence relations form a cycle through activity 3"},
        {"bad-no-predecessor.sm", ": activity 3 has no predecessor (only activity 1 may start the project)"},
        {"bad-no-successor.sm", ": activity 5 has no successor (only activity 6 may end the project)"},
        {"bad-duration-too-large.sm", ", line 31: the duration of activity 3 is 65536, above the largest value 65535"},
        {"bad-duration-fraction.sm", ", line 31: \"5.5\" is not a whole number (the duration of activity 3 expected)"},
        {"bad-duration-negative.sm", ", line 30: the duration of activity 2 is negative (\"-3\")"},
        {"bad-duration-huge.sm",
         ", line 30: the duration of activity 2 is 99999999999999999999, above the largest value 65535"},
        {"bad-nul-byte.sm", ", line 30: \"3?x\" is not a whole number (the duration of activity 2 expected)"},
        {"bad-control-character.sm", ", line 30: \"3?\" is not a whole number (the duration of activity 2 expected)"},
        {"bad-requirement-too-large.sm",
         ", line 32: the requirement of activity 4 for resource 1 is 256, above the largest value 255"},
        {"bad-requests-row-short.sm",
         ", line 33: the row ends where the requirement of activity 5 for resource 2 should stand"},
        {"bad-requirement-above-availability.sm", ": activity 4 needs 5 units of resource 1, which has only 4"},
        {"bad-availability-too-large.sm", ", line 38: the availability of resource 1 is 300, above the largest value 255"},
        {"bad-availability-endless.sm",
         ", line 38: the availability of resource 1 is 999999999999999999999999999999999999999..., above the "
         "largest value 255"},
        {"bad-availability-negative.sm", ", line 38: the availability of resource 2 is negative (\"-3\")"},
        {"bad-availability-extra.sm", ", line 38: \"5\" follows the last availability"},
        {"bad-all-durations-zero.sm", ": every activity has duration 0, so the project has no length to compare with"},
    };
    const std::string corpus = TARVO_TEST_CORPUS_DIR;

    // Every broken file of the corpus has its case here, and every case its file.
    std::set<std::string> named;
    for (const Case& c : cases) named.insert(c.file);
    EXPECT_EQ(brokenFilesIn(corpus), named);

    enterInstanceScratchDir();
    const std::string good = readFile(corpus + "/tiny.sm");
    bool ok;
    EXPECT_EQ(loadHere(good, ok), "");
    ASSERT_TRUE(ok);
    Tables tiny = snapshot();
    for (const Case& c : cases) {
        std::string text = readFile(corpus + "/" + c.file);
        ASSERT_FALSE(text.empty() && std::strcmp(c.file, "bad-empty.sm") != 0) << c.file;
        std::string out = loadHere(text, ok);
        EXPECT_FALSE(ok) << c.file;
        EXPECT_EQ(out, std::string("Instance file Instances/j301_1.sm") + c.fault + "\n") << c.file;
        // The next valid file loads as if the broken one had never been read.
        loadHere(good, ok);
        ASSERT_TRUE(ok) << c.file;
        EXPECT_TRUE(sameProject(snapshot(), tiny)) << c.file;
    }
}

TEST(reader, readsFromTheFolderTheRunNames)
{
    enterScratchDir();
    ASSERT_EQ(mkdir("elsewhere", 0777), 0);
    std::string text = readFile(std::string(TARVO_TEST_CORPUS_DIR) + "/tiny.sm");
    std::ofstream("elsewhere/j6012_7.sm", std::ios::binary) << text;
    instanceFolder = "elsewhere";
    datasetType = 2;
    paramNum = 12;
    instNum = 7;
    EXPECT_TRUE(readInstance());
    EXPECT_EQ(actNum, 6);
    instanceFolder = "Instances";
}

// A benchmark file in which many activities list their first successor a second time, at the end of
// the row, solves to the same lists, makespans and random stream as the file itself, with LV and
// with HV, and leaves a state the invariant walker accepts.
TEST(reader, anArcListedTwiceSolvesLikeTheSingleArcWithBothMethods)
{
    std::string original = readFile(std::string(TARVO_PSPLIB_DIR) + "/j301_1.sm");
    ASSERT_FALSE(original.empty());
    std::istringstream lines(original);
    std::ostringstream doubled;
    std::string line;
    bool inPrecedences = false;
    int rowsDoubled = 0;
    while (std::getline(lines, line)) {
        if (line.find("successors") != std::string::npos) {
            inPrecedences = true;
        } else if (inPrecedences && line.find('*') != std::string::npos) {
            inPrecedences = false;
        } else if (inPrecedences) {
            std::istringstream row(line);
            int job, modes, count;
            row >> job >> modes >> count;
            std::vector<int> succ(count);
            for (int& s : succ) row >> s;
            if (count >= 2) {
                line = "   " + std::to_string(job) + "        1          " + std::to_string(count + 1);
                for (int s : succ) line += "   " + std::to_string(s);
                line += "   " + std::to_string(succ[0]);
                ++rowsDoubled;
            }
        }
        doubled << line << "\n";
    }
    ASSERT_GT(rowsDoubled, 5);

    enterScratchDir();
    ASSERT_EQ(mkdir("Instances", 0777), 0);
    writeText("Instances/j301_1.sm", original);
    writeText("Instances/j301_2.sm", doubled.str());
    datasetType = 1;
    paramNum = 1;
    struct Result {
        double ph1, ph2, gap;
        std::vector<uint8_t> list;
        uint32_t stream;
    };
    auto solve = [&](int inst) {
        instNum = inst;
        setRandState(20261207);
        bestList = nullptr;
        testing::internal::CaptureStdout();
        bool ok = solveInstance();
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(ok) << out;
        EXPECT_EQ(out, "");
        Result r{ph1Makespan, ph2Makespan, bestGap, {}, getRandState()};
        if (ok) r.list.assign(bestList, bestList + actNum + 1);
        return r;
    };
    for (bool hv : {false, true}) {
        isHV = hv;
        distNum = hv ? 3 : 1;
        Result single = solve(1);
        Result twice = solve(2);
        EXPECT_EQ(succNum[2], 4) << "the second file was not the one read last";
        EXPECT_TRUE(checkState(nullptr)) << (hv ? "HV" : "LV");
        EXPECT_EQ(twice.ph1, single.ph1) << (hv ? "HV" : "LV");
        EXPECT_EQ(twice.ph2, single.ph2) << (hv ? "HV" : "LV");
        EXPECT_EQ(twice.gap, single.gap) << (hv ? "HV" : "LV");
        EXPECT_EQ(twice.list, single.list) << (hv ? "HV" : "LV");
        EXPECT_EQ(twice.stream, single.stream) << (hv ? "HV" : "LV");
    }
    isHV = false;
}
