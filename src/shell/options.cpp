// The game's command-line options, read before any window opens.
#include "shell/options.h"

#include <cstring>
#include <string>

#ifndef CHAINBALL_VERSION
#define CHAINBALL_VERSION "unknown"
#endif

const char* const game_usage =
    "usage: chainball [--help] [--version] [--track FILE] [--scale N] [--fullscreen] "
    "[--record DIR] [--replay FILE [--force]]";

static const char* const help_text =
    "Chainball: a top-down racing game for one or two players at one keyboard.\n"
    "\n"
    "  --help         this text\n"
    "  --version      the version\n"
    "  --track FILE   race on this track file alone: the settings offer just it\n"
    "  --scale N      show every pixel as an N x N block, N from 1 to 4 (default 1)\n"
    "  --fullscreen   start fullscreen, at the largest whole scale that fits\n"
    "  --record DIR   write every race of this run to DIR, one replay file each\n"
    "  --replay FILE  watch the race a replay file holds, then go on playing\n"
    "  --force        watch a replay even when its track's bytes have changed\n"
    "\n"
    "Player 1 drives with the arrow keys, player 2 with W A S D. Ctrl+P pauses,\n"
    "Escape leaves a race or the game. F11 switches fullscreen on and off.\n"
    "\n"
    "The data folder filut/ is looked for beside the executable, then in\n"
    "../share/chainball/ from it, then in the working directory.\n"
    "See chainball(6) for more.\n";

// "1" to "4" exactly: no sign, spaces, leading zeros or trailing text.
static bool read_scale(const char* s, int& scale) {
    if (!s || std::strlen(s) != 1 || s[0] < '1' || s[0] > '4') return false;
    scale = s[0] - '0';
    return true;
}

int parse_game_args(int argc, const char* const* argv, game_options& opt, FILE* out, FILE* err) {
    opt = game_options();
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            opt.help = true;
        } else if (arg == "--version") {
            opt.version = true;
        } else if (arg == "--fullscreen") {
            opt.fullscreen = true;
        } else if (arg == "--scale" || arg.rfind("--scale=", 0) == 0) {
            const bool joined = arg.size() > 7;
            if (!joined && i + 1 >= argc) {
                std::fprintf(err, "chainball: --scale needs a number from 1 to 4\n%s\n", game_usage);
                return 2;
            }
            const char* value = joined ? argv[i] + 8 : argv[++i];
            if (!read_scale(value, opt.scale)) {
                std::fprintf(err, "chainball: --scale takes a whole number from 1 to 4, not '%s'\n%s\n", value,
                             game_usage);
                return 2;
            }
        } else if (arg == "--track") {
            if (i + 1 >= argc || !argv[i + 1][0]) {
                std::fprintf(err, "chainball: option --track needs a track file\n%s\n", game_usage);
                return 2;
            }
            opt.track_file = argv[++i];
        } else if (arg == "--record" || arg == "--replay") {
            if (i + 1 >= argc || !argv[i + 1][0]) {
                std::fprintf(err, "chainball: option '%s' needs a %s\n%s\n", argv[i],
                             arg == "--record" ? "folder" : "replay file", game_usage);
                return 2;
            }
            (arg == "--record" ? opt.record_dir : opt.replay_file) = argv[++i];
        } else if (arg == "--force") {
            opt.force = true;
        } else {
            std::fprintf(err, "chainball: unknown option '%s'\n%s\n", argv[i], game_usage);
            return 2;
        }
    }
    if (opt.force && !opt.replay_file && !opt.help && !opt.version) {
        std::fprintf(err, "chainball: option '--force' goes with --replay\n%s\n", game_usage);
        return 2;
    }
    if (opt.help) {
        std::fprintf(out, "%s\n\n%s", game_usage, help_text);
        return 0;
    }
    if (opt.version) {
        std::fprintf(out, "chainball %s\n", CHAINBALL_VERSION);
        return 0;
    }
    return -1;
}
