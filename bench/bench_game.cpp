// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench_game.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "base/clock.h"
#include "core/state.h"
#include "io/assets.h"
#include "io/media.h"
#include "race/race.h"
#include "shell/music.h"
#include "shell/shell.h"
#include "track/track.h"
#include "view/tiles.h"
#include "view/view.h"

static bool started = false;

bool bench_game_started() { return started; }
void bench_mark_started(bool on) { started = on; }

void bench_prepare() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    clock_use_virtual(true);
    clock_set(100000);
    if (!find_data_folder()) {
        fprintf(stderr, "chainball_bench: no data folder filut/ beside the program\n");
        exit(1);
    }
}

void bench_start_game() {
    if (started) return;
    bench_prepare();
    if (!startup()) {
        fprintf(stderr, "chainball_bench: the game could not start\n");
        exit(1);
    }
    wait_for_music();
    started = true;
}

std::string generated_circuit(int n) {
    std::vector<std::string> rows(n, std::string(n, '.'));
    auto block = [&](int x, int y, char c) {
        rows[y][x] = rows[y][x + 1] = rows[y + 1][x] = rows[y + 1][x + 1] = c;
    };
    const int far = n - 3;   // column / row of the right and bottom roads
    block(1, 1, '1');
    block(far, 1, '2');
    block(far, far, '3');
    block(1, far, '4');
    for (int i = 3; i < far; i++) {
        rows[1][i] = '=';   // top road
        rows[2][i] = '#';
        rows[far][i] = '=';   // bottom road
        rows[far + 1][i] = '#';
        rows[i][1] = 'T';   // left road
        rows[i][2] = '#';
        rows[i][far] = 'T';   // right road
        rows[i][far + 1] = '#';
    }
    rows[n / 2][1] = 'M';
    // Slowing patches scattered inside the loop.
    for (int y = 8; y < far - 4; y += 17)
        for (int x = 6 + y % 11; x < far - 4; x += 23) block(x, y, 'x');
    char size[16];
    snprintf(size, sizeof size, "%04d", n);
    std::string text = std::string(size) + "\n";
    for (const std::string& r : rows) text += r + "\n";
    return text;
}

const std::string& generated_circuit_file(int n) {
    static std::map<int, std::string> files;
    auto found = files.find(n);
    if (found != files.end()) return found->second;
    char name[] = "/tmp/chainball-bench-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) {
        perror("chainball_bench: mkstemp");
        exit(1);
    }
    const std::string text = generated_circuit(n);
    if (write(fd, text.data(), text.size()) != (ssize_t)text.size()) {
        perror("chainball_bench: write");
        exit(1);
    }
    close(fd);
    static bool cleanup = false;
    if (!cleanup) {
        cleanup = true;
        atexit([] {
            for (auto& f : files) unlink(f.second.c_str());
        });
    }
    return files[n] = name;
}

static int level_index_of(const char* name) {
    for (int i = 0; i <= last_level_index; i++)
        if (strcmp(level_names[i], name) == 0) return i;
    fprintf(stderr, "chainball_bench: no level %s in the catalogue\n", name);
    exit(1);
}

// The race screen the benchmarks run, as the game's loop runs it.
static ScreenPtr race_screen_now;

void race_frame() {
    if (!race_screen_now) return;
    do race_screen_now->frame();
    while (race_screen_now->frame_open());
}

void start_race(const char* level, const std::string& file, bool two_players,
                std::shared_ptr<RaceAddons> addons) {
    bench_start_game();
    std::srand(1);
    live_race = new_race();
    race_settings.chain_length[0] = race_settings.chain_length[1] = race_settings.chain_length[2] = 10;
    race_settings.laps = 1000000;
    race_settings.level_index = level_index_of(level);
    ::two_players = two_players;
    RacePlan plan = plan_from_settings();
    plan.addons = std::move(addons);
    race_screen_now = make_race_screen(plan);
    race_screen_now->enter();   // window size, race progress, the level, the placement
    game_screen = SCREEN_RACE;  // as the screen loop sets it for the screen on top
    if (!file.empty()) {
        load_level_file(loaded_track, file.c_str(), setup_random);
        place_racers(live_race, loaded_track, setup_random);
    }
    race_start_ticks = game_ticks() - 10000;
    game_screen = SCREEN_RACE;   // as the screen loop has it for a race screen
    Uint8* keys = SDL_GetKeyState(nullptr);
    keys[SDLK_UP] = 1;
    keys[SDLK_w] = two_players ? 1 : 0;
}

void back_to_start() {
    place_racers(live_race, loaded_track, setup_random);
    live_race.racers[1].next_waypoint = live_race.racers[2].next_waypoint = 0;
}

void keep_racing(long frame, bool two_players) {
    if (frame % RESTART_EVERY != RESTART_EVERY - 1) return;
    back_to_start();
    Uint8* keys = SDL_GetKeyState(nullptr);
    keys[SDLK_UP] = 1;
    keys[SDLK_w] = two_players ? 1 : 0;
}

double frame_times::percentile(double p) const {
    if (ms.empty()) return 0;
    std::vector<double> sorted = ms;
    size_t k = (size_t)(p * (sorted.size() - 1) + 0.5);
    std::nth_element(sorted.begin(), sorted.begin() + k, sorted.end());
    return sorted[k];
}

double frame_times::median() const { return percentile(0.5); }

static std::map<std::string, double>& figures() {
    static std::map<std::string, double> f;
    return f;
}

void record_figure(const std::string& key, double value) { figures()[key] = value; }

bool figure(const std::string& key, double& value) {
    auto f = figures().find(key);
    if (f == figures().end()) return false;
    value = f->second;
    return true;
}

void time_race_frames(benchmark::State& state, frame_times& t, bool two_players) {
    long frame = 0;
    for (auto _ : state) {
        t.start();
        race_frame();
        t.stop();
        keep_racing(frame++, two_players);
    }
}

void report_frames(benchmark::State& state, const frame_times& t, const std::string& key) {
    state.counters["median_ms"] = t.median();
    state.counters["p90_ms"] = t.percentile(0.9);
    record_figure(key, t.median());
}

// One line of the target table.
static void target_line(const char* what, bool have, double value, const char* unit,
                        const char* limit, bool met) {
    if (!have)
        printf("  %-52s %14s  %-14s %s\n", what, "not run", limit, "-");
    else
        printf("  %-52s %10.3f %-3s  %-14s %s\n", what, value, unit, limit, met ? "met" : "NOT MET");
}

void print_targets() {
    if (figures().empty()) return;   // e.g. --benchmark_list_tests
    double menu = 0, settings = 0, literal = 0, big2 = 0, gen1 = 0, gen2 = 0, small1 = 0,
           small2 = 0, steps = 0, start = 0, peak = 0, idle = 0;
    const bool h_menu = figure("menu", menu), h_settings = figure("settings", settings),
               h_literal = figure("literal", literal), h_big2 = figure("race/GrandLoop/2p", big2),
               h_gen1 = figure("race/Circuit200/1p", gen1), h_gen2 = figure("race/Circuit200/2p", gen2),
               h_small1 = figure("race/FirstLoop/1p", small1),
               h_small2 = figure("race/FirstLoop/2p", small2), h_steps = figure("sim_steps", steps),
               h_start = figure("startup", start),
               h_peak = figure("peak_mb", peak), h_idle = figure("peak_mb_idle", idle);

    printf("\nTargets, from the medians of this run\n");
    target_line("main-menu frame", h_menu, menu, "ms", "<= 1.0 ms", menu <= 1.0);
    target_line("settings frame", h_settings, settings, "ms", "<= 1.0 ms", settings <= 1.0);
    target_line("literal background / main-menu frame", h_menu && h_literal,
                menu > 0 ? literal / menu : 0, "x", ">= 3x", menu > 0 && literal / menu >= 3);
    target_line("literal background / settings frame", h_settings && h_literal,
                settings > 0 ? literal / settings : 0, "x", ">= 3x",
                settings > 0 && literal / settings >= 3);
    target_line("race frame, GrandLoop 40x40, two players", h_big2, big2, "ms", "<= 1.0 ms",
                big2 <= 1.0);
    target_line("race frame 200x200 / 12x12, one player", h_gen1 && h_small1,
                small1 > 0 ? gen1 / small1 : 0, "x", "<= 1.5x", small1 > 0 && gen1 / small1 <= 1.5);
    target_line("race frame 200x200 / 12x12, two players", h_gen2 && h_small2,
                small2 > 0 ? gen2 / small2 : 0, "x", "<= 1.5x", small2 > 0 && gen2 / small2 <= 1.5);
    double ghosted = 0, unghosted = 0;
    const bool h_ghosts = figure("race/FirstLoop/1p/ghost", ghosted) && figure("race/FirstLoop/1p/no_ghost", unghosted);
    target_line("race frame with a ghost / without, FirstLoop", h_ghosts, unghosted > 0 ? ghosted / unghosted : 0,
                "x", "<= 1.3x", unghosted > 0 && ghosted / unghosted <= 1.3);
    double hud_classic = 0, hud_full = 0, hud_alone = 0, hud_added = 0;
    const bool h_hud = figure("hud/classic", hud_classic) && figure("hud/full", hud_full) &&
                       figure("hud/alone", hud_alone) && figure("hud/added", hud_added);
    target_line("full-game 2p race frame / classic, everything on", h_hud,
                hud_classic > 0 ? hud_full / hud_classic : 0, "x", "<= 1.10x",
                hud_classic > 0 && hud_full / hud_classic <= 1.10);
    target_line("  added to the frame, paired median", h_hud, hud_added, "ms", "report", true);
    target_line("  the two HUDs alone", h_hud, hud_alone, "ms", "<= 0.05 ms", hud_alone <= 0.05);
    double present3 = 0, whole3 = 0, redrawn = 0, once = 0;
    const bool h_present3 = figure("present/3", present3), h_whole3 = figure("present/3/whole", whole3),
               h_redrawn = figure("pause_pass/redrawn", redrawn), h_once = figure("pause_pass/darkened_once", once);
    target_line("showing a two-player race frame at scale 3", h_present3, present3, "ms", "<= 1.0 ms",
                present3 <= 1.0);
    target_line("  the same with every row changed", h_whole3, whole3, "ms", "<= 1.0 ms", whole3 <= 1.0);
    target_line("pause pass redrawn / darkened once, CPU", h_redrawn && h_once, once > 0 ? redrawn / once : 0,
                "x", "report", true);
    double sim_process = 0;
    const bool h_sim_process = figure("sim_process_steps", sim_process);
    target_line("chainball-sim process, full trace, steps per second", h_sim_process, sim_process / 1000, "k/s",
                ">= 120 k/s", sim_process >= 120000);
    target_line("simulation steps per second, 30 balls", h_steps, steps / 1000, "k/s",
                ">= 20 k/s", steps >= 20000);
    double save_restore = 0, resim = 0;
    const bool h_save = figure("race_save_restore_us", save_restore), h_resim = figure("resimulate_8_us", resim);
    target_line("race save plus restore", h_save, save_restore, "us", "<= 1 us", save_restore <= 1);
    target_line("restore and re-simulate 8 steps, 30 balls", h_resim, resim, "us", "report", true);
    double classic = 0, expert = 0, line_ms = 0, wins = 0, between = 0, stalls = 0, tracks = 0;
    const bool h_classic = figure("driver_step/classic", classic), h_expert = figure("driver_step/expert", expert),
               h_line = figure("racing_line_ms", line_ms), h_laps = figure("expert_wins", wins) &&
               figure("good_between", between) && figure("driver_stalls", stalls) && figure("tracks", tracks);
    target_line("race step, Expert / Classic drivers, CPU", h_classic && h_expert,
                classic > 0 ? expert / classic : 0, "x", "<= 2x", classic > 0 && expert / classic <= 2);
    target_line("racing line, GrandLoop 40x40, CPU", h_line, line_ms, "ms", "<= 50 ms", line_ms <= 50);
    target_line("tracks where Expert beats both script drivers", h_laps, wins, "", ">= 12 of 14", wins >= 12);
    target_line("tracks where Good lies between Classic and Expert", h_laps, between, "", "all",
                between == tracks);
    target_line("driver runs that stall or finish no lap", h_laps, stalls, "", "0", stalls == 0);
    target_line("start-up to the first menu frame, fresh process", h_start, start, "ms", "<= 250 ms",
                start <= 250);
    target_line("peak memory, every screen (VmHWM)", h_peak, peak, "MiB", "<= 64 MiB", peak <= 64);
    target_line("peak memory, the game binary in its menu", h_idle, idle, "MiB", "<= 64 MiB",
                idle <= 64);
}
