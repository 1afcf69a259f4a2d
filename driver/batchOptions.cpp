// Flags of the batch mode: parsing, checking and the --help text. Every refusal names the flag and
// the value that cannot be used, and ends with exit code 2.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/config.h"
#include "driver/batch.h"
#include "driver/driver.h"

static const char* usageText =
    "Usage: %s --dataset SET [options]      solve a data set without the menus\n"
    "       %s merge [--reports DIR] FILE.csv...   combine the results files of shards\n"
    "       %s                               interactive: the three menus\n"
    "\n"
    "Options of a batch run:\n"
    "  --dataset SET      J30, J60, J90 or J120 (or 1..4)\n"
    "  --dist LIST        distributions, comma-separated: U1,B1,U2,B2,EXP or all (default all)\n"
    "  --method M         Phase 2 method: default (LV for U1, B1; HV otherwise), HV or LV\n"
    "  --instances DIR    folder of the .sm files (default Instances)\n"
    "  --reports DIR      folder of the report and results files (default Reports)\n"
    "  --groups A[-B]     parameter groups to solve (default all: 1-48, J120 1-60)\n"
    "  --seed N           base of the per-instance random streams (default 1)\n"
    "  --single-stream    one stream for the whole run, as the interactive program\n"
    "  --shard K/N        solve every N-th instance, starting with the K-th (default from\n"
    "                     SLURM_ARRAY_TASK_ID and the array's size when set)\n"
    "  --jobs N           run N shard processes on this machine and merge their files\n"
    "  --resume           keep the instances already complete in this run's files\n"
    "  --quiet            no progress on standard error\n"
    "  --help, --version\n"
    "\n"
    "Files per distribution, in the reports folder: <SET>-<DIST>-#<label>sch-<METHOD>[-shardKofN]\n"
    "with .txt (the report), .csv (one row per instance) and .jsonl (the policy found); they carry\n"
    "a .part suffix until the pass is complete.\n";

static bool refuse(int& code, const char* what, const std::string& value)
{
    std::fprintf(stderr, "tarvo: %s: \"%s\" (see --help)\n", what, value.c_str());
    code = exitUsage;
    return false;
}

// Whole decimal number in [low, high].
static bool parseInt(const std::string& text, long low, long high, long& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && errno == 0 && value >= low && value <= high;
}

static bool parseDataset(const std::string& v, int& dataset)
{
    static const char* names[] = {"", "J30", "J60", "J90", "J120"};
    for (int d = 1; d <= 4; ++d)
        if (v == names[d] || v == std::to_string(d) || (v.size() > 1 && v[0] == 'j' && v.substr(1) == names[d] + 1))
            dataset = d;
    return dataset != 0;
}

static bool parseDists(const std::string& v, bool* dist)
{
    static const char* names[] = {"", "U1", "B1", "U2", "B2", "EXP"};
    for (int d = 1; d <= 5; ++d) dist[d] = false;
    if (v == "all") {
        for (int d = 1; d <= 5; ++d) dist[d] = true;
        return true;
    }
    std::size_t start = 0;
    while (start <= v.size()) {
        std::size_t comma = v.find(',', start);
        std::string name = v.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        bool known = false;
        for (int d = 1; d <= 5; ++d)
            if (name == names[d] || (name == "Exp" && d == 5)) dist[d] = known = true;
        if (!known) return false;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

// Shard from Slurm's array variables, when this process is one task of an array job.
static bool shardFromSlurm(BatchOptions& o, int& code)
{
    const char* id = std::getenv("SLURM_ARRAY_TASK_ID");
    if (!id) return true;
    const char* count = std::getenv("SLURM_ARRAY_TASK_COUNT");
    const char* low = std::getenv("SLURM_ARRAY_TASK_MIN");
    const char* high = std::getenv("SLURM_ARRAY_TASK_MAX");
    long task, n, first = 0, last;
    if (!parseInt(id, 0, 1000000, task)) return refuse(code, "SLURM_ARRAY_TASK_ID is not a task number", id);
    if (low && !parseInt(low, 0, 1000000, first)) return refuse(code, "SLURM_ARRAY_TASK_MIN is not a number", low);
    if (count && parseInt(count, 1, 1000000, n)) {
    } else if (high && parseInt(high, first, 1000000, last)) {
        n = last - first + 1;
    } else {
        return refuse(code, "SLURM_ARRAY_TASK_ID is set but neither SLURM_ARRAY_TASK_COUNT nor _MAX", id);
    }
    if (task - first + 1 < 1 || task - first + 1 > n)
        return refuse(code, "SLURM_ARRAY_TASK_ID lies outside the array", id);
    o.shard = static_cast<int>(task - first + 1);
    o.shardCount = static_cast<int>(n);
    return true;
}

bool parseBatchOptions(int argc, char** argv, BatchOptions& o, int& code)
{
    code = exitClean;
    bool distGiven = false, shardGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        std::size_t eq = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto next = [&](std::string& out) {
            if (hasValue) {
                out = value;
                return true;
            }
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        long n = 0;
        if (arg == "--help" || arg == "-h") {
            std::printf(usageText, argv[0], argv[0], argv[0]);
            return false;
        } else if (arg == "--version") {
            std::printf("tarvo %s (%s configuration, report label %d)\n", programVersion().c_str(), configName,
                        budgetLabel);
            return false;
        } else if (arg == "--single-stream" || arg == "--resume" || arg == "--quiet") {
            if (hasValue) return refuse(code, "this flag takes no value", argv[i]);
            if (arg == "--single-stream") o.singleStream = true;
            if (arg == "--resume") o.resume = true;
            if (arg == "--quiet") o.quiet = true;
        } else if (arg == "--dataset" || arg == "--dist" || arg == "--method" || arg == "--instances" ||
                   arg == "--reports" || arg == "--groups" || arg == "--seed" || arg == "--shard" || arg == "--jobs") {
            if (!next(v)) return refuse(code, "this flag needs a value", arg);
            if (arg == "--dataset" && !parseDataset(v, o.dataset)) return refuse(code, "unknown data set", v);
            if (arg == "--dist") {
                if (!parseDists(v, o.dist)) return refuse(code, "unknown distribution in --dist", v);
                distGiven = true;
            }
            if (arg == "--method") {
                if (v == "default") o.method = 0;
                else if (v == "HV" || v == "hv") o.method = 1;
                else if (v == "LV" || v == "lv") o.method = 2;
                else return refuse(code, "--method must be default, HV or LV", v);
            }
            if (arg == "--instances") o.instances = v;
            if (arg == "--reports") o.reports = v;
            if (arg == "--groups") {
                std::size_t dash = v.find('-');
                long a, b;
                if (!parseInt(v.substr(0, dash), 1, 60, a) ||
                    !parseInt(dash == std::string::npos ? v : v.substr(dash + 1), a, 60, b))
                    return refuse(code, "--groups must be A or A-B with 1 <= A <= B", v);
                o.firstGroup = static_cast<int>(a);
                o.lastGroup = static_cast<int>(b);
            }
            if (arg == "--seed") {
                if (!parseInt(v, 0, 4294967295L, n)) return refuse(code, "--seed must be a number 0..4294967295", v);
                o.seed = static_cast<uint32_t>(n);
            }
            if (arg == "--shard") {
                std::size_t slash = v.find('/');
                long k, total;
                if (slash == std::string::npos || !parseInt(v.substr(slash + 1), 1, 100000, total) ||
                    !parseInt(v.substr(0, slash), 1, total, k))
                    return refuse(code, "--shard must be K/N with 1 <= K <= N", v);
                o.shard = static_cast<int>(k);
                o.shardCount = static_cast<int>(total);
                shardGiven = true;
            }
            if (arg == "--jobs") {
                if (!parseInt(v, 1, 256, n)) return refuse(code, "--jobs must be a number 1..256", v);
                o.jobs = static_cast<int>(n);
            }
        } else {
            return refuse(code, "unknown argument", argv[i]);
        }
    }
    if (o.dataset == 0) return refuse(code, "--dataset is required", "");
    if (!distGiven) parseDists("all", o.dist);
    int groups = o.dataset == 4 ? 60 : 48;
    if (o.lastGroup == 0) o.lastGroup = groups;
    if (o.lastGroup > groups) return refuse(code, "--groups goes beyond the data set's last group", std::to_string(o.lastGroup));
    if (!shardGiven && o.jobs == 1 && !shardFromSlurm(o, code)) return false;
    if (o.singleStream && (o.shardCount > 0 || o.jobs > 1 || o.resume))
        return refuse(code, "--single-stream cannot be split or resumed (each result depends on all before it)",
                      o.shardCount > 0 ? "--shard" : o.jobs > 1 ? "--jobs" : "--resume");
    if (o.jobs > 1 && shardGiven) return refuse(code, "--jobs makes its own shards; drop --shard", "--jobs");
    return true;
}
