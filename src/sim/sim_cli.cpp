// The headless simulator: command line, key script, the race set up as the
// level loader sets it up, and one record line per value printed.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/files.h"
#include "core/state.h"
#include "race/race.h"
#include "sim/sim.h"
#include "track/track.h"

const char* const sim_usage =
    "usage: chainball-sim [--two-player] [--lengths A,B,C] [--laps N] [--keys FILE]\n"
    "                     [--steps N] [--seed N] LEVEL_FILE\n"
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
    "  --seed N         seed for srand before loading; default 1\n"
    "  --help           this text\n"
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
    "Errors go to stderr with exit status 2.\n";

static bool parse_integer(const std::string& s, long long lo, long long hi, long long& value) {
    if (s.empty()) return false;
    for (size_t i = 0; i < s.size(); i++) {
        if (!std::isdigit((unsigned char)s[i]) && !(i == 0 && (s[i] == '-' || s[i] == '+')))
            return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || end == s.c_str()) return false;
    if (v < lo || v > hi) return false;
    value = v;
    return true;
}

bool parse_sim_args(int argc, const char* const* argv, sim_options& opt, std::string& error) {
    opt = sim_options();
    bool have_level = false;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        std::string value;
        bool inline_value = false;
        if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-') {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg.resize(eq);
                inline_value = true;
            }
        }
        auto take_value = [&](std::string& out) {
            if (inline_value) {
                out = value;
                return true;
            }
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto take_number = [&](long long lo, long long hi, const char* what, long long& out) {
            std::string v;
            if (!take_value(v)) return false;
            if (!parse_integer(v, lo, hi, out)) {
                error = arg + " needs " + what + ", got '" + printable(v) + "'";
                return false;
            }
            return true;
        };

        if (arg == "--help" || arg == "-h") {
            opt.help = true;
        } else if (arg == "--two-player") {
            if (inline_value) {
                error = "option --two-player takes no value";
                return false;
            }
            opt.two_player = true;
        } else if (arg == "--lengths") {
            std::string v;
            if (!take_value(v)) return false;
            std::vector<std::string> part;
            size_t start = 0;
            for (;;) {
                const size_t comma = v.find(',', start);
                part.push_back(v.substr(start, comma == std::string::npos ? std::string::npos
                                                                          : comma - start));
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
                opt.lengths[r] = (int)len;
            }
        } else if (arg == "--laps") {
            long long n;
            if (!take_number(1, INT_MAX, "a whole number of at least 1", n)) return false;
            opt.laps = (int)n;
        } else if (arg == "--keys") {
            if (!take_value(opt.keys_file)) return false;
            if (opt.keys_file.empty()) {
                error = "--keys needs a file name";
                return false;
            }
        } else if (arg == "--steps") {
            if (!take_number(0, LLONG_MAX, "a whole number of at least 0", opt.steps)) return false;
        } else if (arg == "--seed") {
            long long n;
            const std::string range = "a whole number from 0 to " + std::to_string(UINT_MAX);
            if (!take_number(0, UINT_MAX, range.c_str(), n)) return false;
            opt.seed = (unsigned int)n;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + printable(arg);
            return false;
        } else {
            if (have_level) {
                error = "more than one level file: '" + printable(opt.level_file) + "' and '" +
                        printable(arg) + "'";
                return false;
            }
            opt.level_file = arg;
            have_level = true;
        }
    }
    if (!have_level && !opt.help) {
        error = "no level file given";
        return false;
    }
    return true;
}

static bool key_bit(std::string name, int& bit) {
    for (auto& c : name) c = (char)std::toupper((unsigned char)c);
    static const struct {
        const char* name;
        int bit;
    } names[] = {{"UP", SIM_UP}, {"DOWN", SIM_DOWN}, {"LEFT", SIM_LEFT}, {"RIGHT", SIM_RIGHT},
                 {"W", SIM_W},   {"A", SIM_A},       {"S", SIM_S},       {"D", SIM_D}};
    for (const auto& n : names) {
        if (name == n.name) {
            bit = n.bit;
            return true;
        }
    }
    return false;
}

bool parse_key_script(const std::string& text, std::vector<sim_segment>& script,
                      std::string& error) {
    script.clear();
    std::istringstream in(text);
    std::string line;
    int line_no = 0;
    long long total = 0;
    while (std::getline(in, line)) {
        line_no++;
        std::istringstream words(line);
        std::string count_word;
        if (!(words >> count_word)) continue;   // blank line
        if (count_word[0] == '#') continue;      // comment
        long long count;
        if (!parse_integer(count_word, 0, LLONG_MAX, count) || count_word[0] == '-' ||
            count_word[0] == '+') {
            error = "line " + std::to_string(line_no) + ": expected a step count, got '" +
                    printable(count_word) + "'";
            return false;
        }
        if (count > LLONG_MAX - total) {
            error = "line " + std::to_string(line_no) + ": the script holds too many steps";
            return false;
        }
        total += count;
        int keys = 0;
        std::string key;
        while (words >> key) {
            int bit;
            if (!key_bit(key, bit)) {
                error = "line " + std::to_string(line_no) + ": unknown key '" + printable(key) +
                        "' (keys: UP DOWN LEFT RIGHT W A S D)";
                return false;
            }
            keys |= bit;
        }
        script.push_back({count, keys});
    }
    return true;
}

void sim_keys_to_state(int bits, Uint8* keys) {
    std::memset(keys, 0, SDLK_LAST);
    keys[SDLK_UP] = (bits & SIM_UP) ? 1 : 0;
    keys[SDLK_DOWN] = (bits & SIM_DOWN) ? 1 : 0;
    keys[SDLK_LEFT] = (bits & SIM_LEFT) ? 1 : 0;
    keys[SDLK_RIGHT] = (bits & SIM_RIGHT) ? 1 : 0;
    keys[SDLK_w] = (bits & SIM_W) ? 1 : 0;
    keys[SDLK_a] = (bits & SIM_A) ? 1 : 0;
    keys[SDLK_s] = (bits & SIM_S) ? 1 : 0;
    keys[SDLK_d] = (bits & SIM_D) ? 1 : 0;
}

static void print_racers(FILE* out, long long n) {
    std::fprintf(out, "step %lld %d\n", n, winner);
    for (int r = 0; r < RACERS; r++) {
        const int len = racer_length(r);
        if (len == 0) continue;
        std::fprintf(out, "racer %d %.9g %d %d", r, (double)racers[r].speed,
                     racers[r].completed_laps, r == 0 ? 0 : racers[r].next_waypoint);
        for (int b = 0; b < len; b++)
            std::fprintf(out, " %.9g %.9g %.9g", (double)balls[b].x[r], (double)balls[b].y[r],
                         (double)balls[b].heading[r]);
        std::fputc('\n', out);
    }
}

void sim_setup(const sim_options& opt) {
    reset_race_state();
    // A fresh process starts from an empty track (a level without a finish
    // cell keeps the previous one), so runs in one process start alike.
    std::memset(&track, 0, sizeof track);
    race_settings.chain_length[0] = opt.lengths[0];
    race_settings.chain_length[1] = opt.lengths[1];
    race_settings.chain_length[2] = opt.lengths[2];
    race_settings.laps = opt.laps;
    kaksinpeli = opt.two_player;
    std::srand(opt.seed);
    setup_race(opt.level_file.c_str());
}

int run_simulation(const sim_options& opt, FILE* out, FILE* err) {
    std::vector<sim_segment> script;
    if (!opt.keys_file.empty()) {
        std::string text, error;
        std::string why;
        if (!read_regular_file(opt.keys_file.c_str(), MAX_KEY_SCRIPT_BYTES, text, why)) {
            std::fprintf(err, "chainball-sim: cannot read key script '%s': %s\n",
                         printable(opt.keys_file, 200).c_str(), why.c_str());
            return 2;
        }
        if (!parse_key_script(text, script, error)) {
            std::fprintf(err, "chainball-sim: %s: %s\n", opt.keys_file.c_str(), error.c_str());
            return 2;
        }
    }
    {
        // The game would race an empty level; here it is an error.
        std::string why;
        FILE* f = open_regular_file(opt.level_file.c_str(), MAX_LEVEL_FILE_BYTES, why);
        if (!f) {
            std::fprintf(err, "chainball-sim: cannot open level file '%s': %s\n",
                         printable(opt.level_file, 200).c_str(), why.c_str());
            return 2;
        }
        std::fclose(f);
    }

    long long steps = opt.steps;
    if (steps < 0) {
        steps = 0;
        for (const auto& s : script) steps += s.count;
    }

    sim_setup(opt);

    std::fprintf(out, "track %d %d %d %d %d %d\n", track.size, track.straight_count,
                 track.finish_x, track.finish_y, track.waypoint_count, track.checkpoint_count);
    for (int i = 0; i < track.waypoint_count && i < MAX_WAYPOINTS; i++)
        std::fprintf(out, "waypoint %d %d %d\n", i, track.waypoints[i].x, track.waypoints[i].y);
    for (int i = 0; i < track.checkpoint_count && i < MAX_CHECKPOINTS; i++)
        std::fprintf(out, "checkpoint %d %d %d\n", i, track.checkpoints[i].x,
                     track.checkpoints[i].y);
    print_racers(out, 0);

    Uint8 keys[SDLK_LAST];
    size_t segment = 0;
    long long used = 0;   // steps taken from the current segment
    for (long long n = 1; n <= steps; n++) {
        while (segment < script.size() && used >= script[segment].count) {
            segment++;
            used = 0;
        }
        int bits = 0;
        if (segment < script.size()) {
            bits = script[segment].keys;
            used++;
        }
        sim_keys_to_state(bits, keys);
        simulate_step(keys, nullptr);
        update_winner();
        print_racers(out, n);
        if (race_over()) {
            std::fprintf(out, "end %lld\n", n);
            break;
        }
    }
    std::fflush(out);
    return 0;
}

int sim_main(int argc, const char* const* argv, FILE* out, FILE* err) {
    sim_options opt;
    std::string error;
    if (!parse_sim_args(argc, argv, opt, error)) {
        std::fprintf(err, "chainball-sim: %s (see chainball-sim --help)\n", error.c_str());
        return 2;
    }
    if (opt.help) {
        std::fputs(sim_usage, out);
        return 0;
    }
    return run_simulation(opt, out, err);
}
