// SPDX-License-Identifier: GPL-3.0-or-later
// What the views show: the track, the balls, the checkpoint markers, the
// lap display, and the two views put side by side.
#include <SDL/SDL_gfxPrimitives.h>

#include <cstdio>

#include "core/assets.h"
#include "core/media.h"
#include "core/state.h"
#include "draw/draw.h"
#include "race/race.h"
#include "track/tiles.h"
#include "track/track.h"
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

// Each view is drawn whole in turn: the views are separate surfaces, so
// this shows what drawing both cell by cell would.
void draw_track(const Race& race, const Track& track) {
    draw_track_view(screen, track, race.camera_x[0], race.camera_y[0]);
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
    return rotated_images[table][sprite_angle(race.balls[b].heading[r])];
}

static void draw_ball_in_view(const Race& race, SDL_Surface* image, SDL_Surface* target, int view, int r,
                              int b) {
    int left, top;
    if (!ball_edge(view_half_width(race), race.camera_x[view], race.balls[b].x[r], &left)) return;
    if (!ball_edge(view_half_height(race), race.camera_y[view], race.balls[b].y[r], &top)) return;
    blit_at(image, target, left, top);
}

void draw_ball(const Race& race, int r, int b) {
    if (r < 0 || r >= RACERS || b < 0 || b >= MAX_BALLS) return;
    SDL_Surface* image = ball_image(race, r, b);
    if (!image) return;
    draw_ball_in_view(race, image, screen, 0, r, b);
    if (race.two_players) draw_ball_in_view(race, image, second_view, 1, r, b);
}

void draw_checkpoint_marker(const Race& race, const Track& track, int k) {
    if (k < 0 || k >= MAX_CHECKPOINTS) return;
    const checkpoint& c = track.checkpoints[k];
    // Lit means a head came near in the step before; the step clears it
    // once it has been shown.
    SDL_Surface* image = race.checkpoint_lit[k] ? marker_lit : marker_idle;
    blit_at(image, screen, c.x + race.camera_x[0] + 5, c.y + race.camera_y[0] + 5);
    if (race.two_players)
        blit_at(image, second_view, c.x + race.camera_x[1] + 5, c.y + race.camera_y[1] + 5);
}

static void lap_texts(int x, int completed) {
    snprintf(label_buffer, sizeof label_buffer, "Lap: %d", completed);
    text(screen, x + 15, 13, label_buffer, small_font);
    snprintf(label_buffer, sizeof label_buffer, "/%d", live_race.laps);
    text(screen, x + 85, 13, label_buffer, small_font);
}

void draw_lap_display() {
    blit_at(lap_bar, screen, 10, 10);
    lap_texts(0, live_race.racers[0].completed_laps);
    if (!live_race.two_players) return;
    blit_at(lap_bar, second_view, 10, 10);
    compose_views();
    lap_texts(live_race.view_width, live_race.racers[1].completed_laps);
}

void compose_views() {
    // View 1 was drawn without clipping at its width; the opaque copy of view 2
    // covers whatever of it spilled past x = 400.
    const int w = live_race.view_width, h = live_race.view_height;
    blit_at(second_view, screen, w, 0);
    lineRGBA(screen, (Sint16)w, (Sint16)h, (Sint16)w, 0, 0, 0, 0, 255);
}
