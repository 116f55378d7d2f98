// SPDX-License-Identifier: GPL-3.0-or-later
// The game's command line. With no option the game is exactly the game of
// old; every option adds something on top.
#pragma once

#include <cstdio>
#include <string>

struct game_options {
    bool help = false;
    bool version = false;
    int scale = 1;            // --scale N: each pixel shown as an N x N block, 1 to 4
    bool fullscreen = false;  // --fullscreen: start fullscreen (F11 toggles)
    std::string track_file;   // --track FILE: race this one file; empty: the catalogue
    const char* record_dir = nullptr;    // --record DIR: every race written there
    const char* replay_file = nullptr;   // --replay FILE: watch that race
    bool force = false;                  // --force: a replay's track may differ
    bool extras = false;                 // --extras: the full game
    int host_port = 0;                   // --host [PORT]: host an online race; 0: not
    std::string join;                    // --join HOST[:PORT]: join one; empty: not
    int input_delay = -1;                // --input-delay N with --host: 0 to 4; -1: the settings'
    std::string watch;                   // --watch HOST[:PORT]: watch one; empty: not
};

// Reads argv (argv[0] is the program). Returns -1 when the game should go
// on, or else the exit status: 0 after printing --help or --version to
// `out`, 2 after printing a one-line reason to `err`. record_dir and
// replay_file stay valid until the next call.
int parse_game_args(int argc, const char* const* argv, game_options& opt, FILE* out, FILE* err);

extern const char* const game_usage;
