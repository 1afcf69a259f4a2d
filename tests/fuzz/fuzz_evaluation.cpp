// libFuzzer target: the readers of evaluation files and of the samples .part that summarize and
// a resumed evaluation use. Bad input must give an error naming the file and a line, never a
// crash; an evaluation row read back must be written out again byte for byte.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "results/evalCsv.h"
#include "evaluate/samplesFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<EvalRow> rows;
    std::string error;
    if (parseEvalText(text, "fuzz.csv", rows, error)) {
        std::string again = evalCsvHeader(!rows.empty() && !rows.front().stem.empty()) + "\n";
        for (const EvalRow& r : rows) again += evalCsvLine(r) + "\n";
        std::vector<EvalRow> rows2;
        if (!parseEvalText(again, "again.csv", rows2, error) || rows2.size() != rows.size()) __builtin_trap();
        for (size_t k = 0; k < rows.size(); ++k)
            if (evalCsvLine(rows2[k]) != evalCsvLine(rows[k])) __builtin_trap();
    } else if (error.rfind("fuzz.csv: ", 0) != 0) {
        __builtin_trap();
    }
    const std::map<std::string, int> names = {{"p-eval-U2.csv", 0}};
    std::vector<SamplesPlace> places;
    if (indexSamplesText(text, "fuzz.part", names, places, error)) {
        for (const SamplesPlace& p : places)
            if (p.runs < 2 || p.offset < 0 || p.offset + p.length > static_cast<long>(size)) __builtin_trap();
    } else if (error.rfind("fuzz.part: line ", 0) != 0) {
        __builtin_trap();
    }
    return 0;
}
