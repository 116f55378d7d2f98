// SPDX-License-Identifier: GPL-3.0-or-later
// What the three programs (the game, chainball-sim, chainball-track) share
// about their command lines: the option library set up alike, the version,
// and one wording for an argument nobody asked for.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

// "1.1.0": the version every program's --version prints after its name.
const char* chainball_version();

// Sets up `app` as all three programs want it: -h and --help, --version,
// the last of a repeated option wins, a flag refuses a value
// (--fullscreen=no), and unknown arguments are kept for cli_parse to name
// rather than refused with the library's own words.
void cli_setup(CLI::App& app, const char* program);

enum cli_outcome { CLI_RUN, CLI_HELP, CLI_VERSION, CLI_ERROR };

// Parses argv (argv[0] is the program). On CLI_ERROR `why` holds the reason
// in our words: "unknown option '-x'" (the argument quoted with printable()),
// "option --keys needs a value", "option --fullscreen takes no value". When
// the failure is an option given without its value, `missing` is that
// option's name ("--scale"), so the caller can say what the value is.
cli_outcome cli_parse(CLI::App& app, int argc, const char* const* argv, std::string& why,
                      std::string& missing);

// The arguments of the last parse that no option or positional took.
std::vector<std::string> cli_unknown(const CLI::App& app);

// The one line of a usage error on `err`: "PROGRAM: WHY (see PROGRAM --help)".
// Returns 2, the exit status of every usage error.
int cli_usage_error(FILE* err, const char* program, const std::string& why);
