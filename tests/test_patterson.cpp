// Tests of the Patterson (.rcp) reader and of the layout detection: benchmark projects written in the
// Patterson layout read back table for table, broken files with their exact messages, the limits on
// both sides, and which reader a file reaches by its content and its name.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "project/reader.h"
#include "project/state.h"
#include "support/projectTables.h"
#include "support/testSupport.h"

namespace {

const std::string rcpCorpus = std::string(TARVO_TEST_CORPUS_DIR) + "/rcp";

// Runs a read and returns what it printed.
template <typename Read>
std::string capture(Read read, bool& ok)
{
    testing::internal::CaptureStdout();
    ok = read();
    std::fflush(stdout);
    std::cout.flush();
    return testing::internal::GetCapturedStdout();
}

std::string readPattersonText(const std::string& text, bool& ok)
{
    std::stringbuf buf(text);
    return capture([&] { return readPattersonFrom(buf, "test.rcp"); }, ok);
}

std::string readFileCapturing(const std::string& path, bool& ok)
{
    return capture([&] { return readProjectFile(path.c_str()); }, ok);
}

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// A chain 1 -> 2 -> ... -> n with the given durations of the real activities, one resource.
TestProject chain(int n, int realDur)
{
    TestProject p;
    p.dur.assign(n + 1, realDur);
    p.dur[1] = p.dur[n] = 0;
    for (int i = 1; i < n; ++i) p.arcs.push_back({i, i + 1});
    p.cap = {0, 10};
    p.req.assign(n + 1, {0, 1});
    return p;
}

}  // namespace

// ---- Benchmark projects in the Patterson layout ----

TEST(patterson, readsBenchmarkProjectsBackTableForTableAlsoWhenRowsWrap)
{
    std::mt19937 rng(20261207);
    for (const char* stem : {"j301_1", "j6017_4", "j9048_10", "j1201_1"}) {
        ASSERT_TRUE(loadBenchmark(stem)) << stem;
        Tables want = snapshot();
        std::string text = pattersonText();
        std::string variants[] = {text, wrapAtRandom(text, rng), wrapAtRandom(text, rng), wrapAtRandom(text, rng)};
        ASSERT_NE(variants[1], text);
        for (const std::string& variant : variants) {
            // Junk in every table shows anything the reader fails to write.
            scrambleProjectTables();
            bool ok;
            EXPECT_EQ(readPattersonText(variant, ok), "") << stem;
            ASSERT_TRUE(ok) << stem;
            EXPECT_TRUE(sameProject(snapshot(), want)) << stem << "\n" << variant;
        }
    }
}

TEST(patterson, readsTheHandWrittenFileLikeItsPsplibTwinAndArcsListedTwiceAlike)
{
    bool ok;
    EXPECT_EQ(readFileCapturing(std::string(TARVO_TEST_CORPUS_DIR) + "/tiny.sm", ok), "");
    ASSERT_TRUE(ok);
    Tables psplib = snapshot();
    scrambleProjectTables();
    EXPECT_EQ(readFileCapturing(rcpCorpus + "/tiny.rcp", ok), "");
    ASSERT_TRUE(ok);
    EXPECT_TRUE(sameProject(snapshot(), psplib));

    // Activity 3 lists 4, 5, 4 in both layouts: both readers store the arc 3 -> 4 twice.
    EXPECT_EQ(readFileCapturing(std::string(TARVO_TEST_CORPUS_DIR) + "/successor-twice.sm", ok), "");
    ASSERT_TRUE(ok);
    psplib = snapshot();
    std::string twice = readFile(rcpCorpus + "/tiny.rcp");
    twice.replace(twice.find("3 2\n  4 5"), 9, "3 3\n  4 5 4");
    scrambleProjectTables();
    EXPECT_EQ(readPattersonText(twice, ok), "");
    ASSERT_TRUE(ok);
    EXPECT_EQ(succNum[3], 3);
    EXPECT_TRUE(sameProject(snapshot(), psplib));
}

// ---- Broken files ----

TEST(patterson, rejectsEveryBrokenCorpusFileWithItsLineAndFault)
{
    struct Case {
        const char* file;
        const char* fault;  // the message after "Instance file <path>"
    };
    const Case cases[] = {
        {"bad-empty.rcp", ", line 1: the file ends where the activity count should stand"},
        {"bad-ends-early.rcp", ", line 9: the file ends where successor 1 of activity 5 should stand"},
        {"bad-not-a-number.rcp", ", line 7: \"x2\" is not a whole number (the duration of activity 4 expected)"},
        {"bad-activities-130.rcp", ", line 1: the project has 130 activities (dummies included), above the limit of 122"},
        {"bad-activities-2.rcp",
         ", line 1: the project has 2 activities (dummies included), below the 3 of a dummy start, one activity and "
         "a dummy end"},
        {"bad-resources-5.rcp", ", line 1: the project has 5 resources, above the limit of 4"},
        {"bad-capacity-300.rcp", ", line 2: the capacity of resource 1 is 300, above the largest value 255"},
        {"bad-duration-65536.rcp", ", line 4: the duration of activity 2 is 65536, above the largest value 65535"},
        {"bad-requirement-256.rcp",
         ", line 8: the requirement of activity 5 for resource 2 is 256, above the largest value 255"},
        {"bad-requirement-negative.rcp", ", line 8: the requirement of activity 5 for resource 2 is negative (\"-2\")"},
        {"bad-successor-out-of-range.rcp", ", line 8: successor 7 of activity 5 is outside 1 .. 6"},
        {"bad-successor-itself.rcp", ", line 8: activity 5 lists itself as its successor"},
        {"bad-trailing-tokens.rcp",
         ", line 11: \"7\" follows the row of the last activity 6 (do the counts at the head of the file match its "
         "rows?)"},
        {"bad-cycle.rcp", ": the precedence relations form a cycle through activity 3"},
        {"bad-no-predecessor.rcp", ": activity 3 has no predecessor (only activity 1 may start the project)"},
        {"bad-no-successor.rcp", ": activity 5 has no successor (only activity 6 may end the project)"},
        {"bad-requirement-above-capacity.rcp", ": activity 4 needs 5 units of resource 1, which has only 4"},
        {"bad-all-durations-zero.rcp", ": every activity has duration 0, so the project has no length to compare with"},
        {"bad-durations-too-long.rcp",
         ": the durations add up to 1210, above the limit of 1200 time units a schedule may span (max_time)"},
    };

    // Every broken file of the corpus has its case here, and every case its file.
    std::set<std::string> named;
    for (const Case& c : cases) named.insert(c.file);
    EXPECT_EQ(brokenFilesIn(rcpCorpus), named);

    bool ok;
    readFileCapturing(rcpCorpus + "/tiny.rcp", ok);
    ASSERT_TRUE(ok);
    Tables tiny = snapshot();
    for (const Case& c : cases) {
        std::string path = rcpCorpus + "/" + c.file;
        EXPECT_EQ(readFileCapturing(path, ok), "Instance file " + path + c.fault + "\n") << c.file;
        EXPECT_FALSE(ok) << c.file;
        // The next valid file loads as if the broken one had never been read.
        readFileCapturing(rcpCorpus + "/tiny.rcp", ok);
        ASSERT_TRUE(ok) << c.file;
        EXPECT_TRUE(sameProject(snapshot(), tiny)) << c.file;
    }
}

// ---- Limits, on both sides of each bound ----

TEST(patterson, limitsAcceptTheBoundAndRefuseOneBeyondInBothLayouts)
{
    // 122 activities load; 123 are refused before any table is touched beyond bitMask.
    setProject(chain(122, 1));
    std::string text = pattersonText();
    bool ok;
    EXPECT_EQ(readPattersonText(text, ok), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(actNum, 122);
    text.replace(0, 3, "123");
    EXPECT_EQ(readPattersonText(text, ok),
              "Instance file test.rcp, line 1: the project has 123 activities (dummies included), above the limit of "
              "122\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(actNum, 122);

    // Durations adding up to exactly max_time load in either layout; one unit more is refused by both.
    const std::string tooLong =
        ": the durations add up to 1201, above the limit of 1200 time units a schedule may span (max_time)\n";
    for (int last : {600, 601}) {
        TestProject p = chain(4, 600);
        p.dur[3] = last;
        std::string psplib = psplibText(p);
        setProject(p);
        std::string patterson = pattersonText();
        std::string out = readPattersonText(patterson, ok);
        EXPECT_EQ(ok, last == 600);
        EXPECT_EQ(out, last == 600 ? "" : "Instance file test.rcp" + tooLong);
        out = capture([&] { return loadInstanceText(psplib); }, ok);
        EXPECT_EQ(ok, last == 600);
        EXPECT_EQ(out, last == 600 ? "" : "Instance file Instances/j301_1.sm" + tooLong);
    }

    // Four resources and capacities of 255 load.
    TestProject wide = chain(3, 5);
    wide.cap = {0, 255, 255, 255, 255};
    wide.req.assign(4, {0, 255, 1, 2, 3});
    setProject(wide);
    EXPECT_EQ(readPattersonText(pattersonText(), ok), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(resNum, 4);
    EXPECT_EQ(resCap[4], 255);
    EXPECT_EQ(resReq[2][1], 255);
}

// ---- Which reader a file reaches ----

TEST(patterson, contentDecidesTheLayoutAndTheExtensionOnlyAnUnclearFile)
{
    std::string dir = enterScratchDir();
    std::string psplib = readFile(std::string(TARVO_PSPLIB_DIR) + "/j301_1.sm");
    ASSERT_FALSE(psplib.empty());
    bool ok;
    writeText("given.sm", psplib);
    EXPECT_EQ(readFileCapturing("given.sm", ok), "");
    ASSERT_TRUE(ok);
    Tables want = snapshot();
    std::string patterson = pattersonText();
    // The PSPLIB file under a Patterson name and without its star lines (it still has its keywords).
    std::string starless = psplib.substr(psplib.find('\n') + 1);
    for (auto [name, text] : {std::pair<const char*, std::string>{"psplib.rcp", psplib},
                              {"starless.RCP", starless},
                              {"patterson.sm", patterson},
                              {"patterson", patterson},
                              {"patterson.txt", " \n\t" + patterson}}) {
        writeText(name, text);
        scrambleProjectTables();
        EXPECT_EQ(readFileCapturing(name, ok), "") << name;
        EXPECT_TRUE(ok) << name;
        EXPECT_TRUE(sameProject(snapshot(), want)) << name;
    }

    // Unclear content: the extension decides, and without one the file is refused.
    const std::string unknown =
        ": the layout cannot be recognised: a PSPLIB file has lines of * and words such as PRECEDENCE, a Patterson "
        "file begins with a whole number (the extension .sm or .rcp decides an unclear file)\n";
    const std::pair<const char*, std::string> unclear[] = {
        {"empty.txt", ""},
        {"garbage.dat", "hello world\n-3 x\n"},
        {"empty.rcp", ""},
        {"garbage.sm", "hello world\n"},
        {"garbage.Rcp", "# 6 2\n"},
    };
    const std::string said[] = {
        "Instance file empty.txt" + unknown,
        "Instance file garbage.dat" + unknown,
        "Instance file empty.rcp, line 1: the file ends where the activity count should stand\n",
        "Instance file garbage.sm: the file ends before the keyword \"):\"\n",
        "Instance file garbage.Rcp, line 1: \"#\" is not a whole number (the activity count expected)\n",
    };
    for (int k = 0; k < 5; ++k) {
        writeText(unclear[k].first, unclear[k].second);
        EXPECT_EQ(readFileCapturing(unclear[k].first, ok), said[k]);
        EXPECT_FALSE(ok);
    }

    // Files that cannot be opened, with the system's reason.
    EXPECT_EQ(readFileCapturing("missing.rcp", ok), "Instance file missing.rcp cannot be opened: No such file or directory\n");
    EXPECT_FALSE(ok);
    ASSERT_EQ(mkdir("folder.sm", 0777), 0);
    EXPECT_EQ(readFileCapturing("folder.sm", ok), "Instance file folder.sm cannot be opened: a folder, not a file\n");
    EXPECT_FALSE(ok);

    // readInstance reads the named file instead of the data set's, and the data set's again when
    // the name is cleared.
    projectFile = dir + "/patterson.sm";
    scrambleProjectTables();
    EXPECT_EQ(capture([] { return readInstance(); }, ok), "");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(sameProject(snapshot(), want));
    projectFile.clear();
    datasetType = 1;
    paramNum = 1;
    instNum = 1;
    EXPECT_EQ(capture([] { return readInstance(); }, ok), "Sample file Instances/j301_1.sm not found! \n");
    EXPECT_FALSE(ok);
}
