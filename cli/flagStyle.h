// The one way the commands read their flags with CLI11: --help prints the command's help on
// standard output and ends cleanly; any other refusal is one line "<command>: <why> (see --help)"
// on standard error, exit code 2.
#pragma once

#include <string>

namespace CLI {
class App;
class ParseError;
}  // namespace CLI

// Prints the refusal "<command>: <what>" on standard error; false, so that a check can return it.
bool refuse(const char* command, const std::string& what);
// Parses argv (argv[0] being the command's word); false with code set when the command must end
// here (0 after --help, 2 after a refusal, the text printed).
bool parseCommandFlags(CLI::App& app, int argc, char** argv, const char* command, int& code);
// The refusal text of a CLI11 error, the reason cut after most characters (a flag's value may be
// any length).
std::string parserRefusal(const char* command, const CLI::ParseError& e, std::size_t most = std::string::npos);
