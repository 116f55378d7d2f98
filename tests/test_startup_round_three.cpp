// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, third round: every refused command line refused before any
// window, and what the game quotes in its messages kept to one printable
// line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "config/config.h"
#include "core/files.h"
#include "core/state.h"
#include "harness.h"
#include "shell/options.h"
#include "sim/sim.h"
#include "test_full_support.h"
#include "test_view_support.h"

namespace {

struct parsed {
    int status;
    std::string err;
    game_options opt;
};

parsed parse(std::vector<const char*> args) {
    args.insert(args.begin(), "chainball");
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    parsed p;
    p.status = parse_game_args((int)args.size(), args.data(), p.opt, out, err);
    read_back(out);
    p.err = read_back(err);
    return p;
}

// One line of printable ASCII, ending in its newline.
bool one_printable_line(const std::string& s) {
    if (s.empty() || s.back() != '\n') return false;
    return std::all_of(s.begin(), s.end() - 1, [](char c) { return c >= 0x20 && c < 0x7f; });
}

}  // namespace

// A --join address that can never be joined is a bad option like any other:
// status 2 with the address quoted, before any window opens.
TEST(StartupOptions, JoinAddressCheckedWithTheOtherOptions) {
    for (const char* bad : {":70000", ":0", ":abc", "127.0.0.1:", "a:b:c", "host:0", "host:65536",
                            "ho\x1bst", "ho\nst:5000", "[::1]:5000"}) {
        parsed p = parse({"--join", bad});
        EXPECT_EQ(p.status, 2) << bad;
        EXPECT_TRUE(one_printable_line(p.err)) << p.err;
        EXPECT_NE(p.err.find("'" + printable(bad) + "'"), std::string::npos) << p.err;
        EXPECT_NE(p.err.find("(see chainball --help)"), std::string::npos) << p.err;
    }
    for (const char* good : {"127.0.0.1", "localhost:5000", "host.example:65535"}) {
        parsed p = parse({"--join", good});
        EXPECT_EQ(p.status, -1) << good << ": " << p.err;
        EXPECT_EQ(p.opt.join, good);
    }
}

// A file name, a settings value and the environment, each holding an escape
// sequence and a newline, quoted by the game's messages as one printable line.
TEST(StartupMessages, QuotedBytesStayOnOnePrintableLine) {
    const std::string hostile = "a\x1b[2J\nb";
    std::vector<std::string> lines;
    {
        FullGame game;   // puts the settings folder back
        setenv("XDG_CONFIG_HOME", (scratch_dir() + "/" + hostile).c_str(), 1);
        game_config settings;
        settings.track = hostile;   // no such track in the catalogue
        FILE* err = tmpfile();
        apply_full_settings(*game.run, settings, err);
        lines.push_back(read_back(err));
    }
    {
        CatalogueSwap keep({});
        const std::string missing = scratch_dir() + "/" + hostile;
        lines.push_back(capture_stderr([&] { read_catalogue(missing.c_str()); }));
    }
    sim_options opt;
    opt.keys_file = scratch_dir() + "/" + hostile;
    std::ofstream(opt.keys_file) << "5 NOKEY\n";
    FILE* err = tmpfile();
    std::vector<sim_segment> script;
    EXPECT_FALSE(read_sim_script(opt, script, err));
    lines.push_back(read_back(err));
    std::string out;
    EXPECT_EQ(run("env -u SDL_VIDEODRIVER DISPLAY=\"$(printf ':9\\033[2J\\nb')\" ./chainball", out), 1);
    lines.push_back(out);

    for (const std::string& line : lines) {
        EXPECT_TRUE(one_printable_line(line)) << printable(line, 400);
        EXPECT_NE(line.find("\\x1b[2J\\x0a"), std::string::npos) << line;
    }
}
