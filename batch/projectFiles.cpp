// The project files of a file run (--files): paths expanded to files in a fixed order, each with
// the stem that names its results and seeds its stream, and the run's name.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "batch/batch.h"
#include "project/platform.h"
#include "project/reader.h"
#include "project/state.h"
#include "solve/solve.h"

// The base name of a path, without a trailing slash.
static std::string baseName(std::string path)
{
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The base name without its last extension (a leading dot is part of the name, not an extension).
static std::string stemOf(const std::string& path)
{
    std::string name = baseName(path);
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

static bool projectExtension(const std::string& name)
{
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == "sm" || ext == "rcp";
}

// A comma or quote would split a results row, a control byte a line; such paths are refused
// rather than quoted, so that every reader of the files keeps reading plain fields.
static bool plainPath(const std::string& path)
{
    for (unsigned char c : path)
        if (c < 0x20 || c == 0x7f || c == ',' || c == '"') return false;
    return !path.empty();
}

bool listProjectFiles(const std::vector<std::string>& paths, std::vector<ProjectFile>& files, std::string& error)
{
    files.clear();
    for (const std::string& path : paths) {
        struct stat info;
        if (stat(path.c_str(), &info) != 0) {
            error = path + ": " + std::strerror(errno);
            return false;
        }
        if (S_ISREG(info.st_mode)) {
            files.push_back({path, stemOf(path)});
            continue;
        }
        // A pipe or a device could block the run or never end.
        if (!S_ISDIR(info.st_mode)) {
            error = path + ": neither a file nor a folder";
            return false;
        }
        DIR* folder = opendir(path.c_str());
        if (!folder) {
            error = path + ": " + std::strerror(errno);
            return false;
        }
        std::vector<std::string> names;
        errno = 0;
        while (dirent* entry = readdir(folder)) {
            std::string name = entry->d_name;
            if (!projectExtension(name)) continue;
            std::string full = path + (path.back() == '/' ? "" : "/") + name;
            struct stat entryInfo;
            if (stat(full.c_str(), &entryInfo) == 0 && S_ISREG(entryInfo.st_mode)) names.push_back(name);
        }
        int readError = errno;
        closedir(folder);
        if (readError != 0) {
            error = path + ": " + std::strerror(readError);
            return false;
        }
        if (names.empty()) {
            error = path + ": the folder holds no .sm or .rcp files";
            return false;
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            std::string full = path + (path.back() == '/' ? "" : "/") + name;
            files.push_back({full, stemOf(name)});
        }
    }
    if (files.size() > static_cast<std::size_t>(maxRunFiles)) {
        error = "the run holds " + std::to_string(files.size()) + " files, more than the " +
                std::to_string(maxRunFiles) + " one run takes";
        return false;
    }
    // The stem names the instance in the results and seeds its stream: two files of one stem
    // (j301_1.sm beside j301_1.rcp, or the same name in two folders) would share both.
    std::map<std::string, const std::string*> byStem;
    for (const ProjectFile& f : files) {
        if (!plainPath(f.path)) {
            error = "\"" + f.path + "\": a path with a comma, a quote or a control character cannot stand in the "
                    "results files (rename the file)";
            return false;
        }
        auto [it, fresh] = byStem.emplace(f.stem, &f.path);
        if (!fresh) {
            error = f.path + " and " + *it->second + " have the same stem \"" + f.stem +
                    "\", which names the results and seeds the stream (rename one)";
            return false;
        }
    }
    return true;
}

std::string runNameOf(const BatchOptions& o)
{
    if (!o.name.empty()) return o.name;
    if (o.files.empty()) return "";
    struct stat info;
    const std::string& first = o.files.front();
    bool folder = stat(first.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    // A folder named "." or ".." has no name of its own to give.
    std::string name = folder ? baseName(first) : stemOf(first);
    return name == "." || name == ".." ? "" : name;
}

bool resolveFiles(BatchOptions& o)
{
    if (o.files.empty()) return true;
    std::string error;
    if (!listProjectFiles(o.files, o.projects, error)) {
        std::fprintf(stderr, "tarvo: %s\n", error.c_str());
        return false;
    }
    std::string name = runNameOf(o);
    if (!validRunName(name)) {
        std::fprintf(stderr, "tarvo: \"%s\" cannot name the run's files (1..64 letters, digits, _ - . +, not a "
                     "PSPLIB set's name); give one with --name\n", name.c_str());
        return false;
    }
    o.name = name;
    // Every file is read once before anything is solved, so that a damaged file is reported at
    // the start with all others, not after hours of work on the files before it.
    int unreadable = 0;
    for (const ProjectFile& f : o.projects) {
        projectFile = f.path;
        if (readInstance()) continue;
        // Some of the reader's messages (a limit of the tables) do not name the file.
        std::fflush(stdout);
        std::fprintf(stderr, "tarvo: %s cannot be used (see the message above)\n", f.path.c_str());
        ++unreadable;
    }
    projectFile.clear();
    std::fflush(stdout);
    if (unreadable > 0) {
        std::fprintf(stderr, "tarvo: %d of the %zu files cannot be read (see above); nothing was solved\n",
                     unreadable, o.projects.size());
        return false;
    }
    return true;
}

bool checkDatasetFiles(const BatchOptions& o)
{
    if (!o.files.empty()) return true;
    // As for file runs: a missing or damaged instance file is found before hours of work on the
    // groups before it, in every shard alike.
    setKeyWaits(false);
    instanceFolder = o.instances;
    datasetType = o.dataset;
    projectFile.clear();
    int unreadable = 0, checked = 0;
    // A shard reads the files it solves (the whole run's with --jobs, whose shards are all here).
    for (paramNum = o.firstGroup; paramNum <= o.lastGroup; ++paramNum)
        for (instNum = 1; instNum <= 10; ++instNum) {
            bool mine = o.shardCount == 0 || o.jobs > 1 || ((paramNum - 1) * 10 + instNum - 1) % o.shardCount == o.shard - 1;
            if (!mine) continue;
            ++checked;
            if (!readInstance() && ++unreadable == 1) sayMissingSet();
        }
    std::fflush(stdout);
    if (unreadable == 0) return true;
    std::fprintf(stderr, "tarvo: %d of the %d instance files to solve in groups %d-%d cannot be read from %s (see "
                 "above); nothing was solved\n", unreadable, checked, o.firstGroup, o.lastGroup, o.instances.c_str());
    return false;
}
