// SPDX-License-Identifier: GPL-3.0-or-later
// What the views show: the track, the balls, the checkpoint markers, the
// lap display, and the two views put side by side.
#include <SDL/SDL_gfxPrimitives.h>

#include <cstdio>

#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/media.h"
#include "race/race.h"
#include "track/track.h"
#include "view/tiles.h"
#include "view/view.h"

static void blit_at(SDL_Surface* image, SDL_Surface* target, int x, int y) {
    if (!image || !target) return;
    SDL_Rect at = {(Sint16)x, (Sint16)y, 0, 0};
    SDL_BlitSurface(image, nullptr, target, &at);
}

// One axis of a ball's place in a view: half + (camera + stored, as floats,
// truncated) - BALL_HALF_SIZE. A position that is not a number or lies far outside any
// view has no whole-pixel place (the conversion would be undefined and the
// 16-bit blit position would wrap); such a ball is simply not drawn.
static bool ball_edge(int half, int camera, float stored, int* edge) {
    float sum = (float)camera + stored;
    if (!(sum > -30000.0f && sum < 30000.0f)) return false;
    *edge = half + (int)sum - BALL_HALF_SIZE;
    return true;
}

// The camera of a view as drawn: the race's own, or, while a replay is
// watched, one that follows the racer the watcher chose (`follow`).
static void view_camera(const Race& race, int view, int follow, int& cx, int& cy) {
    cx = race.camera_x[view];
    cy = race.camera_y[view];
    if (view == 0 && follow > 0 && racer_length(race, follow) > 0)
        follow_camera(race, loaded_track, follow, cx, cy);
}

// Each view is drawn whole in turn: the views are separate surfaces, so
// this shows what drawing both cell by cell would.
void draw_track(const Race& race, const Track& track, int follow) {
    int cx, cy;
    view_camera(race, 0, follow, cx, cy);
    draw_track_view(screen, track, cx, cy);
    if (race.two_players) draw_track_view(second_view, track, race.camera_x[1], race.camera_y[1]);
}

static SDL_Surface* ball_image(const Race& race, int r, int b) {
    float sprite = race.balls[b].sprite[r];
    int table;
    if (sprite == 0.0f) table = 0;
    else if (sprite == 1.0f) table = 1;
    else if (sprite == 2.0f) table = 2;
    else if (sprite == 3.0f) table = 3;
    else return nullptr;
    const int angle = sprite_angle(race.balls[b].heading[r]);
    // The full game's racers have sets of their own.
    SDL_Surface* own = racer_ball_image(r, table, angle);
    return own ? own : rotated_images[table][angle];
}

bool ball_place_in_view(const Race& race, int view, int follow, int r, int b, int& left, int& top) {
    int cx, cy;
    view_camera(race, view, follow, cx, cy);
    return ball_edge(view_half_width(race), cx, race.balls[b].x[r], &left) &&
           ball_edge(view_half_height(race), cy, race.balls[b].y[r], &top);
}

static void draw_ball_in_view(const Race& race, SDL_Surface* image, SDL_Surface* target, int view, int follow,
                              int r, int b) {
    int left, top;
    if (ball_place_in_view(race, view, follow, r, b, left, top)) blit_at(image, target, left, top);
}

void draw_ball(const Race& race, int r, int b, int follow) {
    if (r < 0 || r >= RACERS || b < 0 || b >= MAX_BALLS) return;
    SDL_Surface* image = ball_image(race, r, b);
    if (!image) return;
    draw_ball_in_view(race, image, screen, 0, follow, r, b);
    if (race.two_players) draw_ball_in_view(race, image, second_view, 1, 0, r, b);
}

void draw_checkpoint_marker(const Race& race, const Track& track, int k, int follow) {
    if (k < 0 || k >= MAX_CHECKPOINTS) return;
    const checkpoint& c = track.checkpoints[k];
    // Lit means a head came near in the step before; the step clears it
    // once it has been shown.
    SDL_Surface* image = race.checkpoint_lit[k] ? marker_lit : marker_idle;
    int cx, cy;
    view_camera(race, 0, follow, cx, cy);
    blit_at(image, screen, c.x + cx + 5, c.y + cy + 5);
    if (race.two_players)
        blit_at(image, second_view, c.x + race.camera_x[1] + 5, c.y + race.camera_y[1] + 5);
}

static void lap_texts(const Race& race, int x, int completed) {
    snprintf(label_buffer, sizeof label_buffer, "Lap: %d", completed);
    text(screen, x + 15, 13, label_buffer, small_font);
    snprintf(label_buffer, sizeof label_buffer, "/%d", race.laps);
    text(screen, x + 85, 13, label_buffer, small_font);
}

void draw_lap_display(const Race& race) {
    blit_at(lap_bar, screen, 10, 10);
    lap_texts(race, 0, race.racers[0].completed_laps);
    if (!race.two_players) return;
    blit_at(lap_bar, second_view, 10, 10);
    compose_views(race);
    lap_texts(race, race.view_width, race.racers[1].completed_laps);
}

void compose_views(const Race& race) {
    // View 1 was drawn without clipping at its width; the opaque copy of view 2
    // covers whatever of it spilled past x = 400.
    const int w = race.view_width, h = race.view_height;
    blit_at(second_view, screen, w, 0);
    lineRGBA(screen, (Sint16)w, (Sint16)h, (Sint16)w, 0, 0, 0, 0, 255);
}

// The ghost's colour, its own: none of the ball pictures is this pale blue.
static const rgb ghost_colour = {150, 225, 255};
constexpr Uint8 GHOST_ALPHA = 128;   // about half opacity

static void draw_ghost_in_view(const Race& live, const Race& g, SDL_Surface* target, int view) {
    if (!target) return;
    int cx, cy;
    view_camera(live, view, 0, cx, cy);
    // World places, as each race keeps them less its own half view.
    for (int b = racer_length(g, 0) - 1; b >= 0; b--) {
        int left, top;
        const float wx = g.balls[b].x[0] + (float)(view_half_width(g) - view_half_width(live));
        const float wy = g.balls[b].y[0] + (float)(view_half_height(g) - view_half_height(live));
        if (!ball_edge(view_half_width(live), cx, wx, &left)) continue;
        if (!ball_edge(view_half_height(live), cy, wy, &top)) continue;
        const Sint16 x = (Sint16)(left + BALL_HALF_SIZE), y = (Sint16)(top + BALL_HALF_SIZE);
        const Sint16 radius = b == 0 ? 12 : 10;
        filledCircleRGBA(target, x, y, radius, ghost_colour.r, ghost_colour.g, ghost_colour.b, GHOST_ALPHA);
        aacircleRGBA(target, x, y, radius, 255, 255, 255, GHOST_ALPHA);
    }
}

void draw_ghost(const Race& live, const Race& ghost_race) {
    draw_ghost_in_view(live, ghost_race, screen, 0);
    if (live.two_players) draw_ghost_in_view(live, ghost_race, second_view, 1);
}
