// SPDX-License-Identifier: GPL-3.0-or-later
// The one door from the game's TOML files (settings and records) into
// toml++: header-only and without exceptions, the same in every file that
// includes it, and never handed bytes the library cannot take.
#pragma once

#include <string>

#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

// Parses `text` into `out` (config.cpp holds it, beside the settings reader). False with "line L, column C: cause" in
// `problem`, printable, for a file that is not TOML, or that holds a byte
// that is not ASCII: every file the game writes is plain ASCII, and toml++
// 3.3 reaches undefined behaviour on some other bytes.
bool parse_toml(const std::string& text, toml::table& out, std::string& problem);
