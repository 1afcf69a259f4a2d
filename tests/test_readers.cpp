// The readers of evaluation files and of the samples .part: every field checked for its type and
// range with file, line and field in the message, odd paths refused, and random damage to valid
// lines never escaping as a crash or an exception.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "evaluate/samplesFile.h"
#include "results/evalCsv.h"
#include "results/policyRecord.h"
#include "results/resultsCsv.h"
#include "support/testSupport.h"

namespace {

// A ph1 and a ph2 row of one PSPLIB instance, as evaluate writes them.
std::string evalRows()
{
    const std::string ph1 = "J30,U2,U2,HV,5000,1,1,3,ph1,100,1,40,49,50.5,0.1,50.3,50.7,1,50,52,53,55,26.25,-1.5,,,"
                            "0.1.0+test,0.1.0+test,44.5,0.06,13.48314606741573,0.2";
    const std::string ph2 = "J30,U2,U2,HV,5000,1,1,3,ph2,100,1,40,48,50.2,0.1,50,50.4,1,50,52,53,55,25.5,-2.2,0.3,0.05,"
                            "0.1.0+test,0.1.0+test,44.5,0.06,12.8,0.18";
    return ph1 + "\n" + ph2 + "\n";
}

const std::map<std::string, int> outputNames = {{"p-eval-U2.csv", 0}};

std::string samplesLine(const std::string& policy = "ph1")
{
    return "p-eval-U2.csv\t{\"dataset\":\"J30\",\"distribution\":\"U2\",\"eval_distribution\":\"U2\",\"method\":\"HV\","
           "\"config\":5000,\"group\":1,\"instance\":3,\"policy\":\"" +
           policy + "\",\"eval_seed\":1,\"runs\":3,\"lower_bound\":40,\"path_bound\":44.5,\"mean\":50.5,\"makespans\":[50,50.5,51]}";
}

// A results row of J30 group 1 instance 3, as a batch run writes it.
std::string resultsLine()
{
    ResultRow row;
    row.group = 1;
    row.instance = 3;
    row.activities = 32;
    row.lowerBound = 40;
    row.ph1Makespan = row.ph2Makespan = 50;
    row.host = "h";
    return csvLine(RunIdentity{"J30", "U2", "HV", "5000", "1", "1-1", "0.1.0+test"}, row);
}

// The line with its field number column (0-based) replaced by value.
std::string replaceField(const std::string& line, int column, const std::string& value)
{
    std::size_t start = 0;
    for (int c = 0; c < column; ++c) start = line.find(',', start) + 1;
    std::size_t end = line.find_first_of(",\n", start);
    return line.substr(0, start) + value + (end == std::string::npos ? "" : line.substr(end));
}

// evalRows with a field of its ph2 row replaced.
std::string withField(int column, const std::string& value)
{
    std::string rows = evalRows();
    std::size_t second = rows.find('\n') + 1;
    return rows.substr(0, second) + replaceField(rows.substr(second), column, value);
}

// A value put in a field, and the field's name the refusal must give.
struct BadField {
    int column;
    const char* value;
    const char* field;
};

TEST(readers, evaluationFieldsAreCheckedWithFileLineAndField)
{
    const std::string header = evalCsvHeader() + "\n";
    std::vector<EvalRow> rows;
    std::string error;
    ASSERT_TRUE(parseEvalText(header + evalRows(), "e.csv", rows, error)) << error;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].runs, 100);
    EXPECT_DOUBLE_EQ(rows[1].pairedDiff, 0.3);

    const BadField bad[] = {{0, "J99", "dataset"},        {1, "XX", "distribution"},   {2, "U2-L0", "eval_distribution"},
               {3, "hv", "method"},          {5, "-1", "run_seed"},       {6, "49", "group"},
               {6, "99999999999", "group"},  {7, "\"1\"", "instance"},    {8, "ph3", "policy"},
               {9, "1", "runs"},             {9, "0x10", "runs"},         {10, "4294967296", "eval_seed"},
               {11, "0", "lower_bound"},     {12, "nan", "in_sample"},    {13, "inf", "mean"},
               {13, "0x10", "mean"},         {13, "", "mean"},            {14, "-1", "stderr"},
               {19, " 52", "p90"},           {24, "", "paired_diff"},     {26, "", "version"},
               {28, "0", "path_bound"},      {28, "", "path_bound"},      {29, "-0.1", "path_bound_stderr"},
               {30, "", "gap_path"},         {30, "nan", "gap_path"},     {31, "-1", "gap_path_stderr"}};
    for (const auto& b : bad) {
        rows.clear();
        EXPECT_FALSE(parseEvalText(header + withField(b.column, b.value), "e.csv", rows, error)) << b.value;
        EXPECT_NE(error.find("e.csv: line 3 is not an evaluation row: field \"" + std::string(b.field) + "\""),
                  std::string::npos)
            << error;
    }
    // A ph1 row has no paired difference.
    std::string ph1Paired = evalRows();
    ph1Paired.replace(ph1Paired.find(",,,0.1.0"), 4, ",,1,");
    EXPECT_FALSE(parseEvalText(header + ph1Paired, "e.csv", rows, error));
    EXPECT_NE(error.find("line 2 is not an evaluation row: field \"paired_stderr\""), std::string::npos) << error;
}

TEST(readers, anEvaluationRowsColumnsReadBackExactlyInBothLayouts)
{
    EvalRow row;
    row.dataset = "J30";
    row.distribution = "B1";
    row.evalDistribution = "U2-L1000";
    row.method = "LV";
    row.config = "5000";
    row.runSeed = "7";
    row.group = 48;
    row.instance = 10;
    row.policy = "ph2";
    row.runs = 12345;
    row.evalSeed = 4294967295u;
    double* numbers[] = {&row.lowerBound, &row.inSample, &row.mean, &row.stderrOfMean, &row.ci95Low, &row.ci95High,
                         &row.sd, &row.p50, &row.p90, &row.p95, &row.p99, &row.gap, &row.bias, &row.pairedDiff,
                         &row.pairedStderr, &row.pathBound, &row.pathBoundStderr, &row.gapPath, &row.gapPathStderr};
    // Values that only an exact form reads back: thirds, tiny and large magnitudes, all distinct.
    for (std::size_t k = 0; k < sizeof numbers / sizeof numbers[0]; ++k) *numbers[k] = (k + 1) / 3.0 + 1e-13 * k;
    row.version = "0.1.0+test";
    row.runVersion = "0.0.9";
    for (int layout = 0; layout < 2; ++layout) {
        if (layout == 1) {
            row.group = row.instance = 0;
            row.dataset = "R";
            row.file = "projects/x.sm";
            row.stem = "x";
        }
        std::vector<EvalRow> back;
        std::string error;
        ASSERT_TRUE(parseEvalText(evalCsvHeader(layout == 1) + "\n" + evalCsvLine(row) + "\n", "e.csv", back, error))
            << error;
        ASSERT_EQ(back.size(), 1u);
        const EvalRow& b = back[0];
        EXPECT_EQ(evalCsvLine(b), evalCsvLine(row));
        EXPECT_EQ(b.pathBound, row.pathBound);
        EXPECT_EQ(b.pathBoundStderr, row.pathBoundStderr);
        EXPECT_EQ(b.gapPath, row.gapPath);
        EXPECT_EQ(b.gapPathStderr, row.gapPathStderr);
        EXPECT_EQ(b.pairedStderr, row.pairedStderr);
        EXPECT_EQ(b.stem, row.stem);
        EXPECT_EQ(b.group, row.group);
    }
    // A file of an earlier version, without the path-bound columns, is named as such.
    std::string old = evalCsvHeader();
    old = old.substr(0, old.find(",path_bound"));
    std::vector<EvalRow> back;
    std::string error;
    EXPECT_FALSE(parseEvalText(old + "\n", "old.csv", back, error));
    EXPECT_NE(error.find("old.csv: line 1 is the header of an evaluation file without the path-bound columns"),
              std::string::npos)
        << error;
}

TEST(readers, resultsFieldsAreNamedWhenRefused)
{
    const std::string line = resultsLine();
    const BadField bad[] = {{0, "J99", "dataset"},         {1, "XX", "distribution"}, {6, "99999999999", "group"},
               {6, "0x1", "group"},           {11, "0x10", "ph1_makespan"}, {12, "nan", "ph1_gap"},
               {14, "inf", "ph2_gap"},        {16, " 1", "cpu_seconds"},   {17, "-1", "stream_seed"}};
    for (const auto& b : bad) {
        RunIdentity back;
        std::vector<ResultRow> rows;
        std::string error;
        EXPECT_FALSE(parseCsv(csvHeader() + "\n" + replaceField(line, b.column, b.value) + "\n", "r.csv", back, rows, error));
        EXPECT_EQ(error.rfind("r.csv: line 2 is not a results row: field \"" + std::string(b.field) + "\" is \"" +
                                  b.value + "\"",
                              0),
                  0u)
            << error;
    }
}

TEST(readers, aCompleteFilesLastLineCountsWithoutItsLineFeedAPartFilesDoesNot)
{
    enterScratchDir();
    std::string text = evalCsvHeader() + "\n" + evalRows();
    text.pop_back();
    std::ofstream("e.csv", std::ios::binary) << text;
    std::ofstream("e.csv.part", std::ios::binary) << text;
    std::vector<EvalRow> rows;
    std::string error;
    ASSERT_TRUE(readEvalCsv("e.csv", rows, error)) << error;
    EXPECT_EQ(rows.size(), 2u);
    rows.clear();
    ASSERT_TRUE(readEvalCsv("e.csv.part", rows, error)) << error;
    EXPECT_EQ(rows.size(), 1u);
}

TEST(readers, samplesLinesAreCheckedKeyByKey)
{
    std::vector<SamplesPlace> places;
    std::string error;
    const std::string good = samplesLine() + "\n" + samplesLine("ph2") + "\n";
    ASSERT_TRUE(indexSamplesText(good + "other-eval-U1.csv\t{}\n", "s.part", outputNames, places, error)) << error;
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[1].policy, "ph2");
    EXPECT_EQ(places[1].offset, static_cast<long>(samplesLine().size() + 1));
    EXPECT_EQ(places[0].runs, 3);

    const std::pair<std::string, std::string> bad[] = {
        {"\"group\":1", "\"group\":\"1\""},       {"\"group\":1", "\"group\":99999999999"},
        {"\"policy\":\"ph1\"", "\"policy\":7"},  {"\"runs\":3", "\"runs\":1"},
        {"\"runs\":3", "\"runs\":4"},            {"\"mean\":50.5", "\"mean\":null"},
        {"\"dataset\":\"J30\"", "\"dataset\":\"J 30\""}, {"[50,", "[\"50\","},
        {"\"config\":5000,", ""},                {"\t", " "},
        {"\"path_bound\":44.5,", ""},           {"\"path_bound\":44.5", "\"path_bound\":\"44.5\""}};
    for (const auto& [from, to] : bad) {
        std::string line = samplesLine();
        line.replace(line.find(from), from.size(), to);
        places.clear();
        EXPECT_FALSE(indexSamplesText(samplesLine("ph2") + "\n" + line + "\n", "s.part", outputNames, places, error))
            << line;
        EXPECT_EQ(error.rfind("s.part: line 2: ", 0), 0u) << error;
    }
    // A last line cut short by a stop is left out.
    places.clear();
    ASSERT_TRUE(indexSamplesText(good + samplesLine().substr(0, 50), "s.part", outputNames, places, error));
    EXPECT_EQ(places.size(), 2u);
}

TEST(readers, foldersAreRefusedByEveryReader)
{
    enterScratchDir();
    ASSERT_EQ(mkdir("d", 0777), 0);
    std::string error;
    RunIdentity id;
    std::vector<ResultRow> rows;
    EXPECT_FALSE(readCsv("d", id, rows, error));
    EXPECT_EQ(error, "d: a folder, not a file");
    std::vector<PolicyRecord> records;
    EXPECT_FALSE(readPolicyFile("d", records, error, InputKind::regularOrStream));
    EXPECT_EQ(error, "d: a folder, not a file");
    std::vector<EvalRow> evalRowsRead;
    EXPECT_FALSE(readEvalCsv("d", evalRowsRead, error));
    EXPECT_EQ(error, "d: a folder, not a file");
    std::vector<SamplesPlace> places;
    EXPECT_FALSE(indexSamples("d", outputNames, places, error));
    EXPECT_EQ(error, "d: a folder, not a file");
}

// Random damage to a valid text: a byte changed, dropped or doubled, a piece cut out or copied
// elsewhere, or a token typical of bad input put in place of a number.
std::string mutate(std::string text, std::mt19937& rng)
{
    static const char* const tokens[] = {"nan", "inf", "-inf", "0x10", "1e999", "-1", "99999999999", "\"1\"", "null",
                                         "", ",", "\t", "\n", "[]", "{}", "\"", "1.5", "-0", "ph1", "J99"};
    const int edits = 1 + static_cast<int>(rng() % 3);
    for (int e = 0; e < edits && !text.empty(); ++e) {
        std::size_t at = rng() % text.size(), len = 1 + rng() % 8;
        switch (rng() % 5) {
        case 0: text[at] = static_cast<char>(rng() % 256); break;
        case 1: text.erase(at, len); break;
        case 2: text.insert(at, text.substr(rng() % text.size(), len)); break;
        case 3: text.insert(at, tokens[rng() % (sizeof tokens / sizeof tokens[0])]); break;
        default: {
            std::size_t digit = text.find_first_of("0123456789", at);
            if (digit != std::string::npos) text.replace(digit, 1, tokens[rng() % (sizeof tokens / sizeof tokens[0])]);
        }
        }
    }
    return text;
}

// Each refusal names the file and a line of it (a results file's header line included).
bool namesFileAndLine(const std::string& error, const std::string& path)
{
    return error.rfind(path + ": line ", 0) == 0 || error == path + ": empty, not a tarvo evaluation file";
}

TEST(readers, randomDamageToValidLinesIsRefusedWithFileAndLineNeverACrash)
{
    std::mt19937 rng(20261208);
    const std::string evalText = evalCsvHeader() + "\n" + evalRows();
    const std::string samplesText = samplesLine() + "\n" + samplesLine("ph2") + "\n";
    const std::string resultsText = csvHeader() + "\n" + resultsLine() + "\n" + resultsLine() + "\n";
    int refusedEval = 0, refusedSamples = 0;
    for (int round = 0; round < 4000; ++round) {
        std::vector<EvalRow> rows;
        std::string error;
        const std::string damagedEval = mutate(evalText, rng);
        if (!parseEvalText(damagedEval, "e.csv", rows, error)) {
            ++refusedEval;
            EXPECT_TRUE(namesFileAndLine(error, "e.csv")) << error << "\n" << damagedEval;
        }
        std::vector<SamplesPlace> places;
        const std::string damagedSamples = mutate(samplesText, rng);
        if (!indexSamplesText(damagedSamples, "s.part", outputNames, places, error)) {
            ++refusedSamples;
            EXPECT_TRUE(namesFileAndLine(error, "s.part")) << error << "\n" << damagedSamples;
        }
        RunIdentity readId;
        std::vector<ResultRow> results;
        const std::string damagedResults = mutate(resultsText, rng);
        if (!parseCsv(damagedResults, "r.csv", readId, results, error)) {
            EXPECT_TRUE(namesFileAndLine(error, "r.csv")) << error << "\n" << damagedResults;
        }
        for (const ResultRow& r : results) EXPECT_TRUE(r.group >= 1 && r.group <= 60 && r.instance >= 1);
        // What is accepted is in range, whatever the damage.
        for (const SamplesPlace& p : places) EXPECT_TRUE(p.runs >= 2 && p.group >= 0 && p.group <= 60);
        for (const EvalRow& r : rows) EXPECT_TRUE(r.runs >= 2 && r.lowerBound > 0 && r.group <= 60);
    }
    // Most damage is seen (the rest hits a byte whose change leaves a valid line).
    EXPECT_GT(refusedEval, 2000);
    EXPECT_GT(refusedSamples, 2000);
}

}  // namespace
