// SPDX-License-Identifier: GPL-3.0-or-later
// The game's command-line options, read before any window opens.
#include "shell/options.h"

#include <string>

#include "core/cli.h"
#include "core/files.h"
#include "net/messages.h"
#include "net/transport.h"
#include "replay/replay.h"

const char* const game_usage =
    "usage: chainball [--help] [--version] [--extras] [--track FILE] [--scale N] [--fullscreen] "
    "[--record DIR] [--replay FILE [--force]] [--host [PORT] [--input-delay N] | --join HOST[:PORT] | "
    "--watch HOST[:PORT]]";

static const char* const help_text =
    "Chainball: a top-down racing game for one or two players at one keyboard.\n"
    "\n"
    "  --help         this text\n"
    "  --version      the version\n"
    "  --extras       the full game: a longer menu and settings kept between runs\n"
    "                 in $XDG_CONFIG_HOME/chainball/chainball.toml\n"
    "  --track FILE   race on this track file alone: the settings offer just it\n"
    "  --scale N      show every pixel as an N x N block, N from 1 to 4 (default 1)\n"
    "  --fullscreen   start fullscreen, at the largest whole scale that fits\n"
    "  --record DIR   write every race of this run to DIR, one replay file each\n"
    "  --replay FILE  watch the race a replay file holds, then go on playing\n"
    "  --force        watch a replay even when its track's bytes have changed\n"
    "  --host [PORT]  host an online race on UDP port PORT (default 7391) and wait\n"
    "                 for one opponent; your settings decide the race\n"
    "  --input-delay N  with --host: steps from a key to the step it drives, 0 to 4\n"
    "                 (default 2, or the full game's setting); both machines race on it\n"
    "  --join HOST[:PORT]  race the one who hosts at HOST (IPv4 address or name)\n"
    "  --watch HOST[:PORT] watch the race hosted at HOST as a spectator (Tab:\n"
    "                 the other player's view)\n"
    "\n"
    "Player 1 drives with the arrow keys, player 2 with W A S D. Ctrl+P pauses,\n"
    "Escape leaves a race or the game. F11 switches fullscreen on and off.\n"
    "\n"
    "The data folder filut/ is looked for beside the executable, then in\n"
    "../share/chainball/ from it, then in the working directory.\n"
    "See chainball(6) for more.\n";

// What the option wants, said when its value is missing or empty.
static std::string needs(const std::string& option) {
    if (option == "--scale") return "--scale needs a number from 1 to 4";
    if (option == "--track") return "option --track needs a track file";
    if (option == "--record") return "option '--record' needs a folder";
    if (option == "--replay") return "option '--replay' needs a replay file";
    return "option " + option + " needs a value";
}

// The folder and file named on the command line, for the whole run: the
// options point into them, as they once pointed into argv.
static struct {
    std::string record_dir, replay_file;
} given;

// --input-delay N: 0 to NET_MAX_INPUT_DELAY, with --host (the host's holds
// for both machines). False after one line to `err`.
static bool read_input_delay(const std::string& value, bool hosting, game_options& opt, FILE* err) {
    long long steps = 0;
    if (!parse_integer(value, 0, NET_MAX_INPUT_DELAY, steps)) {
        cli_usage_error(err, "chainball", "--input-delay takes a number of steps from 0 to " +
                                              std::to_string(NET_MAX_INPUT_DELAY) + ", not '" + printable(value) + "'");
        return false;
    }
    if (!hosting) {
        cli_usage_error(err, "chainball", "--input-delay goes with --host: the host's holds for both machines");
        return false;
    }
    opt.input_delay = (int)steps;
    return true;
}

int parse_game_args(int argc, const char* const* argv, game_options& opt, FILE* out, FILE* err) {
    opt = game_options();
    CLI::App app;
    cli_setup(app, "chainball");
    std::string scale;
    app.add_flag("--extras", opt.extras);
    app.add_flag("--fullscreen", opt.fullscreen);
    app.add_option("--scale", scale);
    app.add_option("--track", opt.track_file);
    CLI::Option* record = app.add_option("--record", given.record_dir);
    CLI::Option* replay = app.add_option("--replay", given.replay_file);
    app.add_flag("--force", opt.force);
    std::string host_port;
    CLI::Option* host = app.add_option("--host", host_port)->expected(0, 1);
    app.add_option("--join", opt.join);
    std::string input_delay;
    CLI::Option* delay = app.add_option("--input-delay", input_delay);
    app.add_option("--watch", opt.watch);

    std::string why, missing;
    switch (cli_parse(app, argc, argv, why, missing)) {
    case CLI_HELP:
        std::fprintf(out, "%s\n\n%s", game_usage, help_text);
        return 0;
    case CLI_VERSION:
        std::fprintf(out, "chainball %s\n", chainball_version());
        return 0;
    case CLI_ERROR:
        return cli_usage_error(err, "chainball", missing.empty() ? why : needs(missing));
    case CLI_RUN:
        break;
    }
    if (!scale.empty() || app.count("--scale")) {
        // "1" to "4" exactly: no sign, spaces, leading zeros or trailing text.
        if (scale.size() != 1 || scale[0] < '1' || scale[0] > '4')
            return cli_usage_error(err, "chainball", "--scale takes a whole number from 1 to 4, not '" +
                                                          printable(scale) + "'");
        opt.scale = scale[0] - '0';
    }
    if (app.count("--track") && opt.track_file.empty())
        return cli_usage_error(err, "chainball", needs("--track"));
    if (record->count()) {
        if (given.record_dir.empty()) return cli_usage_error(err, "chainball", needs("--record"));
        opt.record_dir = given.record_dir.c_str();
    }
    if (replay->count()) {
        if (given.replay_file.empty()) return cli_usage_error(err, "chainball", needs("--replay"));
        opt.replay_file = given.replay_file.c_str();
    }
    if (host->count()) {
        long long port = NET_DEFAULT_PORT;
        if (!host_port.empty() && !parse_integer(host_port, 1, 65535, port))
            return cli_usage_error(err, "chainball", "--host takes a port from 1 to 65535, not '" +
                                                          printable(host_port) + "'");
        opt.host_port = (int)port;
    }
    for (const auto& address : {std::make_pair("--join", &opt.join), std::make_pair("--watch", &opt.watch)}) {
        if (app.count(address.first) && address.second->empty())
            return cli_usage_error(err, "chainball", std::string("option ") + address.first + " needs HOST or HOST:PORT");
        // Refused here, as every other bad option is, before any window.
        std::string named_host, error;
        int port = 0;
        if (!address.second->empty() && !parse_net_address(*address.second, named_host, port, error))
            return cli_usage_error(err, "chainball", std::string(address.first) + " " + error);
    }
    if (delay->count() && !read_input_delay(input_delay, host->count() > 0, opt, err)) return 2;
    if ((opt.host_port > 0) + !opt.join.empty() + !opt.watch.empty() > 1)
        return cli_usage_error(err, "chainball", "--host, --join and --watch cannot go together");
    if ((opt.host_port > 0 || !opt.join.empty() || !opt.watch.empty()) && opt.replay_file)
        return cli_usage_error(err, "chainball", "--replay cannot go with an online race");
    if (opt.force && !opt.replay_file)
        return cli_usage_error(err, "chainball", "option '--force' goes with --replay");
    return -1;
}
