// SPDX-License-Identifier: GPL-3.0-or-later
// What the views show: the track, the balls, the checkpoint markers, the
// lap display, and the two views put side by side.
#include <SDL/SDL_gfxPrimitives.h>

#include <cstdio>

#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/media.h"
#include "race/progress.h"
#include "race/race.h"
#include "track/track.h"
#include "view/camera.h"
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

// Each view is drawn whole in turn: the views are separate surfaces, so
// this shows what drawing both cell by cell would.
void draw_track(const Race& race, const Track& track, const ViewCameras& cams) {
    draw_track_view(screen, track, cams.x[0], cams.y[0]);
    if (race.two_players) draw_track_view(second_view, track, cams.x[1], cams.y[1]);
}

// The camera of a view as drawn: the race's own, or, while a replay is
// watched, one that follows the racer the watcher chose (`follow`).
void draw_track(const Race& race, const Track& track, int follow) {
    draw_track(race, track, race_cameras(race, loaded_track, follow));
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

bool ball_place_in_view(const Race& race, const ViewCameras& cams, int view, int r, int b, int& left, int& top) {
    return ball_edge(view_half_width(race), cams.x[view], race.balls[b].x[r], &left) &&
           ball_edge(view_half_height(race), cams.y[view], race.balls[b].y[r], &top);
}

static void draw_ball_in_view(const Race& race, SDL_Surface* image, SDL_Surface* target, const ViewCameras& cams,
                              int view, int r, int b) {
    int left, top;
    if (ball_place_in_view(race, cams, view, r, b, left, top)) blit_at(image, target, left, top);
}

void draw_ball(const Race& race, int r, int b, const ViewCameras& cams) {
    if (r < 0 || r >= RACERS || b < 0 || b >= MAX_BALLS) return;
    SDL_Surface* image = ball_image(race, r, b);
    if (!image) return;
    draw_ball_in_view(race, image, screen, cams, 0, r, b);
    if (race.two_players) draw_ball_in_view(race, image, second_view, cams, 1, r, b);
}

void draw_ball(const Race& race, int r, int b, int follow) {
    draw_ball(race, r, b, race_cameras(race, loaded_track, follow));
}

void draw_checkpoint_marker(const Race& race, const Track& track, int k, const ViewCameras& cams) {
    if (k < 0 || k >= MAX_CHECKPOINTS) return;
    const checkpoint& c = track.checkpoints[k];
    // Lit means a head came near in the step before; the step clears it
    // once it has been shown.
    SDL_Surface* image = race.checkpoint_lit[k] ? marker_lit : marker_idle;
    blit_at(image, screen, c.x + cams.x[0] + 5, c.y + cams.y[0] + 5);
    if (race.two_players) blit_at(image, second_view, c.x + cams.x[1] + 5, c.y + cams.y[1] + 5);
}

void draw_checkpoint_marker(const Race& race, const Track& track, int k, int follow) {
    draw_checkpoint_marker(race, track, k, race_cameras(race, loaded_track, follow));
}

// The classic game shows the laps completed, on past the race's laps after
// the finish; the full game the lap the racer is on, up to the race's laps.
static void lap_texts(const Race& race, int x, int r) {
    snprintf(label_buffer, sizeof label_buffer, "Lap: %d", full_game ? lap_on(race, r) : race.racers[r].completed_laps);
    text(screen, x + 15, 13, label_buffer, small_font);
    snprintf(label_buffer, sizeof label_buffer, "/%d", race.laps);
    text(screen, x + 85, 13, label_buffer, small_font);
}

void draw_lap_display(const Race& race) {
    blit_at(lap_bar, screen, 10, 10);
    lap_texts(race, 0, 0);
    if (!race.two_players) return;
    blit_at(lap_bar, second_view, 10, 10);
    compose_views(race);
    lap_texts(race, race.view_width, 1);
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

static void draw_ghost_in_view(const Race& live, const Race& g, SDL_Surface* target, int cx, int cy) {
    if (!target) return;
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

void draw_ghost(const Race& live, const Race& ghost_race, const ViewCameras& cams) {
    draw_ghost_in_view(live, ghost_race, screen, cams.x[0], cams.y[0]);
    if (live.two_players) draw_ghost_in_view(live, ghost_race, second_view, cams.x[1], cams.y[1]);
}
