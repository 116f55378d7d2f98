// SPDX-License-Identifier: GPL-3.0-or-later
// The work of one frame of each screen, without the pacing wait (the virtual
// clock makes the wait return at once).
#include <SDL/SDL_gfxPrimitives.h>

#include "bench_game.h"
#include "core/state.h"
#include "io/assets.h"
#include "io/media.h"
#include "menu/menu.h"
#include "shell/shell.h"
#include "view/view.h"

static void to_menu_window() {
    bench_start_game();
    if (!screen || screen->w != 500 || screen->h != 500) set_video_mode(500, 500);
    two_players = false;
    live_race.view_width = 500;
    game_screen = SCREEN_MENU;
}

static void BM_MenuFrame(benchmark::State& state) {
    to_menu_window();
    frame_times t;
    for (auto _ : state) {
        t.start();
        menu_frame();
        t.stop();
    }
    report_frames(state, t, "menu");
}
BENCHMARK(BM_MenuFrame)->Name("menu_frame")->Unit(benchmark::kMillisecond);

static void BM_SettingsFrame(benchmark::State& state) {
    to_menu_window();
    menu_cursor = 0;
    frame_times t;
    for (auto _ : state) {
        t.start();
        settings_frame();
        t.stop();
    }
    report_frames(state, t, "settings");
}
BENCHMARK(BM_SettingsFrame)->Name("settings_frame")->Unit(benchmark::kMillisecond);

// The background alone, as the menus draw it.
static void BM_Background(benchmark::State& state) {
    to_menu_window();
    frame_times t;
    for (auto _ : state) {
        t.start();
        draw_background();
        t.stop();
    }
    report_frames(state, t, "background");
}
BENCHMARK(BM_Background)->Name("background_rows")->Unit(benchmark::kMillisecond);

// The same background drawn the literal way: every point of 0..500 x 0..500
// plotted on its own with pixelRGBA. The reference the menus are held to.
static void BM_LiteralBackground(benchmark::State& state) {
    to_menu_window();
    int phase = background_phase;
    frame_times t;
    for (auto _ : state) {
        t.start();
        for (int x = 0; x <= 500; x++)
            for (int y = 0; y <= 500; y++) {
                const Uint32 c = background_colour(x, y, phase);
                pixelRGBA(screen, (Sint16)x, (Sint16)y, (Uint8)(c >> 16), (Uint8)(c >> 8),
                          (Uint8)c, 255);
            }
        phase += 2;
        t.stop();
    }
    report_frames(state, t, "literal");
}
BENCHMARK(BM_LiteralBackground)->Name("background_literal_pixelRGBA")->Unit(benchmark::kMillisecond);

// A race frame with all three racers at 10 balls.
struct race_case {
    const char* name;
    const char* level;    // shipped level, or the name of the generated one
    int generated_size;   // 0: the shipped level
    bool two_players;
};

static void BM_RaceFrame(benchmark::State& state, const race_case& c) {
    const std::string file = c.generated_size ? generated_circuit_file(c.generated_size) : "";
    // The generated circuit replaces a shipped level once the race is set up.
    start_race(c.generated_size ? "FirstLoop" : c.level, file, c.two_players);
    frame_times t;
    time_race_frames(state, t, c.two_players);
    if (game_screen != SCREEN_RACE) state.SkipWithError("the race left its screen");
    report_frames(state, t, std::string("race/") + c.level + (c.two_players ? "/2p" : "/1p"));
    set_video_mode(500, 500);
    game_screen = SCREEN_MENU;
}

static const race_case race_cases[] = {
    {"Circuit8_8x8_1p", "Circuit8", 8, false},          {"Circuit8_8x8_2p", "Circuit8", 8, true},
    {"FirstLoop_12x12_1p", "FirstLoop", 0, false},      {"FirstLoop_12x12_2p", "FirstLoop", 0, true},
    {"GrandLoop_40x40_1p", "GrandLoop", 0, false},      {"GrandLoop_40x40_2p", "GrandLoop", 0, true},
    {"Circuit200_200x200_1p", "Circuit200", 200, false}, {"Circuit200_200x200_2p", "Circuit200", 200, true},
};

static const bool race_cases_registered = [] {
    for (const race_case& c : race_cases)
        benchmark::RegisterBenchmark((std::string("race_frame/") + c.name).c_str(), BM_RaceFrame, c)
            ->Unit(benchmark::kMillisecond);
    return true;
}();
