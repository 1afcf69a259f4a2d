// The batch commands' readers and names: policy records (the format resume, merge and
// evaluation share), results rows, the flags of `tarvo run`, the file names per seed and shard, and
// the files, rows and records of file runs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "results/policyRecord.h"

// A J30 policy line as the batch run writes it: list 1..32 in order, two arcs.
static std::string goodLine(const std::string& replace = "", const std::string& with = "")
{
    std::string list;
    for (int a = 1; a <= 32; ++a) list += (a > 1 ? "," : "") + std::to_string(a);
    std::string line = "{\"dataset\":\"J30\",\"distribution\":\"U2\",\"method\":\"HV\",\"config\":5000,\"group\":17,"
                       "\"instance\":3,\"inst\":163,\"stream_seed\":4294967295,\"list\":[" + list +
                       "],\"arcs\":[[2,5,1],[7,3,2]]}";
    if (!replace.empty()) line.replace(line.find(replace), replace.size(), with);
    return line;
}

static std::string faultOf(const std::string& line)
{
    PolicyRecord r;
    std::string fault;
    EXPECT_FALSE(parsePolicyLine(line, r, fault)) << line;
    return fault;
}

TEST(policyRecord, readsALineAndWritesItBackByteForByte)
{
    PolicyRecord r;
    std::string fault;
    ASSERT_TRUE(parsePolicyLine(goodLine(), r, fault)) << fault;
    EXPECT_EQ(r.dataset, "J30");
    EXPECT_EQ(r.method, "HV");
    EXPECT_EQ(r.inst, 163);
    EXPECT_EQ(r.streamSeed, 4294967295u);
    ASSERT_EQ(r.list.size(), 33u);
    EXPECT_EQ(r.list[0], 0);
    EXPECT_EQ(r.list[32], 32);
    ASSERT_EQ(r.arcs.size(), 2u);
    EXPECT_EQ(r.arcs[1].from, 7);
    EXPECT_EQ(r.arcs[1].type, 2);
    EXPECT_EQ(policyLine(r), goodLine());
}

TEST(policyRecord, refusesEachFaultWithItsReason)
{
    EXPECT_EQ(faultOf("{\"dataset\":"), "not valid JSON (at byte 12)");
    EXPECT_EQ(faultOf("[1,2]"), "not a JSON object");
    EXPECT_EQ(faultOf(goodLine("\"config\":5000", "\"config\":1e999")), "not valid JSON (a number out of range)");
    EXPECT_EQ(faultOf(goodLine("\"dataset\":\"J30\",", "")), "\"dataset\" is missing");
    EXPECT_EQ(faultOf(goodLine("\"U2\"", "\"U3\"")), "\"distribution\" is \"U3\", not a known name");
    EXPECT_EQ(faultOf(goodLine("\"group\":17", "\"group\":17.0")), "\"group\" is 17.0, not a whole number 1..60");
    EXPECT_EQ(faultOf(goodLine("\"group\":17", "\"group\":0")), "\"group\" is 0, not a whole number 1..60");
    EXPECT_EQ(faultOf(goodLine("\"stream_seed\":4294967295", "\"stream_seed\":4294967296")),
              "\"stream_seed\" is 4294967296, not a whole number 0..4294967295");
    EXPECT_EQ(faultOf(goodLine("\"inst\":163", "\"inst\":162")), "\"inst\" is 162, but group 17 instance 3 is 163");
    EXPECT_EQ(faultOf(goodLine("\"group\":17", "\"group\":49").replace(goodLine().find("\"inst\":163"), 10,
                                                                       "\"inst\":483")),
              "\"group\" is 49, beyond the last group of J30");
    EXPECT_EQ(faultOf(goodLine(",32]", "]")), "\"list\" holds 31 activities, not 32");
    EXPECT_EQ(faultOf(goodLine("[1,2,", "[1,1,")), "\"list\" holds activity 1 twice");
    EXPECT_EQ(faultOf(goodLine("[1,2,", "[1,-2,")), "\"list\" place 2 is not an activity 1..32");
    EXPECT_EQ(faultOf(goodLine("[1,2,", "[2,1,")), "\"list\" must start with activity 1 and end with activity 32");
    EXPECT_EQ(faultOf(goodLine("[7,3,2]", "[7,33,2]")), "\"arcs\" entry 2 does not join two activities 1..32");
    EXPECT_EQ(faultOf(goodLine("[7,3,2]", "[7,7,2]")), "\"arcs\" entry 2 does not join two activities 1..32");
    EXPECT_EQ(faultOf(goodLine("[7,3,2]", "[7,3,0]")), "\"arcs\" entry 2 has type 0, not 1 or 2");
    EXPECT_EQ(faultOf(goodLine("[7,3,2]", "[7,3]")), "\"arcs\" entry 2 is not [from, to, type]");
}

TEST(policyRecord, fileReaderSkipsACutLastLineAndNamesTheLineAtFault)
{
    std::vector<PolicyRecord> records;
    std::string error;
    std::string two = goodLine() + "\n" + goodLine("\"instance\":3,\"inst\":163", "\"instance\":4,\"inst\":164") + "\n";
    ASSERT_TRUE(parsePolicyText(two + goodLine().substr(0, 50), "p.jsonl", records, error)) << error;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].inst, 164);
    EXPECT_EQ(records[1].lineNo, 2);
    EXPECT_FALSE(parsePolicyText(two + "{}\n" + goodLine() + "\n", "p.jsonl", records, error));
    EXPECT_EQ(error, "p.jsonl: line 3: \"dataset\" is missing");
    EXPECT_FALSE(readPolicyFile("/nonexistent/p.jsonl", records, error));
    EXPECT_EQ(error, "/nonexistent/p.jsonl: No such file or directory");
}

TEST(resultsFile, rowsReadBackAsWrittenAndForeignLinesAreNamed)
{
    RunIdentity id{"J30", "B2", "HV", "5000", "7", "1-2", "0.1.0+abc"};
    ResultRow row;
    row.group = 2;
    row.instance = 10;
    row.activities = 32;
    row.lowerBound = 38;
    row.ph1Makespan = 46.7776794;
    row.ph1Gap = 23.099156429893021;
    row.streamSeed = 4000000000u;
    row.host = "node1";
    std::string text = csvHeader() + "\n" + csvLine(id, row) + "\n";
    RunIdentity back;
    std::vector<ResultRow> rows;
    std::string error;
    ASSERT_TRUE(parseCsv(text + "J30,B2,HV,5000,7,1-2,2,1", "r.csv", back, rows, error)) << error;
    ASSERT_EQ(rows.size(), 1u);  // the cut last line is left out
    EXPECT_EQ(back.runSeed, "7");
    EXPECT_EQ(rows[0].ph1Gap, row.ph1Gap);
    EXPECT_EQ(rows[0].ph1Makespan, row.ph1Makespan);
    EXPECT_EQ(rows[0].streamSeed, row.streamSeed);
    rows.clear();
    std::string other = csvLine(RunIdentity{"J30", "B2", "HV", "5000", "8", "1-2", "0.1.0+abc"}, row);
    EXPECT_FALSE(parseCsv(text + other + "\n", "r.csv", back, rows, error));
    EXPECT_EQ(error, "r.csv: line 3 belongs to another run");
    rows.clear();
    // A data set name is part of the file names merge writes: only the program's names pass.
    EXPECT_FALSE(parseCsv(csvHeader() + "\n../x" + csvLine(id, row).substr(3) + "\n", "r.csv", back, rows, error));
    EXPECT_EQ(error, "r.csv: line 2 is not a results row: field \"dataset\" is \"../x\"");
    EXPECT_FALSE(parseCsv("a,b\n", "r.csv", back, rows, error));
    EXPECT_EQ(error, "r.csv: line 1 is not the header of a tarvo results file");
}

TEST(batchFlags, refusalsNameTheTokenAndHelpOrVersionStopCleanly)
{
    auto outcome = [](std::vector<std::string> words) {
        BatchOptions o;
        return parseBatchFlags(words, o);
    };
    FlagsOutcome help = outcome({"--help"});
    EXPECT_FALSE(help.run);
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.text.find("--seeds A-B"), std::string::npos);
    EXPECT_EQ(outcome({"--version"}).code, 0);
    FlagsOutcome bad = outcome({"--dataset", "J30", "--groups", "40-49"});
    EXPECT_EQ(bad.code, exitUsage);
    EXPECT_EQ(bad.text, "tarvo: --groups goes beyond the data set's last group: \"40-49\" (see --help)\n");
    EXPECT_EQ(outcome({"--dataset", "J30", "--seed", "1", "--seeds", "1-2"}).text,
              "tarvo: give --seed or --seeds, not both: \"--seeds\" (see --help)\n");
    EXPECT_NE(outcome({"--dataset", "J30", "--frob"}).text.find("--frob"), std::string::npos);
    EXPECT_NE(outcome({"--dataset"}).text.find("--dataset"), std::string::npos);
}

TEST(batchFlags, workersGetFlagsThatReadBackToTheSameRun)
{
    BatchOptions o;
    ASSERT_TRUE(parseBatchFlags({"--dataset=j120", "--dist", "Exp,U1", "--method", "lv", "--groups", "3-5", "--seeds",
                                 "4-9", "--jobs", "3", "--resume", "--instances", "a b"},
                                o)
                    .run);
    EXPECT_EQ(o.dataset, 4);
    EXPECT_TRUE(o.dist[1] && o.dist[5] && !o.dist[2]);
    EXPECT_EQ(o.firstSeed, 4u);
    EXPECT_EQ(o.lastSeed, 9u);
    BatchOptions again;
    ASSERT_TRUE(parseBatchFlags(batchFlags(o), again).run);
    EXPECT_EQ(batchFlags(again), batchFlags(o));
    EXPECT_EQ(again.instances, "a b");
    EXPECT_EQ(again.jobs, 3);
}

// The shard an array task takes: (variables as Slurm sets them, "" for unset) -> "K/N", or the
// start of the refusal.
static std::string slurmShard(const char* id, const char* low, const char* high, const char* count, const char* step)
{
    const char* names[] = {"SLURM_ARRAY_TASK_ID", "SLURM_ARRAY_TASK_MIN", "SLURM_ARRAY_TASK_MAX",
                           "SLURM_ARRAY_TASK_COUNT", "SLURM_ARRAY_TASK_STEP"};
    const char* values[] = {id, low, high, count, step};
    for (int v = 0; v < 5; ++v)
        if (*values[v]) setenv(names[v], values[v], 1);
        else unsetenv(names[v]);
    BatchOptions o;
    FlagsOutcome out = parseBatchFlags({"--dataset", "J30"}, o);
    for (const char* name : names) unsetenv(name);
    if (!out.run) return out.text.substr(0, out.text.find(": \""));
    return std::to_string(o.shard) + "/" + std::to_string(o.shardCount);
}

TEST(batchFlags, slurmArrayTasksTakeTheirPlaceInTheArray)
{
    // --array=1-4 and --array=0-3: the id's place, whatever the first id.
    EXPECT_EQ(slurmShard("4", "1", "4", "4", "1"), "4/4");
    EXPECT_EQ(slurmShard("0", "0", "3", "4", "1"), "1/4");
    // --array=1-9:2 has the five tasks 1, 3, 5, 7, 9; --array=4-12:4 the three tasks 4, 8, 12.
    const char* stepped[] = {"1", "3", "5", "7", "9"};
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(slurmShard(stepped[k - 1], "1", "9", "5", "2"), std::to_string(k) + "/5");
    EXPECT_EQ(slurmShard("12", "4", "12", "3", "4"), "3/3");
    // Without the first id: from the last id and the size, else the array counts from 1.
    EXPECT_EQ(slurmShard("9", "", "9", "5", "2"), "5/5");
    EXPECT_EQ(slurmShard("3", "", "", "3", ""), "3/3");
    EXPECT_EQ(slurmShard("1", "", "", "3", ""), "1/3");
    EXPECT_EQ(slurmShard("5", "3", "5", "", ""), "3/3");
    // Ids that are no task of the array are refused, never taken for another shard.
    EXPECT_EQ(slurmShard("4", "1", "9", "5", "2"), "tarvo: SLURM_ARRAY_TASK_ID is not one of the array's 5 tasks 1, 3, ... (give --shard K/N)");
    EXPECT_EQ(slurmShard("11", "1", "9", "5", "2"), "tarvo: SLURM_ARRAY_TASK_ID is not one of the array's 5 tasks 1, 3, ... (give --shard K/N)");
    EXPECT_EQ(slurmShard("0", "", "", "3", ""), "tarvo: SLURM_ARRAY_TASK_ID is not one of the array's 3 tasks 1, 2, ... (give --shard K/N)");
    EXPECT_EQ(slurmShard("3", "", "", "", ""), "tarvo: SLURM_ARRAY_TASK_ID is set but neither SLURM_ARRAY_TASK_COUNT nor _MAX");
    EXPECT_EQ(slurmShard("3", "1", "5", "3", "0"), "tarvo: SLURM_ARRAY_TASK_STEP is not a step of 1 or more");
    // A list of ids (--array=3,7,8): every task is refused, the first one too.
    for (const char* id : {"3", "7", "8"})
        EXPECT_EQ(slurmShard(id, "3", "8", "3", "1"),
                  "tarvo: the array's task ids are not evenly spaced from SLURM_ARRAY_TASK_MIN to _MAX (a list such as "
                  "--array=3,7,8?): give --shard K/N");
    // Not an array task: the whole run.
    EXPECT_EQ(slurmShard("", "1", "5", "3", "2"), "0/0");
}

TEST(batchFiles, namesCarryWhatDiffersFromTheDefaultRunAndTheShard)
{
    RunIdentity id{"J60", "U1", "LV", "5000", "1", "1-48", "v"};
    EXPECT_EQ(resultsBase("R", id, 0, 0), "R/J60-U1-#5000sch-LV");
    id.groups = "1-3";
    EXPECT_EQ(resultsBase("R", id, 0, 0), "R/J60-U1-#5000sch-LV-g1-3");
    id.runSeed = "single";
    EXPECT_EQ(resultsBase("R", id, 0, 0), "R/J60-U1-#5000sch-LV-g1-3-single");
    id.runSeed = "12";
    EXPECT_EQ(resultsBase("R", id, 2, 3), "R/J60-U1-#5000sch-LV-g1-3-seed12-shard2of3");
    id = RunIdentity{"J120", "U1", "LV", "5000", "1", "1-60", "v"};
    EXPECT_EQ(resultsBase("R", id, 0, 0), "R/J120-U1-#5000sch-LV");
    id.groups = "1-48";
    EXPECT_EQ(resultsBase("R", id, 0, 0), "R/J120-U1-#5000sch-LV-g1-48");
    id = RunIdentity{"rg30", "U1", "LV", "5000", "1", "480", "v", true};
    EXPECT_EQ(resultsBase("R", id, 0, 0), "R/rg30-U1-#5000sch-LV");
    EXPECT_EQ(policyPathFor("R/x.csv"), "R/x.jsonl");
    EXPECT_EQ(policyPathFor("R/x.csv.part"), "R/x.jsonl.part");
}

// ---------------------------------------------------------------------------------------------
// File runs
// ---------------------------------------------------------------------------------------------

TEST(fileRun, policyLinesNameTheFileAndReadBackByteForByte)
{
    const std::string line =
        "{\"dataset\":\"RG30\",\"distribution\":\"B1\",\"method\":\"LV\",\"config\":5000,\"file\":\"sets/rg/Pat 7.rcp\","
        "\"stem\":\"Pat 7\",\"inst\":712,\"stream_seed\":99,\"list\":[1,3,2,4,5],\"arcs\":[[3,2,2]]}";
    PolicyRecord r;
    std::string fault;
    ASSERT_TRUE(parsePolicyLine(line, r, fault)) << fault;
    EXPECT_EQ(r.file, "sets/rg/Pat 7.rcp");
    EXPECT_EQ(r.stem, "Pat 7");
    EXPECT_EQ(r.inst, 712);
    EXPECT_EQ(r.group, 0);
    EXPECT_EQ(r.list.size(), 6u);  // any project size, not the data set's
    EXPECT_EQ(policyLine(r), line);

    auto faultWith = [&](const std::string& from, const std::string& to) {
        std::string bad = line;
        bad.replace(bad.find(from), from.size(), to);
        PolicyRecord x;
        std::string why;
        EXPECT_FALSE(parsePolicyLine(bad, x, why)) << bad;
        return why;
    };
    EXPECT_EQ(faultWith("\"RG30\"", "\"../x\""), "\"dataset\" is \"../x\", not a run name");
    EXPECT_EQ(faultWith("\"RG30\"", "\"J30\""), "\"dataset\" is \"J30\", not a run name");
    EXPECT_EQ(faultWith("\"stem\":\"Pat 7\"", "\"stem\":\"\""), "\"stem\" is \"\", not a file name");
    EXPECT_EQ(faultWith("\"file\":\"sets/rg/Pat 7.rcp\",", ""), "\"file\" is missing");
    EXPECT_EQ(faultWith("[1,3,2,4,5]", "[1,2]"), "\"list\" holds 2 activities, not 3..122");
    EXPECT_EQ(faultWith("[1,3,2,4,5]", "[1,3,2,5,4]"), "\"list\" must start with activity 1 and end with activity 5");
    EXPECT_EQ(faultWith("[[3,2,2]]", "[[3,6,2]]"), "\"arcs\" entry 1 does not join two activities 1..5");
}

TEST(fileRun, resultsRowsCarryFileAndStemAndKeepTheirPlace)
{
    RunIdentity id{"mine", "U2", "HV", "5000", "3", "250", "v", true};
    ResultRow row;
    row.group = 1;
    row.instance = 250;
    row.activities = 17;
    row.lowerBound = 21;
    row.ph1Makespan = 30.25;
    row.file = "a/b.sm";
    row.stem = "b";
    std::string line = csvLine(id, row);
    EXPECT_EQ(line.substr(0, 30), "mine,U2,HV,5000,3,250,,,250,17");
    EXPECT_EQ(line.substr(line.size() - 9), ",a/b.sm,b");
    RunIdentity back;
    std::vector<ResultRow> rows;
    std::string error;
    ASSERT_TRUE(parseCsv(csvHeader(true) + "\n" + line + "\n", "f.csv", back, rows, error)) << error;
    EXPECT_TRUE(back.fileRun);
    EXPECT_EQ(back.dataset, "mine");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rowInst(rows[0]), 250);
    EXPECT_EQ(rows[0].stem, "b");
    EXPECT_EQ(csvLine(back, rows[0]), line);
    // A place beyond the run's number of files, a row under the other header, a missing stem.
    rows.clear();
    std::string beyond = line;
    beyond.replace(beyond.find(",,250,"), 6, ",,251,");
    EXPECT_FALSE(parseCsv(csvHeader(true) + "\n" + beyond + "\n", "f.csv", back, rows, error));
    EXPECT_EQ(error, "f.csv: line 2 is not a results row: field \"inst\" is \"251\"");
    EXPECT_FALSE(parseCsv(csvHeader() + "\n" + line + "\n", "f.csv", back, rows, error));
    EXPECT_EQ(error, "f.csv: line 2 has 22 fields, not 20");
    EXPECT_FALSE(parseCsv(csvHeader(true) + "\n" + line.substr(0, line.size() - 1) + "\n", "f.csv", back, rows, error));
    EXPECT_EQ(error, "f.csv: line 2 is not a results row: field \"stem\" is \"\"");
}

TEST(fileRun, flagsOfAFileRunAndTheirRefusals)
{
    BatchOptions o;
    FlagsOutcome out = parseBatchFlags({"--files", "a", "--files=-b.sm", "--name", "RG+30", "--dist", "U1", "--jobs", "2"}, o);
    ASSERT_TRUE(out.run) << out.text;
    EXPECT_EQ(o.files, (std::vector<std::string>{"a", "-b.sm"}));
    EXPECT_EQ(o.dataset, 0);
    BatchOptions again;
    ASSERT_TRUE(parseBatchFlags(batchFlags(o), again).run);
    EXPECT_EQ(again.files, o.files);
    EXPECT_EQ(again.name, "RG+30");
    for (auto words : std::vector<std::vector<std::string>>{{"--files", "a", "--dataset", "J30"},
                                                            {"--files", "a", "--groups", "1"},
                                                            {"--files", "a", "--single-stream"},
                                                            {"--files", "a", "--name", "J120"},
                                                            {"--files", "a", "--name", "a/b"},
                                                            {"--dataset", "J30", "--name", "x"}}) {
        BatchOptions x;
        FlagsOutcome refused = parseBatchFlags(words, x);
        EXPECT_FALSE(refused.run);
        EXPECT_EQ(refused.code, exitUsage);
        EXPECT_NE(refused.text.find("tarvo: "), std::string::npos);
    }
}

TEST(fileRun, foldersListTheirProjectFilesInNameOrder)
{
    char folderTemplate[] = "/tmp/tarvo-files.XXXXXX";
    std::string folder = mkdtemp(folderTemplate);
    for (const char* name : {"b.rcp", "a.SM", "c.txt", "B.sm", "d.sm.bak"}) std::fclose(std::fopen((folder + "/" + name).c_str(), "w"));
    std::vector<ProjectFile> files;
    std::string error;
    ASSERT_TRUE(listProjectFiles({folder + "/", folder + "/c.txt"}, files, error)) << error;
    std::vector<std::string> stems;
    for (const ProjectFile& f : files) stems.push_back(f.stem);
    EXPECT_EQ(stems, (std::vector<std::string>{"B", "a", "b", "c"}));  // byte order; a named file whatever its extension
    EXPECT_EQ(files[0].path, folder + "/B.sm");
    EXPECT_FALSE(listProjectFiles({folder, folder + "/b.rcp"}, files, error));
    EXPECT_EQ(error, folder + "/b.rcp and " + folder + "/b.rcp have the same stem \"b\", which names the results and "
                     "seeds the stream (rename one)");
    EXPECT_FALSE(listProjectFiles({"/dev/null"}, files, error));
    EXPECT_EQ(error, "/dev/null: neither a file nor a folder");
    EXPECT_FALSE(listProjectFiles({folder + "/nothing"}, files, error));
    EXPECT_EQ(error, folder + "/nothing: No such file or directory");
    std::string empty = folder + "/empty";
    ASSERT_EQ(mkdir(empty.c_str(), 0700), 0);
    EXPECT_FALSE(listProjectFiles({empty}, files, error));
    EXPECT_EQ(error, empty + ": the folder holds no .sm or .rcp files");
    std::fclose(std::fopen((empty + "/co,ma.sm").c_str(), "w"));
    EXPECT_FALSE(listProjectFiles({empty}, files, error));
    EXPECT_EQ(error, "\"" + empty + "/co,ma.sm\": a path with a comma, a quote or a control character cannot stand in "
                     "the results files (rename the file)");
    std::system(("rm -rf " + folder).c_str());
}
