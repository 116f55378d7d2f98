// The headless simulator: command line, key script, the race set up as the
// level loader sets it up, and one record line per value printed; replays
// run and compared with their recorded result.
#include <unistd.h>

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
    "       chainball-sim --replay FILE [--track PATH] [--force]\n"
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
    "  --replay FILE    run the race a replay file holds (its track, settings,\n"
    "                   draws and keys) and compare the result with the recorded\n"
    "                   one: status 0 when equal, 3 when not\n"
    "  --track PATH     the replay's track file; default filut/levelit/NAME.txt\n"
    "                   beside chainball-sim or in the working directory\n"
    "  --force          race a replay on a track whose bytes differ from its hash\n"
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
    "Errors go to stderr with exit status 2. With --replay, one line on stderr\n"
    "tells whether the result is the recorded one (status 0) or not (status 3).\n";

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

        if (arg != "--help" && arg != "-h" && arg != "--replay" && arg != "--track" &&
            arg != "--force" && arg.size() > 2 && arg[0] == '-' && opt.race_option.empty())
            opt.race_option = arg;
        if (arg == "--help" || arg == "-h") {
            opt.help = true;
        } else if (arg == "--replay" || arg == "--track") {
            std::string& file = arg == "--replay" ? opt.replay_file : opt.track_file;
            if (!take_value(file)) return false;
            if (file.empty()) {
                error = arg + " needs a file name";
                return false;
            }
        } else if (arg == "--force") {
            if (inline_value) {
                error = "option --force takes no value";
                return false;
            }
            opt.force = true;
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
    if (opt.help) return true;
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

static void print_track_and_start(FILE* out) {
    std::fprintf(out, "track %d %d %d %d %d %d\n", track.size, track.straight_count,
                 track.finish_x, track.finish_y, track.waypoint_count, track.checkpoint_count);
    for (int i = 0; i < track.waypoint_count && i < MAX_WAYPOINTS; i++)
        std::fprintf(out, "waypoint %d %d %d\n", i, track.waypoints[i].x, track.waypoints[i].y);
    for (int i = 0; i < track.checkpoint_count && i < MAX_CHECKPOINTS; i++)
        std::fprintf(out, "checkpoint %d %d %d\n", i, track.checkpoints[i].x,
                     track.checkpoints[i].y);
    print_racers(out, 0);
}

// Runs up to `steps` steps driven by `script`, printing each, and stops
// after the step that ends the race. Returns the steps run. With `checks`,
// the first checked step whose racer checksum differs goes to `diverged`,
// and the last that agreed before it to `agreed`.
static long long run_steps(const std::vector<sim_segment>& script, long long steps, FILE* out,
                           const std::vector<replay_check>* checks, long long& diverged,
                           long long& agreed) {
    Uint8 keys[SDLK_LAST];
    script_position at;
    size_t check = 0;
    long long n = 0;
    while (n < steps) {
        n++;
        sim_keys_to_state(next_script_keys(script, at), keys);
        simulate_step(keys, nullptr);
        update_winner();
        print_racers(out, n);
        if (checks && check < checks->size() && (*checks)[check].step == n) {
            if (diverged == 0 && (*checks)[check].sum != race_checksum()) diverged = n;
            if (diverged == 0) agreed = n;
            check++;
        }
        if (race_over()) {
            std::fprintf(out, "end %lld\n", n);
            break;
        }
    }
    std::fflush(out);
    return n;
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

    print_track_and_start(out);
    long long diverged = 0, agreed = 0;
    run_steps(script, steps, out, nullptr, diverged, agreed);
    return 0;
}

// Finds the replay's track: --track, else the catalogue's folder beside the
// program, else in the working directory.
static std::string replay_track_path(const sim_options& opt, const replay& r) {
    if (!opt.track_file.empty()) return opt.track_file;
    const std::string relative = level_file_path(r.track_name.c_str());
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
    race.level_file = replay_track_path(opt, rep);
    std::string warning;
    if (!check_replay_track(rep, race.level_file, opt.force, why, warning)) {
        std::fprintf(err, "chainball-sim: replay %s: %s\n", printable(opt.replay_file, 200).c_str(),
                     why.c_str());
        return 2;
    }
    if (!warning.empty()) std::fprintf(err, "chainball-sim: %s\n", warning.c_str());

    sim_setup(race);
    apply_race_draws(rep);
    print_track_and_start(out);
    long long diverged = 0, agreed = 0;
    const long long ran = run_steps(rep.keys, rep.result.steps, out, &rep.checks, diverged, agreed);
    const replay_result got = current_result(ran);
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
    if (!parse_sim_args(argc, argv, opt, error)) {
        std::fprintf(err, "chainball-sim: %s (see chainball-sim --help)\n", error.c_str());
        return 2;
    }
    if (opt.help) {
        std::fputs(sim_usage, out);
        return 0;
    }
    if (!opt.replay_file.empty()) return run_replay(opt, out, err);
    return run_simulation(opt, out, err);
}
