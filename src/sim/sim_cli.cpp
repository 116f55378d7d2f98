// SPDX-License-Identifier: GPL-3.0-or-later
// The headless simulator: command line, key script, the race set up as the
// level loader sets it up, and one record line per value printed; replays
// run and compared with their recorded result.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "core/cli.h"
#include "core/files.h"
#include "net/messages.h"
#include "race/race.h"
#include "sim/sim.h"
#include "track/track.h"

const char* const sim_usage =
    "usage: chainball-sim [--two-player] [--lengths A,B,C] [--laps N] [--keys FILE]\n"
    "                     [--steps N] [--seed N] [--difficulty D] [--off-road R]\n"
    "                     LEVEL_FILE\n"
    "       chainball-sim --cup NAME [--cups FILE] [race options] [--keys FILE]\n"
    "       chainball-sim --replay FILE [--track PATH] [--force]\n"
    "       chainball-sim --synctest N [race options] LEVEL_FILE\n"
    "       chainball-sim --net-host PORT [--bind ADDRESS] [--input-delay N]\n"
    "                     [race options] [--keys FILE] [--write-replay FILE] LEVEL_FILE\n"
    "       chainball-sim --net-join HOST[:PORT] [--track PATH] [--keys FILE]\n"
    "                     [--write-replay FILE]\n"
    "       chainball-sim --net-watch HOST[:PORT] [--track PATH] [--write-replay FILE]\n"
    "\n"
    "Runs race steps on one level without a window and prints the state.\n"
    "\n"
    "  --two-player     two-player race: views 400 wide, player 2 on W A S D\n"
    "  --lengths A,B,C  chain lengths of players 1..3 (A 1..10, B and C 0..10;\n"
    "                   0 keeps a player out of the race); default 7,2,5\n"
    "  --laps N         laps of the race, N >= 1; default 3\n"
    "  --keys FILE      key script: each line 'COUNT KEY...' holds the keys for\n"
    "                   COUNT steps (no key: none held); keys UP DOWN LEFT RIGHT\n"
    "                   W A S D in any case; lines starting with '#' are comments\n"
    "  --steps N        run exactly N steps (no keys held after the script ends);\n"
    "                   default: the steps of the script, 0 without one\n"
    "  --seed N         seed of the set-up's random draws (only pictures depend on\n"
    "                   them); default 1\n"
    "  --difficulty D   computer drivers: classic (default), good or expert\n"
    "  --off-road R     free (default): grass is as fast as road; slow: a head\n"
    "                   off the road eases down to 0.65 of the top speed\n"
    "  --replay FILE    run the race a replay file holds (its track, settings,\n"
    "                   draws and keys) and compare the result with the recorded\n"
    "                   one: status 0 when equal, 3 when not\n"
    "  --track PATH     the replay's track file; default filut/levelit/NAME.txt\n"
    "                   beside chainball-sim or in the working directory\n"
    "  --force          race a replay on a track whose bytes differ from its hash\n"
    "  --synctest N     run the race as two machines online would (both players\n"
    "                   from the script), rolling back N steps (1 to 8) after\n"
    "                   every step; status 0 when every state run again equals\n"
    "                   the first run, 3 with the first step and field that differ\n"
    "  --net-host PORT  host an online race on UDP port PORT (7391 is the game's)\n"
    "                   and wait for one opponent; the race is always a\n"
    "                   two-player race, this machine's racer is racer 1\n"
    "  --bind ADDRESS   the IPv4 address the host listens on; default all\n"
    "  --input-delay N  steps from a key to the step it drives, 0 to 4; default\n"
    "                   2; the host's holds for both machines\n"
    "  --net-join HOST[:PORT]  join the online race hosted there (racer 2); the\n"
    "                   track comes by name from the host: filut/levelit/NAME.txt,\n"
    "                   or --track PATH\n"
    "  --net-watch HOST[:PORT]  watch the online race hosted there as a\n"
    "                   spectator (at most 4 a race), from its first step\n"
    "  --write-replay FILE  write the replay of the confirmed steps there\n"
    "                   Online, this machine's racer drives by the script's\n"
    "                   UP DOWN LEFT RIGHT; status 0 for a race run to its end,\n"
    "                   4 when none came about, 5 when the opponent left, 6 when\n"
    "                   the two races differ\n"
    "  --cup NAME       race every track of the cup NAME in turn with the race\n"
    "                   options and key script; each race runs until every racer\n"
    "                   has finished (or --steps, default 30000 steps), then\n"
    "                   prints 'race I TRACK', 'place RACER PLACE FINISH_STEP'\n"
    "                   and 'standing POSITION RACER RACE_POINTS TOTAL GAP' lines\n"
    "  --cups FILE      the cup file; default filut/cups.toml beside chainball-sim\n"
    "  --help           this text\n"
    "  --version        the version\n"
    "\n"
    "The run stops after the step in which every racer taking part has\n"
    "completed the laps. A level file that cannot be opened is an error here\n"
    "(the game would start an empty level); an empty file is the empty level.\n"
    "\n"
    "Records on stdout, floats as %.9g:\n"
    "  track SIZE STRAIGHT_COUNT FINISH_X FINISH_Y WAYPOINT_COUNT CHECKPOINT_COUNT\n"
    "  waypoint I X Y\n"
    "  checkpoint I X Y\n"
    "  step N WINNER\n"
    "  racer R SPEED LAPS NEXT_WAYPOINT X0 Y0 H0 X1 Y1 H1 ...\n"
    "  end N\n"
    "Errors go to stderr with exit status 2. With --replay, one line on stderr\n"
    "tells whether the result is the recorded one (status 0) or not (status 3).\n";

// "A,B,C": the chain lengths of players 1 to 3.
static bool read_lengths(const std::string& v, int lengths[3], std::string& error) {
    std::vector<std::string> part;
    size_t start = 0;
    for (;;) {
        const size_t comma = v.find(',', start);
        part.push_back(v.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (part.size() != 3) {
        error = "--lengths needs three numbers A,B,C, got '" + printable(v) + "'";
        return false;
    }
    for (int r = 0; r < 3; r++) {
        long long len;
        if (!parse_integer(part[r], r == 0 ? 1 : 0, MAX_BALLS, len)) {
            error = "--lengths: length of player " + std::to_string(r + 1) + " must be " +
                    (r == 0 ? "1" : "0") + " to 10, got '" + printable(part[r]) + "'";
            return false;
        }
        lengths[r] = (int)len;
    }
    return true;
}

// The race's numbers and names as given on the command line, read into `opt`.
static bool read_race_values(const CLI::App& app, const std::string& lengths, const std::string& laps,
                             const std::string& steps, const std::string& seed,
                             const std::string& difficulty, sim_options& opt, std::string& error) {
    auto number = [&](const char* option, const std::string& v, long long lo, long long hi,
                      const std::string& what, long long& out) {
        if (!app.count(option) || parse_integer(v, lo, hi, out)) return true;
        error = std::string(option) + " needs " + what + ", got '" + printable(v) + "'";
        return false;
    };
    for (const char* option : {"--replay", "--track", "--keys"}) {
        if (app.count(option) && app[option]->as<std::string>().empty()) {
            error = std::string(option) + " needs a file name";
            return false;
        }
    }
    if (app.count("--lengths") && !read_lengths(lengths, opt.lengths, error)) return false;
    if (app.count("--off-road")) {
        const std::string rule = app["--off-road"]->as<std::string>();
        if (rule != "slow" && rule != "free") {
            error = "--off-road needs slow or free, got '" + printable(rule) + "'";
            return false;
        }
        opt.off_road = rule == "slow" ? OFF_ROAD_SLOWS : OFF_ROAD_FREE;
    }
    if (app.count("--difficulty") && !parse_difficulty(difficulty, opt.difficulty)) {
        error = "--difficulty needs classic, good or expert, got '" + printable(difficulty) + "'";
        return false;
    }
    long long n = opt.laps;
    if (!number("--laps", laps, 1, INT_MAX, "a whole number of at least 1", n)) return false;
    opt.laps = (int)n;
    if (!number("--steps", steps, 0, LLONG_MAX, "a whole number of at least 0", opt.steps)) return false;
    n = opt.seed;
    if (!number("--seed", seed, 0, UINT_MAX, "a whole number from 0 to " + std::to_string(UINT_MAX), n))
        return false;
    opt.seed = (unsigned int)n;
    return true;
}

// --input-delay goes with --net-host, --synctest with a level file alone.
static bool read_net_numbers(const CLI::App& app, const std::string& input_delay, const std::string& synctest,
                             sim_options& opt, std::string& error) {
    long long v = 0;
    if (app.count("--input-delay")) {
        if (!parse_integer(input_delay, 0, NET_MAX_INPUT_DELAY, v)) {
            error = "--input-delay needs a number of steps from 0 to " + std::to_string(NET_MAX_INPUT_DELAY) +
                    ", got '" + printable(input_delay) + "'";
            return false;
        }
        if (!app.count("--net-host")) {
            error = "--input-delay goes with --net-host: the host's holds for both machines";
            return false;
        }
        opt.net_input_delay = (int)v;
    }
    if (!app.count("--synctest")) return true;
    if (!parse_integer(synctest, 1, NET_MAX_AHEAD, v)) {
        error = "--synctest needs a number of steps from 1 to " + std::to_string(NET_MAX_AHEAD) + ", got '" +
                printable(synctest) + "'";
        return false;
    }
    if (app.count("--net-host") || app.count("--net-join") || !opt.replay_file.empty()) {
        error = "--synctest runs a race here: it cannot go with --net-host, --net-join or --replay";
        return false;
    }
    opt.synctest = (int)v;
    return true;
}

// What goes with --net-host or --net-join, and what does not.
static bool check_online_args(const CLI::App& app, sim_options& opt, const std::string& net_host,
                              const std::string& net_perturb, bool have_level, std::string& error) {
    long long v = 0;
    if (app.count("--net-host") + app.count("--net-join") + app.count("--net-watch") > 1) {
        error = "--net-host, --net-join and --net-watch cannot go together";
        return false;
    }
    if (!opt.replay_file.empty()) {
        error = "--replay cannot go with an online race";
        return false;
    }
    if (app.count("--net-host") && !parse_integer(net_host, 1, 65535, v)) {
        error = "--net-host needs a port from 1 to 65535, got '" + printable(net_host) + "'";
        return false;
    }
    opt.net_host_port = (int)v;
    if (app.count("--net-perturb") && !parse_integer(net_perturb, 1, LLONG_MAX, opt.net_perturb)) {
        error = "--net-perturb needs a step, got '" + printable(net_perturb) + "'";
        return false;
    }
    const std::string& bad = opt.net_misbehave;
    if (!bad.empty() && (opt.net_join.empty() || (bad != "silent" && bad != "garbage" && bad != "stale")) &&
        (opt.net_watch.empty() || bad != "inputs")) {
        error = "--net-misbehave takes silent, garbage or stale with --net-join, inputs with --net-watch";
        return false;
    }
    if (!opt.net_watch.empty()) {
        if (have_level || !opt.race_option.empty()) {
            error = "--net-watch takes the race from the host; give only --track and --write-replay";
            return false;
        }
        return true;
    }
    if (!opt.net_join.empty()) {
        if (have_level || (!opt.race_option.empty() && opt.race_option != "--keys")) {
            error = "--net-join takes the race from the host; give only --keys, --track and --write-replay";
            return false;
        }
        return true;
    }
    if (!have_level) {
        error = "--net-host needs the level file to race on";
        return false;
    }
    if (!opt.track_file.empty() || opt.force) {
        error = "--track goes with --replay or --net-join";
        return false;
    }
    return true;
}

// What goes with a replay or a race run here, and what does not.
static bool check_offline_args(const sim_options& opt, const std::string& net_perturb, bool have_level,
                               std::string& error) {
    if (!opt.net_bind.empty() || !opt.net_replay_out.empty() || !net_perturb.empty() || !opt.net_version.empty() ||
        !opt.net_misbehave.empty()) {
        error = "--bind and --write-replay go with --net-host, --net-join or --net-watch";
        return false;
    }

    if (!opt.replay_file.empty()) {
        if (have_level) {
            error = "--replay takes its track from the replay; name another file with --track";
            return false;
        }
        if (!opt.race_option.empty()) {
            error = "--replay takes the race from the replay file; " + printable(opt.race_option) +
                    " cannot be given with it";
            return false;
        }
        return true;
    }
    if (!opt.track_file.empty() || opt.force) {
        error = "--track and --force go with --replay";
        return false;
    }
    if (!have_level) {
        error = "no level file given";
        return false;
    }
    return true;
}

// A cup takes its tracks from the cup file.
static bool check_cup_args(const sim_options& opt, bool online, bool have_level, std::string& error) {
    if (opt.cup.empty()) error = "--cup needs a cup's name";
    else if (online || !opt.replay_file.empty() || !opt.track_file.empty() || opt.force)
        error = "--cup races its own tracks: no --replay, --track or online race with it";
    else if (have_level) error = "--cup takes its tracks from the cup file, not '" + printable(opt.level_file) + "'";
    return error.empty();
}

bool parse_sim_args(int argc, const char* const* argv, sim_options& opt, std::string& error) {
    opt = sim_options();
    CLI::App app;
    cli_setup(app, "chainball-sim");
    std::string lengths, laps, steps, seed, difficulty;
    std::vector<std::string> levels;
    // The options that set up a race, which a replay sets up itself.
    const std::vector<CLI::Option*> race_options = {
        app.add_flag("--two-player", opt.two_player), app.add_option("--lengths", lengths),
        app.add_option("--laps", laps),               app.add_option("--keys", opt.keys_file),
        app.add_option("--steps", steps),             app.add_option("--seed", seed),
        app.add_option("--difficulty", difficulty),   app.add_option("--off-road")};
    app.add_option("--replay", opt.replay_file);
    app.add_option("--track", opt.track_file);
    app.add_flag("--force", opt.force);
    std::string net_host, net_perturb, input_delay, synctest;
    app.add_option("--net-host", net_host);
    app.add_option("--input-delay", input_delay);
    app.add_option("--synctest", synctest);
    app.add_option("--net-join", opt.net_join);
    app.add_option("--net-watch", opt.net_watch);
    app.add_option("--bind", opt.net_bind);
    app.add_option("--write-replay", opt.net_replay_out);
    // For the tests: another version, a race made to differ, a bad guest.
    app.add_option("--net-claim-version", opt.net_version)->group("");
    app.add_option("--net-perturb", net_perturb)->group("");
    app.add_option("--net-misbehave", opt.net_misbehave)->group("");
    app.add_option("--cup", opt.cup);
    app.add_option("--cups", opt.cups_file);
    app.add_option("level", levels);

    std::string missing;
    switch (cli_parse(app, argc, argv, error, missing)) {
    case CLI_HELP:
        opt.help = true;
        return true;
    case CLI_VERSION:
        opt.version = true;
        return true;
    case CLI_ERROR:
        return false;
    case CLI_RUN:
        break;
    }
    for (const CLI::Option* o : app.parse_order())
        if (opt.race_option.empty() &&
            std::find(race_options.begin(), race_options.end(), o) != race_options.end())
            opt.race_option = o->get_name();

    if (!read_race_values(app, lengths, laps, steps, seed, difficulty, opt, error)) return false;
    const bool have_level = !levels.empty();
    if (have_level) opt.level_file = levels[0];
    if (levels.size() > 1) {
        error = "more than one level file: '" + printable(levels[0]) + "' and '" + printable(levels[1]) + "'";
        return false;
    }

    if (!read_net_numbers(app, input_delay, synctest, opt, error)) return false;
    const bool online = app.count("--net-host") || app.count("--net-join") || app.count("--net-watch");
    if (app.count("--cup") || app.count("--cups")) return check_cup_args(opt, online, have_level, error);
    if (online) return check_online_args(app, opt, net_host, net_perturb, have_level, error);
    return check_offline_args(opt, net_perturb, have_level, error);
}

// Powers of ten up to 10^18, for the exact scaling below.
static const unsigned long long POW10[19] = {
    1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull, 100000000ull,
    1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull,
    100000000000000ull, 1000000000000000ull, 10000000000000000ull, 100000000000000000ull,
    1000000000000000000ull};

// floor(log10(v)) for 1e-5 <= v < 1e15, or one off near a power of ten
// (the negative powers in the table are not exact): a first guess that
// nine_digits() corrects. `e` is the exponent of v's 53-bit mantissa.
static int decimal_exponent(double v, int e) {
    static const double DECADES[20] = {1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4,
                                       1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14};
    int k = (int)(((e + 52) * 77) >> 8) + 5;   // about log10(2) times the binary exponent
    if (k < 0) k = 0;
    if (k > 19) k = 19;
    while (k > 0 && v < DECADES[k]) k--;
    while (k < 19 && v >= DECADES[k + 1]) k++;
    return k - 5;
}

// The nine significant digits of |v| = m * 2^e, rounded to nearest with ties
// to even as printf rounds, and the decimal exponent x of the first digit.
// For 1e-5 <= |v| < 1e15 every product and divisor fits 128 bits: at most
// 2^53 * 10^13 < 2^97 and 10^6 * 2^53 < 2^73.
static void nine_digits(double v, unsigned long long& digits, int& x) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const unsigned long long m = (bits & 0xFFFFFFFFFFFFFull) | 0x10000000000000ull;   // a normal number
    const int e = (int)(bits >> 52 & 0x7FF) - 1075;
    x = decimal_exponent(v, e);
    for (;;) {
        const int s = 8 - x;   // digits = round(v * 10^s)
        unsigned __int128 num = m, q;
        int cmp_half;          // the remainder against half the divisor: -1, 0 or 1
        if (s >= 0) num *= POW10[s];
        if (s >= 0 && e < 0) {
            // Dividing by a power of two: a shift (the usual case).
            const unsigned __int128 rem = num & (((unsigned __int128)1 << -e) - 1);
            const unsigned __int128 half = (unsigned __int128)1 << (-e - 1);
            q = num >> -e;
            cmp_half = rem > half ? 1 : rem == half ? 0 : -1;
        } else {
            unsigned __int128 den = 1;
            if (s < 0) den = POW10[-s];
            if (e >= 0) num <<= e;
            else den <<= -e;
            q = num / den;
            const unsigned __int128 r2 = (num % den) * 2;
            cmp_half = r2 > den ? 1 : r2 == den ? 0 : -1;
        }
        if (q >= 1000000000u) { x++; continue; }
        if (q < 100000000u) { x--; continue; }
        if (cmp_half > 0 || (cmp_half == 0 && (q & 1))) q++;
        if (q == 1000000000u) {
            q = 100000000u;
            x++;
        }
        digits = (unsigned long long)q;
        return;
    }
}

char* format_g9(char* p, double v) {
    const double a = std::fabs(v);
    if (!(a >= 1e-5 && a < 1e15)) {
        if (v == 0) {
            if (std::signbit(v)) *p++ = '-';
            *p++ = '0';
            return p;
        }
        // Infinities, NaNs, denormals and the far ranges: the library's own
        // (the web build's C++ library has no floating-point to_chars).
#ifdef __EMSCRIPTEN__
        return p + std::snprintf(p, 32, "%.9g", v);
#else
        return std::to_chars(p, p + 32, v, std::chars_format::general, 9).ptr;
#endif
    }
    unsigned long long digits;
    int x;
    nine_digits(a, digits, x);
    if (v < 0) *p++ = '-';
    char d[9];
    uint32_t rest = (uint32_t)digits;
    for (int i = 8; i >= 0; i--, rest /= 10) d[i] = (char)('0' + rest % 10);
    int last = 8;   // %g drops trailing zeros of the fraction, and a bare point
    while (last > 0 && d[last] == '0') last--;
    if (x < -4 || x >= 9) {
        *p++ = d[0];
        if (last > 0) {
            *p++ = '.';
            for (int i = 1; i <= last; i++) *p++ = d[i];
        }
        *p++ = 'e';
        *p++ = x < 0 ? '-' : '+';
        const int ax = x < 0 ? -x : x;
        if (ax >= 100) *p++ = (char)('0' + ax / 100);
        *p++ = (char)('0' + ax / 10 % 10);
        *p++ = (char)('0' + ax % 10);
        return p;
    }
    if (x >= 0) {
        for (int i = 0; i <= x; i++) *p++ = d[i];
        if (last > x) {
            *p++ = '.';
            for (int i = x + 1; i <= last; i++) *p++ = d[i];
        }
        return p;
    }
    *p++ = '0';
    *p++ = '.';
    for (int i = -1; i > x; i--) *p++ = '0';
    for (int i = 0; i <= last; i++) *p++ = d[i];
    return p;
}

// A record line under construction: printf's formats written with
// std::to_chars and format_g9, which give the same characters at a fraction
// of the cost. A racer record of 10 balls
// fits the buffer; a longer line is written out in parts.
struct record_line {
    char text[1024] = {};
    char* end = text;
    FILE* out;
    explicit record_line(FILE* f) : out(f) {}
    // Room for a word or number of up to 63 characters.
    void room() {
        if (text + sizeof text - end >= 64) return;
        std::fwrite(text, 1, (size_t)(end - text), out);
        end = text;
    }
    void word(const char* s) {
        room();
        while (*s) *end++ = *s++;
    }
    void number(long long v) {   // " %lld"
        room();
        *end++ = ' ';
        end = std::to_chars(end, text + sizeof text, v).ptr;
    }
    void number(double v) {   // " %.9g"
        room();
        *end++ = ' ';
        end = format_g9(end, v);
    }
    void put() {
        room();
        *end++ = '\n';
        std::fwrite(text, 1, (size_t)(end - text), out);
        end = text;
    }
};

static void print_racers(FILE* out, const Race& race, long long n) {
    const Racer* racers = race.racers;
    const BallRow* balls = race.balls;
    record_line line(out);
    line.word("step");
    line.number(n);
    line.number((long long)race.winner);
    line.put();
    for (int r = 0; r < RACERS; r++) {
        const int len = racer_length(race, r);
        if (len == 0) continue;
        line.word("racer");
        line.number((long long)r);
        line.number((double)racers[r].speed);
        line.number((long long)racers[r].completed_laps);
        line.number((long long)(r == 0 ? 0 : racers[r].next_waypoint));
        for (int b = 0; b < len; b++) {
            line.number((double)balls[b].x[r]);
            line.number((double)balls[b].y[r]);
            line.number((double)balls[b].heading[r]);
        }
        line.put();
    }
}

void sim_setup(const sim_options& opt, Race& race, Track& track) {
    // A fresh race on an empty track (a level without a finish cell keeps
    // the previous one), so runs in one process start alike.
    race = new_race();
    clear_track(track);
    const RaceSetup setup = {{opt.lengths[0], opt.lengths[1], opt.lengths[2]}, opt.laps, opt.two_player,
                             opt.difficulty, opt.off_road};
    Random random = make_random(opt.seed);
    if (opt.level_text.empty()) setup_race(race, track, random, setup, opt.level_file.c_str());
    else setup_race_text(race, track, random, setup, opt.level_file.c_str(), opt.level_text);
}

static void print_track_and_start(FILE* out, const Race& race, const Track& track) {
    std::fprintf(out, "track %d %d %d %d %d %d\n", track.size, track.straight_count,
                 track.finish_x, track.finish_y, track.waypoint_count, track.checkpoint_count);
    for (int i = 0; i < track.waypoint_count && i < MAX_WAYPOINTS; i++)
        std::fprintf(out, "waypoint %d %d %d\n", i, track.waypoints[i].x, track.waypoints[i].y);
    for (int i = 0; i < track.checkpoint_count && i < MAX_CHECKPOINTS; i++)
        std::fprintf(out, "checkpoint %d %d %d\n", i, track.checkpoints[i].x,
                     track.checkpoints[i].y);
    print_racers(out, race, 0);
}

// Runs up to `steps` steps driven by `script`, printing each, and stops
// after the step that ends the race. Returns the steps run. With `checks`,
// the first checked step whose racer checksum differs goes to `diverged`,
// and the last that agreed before it to `agreed`.
static long long run_steps(Race& race, const Track& track, const std::vector<sim_segment>& script,
                           long long steps, FILE* out, const std::vector<replay_check>* checks,
                           long long& diverged, long long& agreed) {
    script_position at;
    size_t check = 0;
    long long n = 0;
    while (n < steps) {
        n++;
        race_step(race, track, input_of_script_keys(next_script_keys(script, at)));
        print_racers(out, race, n);
        if (checks && check < checks->size() && (*checks)[check].step == n) {
            if (diverged == 0 && (*checks)[check].sum != race_checksum(race)) diverged = n;
            if (diverged == 0) agreed = n;
            check++;
        }
        if (race_over(race)) {
            std::fprintf(out, "end %lld\n", n);
            break;
        }
    }
    std::fflush(out);
    return n;
}

bool read_sim_script(const sim_options& opt, std::vector<sim_segment>& script, FILE* err) {
    script.clear();
    if (opt.keys_file.empty()) return true;
    std::string text, error;
    std::string why;
    if (!read_regular_file(opt.keys_file.c_str(), MAX_KEY_SCRIPT_BYTES, text, why)) {
        std::fprintf(err, "chainball-sim: cannot read key script '%s': %s\n",
                     printable(opt.keys_file, 200).c_str(), why.c_str());
        return false;
    }
    if (!parse_key_script(text, script, error)) {
        std::fprintf(err, "chainball-sim: %s: %s\n", printable(opt.keys_file, 200).c_str(), error.c_str());
        return false;
    }
    return true;
}

bool check_level_file(const sim_options& opt, FILE* err) {
    // The game would race an empty level; here it is an error.
    std::string why;
    FILE* f = open_regular_file(opt.level_file.c_str(), MAX_LEVEL_FILE_BYTES, why);
    if (!f) {
        std::fprintf(err, "chainball-sim: cannot open level file '%s': %s\n",
                     printable(opt.level_file, 200).c_str(), why.c_str());
        return false;
    }
    std::fclose(f);
    return true;
}

int run_simulation(const sim_options& opt, FILE* out, FILE* err) {
    std::vector<sim_segment> script;
    if (!read_sim_script(opt, script, err)) return 2;
    if (!check_level_file(opt, err)) return 2;

    long long steps = opt.steps;
    if (steps < 0) {
        steps = 0;
        for (const auto& s : script) steps += s.count;
    }

    Race race;
    std::unique_ptr<Track> track(new Track);
    sim_setup(opt, race, *track);

    print_track_and_start(out, race, *track);
    long long diverged = 0, agreed = 0;
    run_steps(race, *track, script, steps, out, nullptr, diverged, agreed);
    return 0;
}

// Finds the replay's track: --track, else the catalogue's folder beside the
// program, else in the working directory.
std::string sim_track_path(const std::string& track_file, const std::string& name) {
    if (!track_file.empty()) return track_file;
    return beside_program(level_file_path(name.c_str()));
}

std::string beside_program(const std::string& relative) {
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = 0;
        std::string dir(exe);
        dir.resize(dir.rfind('/') + 1);
        if (access((dir + relative).c_str(), F_OK) == 0) return dir + relative;
    }
    return relative;
}

int run_replay(const sim_options& opt, FILE* out, FILE* err) {
    std::string text, why;
    replay rep;
    if (!read_regular_file(opt.replay_file.c_str(), MAX_REPLAY_BYTES, text, why)) {
        std::fprintf(err, "chainball-sim: cannot read replay '%s': %s\n",
                     printable(opt.replay_file, 200).c_str(), why.c_str());
        return 2;
    }
    if (!parse_replay(text, rep, why)) {
        std::fprintf(err, "chainball-sim: replay %s: %s\n", printable(opt.replay_file, 200).c_str(),
                     why.c_str());
        return 2;
    }
    sim_options race;
    race.two_player = rep.two_player;
    for (int i = 0; i < 3; i++) race.lengths[i] = rep.lengths[i];
    race.laps = rep.laps;
    race.difficulty = rep.difficulty;
    race.off_road = rep.off_road;
    race.level_file = sim_track_path(opt.track_file, rep.track_name);
    std::string warning;
    // A replay that carries its track (checked against its hash as it was
    // read) needs no file, unless --track names one.
    if (!rep.track_text.empty() && opt.track_file.empty()) {
        race.level_file = rep.track_name;
        race.level_text = rep.track_text;
    } else if (!check_replay_track(rep, race.level_file, opt.force, why, warning)) {
        std::fprintf(err, "chainball-sim: replay %s: %s\n", printable(opt.replay_file, 200).c_str(),
                     why.c_str());
        return 2;
    }
    if (!warning.empty()) std::fprintf(err, "chainball-sim: %s\n", warning.c_str());

    Race raced;
    std::unique_ptr<Track> track(new Track);
    sim_setup(race, raced, *track);
    apply_race_draws(rep, raced, *track);
    print_track_and_start(out, raced, *track);
    long long diverged = 0, agreed = 0;
    const long long ran =
        run_steps(raced, *track, rep.keys, rep.result.steps, out, &rep.checks, diverged, agreed);
    const replay_result got = current_result(raced, ran);
    if (same_result(got, rep.result) && diverged == 0) {
        std::fprintf(err, "chainball-sim: replay %s: as recorded (%s)\n",
                     printable(opt.replay_file, 200).c_str(), describe_result(got).c_str());
        return 0;
    }
    std::fprintf(err, "chainball-sim: replay %s differs: recorded %s, simulated %s\n",
                 printable(opt.replay_file, 200).c_str(), describe_result(rep.result).c_str(),
                 describe_result(got).c_str());
    if (diverged > 0)
        std::fprintf(err, "chainball-sim: the racers first differ from the recording by step %lld "
                     "(%s)\n", diverged,
                     agreed > 0 ? ("the same at step " + std::to_string(agreed)).c_str()
                                : "no earlier check");
    return 3;
}

int sim_main(int argc, const char* const* argv, FILE* out, FILE* err) {
    sim_options opt;
    std::string error;
    if (!parse_sim_args(argc, argv, opt, error)) return cli_usage_error(err, "chainball-sim", error);
    if (opt.help) {
        std::fputs(sim_usage, out);
        return 0;
    }
    if (opt.version) {
        std::fprintf(out, "chainball-sim %s\n", chainball_version());
        return 0;
    }
    if (!opt.replay_file.empty()) return run_replay(opt, out, err);
    if (!opt.cup.empty()) return run_cup(opt, out, err);
    if (opt.net_host_port > 0 || !opt.net_join.empty() || !opt.net_watch.empty()) return run_net_peer(opt, out, err);
    if (opt.synctest > 0) return run_sync_test(opt, out, err);
    return run_simulation(opt, out, err);
}
