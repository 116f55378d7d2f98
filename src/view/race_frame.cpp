// SPDX-License-Identifier: GPL-3.0-or-later
// One race frame (game_screen 2). Its order is the order of what a player
// sees and of the race rules, so it is kept exactly:
//  1. record the frame start; clear both views to black;
//  2. read the held keys once, for driving and for the pause (a replay
//     being watched drives from its file instead);
//  3. one race step (race/step.cpp): move the racers (the computer drivers
//     among them), draw the track into the views, slow the racers on
//     slowing cells, then racer by racer the finish line and, ball by ball,
//     the chain step followed at once by the ball's drawing; then each
//     checkpoint's marker (showing the touch of the step before) followed
//     by its touch test, and the winner; with its input recorded when the
//     run records;
//  4. the lap display, which also puts view 2 beside view 1 (and in the
//     full game the clock);
//  5. the countdown overlay (the first four seconds of a race);
//  6. the pause (Ctrl+P) with its overlay (the full game's own pause);
//  7. the race-end screen once every racer has finished (in the full game
//     the results, once the human players have);
//  8. the frame's own events: the close button quits, Escape leaves;
//     a race left or over is written when the run records replays;
//  9. wait out the 20 ms from the frame start, and only then flip.
// Enlarged or fullscreen, showing the picture takes time of its own (it is
// enlarged and sent after the wait); the next frame's 20 ms then count from
// the end of this frame's 20 ms (from when the wait ended, if it ended more
// than a frame late), so that neither showing nor a wait that ends a little
// late slows the race: it keeps 50 steps a second whenever the machine can.
// At scale 1 in a window every frame counts from its own start.
// An overlay leaves its frame open: the screen loop runs the overlay's
// passes, and the frame goes on from where it stopped once it closes.
#include <cstdio>
#include <cstring>

#include "io/assets.h"
#include "io/media.h"
#include "draw/draw.h"
#include "io/events.h"
#include "io/present.h"
#include "core/state.h"
#include "core/input.h"
#include "base/clock.h"
#include "race/race.h"
#include "replay/session.h"
#include "track/track.h"
#include "view/view.h"

Race live_race = new_race();   // set up by every level load
Uint32 race_start_ticks = 0;   // set by every level load

const race_frame_addons* frame_addons = nullptr;   // set by the full game
int watch_speed = 1;                                // steps a frame while watching
static bool pause_asked = false;                    // Space while watching

// The next racer taking part after `r`, round the three.
static int next_racer(int r) {
    for (int i = 1; i <= RACERS; i++)
        if (racer_length(live_race, (r + i) % RACERS) > 0) return (r + i) % RACERS;
    return r;
}

// While a replay is watched: F fast-forwards (1, 2, 4, 8 steps a frame),
// Tab moves the view to the next racer, Space pauses.
static void watch_key(SDLKey key) {
    if (key == SDLK_f) watch_speed = watch_speed >= 8 ? 1 : watch_speed * 2;
    if (key == SDLK_TAB) watch_follows = next_racer(watch_follows);
    if (key == SDLK_SPACE) pause_asked = true;
}

static void end_of_frame_events() {
    SDL_Event e;
    while (next_event(e)) {
        if (e.type == SDL_QUIT) game_screen = SCREEN_QUIT;
        if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) back_to_menu();
        if (e.type == SDL_KEYDOWN && watching_replay()) watch_key(e.key.keysym.sym);
    }
}

static void draw_watch_line() {
    if (!watching_replay()) return;
    snprintf(label_buffer, sizeof label_buffer, "Replay %dx  view: Player %d", watch_speed,
             watch_follows + 1);
    text_white(screen, 10, 480, label_buffer, small_font);
    text_white(screen, 280, 480, "F faster Tab view Space pause", small_font);
}

// In a two-player race the opaque copy of view 2 (compose_views) covers
// the window from x = view_width to its right and bottom edges, so
// whatever view 1 draws there is never seen. Clipping the window to view 1
// while it is cleared and drawn saves that work and shows the same picture.
// Returns false, changing nothing, when the copy would not cover the rest.
static bool clip_to_view_1(SDL_Rect& saved) {
    const int width = live_race.view_width;
    if (!live_race.two_players || !screen || !second_view) return false;
    if (second_view->flags & (SDL_SRCALPHA | SDL_SRCCOLORKEY)) return false;
    if (width < 0 || width + second_view->w < screen->w || second_view->h < screen->h) return false;
    SDL_GetClipRect(screen, &saved);
    const int right = saved.x + saved.w < width ? saved.x + saved.w : width;
    SDL_Rect view_1 = saved;
    view_1.w = (Uint16)(right > saved.x ? right - saved.x : 0);
    SDL_SetClipRect(screen, &view_1);
    return true;
}

// SDL_FillRect(s, nullptr, 0): the clip rectangle's rows all become zero
// bytes, colour 0 in any pixel format. Written with memset, which leaves the
// rows in the cache for the drawing that follows; SDL's fill writes past it
// and is several times slower.
static void clear_view(SDL_Surface* s) {
    if (!s) return;
    if (SDL_LockSurface(s) != 0) {
        SDL_FillRect(s, nullptr, 0);
        return;
    }
    const SDL_Rect& c = s->clip_rect;
    const size_t bytes = (size_t)c.w * s->format->BytesPerPixel;
    Uint8* row = static_cast<Uint8*>(s->pixels) + c.y * s->pitch + c.x * s->format->BytesPerPixel;
    for (int y = 0; y < c.h; y++, row += s->pitch) std::memset(row, 0, bytes);
    SDL_UnlockSurface(s);
}

void load_level() {
    const RaceSetup setup = {{race_settings.chain_length[0], race_settings.chain_length[1],
                              race_settings.chain_length[2]},
                             race_settings.laps,
                             two_players,
                             race_difficulty};
    resize_window(two_players ? 800 : 500, 500);
    if (track_text_override)
        setup_race_text(live_race, loaded_track, setup_random, setup, chosen_level_file().c_str(), *track_text_override);
    else
        setup_race(live_race, loaded_track, setup_random, setup, chosen_level_file().c_str());
    if (frame_addons && frame_addons->set_up) frame_addons->set_up(live_race, loaded_track);
    race_start_ticks = game_ticks();
    game_screen = SCREEN_RACE;
    forget_paced_frame();
}

// Where an open frame goes on when its overlay closes.
enum FramePart { FRAME_DONE, IN_COUNTDOWN, IN_PAUSE, IN_RACE_END };
static FramePart open_part = FRAME_DONE;
// The frame's held keys: the pause check after the countdown reads them.
static const Uint8* frame_held_keys = nullptr;

// 8 and 9.
static void finish_frame() {
    end_of_frame_events();
    replay_frame_end(live_race);
    if (!watching_replay()) watch_speed = 1, watch_follows = 0;
    show_paced_frame(20, game_screen == SCREEN_RACE);
}

// 7 on.
static void after_pause() {
    if (full_game) {
        // A race left from the pause shows no results.
        if (game_screen == SCREEN_RACE && results_due(live_race)) {
            // The race ends for its recording here: nothing steps under the
            // results, so the file is written now, as a classic race's is
            // before its race-end screen.
            replay_race_over(live_race);
            freeze_frame();
            open_results();
            open_part = IN_RACE_END;
            return;
        }
        finish_frame();
        return;
    }
    if (race_over(live_race)) {
        replay_race_over(live_race);
        freeze_frame();
        open_race_end();
        open_part = IN_RACE_END;
        return;
    }
    finish_frame();
}

// 6 on.
static void after_countdown() {
    if (full_game)
        check_full_pause(frame_held_keys);
    else
        check_pause(frame_held_keys);
    if (pause_asked && !paused) {
        freeze_frame();
        paused = true;
    }
    pause_asked = false;
    if (paused) {
        open_part = IN_PAUSE;
        return;
    }
    after_pause();
}

static void draw_track_and_ghost(const Race& race, const Track& track) {
    draw_track(race, track);
    if (frame_addons && frame_addons->under_balls) frame_addons->under_balls(race);
}

// One race step, recorded or driven by a replay; true when a watched race
// that was left has reached where it was left: the frame then leaves it too.
static bool step_once(RaceInput input, const race_hooks* hooks) {
    race_step(live_race, loaded_track, input, hooks);
    const bool left = replay_step_done(live_race, input);
    if (left) {
        // Moving the start on ends a countdown still running, as Escape does.
        race_start_ticks = game_ticks() + 4000;
        back_to_menu();
    }
    if (frame_addons && frame_addons->stepped) frame_addons->stepped(live_race, input);
    return left;
}

// 1 to 5.
static void begin_frame() {
    start_paced_frame();
    forget_overlay_picture();
    SDL_Rect saved_clip;
    const bool clipped = clip_to_view_1(saved_clip);
    clear_view(screen);
    clear_view(second_view);

    replay_frame_start(live_race, loaded_track);
    RaceInput input;
    frame_held_keys = frame_keys(input);
    static const race_hooks hooks = {draw_track_and_ghost, draw_ball, draw_checkpoint_marker};
    bool left = step_once(input, &hooks);
    // Fast-forward: more steps, undrawn, while a replay is watched.
    for (int extra = 1; extra < watch_speed && watching_replay() && !left && !race_over(live_race); extra++) {
        RaceInput next;
        replay_input(next);
        left = step_once(next, nullptr);
    }
    if (clipped) SDL_SetClipRect(screen, &saved_clip);

    draw_lap_display();   // composes the two views in two-player mode
    if (full_game) draw_race_hud();
    if (frame_addons && frame_addons->over_views) frame_addons->over_views(live_race);
    draw_watch_line();
    if (countdown_running()) {
        freeze_frame();
        open_part = IN_COUNTDOWN;
        return;
    }
    after_countdown();
}

void race_screen_pass() {
    switch (open_part) {
        case FRAME_DONE: begin_frame(); break;
        case IN_COUNTDOWN:
            countdown_pass();
            if (countdown_running()) break;
            open_part = FRAME_DONE;
            after_countdown();
            break;
        case IN_PAUSE:
            if (full_game)
                full_pause_pass();
            else
                pause_pass();
            if (paused) break;
            open_part = FRAME_DONE;
            after_pause();
            break;
        case IN_RACE_END:
            if (full_game) {
                results_pass();
                if (results_running()) break;
            } else {
                race_end_pass();
                if (race_end_running()) break;
            }
            open_part = FRAME_DONE;
            finish_frame();
            break;
    }
}

bool race_frame_open() { return open_part != FRAME_DONE; }

void race_frame() {
    do race_screen_pass();
    while (race_frame_open());
}
