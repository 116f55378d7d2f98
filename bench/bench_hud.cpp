// SPDX-License-Identifier: GPL-3.0-or-later
// What the full game adds to a race frame, everything on: the racers' own
// ball sets and badges, the leading cameras, the HUD and the minimaps of
// both views, and the sound effects. Frames of the same two-player race
// alternate between the classic game and the full game, so both halves see
// the same racing and the same machine load; they are compared in CPU
// time, frame with frame. Each timed frame follows a load of the effects,
// whose reading cools the caches alike.
#include "bench_game.h"
#include "core/state.h"
#include "io/assets.h"
#include "io/effects.h"
#include "shell/shell.h"
#include "view/view.h"

static void BM_RaceFrameHud(benchmark::State& state) {
    start_race("FirstLoop", "", true);
    frame_times classic, full, hud;
    long frame = 0;
    for (auto _ : state) {
        full_game = false;
        load_effects(stderr);
        free_effects();
        classic.start();
        race_frame();
        classic.stop();
        keep_racing(frame++, true);
        full_game = true;
        load_effects(stderr);
        full.start();
        race_frame();
        full.stop();
        free_effects();
        keep_racing(frame++, true);
        hud.start();
        draw_race_hud(live_race, loaded_track);
        hud.stop();
    }
    full_game = false;
    if (game_screen != SCREEN_RACE) state.SkipWithError("the race left its screen");
    // Each full-game frame against the classic frame just before it: the
    // median of these pairs follows the machine's load less than two medians.
    frame_times added;
    for (size_t i = 0; i < full.ms.size() && i < classic.ms.size(); i++) added.ms.push_back(full.ms[i] - classic.ms[i]);
    state.counters["added_ms"] = added.median();
    record_figure("hud/added", added.median());
    state.counters["classic_ms"] = classic.median();
    state.counters["full_ms"] = full.median();
    state.counters["hud_alone_ms"] = hud.median();
    record_figure("hud/classic", classic.median());
    record_figure("hud/full", full.median());
    record_figure("hud/alone", hud.median());
    set_video_mode(500, 500);
    game_screen = SCREEN_MENU;
}
BENCHMARK(BM_RaceFrameHud)->Name("race_frame/FirstLoop_2p_classic_vs_full_game")->Unit(benchmark::kMillisecond);
