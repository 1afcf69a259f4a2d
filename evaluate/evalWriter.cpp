// The files `tarvo evaluate` writes as units finish: the .part results files, and the samples
// file with the index that sorts and resumes it.
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "cli/fileChecks.h"
#include "evaluate/evaluation.h"

namespace evaluation {

bool writeAll(OutputFile& file, const std::string& text)
{
    std::string error;
    if (writeOutput(file, text, error)) return true;
    return refuse("cannot write " + error);
}

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

bool indexSamples(const std::string& path, const std::map<std::string, int>& outputNames,
                  std::vector<SamplesPlace>& places)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    long offset = 0;
    while (std::getline(in, line)) {
        long length = static_cast<long>(line.size()) + 1;
        if (in.eof()) break;
        std::size_t tab = line.find('\t'), cut = line.find(",\"eval_seed\"");
        auto name = tab == std::string::npos ? outputNames.end() : outputNames.find(line.substr(0, tab));
        if (name != outputNames.end() && cut != std::string::npos) {
            nlohmann::json head = nlohmann::json::parse(line.substr(tab + 1, cut - tab - 1) + "}", nullptr, false);
            if (!head.is_discarded() && head.contains("group") && head.contains("instance") && head.contains("policy"))
                places.push_back({name->second, head["group"].get<int>(), head["instance"].get<int>(), "",
                                  head["policy"].get<std::string>(), offset, length});
            else if (!head.is_discarded() && head.contains("stem") && head.contains("policy"))
                places.push_back({name->second, 0, 0, head["stem"].get<std::string>(),
                                  head["policy"].get<std::string>(), offset, length});
        }
        offset += length;
    }
    return true;
}

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

}  // namespace evaluation
