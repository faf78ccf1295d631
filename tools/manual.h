// Documents generated from the program's own option definitions, so they
// cannot drift from it: the manual page (roff, one section per sub-command
// holding its --help text) and a bash completion script (sub-commands and
// their options; files everywhere else).
#ifndef TAGMILL_TOOLS_MANUAL_H
#define TAGMILL_TOOLS_MANUAL_H

#include <string>

#include <CLI/CLI.hpp>

namespace tool {

std::string ManualPage(CLI::App &program, const std::string &version);
std::string BashCompletion(CLI::App &program);

} // namespace tool

#endif
