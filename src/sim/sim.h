// The headless simulator (chainball-sim): options, key script, and the race
// run step by step without a window, one record line per value.
#pragma once

#include <SDL/SDL.h>

#include <cstdio>
#include <string>
#include <vector>

// A longer key script is refused: at one step a line it holds over eight
// million steps, more than a day of racing.
constexpr long long MAX_KEY_SCRIPT_BYTES = 32 << 20;

// Keys a script line may hold, as bits.
enum {
    SIM_UP = 1, SIM_DOWN = 2, SIM_LEFT = 4, SIM_RIGHT = 8,
    SIM_W = 16, SIM_A = 32, SIM_S = 64, SIM_D = 128,
};

struct sim_segment {
    long long count;   // steps
    int keys;          // SIM_* bits held during them
};

struct sim_options {
    bool two_player = false;
    int lengths[3] = {7, 2, 5};
    int laps = 3;
    std::string keys_file;        // empty: no script
    long long steps = -1;         // -1: as many as the script holds
    unsigned int seed = 1;
    std::string level_file;
    bool help = false;
};

// Reads the command line (argv[0] is the program). On a bad option returns
// false with the reason in `error`.
bool parse_sim_args(int argc, const char* const* argv, sim_options& opt, std::string& error);

// Reads a key script. On a bad line returns false with the line number and
// the reason in `error`.
bool parse_key_script(const std::string& text, std::vector<sim_segment>& script,
                      std::string& error);

// Fills a key-state array (SDLK_LAST entries) from SIM_* bits.
void sim_keys_to_state(int bits, Uint8* keys);

// Program start values, srand(seed), then the race set up exactly as the
// level-load screen sets it up. Does not check that the file exists.
void sim_setup(const sim_options& opt);

// Sets up the race as the level loader would and runs it, writing the
// records to `out`. Returns the exit status: 0, or 2 after writing the
// reason to `err`.
int run_simulation(const sim_options& opt, FILE* out, FILE* err);

// Whole command: parse, help, run. Returns the exit status.
int sim_main(int argc, const char* const* argv, FILE* out, FILE* err);

extern const char* const sim_usage;

// Writes `v` at `p` exactly as printf("%.9g", v) does (the records' float
// format) and returns the end; at most 24 characters, no terminating zero.
char* format_g9(char* p, double v);
