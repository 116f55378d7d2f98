// SPDX-License-Identifier: GPL-3.0-or-later
// What the full game's sound effects add to a race frame: the cues read
// from the race after each step, the bumps among 30 balls, the rumble's
// check, and playing what they call for. Frames of the same two-player
// full-game race alternate between effects not loaded and loaded, and are
// compared in CPU time, frame with frame, as the race clock's benchmark does.
#include "bench_game.h"
#include "core/state.h"
#include "io/effects.h"
#include "shell/shell.h"

static void BM_RaceFrameEffects(benchmark::State& state) {
    start_race("FirstLoop", "", true);
    full_game = true;
    frame_times silent, sounding;
    long frame = 0;
    for (auto _ : state) {
        // Each timed frame follows a load, whose reading cools the caches alike.
        load_effects(stderr);
        free_effects();
        silent.start();
        race_frame();
        silent.stop();
        keep_racing(frame++, true);
        load_effects(stderr);
        sounding.start();
        race_frame();
        sounding.stop();
        keep_racing(frame++, true);
        free_effects();
    }
    full_game = false;
    if (game_screen != SCREEN_RACE) state.SkipWithError("the race left its screen");
    frame_times added;
    for (size_t i = 0; i < sounding.ms.size() && i < silent.ms.size(); i++)
        added.ms.push_back(sounding.ms[i] - silent.ms[i]);
    state.counters["added_ms"] = added.median();
    state.counters["silent_ms"] = silent.median();
    state.counters["effects_ms"] = sounding.median();
    set_video_mode(500, 500);
    game_screen = SCREEN_MENU;
}
BENCHMARK(BM_RaceFrameEffects)->Name("race_frame/FirstLoop_2p_without_vs_with_effects")->Unit(benchmark::kMillisecond);
