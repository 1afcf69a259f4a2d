// Evaluation rows and samples lines of one policy per instance (another method's rule, or LFT-RB):
// what the readers accept of them, and that a batch row keeps its stricter checks.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "evaluate/samplesFile.h"
#include "results/evalCsv.h"

namespace {

// A row with the numbers of a real one; method, config, distribution and policy given.
std::string row(const std::string& distribution, const std::string& method, const std::string& config,
                const std::string& policy, const std::string& paired)
{
    return "J30," + distribution + ",U2," + method + "," + config + ",,1,2," + policy +
           ",300,1,43,,48.5,0.2,48.1,48.9,3.1,48.2,52.5,53.9,56.7,12.79,," + paired + ",0.1.0,,43.5,0.05,11.5,0.3\n";
}

bool reads(const std::string& line, std::vector<EvalRow>& rows, std::string& error)
{
    rows.clear();
    error.clear();
    return parseEvalText(evalCsvHeader(false) + "\n" + line, "e.csv", rows, error);
}

}  // namespace

TEST(singlePolicyRows, rowsOfOneRuleReadBackAndBatchRowsKeepTheirChecks)
{
    std::vector<EvalRow> rows;
    std::string error;
    // A method's row without distribution or config, and LFT-RB's; written rows read back alike.
    ASSERT_TRUE(reads(row("", "mine.v2+x", "", "RBA", ","), rows, error)) << error;
    EXPECT_EQ(rows[0].policy, "RBA");
    EXPECT_EQ(rows[0].distribution, "");
    EXPECT_TRUE(std::isnan(rows[0].pairedDiff));
    const std::string written = evalCsvLine(rows[0]) + "\n";
    ASSERT_TRUE(reads(written, rows, error)) << error;
    EXPECT_EQ(evalCsvLine(rows[0]) + "\n", written);
    ASSERT_TRUE(reads(row("", "LFT", "", "RB", ","), rows, error)) << error;
    ASSERT_TRUE(reads(row("B1", "mine", "", "AB", ","), rows, error)) << error;

    const std::pair<std::string, std::string> refused[] = {
        {row("", "mine", "", "AB", "0.5,0.1"), "field \"paired_diff\" is \"0.5\", not empty on a AB row"},
        {row("", "has space", "", "RB", ","), "field \"method\" is \"has space\", not a method label"},
        {row("U3", "mine", "", "RB", ","), "field \"distribution\" is \"U3\""},
        {row("U2", "mine", "", "XB", ","), "field \"method\" is \"mine\", not one of HV, LV"},
        {row("U2", "HV", "5000", "XB", ","), "field \"policy\" is \"XB\", not one of ph1, ph2, AB, RB, RBA"},
        // A batch row still needs its distribution, its method HV or LV and its config.
        {row("", "HV", "5000", "ph1", ","), "field \"distribution\" is \"\", not one of U1"},
        {row("U2", "mine", "5000", "ph1", ","), "field \"method\" is \"mine\", not one of HV, LV"},
        {row("U2", "HV", "", "ph1", ","), "field \"config\" is \"\", not a whole number"},
    };
    for (const auto& c : refused) {
        EXPECT_FALSE(reads(c.first, rows, error)) << c.first;
        EXPECT_NE(error.find(c.second), std::string::npos) << c.first << "\n  gave: " << error;
    }
}

TEST(singlePolicyRows, samplesLinesOfOneRuleTakeNullDistributionAndConfig)
{
    const std::map<std::string, int> names = {{"m-eval-U2-method-mine.csv", 0}};
    const std::string head = "m-eval-U2-method-mine.csv\t{\"dataset\":\"J30\",\"distribution\":null,"
                             "\"eval_distribution\":\"U2\",\"method\":\"mine\",\"config\":null,\"group\":1,"
                             "\"instance\":2,\"policy\":";
    const std::string tail = ",\"eval_seed\":1,\"runs\":2,\"lower_bound\":43.0,\"path_bound\":43.5,\"mean\":44.5,\"makespans\":[44.0,45.0]}";
    SamplesPlace p;
    bool known = false;
    std::string fault;
    ASSERT_TRUE(parseSamplesLine(head + "\"RB\"" + tail, names, p, known, fault)) << fault;
    EXPECT_TRUE(known);
    EXPECT_EQ(p.policy, "RB");
    EXPECT_EQ(p.instance, 2);
    // null belongs to lines of one rule only, and a method label to them.
    EXPECT_FALSE(parseSamplesLine(head + "\"ph1\"" + tail, names, p, known, fault));
    EXPECT_NE(fault.find("\"distribution\" is null"), std::string::npos) << fault;
    std::string spaced = head + "\"AB\"" + tail;
    spaced.replace(spaced.find("\"mine\""), 6, "\"a b\"");
    EXPECT_FALSE(parseSamplesLine(spaced, names, p, known, fault));
    EXPECT_NE(fault.find("\"method\" is \"a b\", not a method label"), std::string::npos) << fault;
}
