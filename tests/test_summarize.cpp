// `tarvo summarize` on small hand-made files: exact averages per seed and over seeds, the t
// interval over seeds or over instances, evaluation rows joined to their batch row, versions kept
// apart, and the shapes of the Markdown and LaTeX tables.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "results/evalCsv.h"
#include "simulation/statistics.h"
#include "summarize/summarize.h"
#include "support/testSupport.h"

namespace {

// A batch results file of seed seed whose instances 1..n of group 1 have the given gaps.
std::string batchFile(const std::string& name, const std::string& seed, const std::vector<double>& smaller,
                      const std::string& version = "0.1.0+test")
{
    RunIdentity id{"J30", "U2", "HV", "5000", seed, "1-1", version};
    std::ofstream out(name);
    out << csvHeader() << "\n";
    for (std::size_t k = 0; k < smaller.size(); ++k) {
        ResultRow r;
        r.group = 1;
        r.instance = static_cast<int>(k) + 1;
        r.activities = 32;
        r.lowerBound = 40;
        r.ph1Gap = smaller[k] + 1.0;
        r.ph2Gap = smaller[k];
        r.smallerGap = smaller[k];
        r.cpuSeconds = 0.5;
        r.host = "h";
        out << csvLine(id, r) << "\n";
    }
    return name;
}

SummaryRow only(const std::vector<std::string>& files)
{
    std::vector<SummaryRow> rows;
    std::string error;
    EXPECT_TRUE(summarizeFiles(files, rows, error)) << error;
    EXPECT_EQ(rows.size(), 1u);
    return rows.empty() ? SummaryRow{} : rows.front();
}

TEST(summarize, oneSeedAveragesInstancesAndTakesTheIntervalOverThem)
{
    enterScratchDir();
    SummaryRow r = only({batchFile("a.csv", "1", {10, 12, 14, 16})});
    EXPECT_EQ(r.instances, 4);
    EXPECT_EQ(r.seeds, 1);
    EXPECT_DOUBLE_EQ(r.ph2GapMean, 13.0);
    EXPECT_DOUBLE_EQ(r.ph1GapMean, 14.0);
    EXPECT_DOUBLE_EQ(r.cpuMean, 0.5);
    EXPECT_EQ(r.intervalOver, "instances");
    // sd of 10, 12, 14, 16 is sqrt(20/3); t(0.975, 3) = 3.182446305284263.
    const double half = 3.182446305284263 * std::sqrt(20.0 / 3.0) / 2.0;
    EXPECT_NEAR(r.ph2GapCiLow, 13.0 - half, 1e-12);
    EXPECT_NEAR(r.ph2GapCiHigh, 13.0 + half, 1e-12);
    EXPECT_TRUE(std::isnan(r.evalPh2GapMean));
}

TEST(summarize, severalSeedsTakeTheIntervalOverTheSeedsAverages)
{
    enterScratchDir();
    // Seed averages 11, 13 and 18; a file given twice counts once.
    SummaryRow r = only({batchFile("s1.csv", "1", {10, 12}), batchFile("s2.csv", "2", {12, 14}),
                         batchFile("s3.csv", "3", {17, 19}), batchFile("again.csv", "1", {10, 12})});
    EXPECT_EQ(r.seeds, 3);
    EXPECT_EQ(r.instances, 2);
    EXPECT_DOUBLE_EQ(r.ph2GapMean, 14.0);
    EXPECT_EQ(r.intervalOver, "seeds");
    // sd of 11, 13, 18 is sqrt(13); t(0.975, 2) = 4.302652729749464.
    const double half = 4.302652729749464 * std::sqrt(13.0 / 3.0);
    EXPECT_NEAR(r.ph2GapCiLow, 14.0 - half, 1e-12);
    EXPECT_NEAR(r.ph2GapCiHigh, 14.0 + half, 1e-12);
}

TEST(summarize, versionsAreNeverMixedAndForeignFilesAreRefused)
{
    enterScratchDir();
    std::vector<SummaryRow> rows;
    std::string error;
    ASSERT_TRUE(summarizeFiles({batchFile("a.csv", "1", {10}), batchFile("b.csv", "2", {20}, "0.2.0+other")}, rows, error));
    EXPECT_EQ(rows.size(), 2u);
    std::ofstream("c.csv") << "not,a,results,file\n";
    EXPECT_FALSE(summarizeFiles({"c.csv"}, rows, error));
    EXPECT_NE(error.find("c.csv: line 1 is neither"), std::string::npos) << error;
    EXPECT_FALSE(summarizeFiles({"absent.csv"}, rows, error));
    EXPECT_NE(error.find("cannot read absent.csv: No such file or directory"), std::string::npos) << error;
}

// An evaluation row pair of instance inst (its report number: group 1 holds 1..10): out-of-sample gaps g1, g2 and in-sample makespans.
void evalPair(std::ofstream& out, int inst, double g1, double g2, double in1, double in2,
              const std::string& version = "0.1.0+test", const std::string& stem = "")
{
    for (int p = 0; p < 2; ++p) {
        EvalRow r;
        if (!stem.empty()) {
            r.file = "projects/" + stem + ".sm";
            r.stem = stem;
        }
        r.dataset = stem.empty() ? "J30" : "R";
        r.distribution = "U2";
        r.evalDistribution = "U2";
        r.method = "HV";
        r.config = "5000";
        r.runSeed = "1";
        r.group = stem.empty() ? (inst - 1) / 10 + 1 : 0;
        r.instance = stem.empty() ? (inst - 1) % 10 + 1 : 0;
        r.policy = p ? "ph2" : "ph1";
        r.runs = 100;
        r.lowerBound = 40;
        r.inSample = p ? in2 : in1;
        r.mean = 50;
        r.gap = p ? g2 : g1;
        r.bias = r.inSample - r.mean;
        r.pairedDiff = p ? 1 : NAN;
        r.pairedStderr = p ? 0.1 : NAN;
        r.version = version;
        r.runVersion = "0.1.0+test";
        r.pathBound = 45;
        r.pathBoundStderr = 0.05;
        r.gapPath = p ? g2 / 2 : g1 / 2;
        r.gapPathStderr = 0.1;
        out << evalCsvLine(r) << "\n";
    }
}

TEST(summarize, evaluationRowsJoinTheirBatchRowAndCountTheReportedPolicy)
{
    enterScratchDir();
    {
        std::ofstream out("e.csv");
        out << evalCsvHeader() << "\n";
        evalPair(out, 1, 20, 18, 50.5, 50.2);   // Phase 2 reported: gap 18, bias 0.2
        evalPair(out, 2, 30, 31, 49.0, 49.5);   // Phase 2 estimate above Phase 1's: Phase 1 counts
    }
    SummaryRow r = only({batchFile("a.csv", "1", {10, 12}), "e.csv"});
    EXPECT_DOUBLE_EQ(r.evalPh1GapMean, 25.0);
    EXPECT_DOUBLE_EQ(r.evalPh2GapMean, 24.0);
    EXPECT_NEAR(r.biasMean, (0.2 + -1.0) / 2, 1e-12);
    EXPECT_DOUBLE_EQ(r.ph2GapMean, 11.0);
    EXPECT_EQ(r.evalVersion, "0.1.0+test");

    // The same run evaluated by another program version is not mixed into the row.
    {
        std::ofstream out("f.csv");
        out << evalCsvHeader() << "\n";
        evalPair(out, 1, 20, 18, 50.5, 50.2, "0.2.0+other");
        evalPair(out, 2, 30, 31, 49.0, 49.5, "0.2.0+other");
    }
    std::vector<SummaryRow> rows;
    std::string error;
    EXPECT_FALSE(summarizeFiles({"e.csv", "f.csv"}, rows, error));
    EXPECT_NE(error.find("were evaluated by different program versions"), std::string::npos) << error;
}

TEST(summarize, aFileRunsEvaluationRowsReadBackAndCountByStem)
{
    enterScratchDir();
    {
        std::ofstream out("r.csv");
        out << evalCsvHeader(true) << "\n";
        evalPair(out, 0, 20, 18, 50.5, 50.2, "0.1.0+test", "alpha");
        evalPair(out, 0, 30, 31, 49.0, 49.5, "0.1.0+test", "bravo");
        evalPair(out, 0, 99, 99, 49.0, 49.5, "0.1.0+test", "alpha");   // alpha again: one instance, its last pair
    }
    std::vector<EvalRow> rows;
    std::string error;
    ASSERT_TRUE(readEvalCsv("r.csv", rows, error)) << error;
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[2].stem, "bravo");
    EXPECT_EQ(rows[2].file, "projects/bravo.sm");
    EXPECT_EQ(rows[2].group, 0);
    EXPECT_EQ(evalCsvLine(rows[2]).substr(0, 30), "R,U2,U2,HV,5000,1,,,ph1,100,0,");
    SummaryRow r = only({"r.csv"});
    EXPECT_EQ(r.dataset, "R");
    EXPECT_EQ(r.instances, 2);
    EXPECT_DOUBLE_EQ(r.evalPh1GapMean, (99.0 + 30.0) / 2);

    // Each layout names its instances its own way: a group in a file run's row, or none in a
    // PSPLIB row, is no evaluation row.
    std::string line = evalCsvLine(rows[0]);
    for (const auto& [header, row] : {std::pair<std::string, std::string>{evalCsvHeader(true), "R,U2,U2,HV,5000,1,1,1," + line.substr(20)},
                                      {evalCsvHeader(false), line.substr(0, line.rfind(",projects"))}}) {
        std::ofstream("bad.csv") << header << "\n" << row << "\n";
        EXPECT_FALSE(readEvalCsv("bad.csv", rows, error)) << row;
        EXPECT_NE(error.find("bad.csv: line 2 is not an evaluation row"), std::string::npos) << error;
    }
}

TEST(summarize, markdownAndLatexShapes)
{
    enterScratchDir();
    std::vector<SummaryRow> rows;
    std::string error;
    ASSERT_TRUE(summarizeFiles({batchFile("a.csv", "1", {10, 12, 14, 16})}, rows, error));
    std::string md = formatSummary(rows, "md");
    EXPECT_EQ(md.rfind("| set | dist | method |", 0), 0u) << md;
    EXPECT_NE(md.find("\n|---|---|"), std::string::npos);
    EXPECT_NE(md.find("\n| J30 | U2 | HV | 5000 | 1-1 | U2 |  |  | 4 | 1 | 14.000 | 13.000 | ["), std::string::npos) << md;
    EXPECT_NE(md.find("t over the instances (one seed)"), std::string::npos);
    std::string tex = formatSummary(rows, "latex");
    EXPECT_EQ(tex.rfind("\\begin{tabular}{llllllrrrrrrrrrrrrr}\n\\toprule\n", 0), 0u) << tex;
    EXPECT_NE(tex.find("\\midrule\nJ30 & U2 & HV & 5000 & 1-1 & U2 &  &  & 4 & 1 & 14.000 & 13.000 & ["), std::string::npos) << tex;
    EXPECT_NE(tex.find("& -- & -- & -- \\\\\n\\bottomrule\n\\end{tabular}\n"), std::string::npos) << tex;
    std::string csv = formatSummary(rows, "csv");
    EXPECT_EQ(csv.rfind("dataset,distribution,method,config,eval_distribution,instances,seeds,ph1_gap_mean,ph2_gap_mean,"
                        "ph2_gap_ci95_low,ph2_gap_ci95_high,cpu_mean,eval_ph1_gap_mean,eval_ph2_gap_mean,bias_mean,",
                        0),
              0u);
}

TEST(summarize, byDesignLevelSplitsTheInstancesAndRefusesFileRuns)
{
    enterScratchDir();
    {
        // Groups 1 and 17 of J30: NC 1.5 and 1.8, both RF 0.25 and RS 0.2.
        std::ofstream out("e.csv");
        out << evalCsvHeader() << "\n";
        evalPair(out, 1, 20, 18, 50.5, 50.2);
        evalPair(out, 161, 30, 28, 49.0, 48.5);
        evalPair(out, 162, 40, 38, 49.0, 48.5);
    }
    std::vector<SummaryRow> rows;
    std::string error;
    ASSERT_TRUE(summarizeFiles({"e.csv"}, rows, error, "nc")) << error;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].level, "1.5");
    EXPECT_EQ(rows[1].level, "1.8");
    EXPECT_EQ(rows[0].instances, 1);
    EXPECT_EQ(rows[1].instances, 2);
    EXPECT_DOUBLE_EQ(rows[1].evalPh2GapMean, 33);
    EXPECT_DOUBLE_EQ(rows[1].evalPh2GapPathMean, 16.5);
    EXPECT_DOUBLE_EQ(rows[1].evalPh1GapPathMean, 17.5);
    EXPECT_EQ(formatSummary(rows, "md").rfind("| NC | set |", 0), 0u);
    const std::string csv = formatSummary(rows, "csv");
    EXPECT_NE(csv.find(",eval_ph2_gap_path_mean,nc\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",1.8\n"), std::string::npos) << csv;
    EXPECT_EQ(formatSummary(rows, "latex").rfind("\\begin{tabular}{rllllllrrrrrrrrrrrrr}\n\\toprule\nNC & Set", 0), 0u);
    for (const char* by : {"rf", "rs"}) {
        rows.clear();
        ASSERT_TRUE(summarizeFiles({"e.csv"}, rows, error, by)) << error;
        EXPECT_EQ(rows.size(), 1u) << by;
        EXPECT_EQ(rows[0].level, std::string(by) == "rf" ? "0.25" : "0.2");
    }
    rows.clear();
    ASSERT_TRUE(summarizeFiles({"e.csv"}, rows, error, "group")) << error;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].level, "17");
    {
        std::ofstream out("f.csv");
        EvalRow r;
        r.dataset = "R";
        r.distribution = r.evalDistribution = "U2";
        r.method = "HV";
        r.config = "5000";
        r.file = "x.sm";
        r.stem = "x";
        r.policy = "ph1";
        r.runs = 10;
        r.lowerBound = 40;
        r.mean = 50;
        r.pairedDiff = r.pairedStderr = r.inSample = r.bias = NAN;
        r.version = "0.1.0+test";
        r.pathBound = 45;
        out << evalCsvHeader(true) << "\n" << evalCsvLine(r) << "\n";
        r.policy = "ph2";
        r.pairedDiff = r.pairedStderr = 0;
        out << evalCsvLine(r) << "\n";
    }
    ASSERT_TRUE(summarizeFiles({"f.csv"}, rows, error)) << error;
    EXPECT_FALSE(summarizeFiles({"f.csv"}, rows, error, "nc"));
    EXPECT_NE(error.find("f.csv: --by nc needs the design levels of a PSPLIB set"), std::string::npos) << error;
}

TEST(summarize, rowsOfOnePolicyAreRowsOfTheirOwn)
{
    enterScratchDir();
    {
        std::ofstream out("e.csv");
        out << evalCsvHeader() << "\n";
        evalPair(out, 1, 20, 18, 50.5, 50.2);
        for (int inst = 1; inst <= 2; ++inst) {
            EvalRow r;
            r.dataset = "J30";
            r.distribution = r.evalDistribution = "U2";
            r.method = "LFT";
            r.config = "5000";
            r.group = 1;
            r.instance = inst;
            r.policy = "RB";
            r.runs = 100;
            r.lowerBound = 40;
            r.mean = 50;
            r.gap = 10.0 * inst;
            r.inSample = r.bias = r.pairedDiff = r.pairedStderr = NAN;
            r.version = "0.1.0+test";
            r.pathBound = 45;
            r.gapPath = 4.0 * inst;
            out << evalCsvLine(r) << "\n";
        }
    }
    std::vector<EvalRow> read;
    std::string error;
    ASSERT_TRUE(readEvalCsv("e.csv", read, error)) << error;
    std::vector<SummaryRow> rows;
    ASSERT_TRUE(summarizeFiles({"e.csv"}, rows, error)) << error;
    ASSERT_EQ(rows.size(), 2u);
    const SummaryRow& lft = rows[0].method == "LFT-RB" ? rows[0] : rows[1];
    EXPECT_EQ(lft.method, "LFT-RB");
    EXPECT_EQ(lft.instances, 2);
    EXPECT_DOUBLE_EQ(lft.evalPh2GapMean, 15);
    EXPECT_DOUBLE_EQ(lft.evalPh2GapPathMean, 6);
    EXPECT_TRUE(std::isnan(lft.evalPh1GapMean));
    EXPECT_TRUE(std::isnan(lft.evalPh1GapPathMean));
    EXPECT_TRUE(std::isnan(lft.ph1GapMean));
    EXPECT_NE(formatSummary(rows, "md").find("| LFT-RB | 5000 | 1-1 | U2 | 100 | 0 | 2 | 1 |  |  |  |  |  | 15.000 |  | "
                                             "6.000 |  |"),
              std::string::npos)
        << formatSummary(rows, "md");
}

TEST(summarize, biasIsInPercentOfTheMakespanAndLatexEscapesItsText)
{
    enterScratchDir();
    {
        std::ofstream out("e.csv");
        out << evalCsvHeader() << "\n";
        evalPair(out, 1, 20, 18, 50.5, 50.2);   // Phase 2 reported: bias 0.2 of 50, 0.4 %
        evalPair(out, 2, 30, 31, 49.0, 49.5);   // Phase 1 reported: bias -1 of 50, -2 %
    }
    std::vector<SummaryRow> rows;
    std::string error;
    ASSERT_TRUE(summarizeFiles({"e.csv"}, rows, error)) << error;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NEAR(rows[0].biasPercentMean, (0.4 - 2.0) / 2, 1e-12);
    EXPECT_NEAR(rows[0].biasMean, (0.2 - 1.0) / 2, 1e-12);
    EXPECT_NE(formatSummary(rows, "md").find("| 25.000 | 24.000 | 12.500 | 12.000 | -0.8000 |"), std::string::npos)
        << formatSummary(rows, "md");
    const std::string csv = formatSummary(rows, "csv");
    EXPECT_NE(csv.find(",eval_ph2_gap_mean,bias_mean,"), std::string::npos);
    EXPECT_NE(csv.find(",eval_version,groups,runs,eval_seed,bias_time_mean,eval_ph1_gap_path_mean,"
                       "eval_ph2_gap_path_mean\n"), std::string::npos);

    rows[0].dataset = "my_run&co";
    rows[0].evalDistribution = "U2-L10";
    std::string tex = formatSummary(rows, "latex");
    EXPECT_NE(tex.find("\nmy\\_run\\&co & U2 & HV & 5000 & 1-1 & U2-L10 &"), std::string::npos) << tex;
}

}  // namespace
