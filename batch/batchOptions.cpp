// Flags of `tarvo run` and `tarvo merge`: read by CLI11 (in this one file, since it is a heavy
// header), then checked value by value. Every refusal names what is wrong and the token at fault,
// and ends with exit code 2; nothing here exits or prints.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "batch/batch.h"
#include "cli/flagStyle.h"
#include "config/config.h"
#include "config/labels.h"

// Every command of the program, for the help of `tarvo --help` and `tarvo run --help`.
const char* const commandList =
    "Commands:\n"
    "  tarvo                          interactive: the three menus\n"
    "  tarvo run [OPTIONS]            solve a data set (--dataset) or project files (--files) without the\n"
    "                                 menus; the word run may be left out\n"
    "  tarvo merge [OPTIONS] FILE.csv...\n"
    "                                 combine the results files of the shards of one run\n"
    "  tarvo evaluate [OPTIONS] FILE.jsonl...\n"
    "                                 simulate the policies of batch runs afresh on independent scenarios\n"
    "  tarvo summarize [OPTIONS] FILE.csv...\n"
    "                                 condense results and evaluation files into one table\n"
    "  tarvo schedule [OPTIONS] FILE.jsonl GROUP INSTANCE\n"
    "                                 print the schedule one policy of a batch run produces\n"
    "  tarvo compare [OPTIONS] A.jsonl B.jsonl...\n"
    "                                 run several policy files on the same scenarios, paired statistics\n"
    "Each command's own options: tarvo COMMAND --help.\n";

static const char* runFooter =
    "Files per distribution and seed, in the reports folder:\n"
    "<SET>-<DIST>-#<label>sch-<METHOD>[-gA-B][-seedN|-single][-shardKofN] (-gA-B for groups other\n"
    "than the whole set, -seedN for every seed but 1; a file run's NAME stands for SET) with .txt\n"
    "(the report), .csv (one row per instance) and .jsonl (the policy found); they carry a .part\n"
    "suffix until the pass is complete.\n"
    "Labels are read in any letter case (u1, Exp, hv, j30).\n"
    "Exit codes: 0 clean, 1 a pass incomplete (missing instance, failed write), 2 unusable flags\n"
    "or files, 128+N stopped by signal N.\n\n";

static FlagsOutcome refusal(const std::string& what, const std::string& value)
{
    return {false, exitUsage, "tarvo: " + what + ": \"" + value + "\" (see --help)\n"};
}

// "A-B" (or "A" alone when single is allowed) with low <= A <= B <= high.
static bool parseRange(const std::string& text, long long low, long long high, bool single, long long& a, long long& b)
{
    std::size_t dash = text.find('-');
    if (dash == std::string::npos) {
        if (!single || !parseWhole(text, low, high, a)) return false;
        b = a;
        return true;
    }
    return parseWhole(text.substr(0, dash), low, high, a) && parseWhole(text.substr(dash + 1), a, high, b);
}

static bool parseDataset(const std::string& v, int& dataset)
{
    const char* const* names = datasetLabels;
    for (int d = 1; d <= datasetCount; ++d)
        if (upperCase(v) == names[d] || v == std::to_string(d)) dataset = d;
    return dataset != 0;
}

static bool parseDists(const std::string& v, bool* dist)
{
    const char* const* names = distLabels;
    const bool all = upperCase(v) == "ALL";
    for (int d = 1; d <= distCount; ++d) dist[d] = all;
    if (all) return true;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = v.find(',', start);
        std::string name = v.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        bool known = false;
        for (int d = 1; d <= 5; ++d)
            if (upperCase(name) == names[d]) dist[d] = known = true;
        if (!known) return false;
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

// Shard from Slurm's array variables, when this process is one task of an array job. The tasks
// of `--array=A-B:S` carry the ids A, A+S, ... and the shard is the id's place among them. Where
// the array's first id is not given, it follows from its last id and size, else it is 1. Arrays
// whose ids are a list rather than a range are refused, since their tasks' places are unknown.
static FlagsOutcome shardFromSlurm(BatchOptions& o)
{
    const char* id = std::getenv("SLURM_ARRAY_TASK_ID");
    if (!id) return {true, exitClean, ""};
    const char* count = std::getenv("SLURM_ARRAY_TASK_COUNT");
    const char* low = std::getenv("SLURM_ARRAY_TASK_MIN");
    const char* high = std::getenv("SLURM_ARRAY_TASK_MAX");
    const char* stepText = std::getenv("SLURM_ARRAY_TASK_STEP");
    const long long maxId = 1000000;
    long long task, n = 0, first = 1, last = 0, step = 1;
    if (!parseWhole(id, 0, maxId, task)) return refusal("SLURM_ARRAY_TASK_ID is not a task number", id);
    if (low && !parseWhole(low, 0, maxId, first)) return refusal("SLURM_ARRAY_TASK_MIN is not a number", low);
    if (stepText && !parseWhole(stepText, 1, maxId, step))
        return refusal("SLURM_ARRAY_TASK_STEP is not a step of 1 or more", stepText);
    if (count && !parseWhole(count, 1, maxId, n)) return refusal("SLURM_ARRAY_TASK_COUNT is not a number of tasks", count);
    if (high && !parseWhole(high, 0, maxId, last)) return refusal("SLURM_ARRAY_TASK_MAX is not a number", high);
    if (!count && !high)
        return refusal("SLURM_ARRAY_TASK_ID is set but neither SLURM_ARRAY_TASK_COUNT nor _MAX", id);
    if (!low && high && count) first = last - (n - 1) * step;
    if (high && last < first) return refusal("SLURM_ARRAY_TASK_MAX lies below the array's first task", high);
    if (!count) n = (last - first) / step + 1;
    // A list such as --array=3,7,8 has no place per id that every task would agree on.
    if (high && ((last - first) % step != 0 || (last - first) / step + 1 != n))
        return refusal("the array's task ids are not evenly spaced from SLURM_ARRAY_TASK_MIN to _MAX (a list such "
                      "as --array=3,7,8?): give --shard K/N",
                      id);
    if (task < first || (task - first) % step != 0 || (task - first) / step + 1 > n)
        return refusal("SLURM_ARRAY_TASK_ID is not one of the array's " + std::to_string(n) + " tasks " +
                          std::to_string(first) + ", " + std::to_string(first + step) + ", ... (give --shard K/N)",
                      id);
    o.shard = static_cast<int>((task - first) / step + 1);
    o.shardCount = static_cast<int>(n);
    return {true, exitClean, ""};
}

// CLI11's own refusal (unknown flag, missing value), kept short, with the command's name.
static FlagsOutcome refusedByParser(const char* command, const CLI::ParseError& e)
{
    return {false, exitUsage, parserRefusal(command, e, 200)};
}

FlagsOutcome parseBatchFlags(const std::vector<std::string>& words, BatchOptions& o)
{
    CLI::App app("Solves a data set or project files without the menus.", "tarvo run");
    app.set_help_flag("-h,--help", "Print this help message and exit");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.footer(std::string(runFooter) + commandList);
    std::string dataset, dists, method, groups, seed, seeds, shard, jobs;
    bool version = false;
    app.add_option("--dataset", dataset, "J30, J60, J90 or J120 (or 1..4); or --files")->type_name("SET");
    app.add_option("--files", o.files,
                   "instead of --dataset: project files (.sm PSPLIB or .rcp Patterson layout, told by content), "
                   "or folders whose .sm and .rcp files are taken in name order")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->type_name("PATH");
    app.add_option("--name", o.name, "a file run's name in its file names (default: the first path's base name)")
        ->type_name("NAME");
    app.add_option("--dist", dists, "distributions, comma-separated: U1,B1,U2,B2,EXP or all (default all)")
        ->type_name("LIST");
    app.add_option("--method", method, "Phase 2 method: default (LV for U1, B1; HV otherwise), HV or LV")
        ->type_name("M");
    app.add_option("--instances", o.instances, "folder of the .sm files (default Instances)")->type_name("DIR");
    app.add_option("--reports", o.reports, "folder of the report and results files, made with its parents "
                   "(default Reports)")->type_name("DIR");
    app.add_option("--groups", groups, "parameter groups to solve (default all: 1-48, J120 1-60)")->type_name("A[-B]");
    app.add_option("--seed", seed, "base of the per-instance random streams (default 1)")->type_name("N");
    app.add_option("--seeds", seeds, "one replication per seed A..B, each in files of its own")->type_name("A-B");
    app.add_option("--shard", shard, "solve every N-th instance, starting with the K-th (default in a "
                   "Slurm array task: its place among the array's ids, and their number)")->type_name("K/N");
    app.add_option("--jobs", jobs, "run N shard processes on this machine and merge their files")->type_name("N");
    app.add_flag("--single-stream", o.singleStream, "one stream for the whole run, as the interactive program")
        ->disable_flag_override();
    app.add_flag("--resume", o.resume, "keep the instances already complete in this run's files")
        ->disable_flag_override();
    app.add_flag("--quiet", o.quiet, "no progress or merge lines on standard error (warnings and errors stay)")
        ->disable_flag_override();
    app.add_flag("--version", version, "version, commit and configuration")->disable_flag_override();
    try {
        std::vector<std::string> reversed(words.rbegin(), words.rend());  // CLI11 takes them last first
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return {false, exitClean, app.help()};
    } catch (const CLI::ParseError& e) {
        return refusedByParser("tarvo", e);
    }
    if (version) {
        char text[200];
        std::snprintf(text, sizeof text, "tarvo %s (%s configuration, report label %d)\n", programVersion().c_str(),
                      configName, budgetLabel);
        return {false, exitClean, text};
    }

    long long a = 0, b = 0;
    bool fileRun = app.count("--files") > 0;
    if (fileRun) {
        // A file run names its instances by file: the data set's own flags have no meaning in it.
        for (const char* flag : {"--dataset", "--groups", "--instances"})
            if (app.count(flag)) return refusal(std::string(flag) + " does not go with --files", flag);
        if (o.files.empty()) return refusal("--files needs at least one file or folder", "--files");
        for (const std::string& path : o.files) {
            if (path.empty()) return refusal("--files names an empty path", path);
            // A flag of the run taken as a path: its value would silently become a project file too.
            if (path.rfind("--", 0) == 0 && app.get_option_no_throw(path.substr(0, path.find('='))) != nullptr)
                return refusal("--files took a flag as a path; give the paths after --files, or each as "
                              "--files=PATH", path);
        }
        if (app.count("--name") && !validRunName(o.name))
            return refusal("--name must be 1..64 letters, digits, _ - . + (not starting with . or -) and not a "
                          "PSPLIB set's name", o.name);
        if (o.singleStream)
            return refusal("--single-stream does not go with --files: each file's stream comes from its stem",
                          "--single-stream");
    } else {
        if (app.count("--name")) return refusal("--name names a file run; it goes with --files", o.name);
        if (dataset.empty() && app.count("--dataset") == 0)
            return {false, exitUsage, "tarvo run: give the data set (--dataset J30, J60, J90 or J120) or project "
                                      "files (--files PATH...) to solve (see tarvo run --help)\n"};
        if (!parseDataset(dataset, o.dataset)) return refusal("unknown data set", dataset);
    }
    if (!parseDists(app.count("--dist") ? dists : "all", o.dist)) return refusal("unknown distribution in --dist", dists);
    if (app.count("--method")) {
        const std::string m = upperCase(method);
        if (m == "DEFAULT") o.method = 0;
        else if (m == "HV") o.method = 1;
        else if (m == "LV") o.method = 2;
        else return refusal("--method must be default, HV or LV", method);
    }
    int lastGroup = o.dataset == 4 ? 60 : 48;
    o.firstGroup = 1;
    o.lastGroup = fileRun ? 1 : lastGroup;
    if (app.count("--groups")) {
        if (!parseRange(groups, 1, 60, true, a, b)) return refusal("--groups must be A or A-B with 1 <= A <= B", groups);
        if (b > lastGroup) return refusal("--groups goes beyond the data set's last group", groups);
        o.firstGroup = static_cast<int>(a);
        o.lastGroup = static_cast<int>(b);
    }
    if (app.count("--seed") && app.count("--seeds")) return refusal("give --seed or --seeds, not both", "--seeds");
    if (app.count("--seed")) {
        if (!parseWhole(seed, 0, 4294967295LL, a)) return refusal("--seed must be a number 0..4294967295", seed);
        o.firstSeed = o.lastSeed = static_cast<uint32_t>(a);
    }
    if (app.count("--seeds")) {
        if (!parseRange(seeds, 0, 4294967295LL, false, a, b))
            return refusal("--seeds must be A-B with 0 <= A <= B <= 4294967295", seeds);
        o.firstSeed = static_cast<uint32_t>(a);
        o.lastSeed = static_cast<uint32_t>(b);
    }
    if (app.count("--shard")) {
        std::size_t slash = shard.find('/');
        long long k, total;
        if (slash == std::string::npos || !parseWhole(shard.substr(slash + 1), 1, 100000, total) ||
            !parseWhole(shard.substr(0, slash), 1, total, k))
            return refusal("--shard must be K/N with 1 <= K <= N", shard);
        o.shard = static_cast<int>(k);
        o.shardCount = static_cast<int>(total);
    }
    if (app.count("--jobs")) {
        if (!parseWhole(jobs, 1, 256, a)) return refusal("--jobs must be a number 1..256", jobs);
        o.jobs = static_cast<int>(a);
    }
    if (o.jobs > 1 && app.count("--shard")) return refusal("--jobs makes its own shards; drop --shard", "--jobs");
    if (!app.count("--shard") && o.jobs == 1) {
        FlagsOutcome slurm = shardFromSlurm(o);
        if (!slurm.run) return slurm;
    }
    if (o.singleStream && (o.shardCount > 0 || o.jobs > 1 || o.resume))
        return refusal("--single-stream cannot be split or resumed (each result depends on all before it)",
                      o.shardCount > 0 ? "--shard" : o.jobs > 1 ? "--jobs" : "--resume");
    if (o.singleStream && app.count("--seeds"))
        return refusal("--single-stream takes no seed: every replication would be the same", "--seeds");
    return {true, exitClean, ""};
}

std::vector<std::string> batchFlags(const BatchOptions& o)
{
    const char* const* datasets = datasetLabels;
    const char* const* dists = distLabels;
    const char* const methods[] = {"default", methodLabels[1], methodLabels[2]};
    std::string distList;
    for (int d = 1; d <= 5; ++d)
        if (o.dist[d]) distList += (distList.empty() ? "" : ",") + std::string(dists[d]);
    std::vector<std::string> flags;
    if (o.files.empty()) {
        flags = {"--dataset=" + std::string(datasets[o.dataset]), "--dist=" + distList,
                 "--method=" + std::string(methods[o.method]), "--instances=" + o.instances, "--reports=" + o.reports,
                 "--groups=" + std::to_string(o.firstGroup) + "-" + std::to_string(o.lastGroup)};
    } else {
        // One flag per path, joined by '=', so that a path starting with '-' stays a path.
        for (const std::string& path : o.files) flags.push_back("--files=" + path);
        if (!o.name.empty()) flags.push_back("--name=" + o.name);
        flags.push_back("--dist=" + distList);
        flags.push_back("--method=" + std::string(methods[o.method]));
        flags.push_back("--reports=" + o.reports);
    }
    if (!o.singleStream) flags.push_back("--seeds=" + std::to_string(o.firstSeed) + "-" + std::to_string(o.lastSeed));
    if (o.shardCount > 0) flags.push_back("--shard=" + std::to_string(o.shard) + "/" + std::to_string(o.shardCount));
    if (o.jobs > 1) flags.push_back("--jobs=" + std::to_string(o.jobs));
    if (o.singleStream) flags.push_back("--single-stream");
    if (o.resume) flags.push_back("--resume");
    if (o.quiet) flags.push_back("--quiet");
    return flags;
}

FlagsOutcome parseMergeFlags(const std::vector<std::string>& words, std::string& reports,
                             std::vector<std::string>& files, bool& quiet)
{
    CLI::App app("Combines the results files (.csv, with their .jsonl beside them) of the shards of one run and "
                 "one seed into the files one process would have written.", "tarvo merge");
    app.set_help_flag("-h,--help", "Print this help message and exit");
    reports = "Reports";
    app.add_option("--reports", reports, "folder of the merged files, made with its parents (default Reports)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->type_name("DIR");
    app.add_flag("--quiet", quiet, "no line per merged file on standard error (warnings and errors stay)");
    app.add_option("files", files, "results files (.csv or .csv.part) of the shards")->type_name("FILE.csv");
    try {
        std::vector<std::string> reversed(words.rbegin(), words.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return {false, exitClean, app.help()};
    } catch (const CLI::ParseError& e) {
        return refusedByParser("tarvo merge", e);
    }
    if (files.empty()) return {false, exitUsage, "tarvo merge: name the results files (.csv) to merge\n"};
    return {true, exitClean, ""};
}

int runBatchCommand(int argc, char** argv)
{
    BatchOptions options;
    FlagsOutcome outcome = parseBatchFlags(std::vector<std::string>(argv + 1, argv + argc), options);
    if (!outcome.run) {
        std::fputs(outcome.text.c_str(), outcome.code == exitClean ? stdout : stderr);
        return outcome.code;
    }
    if (!resolveFiles(options) || !checkDatasetFiles(options)) return exitUsage;
    return options.jobs > 1 ? runJobs(options) : runBatch(options);
}
