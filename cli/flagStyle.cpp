// CLI11 behind one style of help and refusal; the heavy header is compiled here and in the flag
// readers that build their apps.
#include "cli/flagStyle.h"

#include <CLI/CLI.hpp>
#include <cstdio>

#include "cli/exitCodes.h"

bool refuse(const char* command, const std::string& what)
{
    std::fprintf(stderr, "%s: %s\n", command, what.c_str());
    return false;
}

std::string parserRefusal(const char* command, const CLI::ParseError& e, std::size_t most)
{
    std::string why = e.what();
    if (why.size() > most) why = why.substr(0, most) + "...";
    return std::string(command) + ": " + why + " (see --help)\n";
}

bool parseCommandFlags(CLI::App& app, int argc, char** argv, const char* command, int& code)
{
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::printf("%s", app.help().c_str());
        code = exitClean;
        return false;
    } catch (const CLI::ParseError& e) {
        std::fputs(parserRefusal(command, e).c_str(), stderr);
        code = exitUsage;
        return false;
    }
    return true;
}
