// One race frame (game_screen 2). Its order is the order of what a player
// sees and of the race rules, so it is kept exactly:
//  1. record the frame start; clear both views to black;
//  2. read the keyboard state array once, for driving and for the pause
//     (a replay being watched drives from its file instead);
//  3. one race step (race/step.cpp): move the racers (the computer drivers
//     among them), draw the track into the views, slow the racers on
//     slowing cells, then racer by racer the finish line and, ball by ball,
//     the chain step followed at once by the ball's drawing; then each
//     checkpoint's marker (showing the touch of the step before) followed
//     by its touch test; with its keys recorded when the run records;
//  4. the lap display, which also puts view 2 beside view 1;
//  5. the countdown overlay (the first four seconds of a race);
//  6. the pause (Ctrl+P) with its overlay;
//  7. the winner, then the race-end screen once every racer has finished;
//  8. the frame's own events: the close button quits, Escape leaves;
//     a race left or over is written when the run records replays;
//  9. wait out the 20 ms from the frame start, and only then flip.
#include <cstring>

#include "core/assets.h"
#include "core/events.h"
#include "core/present.h"
#include "core/state.h"
#include "draw/clock.h"
#include "race/race.h"
#include "replay/session.h"
#include "view/view.h"

static void end_of_frame_events() {
    SDL_Event e;
    while (next_event(e)) {
        if (e.type == SDL_QUIT) game_screen = SCREEN_QUIT;
        if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) back_to_menu();
    }
}

// In a two-player race the opaque copy of view 2 (compose_views) covers
// the window from x = view_width to its right and bottom edges, so
// whatever view 1 draws there is never seen. Clipping the window to view 1
// while it is cleared and drawn saves that work and shows the same picture.
// Returns false, changing nothing, when the copy would not cover the rest.
static bool clip_to_view_1(SDL_Rect& saved) {
    if (!two_players || !screen || !second_view) return false;
    if (second_view->flags & (SDL_SRCALPHA | SDL_SRCCOLORKEY)) return false;
    if (view_width < 0 || view_width + second_view->w < screen->w || second_view->h < screen->h)
        return false;
    SDL_GetClipRect(screen, &saved);
    const int right = saved.x + saved.w < view_width ? saved.x + saved.w : view_width;
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

void race_frame() {
    start_frame();
    SDL_Rect saved_clip;
    const bool clipped = clip_to_view_1(saved_clip);
    clear_view(screen);
    clear_view(second_view);

    replay_frame_start();
    // The pause check reads the same array the racers were steered from.
    const Uint8* keys = frame_keys();
    const race_hooks hooks = {draw_track, draw_ball, draw_checkpoint_marker};
    simulate_step(keys, &hooks);
    replay_step_done(keys);
    if (clipped) SDL_SetClipRect(screen, &saved_clip);

    draw_lap_display();   // composes the two views in two-player mode
    start_countdown();
    pause_check(keys);
    update_winner();
    race_end_check();

    end_of_frame_events();
    replay_frame_end();
    top_up(20);
    // Shown only after the wait, so frames appear at an even pace.
    show_frame();
}
