// SPDX-License-Identifier: GPL-3.0-or-later
// The scaled presentation of a race frame, and an overlay pass, headless.
#include <SDL/SDL_gfxPrimitives.h>

#include "bench_game.h"
#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/media.h"
#include "io/present.h"
#include "race/race.h"
#include "shell/shell.h"
#include "shell/window.h"
#include "view/view.h"

// Only show_frame() is timed: the race frame around it is drawn as usual.
static frame_times* presenting = nullptr;   // while a presentation benchmark runs
static void (*game_show)() = nullptr;
static void timed_show() {
    presenting->start();
    game_show();
    presenting->stop();
}

// A two-player race on GrandLoop shown at `scale`: the CPU time of putting
// each frame on the display (enlarging it into the window; the dummy
// driver's flip itself costs nothing, the real window's is in
// bench/real_window.sh).
static void BM_Present(benchmark::State& state) {
    const int scale = (int)state.range(0);
    bench_start_game();
    window_configure(scale, false);
    start_race("GrandLoop", "", true);
    frame_times t;
    presenting = &t;
    game_show = show_frame_hook;
    show_frame_hook = timed_show;
    long frame = 0;
    for (auto _ : state) {
        race_frame();
        keep_racing(frame++, true);
    }
    show_frame_hook = game_show;
    presenting = nullptr;
    report_frames(state, t, "present/" + std::to_string(scale));
    window_configure(1, false);
    set_video_mode(500, 500);
    game_screen = SCREEN_MENU;
}
BENCHMARK(BM_Present)->Name("present_2p_race/scale")->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

// The worst case of the same: every row of the 800 x 500 picture changed,
// enlarged three times into a 2400 x 1500 surface of the window's layout.
static void BM_EnlargeWhole(benchmark::State& state) {
    bench_start_game();
    const SDL_PixelFormat* f = screen->format;
    SDL_Surface* picture = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 500, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
    SDL_Surface* window = SDL_CreateRGBSurface(SDL_SWSURFACE, 2400, 1500, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
    SDL_FillRect(picture, nullptr, SDL_MapRGB(f, 90, 140, 60));
    frame_times t;
    for (auto _ : state) {
        t.start();
        enlarge_rows(picture, window, 3, 0, 0, 0, picture->h);
        t.stop();
    }
    report_frames(state, t, "present/3/whole");
    SDL_FreeSurface(picture);
    SDL_FreeSurface(window);
}
BENCHMARK(BM_EnlargeWhole)->Name("present_whole_800x500/scale/3")->Unit(benchmark::kMillisecond);

// One pass of the pause in a two-player race: the old way (black, the
// frozen frame, the alpha box, every pass) against the pass the game runs
// now (the darkened picture made once, copied), each with the pause's text
// and the flip, in CPU time.
static void BM_PausePass(benchmark::State& state) {
    const bool old_way = state.range(0) == 0;
    start_race("GrandLoop", "", true);
    race_frame();
    SDL_BlitSurface(screen, nullptr, frozen_frame, nullptr);
    frame_times t;
    if (old_way) {
        for (auto _ : state) {
            t.start();
            SDL_FillRect(screen, nullptr, 0);
            SDL_BlitSurface(frozen_frame, nullptr, screen, nullptr);
            boxRGBA(screen, 0, 0, (Sint16)(2 * live_race.view_width), (Sint16)live_race.view_height, 0, 0, 0, 125);
            text_white(screen, 340, 240, "Pause", large_font);
            text(screen, 350, 280, "p to continue", small_font);
            show_frame();
            t.stop();
        }
    } else {
        // The game's own pass, from inside its pause loop: each pass is timed
        // as it is flipped, and the pause ends when the benchmark has enough.
        static benchmark::State* running = nullptr;
        static frame_times* times = nullptr;
        running = &state;
        times = &t;
        overlay_pass_flipped = [] {
            times->stop();
            SDL_Event e = {};
            e.type = SDL_KEYDOWN;
            e.key.keysym.sym = running->KeepRunning() ? SDLK_UNKNOWN : SDLK_p;
            SDL_PushEvent(&e);
            times->start();
        };
        t.start();
        freeze_frame();
        paused = true;
        while (paused) pause_pass();
        overlay_pass_flipped = nullptr;
    }
    report_frames(state, t, old_way ? "pause_pass/redrawn" : "pause_pass/darkened_once");
    set_video_mode(500, 500);
    game_screen = SCREEN_MENU;
}
BENCHMARK(BM_PausePass)->Name("pause_pass")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
