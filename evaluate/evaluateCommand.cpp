// `tarvo evaluate`: flags, the input files checked whole before anything is written, resuming,
// worker processes, the results files (.part until complete, flushed per instance) and the summary.
//
// The unit of work is one policy record: its instance is loaded once and both of its policies are
// run on the same scenarios under every evaluation distribution still to do. Units go to worker
// processes by their place in the command (unit i to worker i mod N; the engine works on global
// tables, so workers are processes, not threads); each sends back the finished text of its rows,
// and this process alone writes the files. Rows arrive in any order; the final files are sorted,
// so they do not depend on --jobs, on resuming or on the order of the work.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <tuple>

#include "batch/batch.h"
#include "driver/driver.h"
#include "engine/engine.h"
#include "evaluate/evaluate.h"
#include "evaluate/policy.h"
#include "evaluate/samplesFile.h"
#include "evaluate/scenarios.h"
#include "project/inputFile.h"
#include "project/makeFolders.h"
#include "project/parentWatch.h"
#include "project/platform.h"
#include "project/state.h"

namespace {

const char* const distLabels[] = {"", "U1", "B1", "U2", "B2", "EXP"};

struct Options {
    long runs = 10000;
    uint32_t seed = 1;
    std::string dist = "searched";
    int levels = 0;
    std::string instances = "Instances";
    std::string reports;
    int jobs = 1;
    bool resume = false;
    bool quiet = false;
    std::string samples;
    std::vector<std::string> files;
};

// One input file with its records checked, and what its sibling batch .csv says about them.
struct Input {
    std::string path, base;
    std::vector<PolicyRecord> records;
    bool fileRun = false;                         // records of a file run, named by stem
    std::map<std::string, int> instOfStem;        // a file run's stems -> their places in the run
    std::vector<double> inSample1, inSample2;    // per record; NaN without a row
    std::string runSeed, runVersion;              // "" without the .csv
    std::vector<int> dists;                       // evaluation distributions 1..5
};

// One results file: an input file under one evaluation distribution.
struct Output {
    int input = 0, dist = 0;
    std::string label;                            // "U2", or "U2-L1000" with --levels
    std::string path;                             // final name; path + ".part" until complete
    bool complete = false;                        // existed before this command (with --resume)
    std::vector<bool> done;                       // per record: rows (and samples) already kept
    OutputFile part;                              // the .part file while this command writes it
};

volatile std::sig_atomic_t stopSignal = 0;
void onStopSignal(int sig) { stopSignal = sig; }

bool refuse(const std::string& what)
{
    std::fprintf(stderr, "tarvo evaluate: %s\n", what.c_str());
    return false;
}

int failWith(int code, const std::string& what)
{
    refuse(what);
    return code;
}

std::string systemReason() { return std::strerror(errno); }

// Whether a row (an evaluation row, a batch results row or a samples line) belongs to a record: a
// file run's by its stem (never by its place, which another run of the same project may give
// another number), a PSPLIB one by group and instance.
template <class Row>
bool rowOfRecord(const Row& row, const PolicyRecord& r)
{
    return r.stem.empty() ? row.stem.empty() && row.group == r.group && row.instance == r.instance
                          : row.stem == r.stem;
}

// The place of a row's instance in its run, for sorting: the report's number for PSPLIB (so group,
// then instance), the file's place for a file run, whose stem then breaks any tie.
std::tuple<int, std::string> placeOf(const Input& in, int group, int instance, const std::string& stem)
{
    if (stem.empty()) return {(group - 1) * 10 + instance, stem};
    auto it = in.instOfStem.find(stem);
    return {it == in.instOfStem.end() ? 0 : it->second, stem};
}

// ---- Flags ----

// Distributions named by --dist for an input searched under searched.
bool parseDistList(const std::string& text, int searched, std::vector<int>& dists)
{
    dists.clear();
    if (upperCase(text) == "SEARCHED") {
        dists.push_back(searched);
        return true;
    }
    if (upperCase(text) == "ALL") {
        for (int d = 1; d <= 5; ++d) dists.push_back(d);
        return true;
    }
    std::stringstream in(text);
    std::string name;
    while (std::getline(in, name, ',')) {
        int d = 0;
        for (int k = 1; k <= 5; ++k)
            if (upperCase(name) == distLabels[k]) d = k;
        if (d == 0) return false;
        if (std::find(dists.begin(), dists.end(), d) == dists.end()) dists.push_back(d);
    }
    return !dists.empty();
}

// Parses the flags; false with code set (2 for usage, 0 after --help).
bool parseOptions(int argc, char** argv, Options& o, int& code)
{
    CLI::App app{"Simulates the policies of batch runs (.jsonl) afresh on independent scenarios.", "tarvo evaluate"};
    app.add_option("--runs", o.runs, "scenarios per policy (default 10000)")->check(CLI::Range(2L, 100000000L));
    app.add_option("--seed", o.seed, "seed of the scenario streams (default 1)");
    app.add_option("--dist", o.dist, "searched (default), a list such as U1,EXP, or all");
    app.add_option("--levels", o.levels, "draw from the L-level tabulation of the search instead (default 0: exact)")
        ->check(CLI::Range(0, 1000000));
    app.add_option("--instances", o.instances,
                   "folder of the .sm files (default Instances); a file run's records (tarvo run --files) name "
                   "their own project files, read by the path the run was given, from the current folder");
    app.add_option("--reports", o.reports, "folder of the output files (default: the input's folder)");
    app.add_option("--jobs", o.jobs, "worker processes (default 1)")->check(CLI::Range(1, 256));
    app.add_flag("--resume", o.resume, "keep the instances already complete in this command's files");
    app.add_option("--samples", o.samples, "also write every run's makespan to this JSON Lines file");
    app.add_flag("--quiet", o.quiet, "no progress on standard error");
    app.add_option("files", o.files, "policy files of batch runs (PSPLIB sets or file runs)")->required();
    app.footer("A file run's policies are evaluated like a PSPLIB set's: their results files carry the columns "
               "file and stem after the others (group and instance empty), their samples lines file and stem "
               "instead of group and instance, and each project's scenarios follow from its stem, the "
               "distribution and the seed, so the same project gets the same scenarios in any run.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::printf("%s", app.help().c_str());
        code = exitClean;
        return false;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "tarvo evaluate: %s (see --help)\n", e.what());
        code = exitUsage;
        return false;
    }
    std::vector<int> probe;
    if (!parseDistList(o.dist, 1, probe)) {
        std::fprintf(stderr, "tarvo evaluate: --dist: \"%s\" is not searched, all or a list of U1,B1,U2,B2,EXP\n",
                     o.dist.c_str());
        code = exitUsage;
        return false;
    }
    return true;
}

// ---- Inputs, checked whole ----

bool readInput(const Options& o, const std::string& path, Input& in)
{
    in.path = path;
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    if (name.size() <= 6 || name.compare(name.size() - 6, 6, ".jsonl") != 0)
        return refuse(path + ": not a policy file (.jsonl)");
    in.base = name.substr(0, name.size() - 6);
    // An input is a complete file: its last line counts even without a line feed (and is refused
    // by the reader if it was cut short). Given on the command line, it may be a pipe, read once.
    std::string error;
    if (!readPolicyFile(path, in.records, error, InputKind::regularOrStream)) return refuse(error);
    std::map<std::string, int> seen;   // instance stem -> line
    uint8_t list[actDim];
    for (const PolicyRecord& r : in.records) {
        const PolicyRecord& first = in.records.front();
        const std::string where = path + ": line " + std::to_string(r.lineNo) + ": ";
        // A run's name is never a PSPLIB set's, so equal names also mean records of one kind.
        if (r.dataset != first.dataset || r.distribution != first.distribution || r.method != first.method ||
            r.config != first.config)
            return refuse(where + r.dataset + " " + r.distribution + " " + r.method + " " + std::to_string(r.config) +
                          " belongs to another run than line " + std::to_string(first.lineNo));
        const std::string stem = instanceStem(r);
        if (seen.count(stem))
            return refuse(where + "instance " + stem + " was given before, on line " + std::to_string(seen[stem]));
        seen[stem] = r.lineNo;
        if (!r.stem.empty()) in.instOfStem[r.stem] = r.inst;
        if (!loadPolicy(r, o.instances, path, list, error)) return refuse(error);
        // A project whose durations are all 0 has no gap to give (a lower bound of 0).
        if (!(earlyFinish[actNum] > 0))
            return refuse(where + "instance " + stem + " has the lower bound 0 (no activity takes time): its gaps "
                          "cannot be computed");
    }
    if (in.records.empty()) return refuse(path + ": holds no policy record");
    in.fileRun = !in.records.front().stem.empty();
    parseDistList(o.dist, distributionOf(in.records.front()), in.dists);

    // The batch run's own estimates, from the .csv beside the .jsonl.
    in.inSample1.assign(in.records.size(), NAN);
    in.inSample2.assign(in.records.size(), NAN);
    std::string csvPath = path.substr(0, path.size() - 6) + ".csv";
    if (!pathExists(csvPath)) {
        std::fprintf(stderr, "tarvo evaluate: %s not found: in_sample, bias and run_seed stay empty for %s\n",
                     csvPath.c_str(), path.c_str());
        return true;
    }
    RunIdentity id;
    std::vector<ResultRow> rows;
    if (!readCsv(csvPath, id, rows, error)) return refuse(error);
    const PolicyRecord& first = in.records.front();
    if (!rows.empty() && (id.dataset != first.dataset || id.distribution != first.distribution ||
                          id.method != first.method || id.config != std::to_string(first.config) ||
                          id.fileRun != in.fileRun))
        return refuse(csvPath + " belongs to another run than " + path);
    in.runSeed = id.runSeed;
    in.runVersion = id.version;
    // A file run's rows join their records by stem: the run may list the files in another order.
    for (std::size_t k = 0; k < in.records.size(); ++k)
        for (const ResultRow& row : rows)
            if (rowOfRecord(row, in.records[k])) {
                // The batch run's estimates are floats written with 9 digits: back to the float.
                in.inSample1[k] = static_cast<float>(row.ph1Makespan);
                in.inSample2[k] = static_cast<float>(row.ph2Makespan);
            }
    return true;
}

// ---- One unit: a record under its distributions still to do ----

// Text of a samples line: the keys in their agreed order, makespans as floats (which read back
// exactly). The first field, up to a tab, names the output for sorting; it is cut when the
// file is completed.
std::string samplesLine(const std::string& outputName, const EvalRow& r, const std::vector<float>& makespans)
{
    nlohmann::ordered_json head;
    head["dataset"] = r.dataset;
    head["distribution"] = r.distribution;
    head["eval_distribution"] = r.evalDistribution;
    head["method"] = r.method;
    head["config"] = std::stoi(r.config);
    putInstanceKeys(head, r.group, r.instance, r.file, r.stem);
    head["policy"] = r.policy;
    head["eval_seed"] = r.evalSeed;
    head["runs"] = r.runs;
    head["lower_bound"] = r.lowerBound;
    head["mean"] = r.mean;
    using FloatJson = nlohmann::basic_json<std::map, std::vector, std::string, bool, std::int64_t, std::uint64_t, float>;
    std::string text = head.dump();
    text.pop_back();
    text += ",\"makespans\":" + FloatJson(makespans).dump() + "}";
    return outputName + "\t" + text + "\n";
}

// Runs the unit and returns its message: per output, "<output> <csv bytes> <samples bytes>\n",
// then the two CSV rows and the two samples lines.
std::string runUnit(const Options& o, const Input& in, std::size_t k, const std::vector<int>& outputs,
                    const std::vector<Output>& all)
{
    static std::vector<float> m1, m2, kept1, kept2;
    const PolicyRecord& r = in.records[k];
    uint8_t list[actDim];
    std::string error;
    if (!loadPolicy(r, o.instances, in.path, list, error)) {
        refuse(error);
        _exit(exitUsage);
    }
    float durations[actDim];
    std::string message;
    for (int out : outputs) {
        const Output& output = all[out];
        ScenarioSource source;
        makeScenarioSource(source, scenarioKeyOf(r, output.dist, o.seed), output.dist, o.levels);
        m1.resize(o.runs);
        m2.resize(o.runs);
        for (long run = 1; run <= o.runs; ++run) {
            drawScenario(source, run, durations);
            m1[run - 1] = runPhase1Policy(r, list, durations);
            m2[run - 1] = runPhase2Policy(list, durations);
        }
        EvalRow rows[2];
        for (int p = 0; p < 2; ++p) {
            EvalRow& row = rows[p];
            row.dataset = r.dataset;
            row.distribution = r.distribution;
            row.evalDistribution = output.label;
            row.method = r.method;
            row.config = std::to_string(r.config);
            row.runSeed = in.runSeed;
            row.group = r.group;
            row.instance = r.instance;
            row.file = r.file;
            row.stem = r.stem;
            row.policy = p == 0 ? "ph1" : "ph2";
            row.evalSeed = o.seed;
            row.lowerBound = earlyFinish[actNum];
            // The search's own estimate compares only under the distribution it was made for.
            row.inSample = output.dist != distributionOf(r) ? NAN : p == 0 ? in.inSample1[k] : in.inSample2[k];
            row.version = programVersion();
            row.runVersion = in.runVersion;
        }
        if (!o.samples.empty()) {
            kept1 = m1;
            kept2 = m2;
        }
        fillEvalStatistics(rows[0], rows[1], m1, m2);
        std::string csv = evalCsvLine(rows[0]) + "\n" + evalCsvLine(rows[1]) + "\n";
        std::string samples;
        if (!o.samples.empty()) {
            std::string name = output.path.substr(output.path.find_last_of('/') + 1);
            samples = samplesLine(name, rows[0], kept1) + samplesLine(name, rows[1], kept2);
        }
        message += std::to_string(out) + " " + std::to_string(csv.size()) + " " + std::to_string(samples.size()) + "\n";
        message += csv + samples;
    }
    return message;
}

// ---- Writing ----

struct Writer {
    std::vector<Output>* outputs;
    OutputFile samples;
    bool failed = false;
};

// Writes text to an open output; a failure is reported with the file's path and the system's reason.
bool writeAll(OutputFile& file, const std::string& text)
{
    std::string error;
    if (writeOutput(file, text, error)) return true;
    return refuse("cannot write " + error);
}

// Writes one unit's message into the .part files, each flushed.
void takeMessage(Writer& w, const std::string& message)
{
    std::size_t at = 0;
    while (at < message.size() && !w.failed) {
        std::size_t eol = message.find('\n', at);
        int out = 0;
        std::size_t csvBytes = 0, samplesBytes = 0;
        std::sscanf(message.c_str() + at, "%d %zu %zu", &out, &csvBytes, &samplesBytes);
        at = eol + 1;
        Output& output = (*w.outputs)[out];
        // Samples first: a row counts as done only when its samples are written too.
        if (samplesBytes > 0 && !writeAll(w.samples, message.substr(at + csvBytes, samplesBytes)))
            w.failed = true;
        if (!w.failed && !writeAll(output.part, message.substr(at, csvBytes))) w.failed = true;
        at += csvBytes + samplesBytes;
    }
}

// Copies the lines at places from the file at path to out (without their output names).
bool copySamples(const std::string& path, const std::vector<SamplesPlace>& places, OutputFile& out, bool keepNames)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    for (const SamplesPlace& p : places) {
        line.resize(p.length);
        in.seekg(p.offset);
        in.read(&line[0], p.length);
        std::size_t from = keepNames ? 0 : line.find('\t') + 1;
        if (!in) return refuse("cannot read " + path + ": " + systemReason());
        if (!writeAll(out, line.substr(from))) return false;
    }
    return true;
}

// ---- Console ----

void showProgress(const Options& o, int done, int total, std::chrono::steady_clock::time_point start)
{
    if (o.quiet) return;
    bool tty = isatty(STDERR_FILENO);
    if (!tty && done % 10 != 0 && done != total) return;
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long left = done > 0 ? static_cast<long>(elapsed / done * (total - done) + 0.5) : 0;
    std::fprintf(stderr, tty ? "\revaluate: %d/%d instances, %ld:%02ld:%02ld left   " : "evaluate: %d/%d instances, %ld:%02ld:%02ld left\n",
                 done, total, left / 3600, left / 60 % 60, left % 60);
}

// The summary of one complete results file on standard output.
void printSummary(const Output& output, const std::vector<EvalRow>& rows, const std::string& input)
{
    struct Acc {
        std::vector<double> gaps;
        double inGap = 0, bias = 0, biasPercent = 0;
        int inCount = 0;
    } acc[2];
    int better = 0, worse = 0, pairs = 0;
    for (const EvalRow& r : rows) {
        Acc& a = acc[r.policy == "ph2"];
        a.gaps.push_back(r.gap);
        if (!std::isnan(r.inSample)) {
            a.inGap += 100.0 * (r.inSample - r.lowerBound) / r.lowerBound;
            a.bias += r.bias;
            a.biasPercent += 100.0 * r.bias / r.mean;
            ++a.inCount;
        }
        if (r.policy == "ph2") {
            int v = pairedVerdict(r);
            better += v > 0;
            worse += v < 0;
            ++pairs;
        }
    }
    std::printf("%s under %s: %d instances, %ld runs each (seed %u)\n", input.c_str(), output.label.c_str(), pairs,
                rows.empty() ? 0L : rows.front().runs, rows.empty() ? 0u : rows.front().evalSeed);
    std::printf("  policy  out-of-sample gap %%  95%% interval (instances)  in-sample gap %%  mean bias (%% of makespan)\n");
    for (int p = 0; p < 2; ++p) {
        const std::vector<double>& g = acc[p].gaps;
        double mean = 0, squares = 0;
        for (double x : g) mean += x;
        mean /= g.size();
        for (double x : g) squares += (x - mean) * (x - mean);
        double half = g.size() > 1 ? tQuantile975(g.size() - 1.0) * std::sqrt(squares / (g.size() - 1) / g.size()) : 0;
        char inGap[32] = "-", bias[48] = "-";
        if (acc[p].inCount > 0) {
            std::snprintf(inGap, sizeof inGap, "%.3f", acc[p].inGap / acc[p].inCount);
            std::snprintf(bias, sizeof bias, "%+.4f (%+.3f %%)", acc[p].bias / acc[p].inCount,
                          acc[p].biasPercent / acc[p].inCount);
        }
        std::printf("  %-6s  %19.3f  [%.3f, %.3f]%*s  %15s  %s\n", p ? "ph2" : "ph1", mean, mean - half, mean + half,
                    6, "", inGap, bias);
    }
    std::printf("  Phase 2 against Phase 1 (paired, 5 %%): significantly better on %d (%.1f %%), worse on %d (%.1f %%)\n",
                better, 100.0 * better / pairs, worse, 100.0 * worse / pairs);
}

// ---- Worker processes ----

struct Worker {
    pid_t pid = 0;
    int fd = -1;
    std::string buffer;
};

bool writePipe(int fd, const std::string& text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        ssize_t n = write(fd, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

int runEvaluate(int argc, char** argv)
{
    Options o;
    int code = exitClean;
    if (!parseOptions(argc, argv, o, code)) return code;
    setKeyWaits(false);
    fillLabels();

    // Every input checked before anything is written.
    std::vector<Input> inputs(o.files.size());
    for (std::size_t f = 0; f < o.files.size(); ++f)
        if (!readInput(o, o.files[f], inputs[f])) return exitUsage;

    std::vector<Output> outputs;
    std::map<std::string, int> outputNames;
    for (std::size_t f = 0; f < inputs.size(); ++f) {
        std::string folder = o.reports;
        if (folder.empty()) {
            std::size_t slash = inputs[f].path.find_last_of('/');
            folder = slash == std::string::npos ? "." : inputs[f].path.substr(0, slash);
        }
        for (int d : inputs[f].dists) {
            Output out;
            out.input = static_cast<int>(f);
            out.dist = d;
            out.label = std::string(distLabels[d]) + (o.levels > 0 ? "-L" + std::to_string(o.levels) : "");
            out.path = folder + "/" + inputs[f].base + "-eval-" + out.label + ".csv";
            std::string name = out.path.substr(out.path.find_last_of('/') + 1);
            if (outputNames.count(name)) return failWith(exitUsage, "two inputs would both write " + name);
            outputNames[name] = static_cast<int>(outputs.size());
            out.done.assign(inputs[f].records.size(), false);
            outputs.push_back(out);
        }
    }
    std::string folderError;
    if (!o.reports.empty() && !makeFolders(o.reports, folderError)) return failWith(exitIncomplete, folderError);

    // Complete files are kept (--resume) or refused; rows of interrupted ones kept with --resume.
    std::vector<SamplesPlace> keptSamples;
    std::set<std::tuple<int, int, int, std::string, std::string>> haveSamples;
    std::string samplesPart = o.samples + ".part";
    if (o.resume && !o.samples.empty() && pathExists(samplesPart)) {
        std::string error;
        if (!indexSamples(samplesPart, outputNames, keptSamples, error))
            return failWith(exitUsage, "cannot resume: " + error);
        for (const SamplesPlace& p : keptSamples) {
            if (p.evalSeed != o.seed || p.runs != o.runs)
                return failWith(exitUsage, "cannot resume from " + samplesPart + ": it was written by another evaluation (seed " +
                                               std::to_string(p.evalSeed) + ", " + std::to_string(p.runs) + " runs)");
            haveSamples.insert({p.output, p.group, p.instance, p.stem, p.policy});
        }
    }
    for (std::size_t x = 0; x < outputs.size(); ++x) {
        Output& out = outputs[x];
        if (pathExists(out.path)) {
            if (!o.resume)
                return failWith(exitUsage, out.path + " exists: this evaluation is complete (remove it to run again, or --resume)");
            out.complete = true;
            continue;
        }
        std::vector<EvalRow> kept;
        const Input& in = inputs[out.input];
        if (o.resume && pathExists(out.path + ".part")) {
            std::vector<EvalRow> rows;
            std::string error;
            if (!readEvalCsv(out.path + ".part", rows, error)) return failWith(exitUsage, "cannot resume: " + error);
            for (const EvalRow& r : rows) {
                if (r.evalSeed != o.seed || r.runs != o.runs || r.version != programVersion())
                    return failWith(exitUsage, "cannot resume from " + out.path + ".part: it was written by another evaluation (seed " +
                                  std::to_string(r.evalSeed) + ", " + std::to_string(r.runs) + " runs, version " +
                                  r.version + ")");
            }
            for (std::size_t k = 0; k < in.records.size(); ++k) {
                int found = 0;
                for (const EvalRow& r : rows)
                    if (rowOfRecord(r, in.records[k]) &&
                        (o.samples.empty() ||
                         haveSamples.count({static_cast<int>(x), r.group, r.instance, r.stem, r.policy})))
                        ++found;
                out.done[k] = found == 2;
            }
            for (const EvalRow& r : rows)
                for (std::size_t k = 0; k < in.records.size(); ++k)
                    if (out.done[k] && rowOfRecord(r, in.records[k])) kept.push_back(r);
        }
        std::string error;
        if (!openOutput(out.part, out.path + ".part", false, error)) return failWith(exitIncomplete, "cannot write " + error);
        std::string text = evalCsvHeader(in.fileRun) + "\n";
        for (const EvalRow& r : kept) text += evalCsvLine(r) + "\n";
        if (!writeAll(out.part, text)) return exitIncomplete;
    }
    Writer writer;
    writer.outputs = &outputs;
    if (!o.samples.empty()) {
        // The kept samples lines (of rows kept above) first, through a new file.
        std::vector<SamplesPlace> keep;
        for (const SamplesPlace& p : keptSamples) {
            const Output& out = outputs[p.output];
            const Input& in = inputs[out.input];
            for (std::size_t k = 0; k < in.records.size(); ++k)
                if (out.done[k] && !out.complete && rowOfRecord(p, in.records[k]))
                    keep.push_back(p);
        }
        OutputFile fresh;
        std::string error;
        if (!openOutput(fresh, samplesPart + ".new", false, error)) return failWith(exitIncomplete, "cannot write " + error);
        if (!copySamples(samplesPart, keep, fresh, true)) return exitIncomplete;
        if (!closeOutput(fresh, error)) return failWith(exitIncomplete, "cannot write " + error);
        if (std::rename((samplesPart + ".new").c_str(), samplesPart.c_str()) != 0)
            return failWith(exitIncomplete, "cannot rename " + samplesPart + ".new: " + systemReason());
        if (!openOutput(writer.samples, samplesPart, true, error)) return failWith(exitIncomplete, "cannot write " + error);
    }

    // The units still to do, in command order.
    struct Unit {
        int input;
        std::size_t record;
        std::vector<int> outputs;
    };
    std::vector<Unit> units;
    for (std::size_t f = 0; f < inputs.size(); ++f)
        for (std::size_t k = 0; k < inputs[f].records.size(); ++k) {
            Unit u{static_cast<int>(f), k, {}};
            for (std::size_t x = 0; x < outputs.size(); ++x)
                if (outputs[x].input == static_cast<int>(f) && !outputs[x].complete && !outputs[x].done[k])
                    u.outputs.push_back(static_cast<int>(x));
            if (!u.outputs.empty()) units.push_back(u);
        }

    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    auto start = std::chrono::steady_clock::now();
    const int total = static_cast<int>(units.size());
    int done = 0;
    const int jobs = std::min<int>(o.jobs, std::max(total, 1));
    if (jobs <= 1) {
        for (const Unit& u : units) {
            if (stopSignal || writer.failed) break;
            takeMessage(writer, runUnit(o, inputs[u.input], u.record, u.outputs, outputs));
            showProgress(o, ++done, total, start);
        }
    } else {
        std::fflush(stdout);
        std::fflush(stderr);
        std::vector<Worker> workers(jobs);
        const pid_t parent = getpid();
        for (int w = 0; w < jobs; ++w) {
            int fds[2];
            if (pipe(fds) != 0) return failWith(exitIncomplete, "cannot start the workers: " + systemReason());
            pid_t pid = fork();
            if (pid < 0) return failWith(exitIncomplete, "cannot start the workers: " + systemReason());
            if (pid == 0) {
                endWithParent(parent);
                close(fds[0]);
                for (int v = 0; v < w; ++v) close(workers[v].fd);
                for (int i = w; i < total && !stopSignal; i += jobs) {
                    const Unit& u = units[i];
                    std::string message = runUnit(o, inputs[u.input], u.record, u.outputs, outputs);
                    std::string header = "U " + std::to_string(message.size()) + "\n";
                    if (!writePipe(fds[1], header + message)) _exit(exitIncomplete);
                }
                _exit(stopSignal ? 128 + stopSignal : exitClean);
            }
            close(fds[1]);
            workers[w].pid = pid;
            workers[w].fd = fds[0];
        }
        bool forwarded = false;
        int open = jobs;
        char chunk[1 << 16];
        while (open > 0) {
            if (stopSignal && !forwarded) {
                for (Worker& wk : workers) kill(wk.pid, stopSignal);
                forwarded = true;
            }
            std::vector<pollfd> fds;
            std::vector<int> which;
            for (int w = 0; w < jobs; ++w)
                if (workers[w].fd >= 0) {
                    fds.push_back({workers[w].fd, POLLIN, 0});
                    which.push_back(w);
                }
            if (poll(fds.data(), fds.size(), -1) < 0) continue;  // a signal: look at it, then wait again
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                Worker& wk = workers[which[i]];
                ssize_t n = read(wk.fd, chunk, sizeof chunk);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    close(wk.fd);
                    wk.fd = -1;
                    --open;
                    continue;
                }
                wk.buffer.append(chunk, static_cast<std::size_t>(n));
                // Whole messages: "U <bytes>\n" and the bytes.
                for (;;) {
                    std::size_t eol = wk.buffer.find('\n');
                    if (eol == std::string::npos) break;
                    std::size_t bytes = std::strtoul(wk.buffer.c_str() + 2, nullptr, 10);
                    if (wk.buffer.size() < eol + 1 + bytes) break;
                    if (!writer.failed) takeMessage(writer, wk.buffer.substr(eol + 1, bytes));
                    wk.buffer.erase(0, eol + 1 + bytes);
                    showProgress(o, ++done, total, start);
                }
            }
            if (writer.failed && !forwarded) {
                for (Worker& wk : workers) kill(wk.pid, SIGTERM);
                forwarded = true;
            }
        }
        for (int w = 0; w < jobs; ++w) {
            int status = 0;
            while (waitpid(workers[w].pid, &status, 0) < 0 && errno == EINTR) {
            }
            int workerCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            if (workerCode != exitClean && !stopSignal && !writer.failed) {
                std::fprintf(stderr, "tarvo evaluate: worker %d of %d ended with exit code %d\n", w + 1, jobs, workerCode);
                code = exitIncomplete;
            }
        }
    }
    if (!o.quiet && isatty(STDERR_FILENO) && total > 0) std::fprintf(stderr, "\n");

    bool closed = true;
    std::string closeError;
    for (Output& out : outputs)
        if (!closeOutput(out.part, closeError)) closed = refuse("cannot write " + closeError);
    if (!closeOutput(writer.samples, closeError)) closed = refuse("cannot write " + closeError);
    if (stopSignal) {
        std::fprintf(stderr, "tarvo evaluate: stopped by signal %d; the .part files keep %d finished instances "
                     "(run again with --resume)\n", static_cast<int>(stopSignal), done);
        return 128 + stopSignal;
    }
    if (writer.failed || !closed || done < total || code != exitClean) {
        std::fprintf(stderr, "tarvo evaluate: incomplete; the files stay .part (mend the cause, then --resume)\n");
        return exitIncomplete;
    }

    // Complete: the final files in sorted order, then the summaries.
    for (Output& out : outputs) {
        if (out.complete) continue;
        std::vector<EvalRow> rows;
        std::string error;
        if (!readEvalCsv(out.path + ".part", rows, error)) return failWith(exitIncomplete, error);
        const Input& in = inputs[out.input];
        std::sort(rows.begin(), rows.end(), [&in](const EvalRow& a, const EvalRow& b) {
            return std::make_tuple(placeOf(in, a.group, a.instance, a.stem), a.policy) <
                   std::make_tuple(placeOf(in, b.group, b.instance, b.stem), b.policy);
        });
        std::string text = evalCsvHeader(in.fileRun) + "\n";
        for (const EvalRow& r : rows) text += evalCsvLine(r) + "\n";
        if (!writeWhole(out.path, text, error)) return failWith(exitIncomplete, "cannot write " + error);
        std::remove((out.path + ".part").c_str());
    }
    if (!o.samples.empty()) {
        std::vector<SamplesPlace> places;
        std::string error;
        if (!indexSamples(samplesPart, outputNames, places, error)) return failWith(exitIncomplete, error);
        auto key = [&](const SamplesPlace& p) {
            return std::make_tuple(p.output, placeOf(inputs[outputs[p.output].input], p.group, p.instance, p.stem),
                                   p.policy);
        };
        std::sort(places.begin(), places.end(),
                  [&key](const SamplesPlace& a, const SamplesPlace& b) { return key(a) < key(b); });
        OutputFile final;
        if (!openOutput(final, o.samples + ".new", false, error)) return failWith(exitIncomplete, "cannot write " + error);
        if (!copySamples(samplesPart, places, final, false)) return exitIncomplete;
        if (!closeOutput(final, error)) return failWith(exitIncomplete, "cannot write " + error);
        if (std::rename((o.samples + ".new").c_str(), o.samples.c_str()) != 0)
            return failWith(exitIncomplete, "cannot rename " + o.samples + ".new: " + systemReason());
        std::remove(samplesPart.c_str());
    }
    for (const Output& out : outputs) {
        std::vector<EvalRow> rows;
        std::string error;
        if (!readEvalCsv(out.path, rows, error)) return failWith(exitIncomplete, error);
        printSummary(out, rows, inputs[out.input].path);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("evaluated %d instances in %.1f s\n", total, seconds);
    return exitClean;
}
