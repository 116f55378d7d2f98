// SPDX-License-Identifier: GPL-3.0-or-later
// A race frame with a ghost beside it against the same frame without, in
// one run: the ghost's own race step and its see-through drawing.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench_game.h"
#include "core/state.h"
#include "shell/shell.h"
#include "race/race.h"
#include "replay/ghost.h"
#include "replay/replay.h"
#include "track/track.h"
#include "view/view.h"

static ghost bench_ghost;

// A ten-ball race alone on FirstLoop, driven up and round, kept as a replay.
static replay lap_alone() {
    std::unique_ptr<Track> track(new Track);
    Race race = new_race();
    Random random = make_random(5);
    const RaceSetup setup = {{10, 0, 0}, 3, false, DIFFICULTY_CLASSIC};
    const char* path = "filut/levelit/FirstLoop.txt";
    setup_race(race, *track, random, setup, path);
    replay r;
    r.track_name = "FirstLoop";
    r.track_sha256 = std::string(64, '0');
    capture_race_setup(r, race, *track);
    for (int s = 0; s < 20000; s++) {
        const int keys = SIM_UP | (s / 40 % 3 == 0 ? SIM_LEFT : 0);
        race_step(race, *track, input_of_script_keys(keys));
        append_script_step(r.keys, keys);
    }
    r.result = current_result(race, race.step);
    return r;
}

// A ghost drawn under the balls and stepped after each step, as the full game does.
struct WithGhost : RaceAddons {
    void set_up(const RacePlan&, const Race&, const Track&, bool) override {}
    void under_balls(const Race& race, const ViewCameras& cams) const override {
        draw_ghost(race, bench_ghost.race, cams);
    }
    void stepped(const Race&, RaceInput) override { ghost_step(bench_ghost); }
    void over_views(const Race&) const override {}
};

static void BM_GhostFrame(benchmark::State& state) {
    const bool ghosted = state.range(0) != 0;
    start_race("FirstLoop", "", false, ghosted ? std::make_shared<WithGhost>() : nullptr);
    std::string why;
    if (ghosted && !start_ghost(bench_ghost, lap_alone(), "filut/levelit/FirstLoop.txt", "", -1, 20000, why))
        state.SkipWithError(why.c_str());
    frame_times t;
    time_race_frames(state, t, false);
    report_frames(state, t, ghosted ? "race/FirstLoop/1p/ghost" : "race/FirstLoop/1p/no_ghost");
    set_video_mode(500, 500);
    game_screen = SCREEN_MENU;
}
BENCHMARK(BM_GhostFrame)->Name("race_frame_ghost")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
