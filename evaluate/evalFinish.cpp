// The end of `tarvo evaluate`: the .part files closed, and when every unit is done the final
// files written sorted (so they depend on neither --jobs nor resuming) and the summaries printed.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "cli/exitCodes.h"
#include "cli/progress.h"
#include "cli/stopSignals.h"
#include "evaluate/evaluation.h"

namespace evaluation {

static int writeSortedFiles(Evaluation& e);

int finishEvaluation(Evaluation& e)
{
    const Options& o = e.options;
    std::vector<Output>& outputs = e.outputs;
    const int total = static_cast<int>(e.units.size());
    if (!o.quiet && total > 0) endProgressLine();

    bool closed = true;
    std::string closeError;
    for (Output& out : outputs)
        if (!closeOutput(out.part, closeError)) closed = refuse("cannot write " + closeError);
    if (!closeOutput(e.writer.samples, closeError)) closed = refuse("cannot write " + closeError);
    if (stopSignal) {
        std::fprintf(stderr, "tarvo evaluate: stopped by signal %d; the .part files keep %d finished instances "
                     "(run again with --resume)\n", static_cast<int>(stopSignal), e.done);
        return exitSignalBase + stopSignal;
    }
    if (e.writer.failed || !closed || e.done < total || e.code != exitClean) {
        std::fprintf(stderr, "tarvo evaluate: incomplete; the files stay .part (mend the cause, then --resume)\n");
        return exitIncomplete;
    }

    return writeSortedFiles(e);
}

// Complete: the final files in sorted order, then the summaries.
static int writeSortedFiles(Evaluation& e)
{
    const Options& o = e.options;
    const std::vector<Input>& inputs = e.inputs;
    std::vector<Output>& outputs = e.outputs;
    const int total = static_cast<int>(e.units.size());
    const std::string samplesPart = o.samples + ".part";
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
        indexSamples(samplesPart, e.outputNames, places);
        auto key = [&](const SamplesPlace& p) {
            return std::make_tuple(p.output, placeOf(inputs[outputs[p.output].input], p.group, p.instance, p.stem),
                                   p.policy);
        };
        std::sort(places.begin(), places.end(),
                  [&key](const SamplesPlace& a, const SamplesPlace& b) { return key(a) < key(b); });
        OutputFile final;
        std::string error;
        if (!openWhole(final, o.samples, error)) return failWith(exitIncomplete, "cannot write " + error);
        if (!copySamples(samplesPart, places, final, false)) return exitIncomplete;
        if (!closeWhole(final, error)) return failWith(exitIncomplete, "cannot write " + error);
        std::remove(samplesPart.c_str());
    }
    for (const Output& out : outputs) {
        std::vector<EvalRow> rows;
        std::string error;
        if (!readEvalCsv(out.path, rows, error)) return failWith(exitIncomplete, error);
        printSummary(out, rows, inputs[out.input].path);
    }
    double seconds = std::chrono::duration<double>(ProgressClock::now() - e.start).count();
    std::printf("evaluated %d instances in %.1f s\n", total, seconds);
    return exitClean;
}

}  // namespace evaluation
