// Resuming `tarvo evaluate`: complete results files kept, the rows and samples of
// interrupted ones kept, the .part files opened, and the units still to do listed.
#include <cstdio>
#include <set>

#include "cli/exitCodes.h"
#include "cli/fileChecks.h"
#include "evaluate/evaluation.h"
#include "results/resultsCsv.h"

namespace evaluation {

int resumeEvaluation(Evaluation& e)
{
    const Options& o = e.options;
    const std::vector<Input>& inputs = e.inputs;
    std::vector<Output>& outputs = e.outputs;
    const std::map<std::string, int>& outputNames = e.outputNames;

    // Complete files are kept (--resume) or refused; rows of interrupted ones kept with --resume.
    std::vector<SamplesPlace> keptSamples;
    std::set<std::tuple<int, int, int, std::string, std::string>> haveSamples;
    std::string samplesPart = o.samples + ".part";
    if (o.resume && !o.samples.empty() && fileExists(samplesPart)) {
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
        if (fileExists(out.path)) {
            out.complete = true;
            continue;
        }
        std::vector<EvalRow> kept;
        const Input& in = inputs[out.input];
        if (o.resume && fileExists(out.path + ".part")) {
            std::vector<EvalRow> rows;
            std::string error;
            if (!readEvalCsv(out.path + ".part", rows, error)) return failWith(exitUsage, "cannot resume: " + error);
            for (std::size_t k = 0; k < in.records.size(); ++k) {
                int found = 0;
                for (const EvalRow& r : rows)
                    if (rowOfRecord(r, in.records[k]) &&
                        (o.samples.empty() ||
                         haveSamples.count({static_cast<int>(x), r.group, r.instance, r.stem, r.policy})))
                        ++found;
                out.done[k] = found == rowsPerRecord(in);
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
    e.writer.outputs = &outputs;
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
        if (!openWhole(fresh, samplesPart, error)) return failWith(exitIncomplete, "cannot write " + error);
        if (!copySamples(samplesPart, keep, fresh, true)) return exitIncomplete;
        if (!closeWhole(fresh, error)) return failWith(exitIncomplete, "cannot write " + error);
        if (!openOutput(e.writer.samples, samplesPart, true, error)) return failWith(exitIncomplete, "cannot write " + error);
    }

    // The units still to do, in command order.
    for (std::size_t f = 0; f < inputs.size(); ++f)
        for (std::size_t k = 0; k < inputs[f].records.size(); ++k) {
            Unit u{static_cast<int>(f), k, {}};
            for (std::size_t x = 0; x < outputs.size(); ++x)
                if (outputs[x].input == static_cast<int>(f) && !outputs[x].complete && !outputs[x].done[k])
                    u.outputs.push_back(static_cast<int>(x));
            if (!u.outputs.empty()) e.units.push_back(u);
        }

    return exitClean;
}

}  // namespace evaluation
