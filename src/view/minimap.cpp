// SPDX-License-Identifier: GPL-3.0-or-later
// The minimap: the road drawn once per race into a small picture, the
// racers put on it as dots in each frame.
#include <SDL/SDL.h>

#include "draw/draw.h"
#include "io/assets.h"
#include "race/progress.h"
#include "track/track.h"
#include "view/hud.h"

namespace {
constexpr int MAP_MOST = 90;        // pixels across at most
constexpr int MAP_MARGIN = 10;      // from the view's right edge
constexpr int MAP_BOTTOM = 28;      // from its bottom: clear of the lines along it
constexpr int DOT = 4;

bool road_code(int code) { return code >= TILE_H_STRAIGHT && code <= TILE_FINISH; }

Uint32 map_colour(const SDL_Surface* s, const Track& track, int i, int j) {
    const int code = track.tiles[i][j];
    const SDL_PixelFormat* f = s->format;
    if (code == TILE_FINISH) return SDL_MapRGB(f, 250, 250, 250);
    if (road_code(code) || (track.wide_road[i][j] & WIDE_LANE)) return SDL_MapRGB(f, 150, 150, 160);
    if (code >= 1 && code <= 5) return SDL_MapRGB(f, 120, 88, 50);
    return SDL_MapRGB(f, 28, 24, 36);
}

void fill(SDL_Surface* s, int x, int y, int w, int h, Uint32 colour) {
    SDL_Rect r = {(Sint16)x, (Sint16)y, (Uint16)w, (Uint16)h};
    SDL_FillRect(s, &r, colour);
}

int track_cells(const Track& track) { return track.size < 1 ? 1 : track.size >= MAX_TRACK ? MAX_TRACK - 1 : track.size; }

// Map pixels across: a few per cell on a small track, one cell in several
// on a large one.
int map_size(int cells) { return cells <= MAP_MOST ? cells * (MAP_MOST / cells) : MAP_MOST; }

// World pixels (as the race's heads and checkpoints have them) to the map's.
int on_map(float world, int cells, int size) {
    const float p = world * size / (50.0f * cells);
    return p < 0 ? 0 : p >= size ? size - 1 : (int)p;
}

void build_map(RaceHud& hud, const Track& track) {
    const int cells = track_cells(track), size = map_size(cells);
    const SDL_PixelFormat* f = screen->format;
    hud.map = SDL_CreateRGBSurface(SDL_SWSURFACE, size, size, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, 0);
    hud.map_cells = cells;
    if (!hud.map) return;
    const int per = size / cells;
    if (per >= 1) {
        for (int i = 0; i < cells; i++)
            for (int j = 0; j < cells; j++) fill(hud.map, i * per, j * per, per, per, map_colour(hud.map, track, i, j));
    } else {
        for (int x = 0; x < size; x++)
            for (int y = 0; y < size; y++)
                fill(hud.map, x, y, 1, 1, map_colour(hud.map, track, x * cells / size, y * cells / size));
    }
    const Uint32 mark = SDL_MapRGB(hud.map->format, 255, 220, 60);
    for (int k = 0; k < counted_checkpoints(track); k++) {
        const checkpoint& c = track.checkpoints[k];
        fill(hud.map, on_map((float)c.x + 50, cells, size) - 1, on_map((float)c.y + 50, cells, size) - 1, 3, 3, mark);
    }
}
}  // namespace

void draw_minimap(RaceHud& hud, const Race& race, const Track& track, int view_x) {
    if (!screen) return;
    if (!hud.map) build_map(hud, track);
    if (!hud.map) return;
    const int size = hud.map->w, cells = hud.map_cells;
    const int x = view_x + race.view_width - MAP_MARGIN - size - 2;
    const int y = race.view_height - MAP_BOTTOM - size - 2;
    hud_panel(screen, x, y, size + 4, size + 4);
    SDL_Rect at = {(Sint16)(x + 2), (Sint16)(y + 2), 0, 0};
    SDL_BlitSurface(hud.map, nullptr, screen, &at);
    const SDL_PixelFormat* f = screen->format;
    const Uint32 rim = SDL_MapRGB(f, 0, 0, 0);
    // The last racer first, so player 1's dot is on top.
    for (int r = RACERS - 1; r >= 0; r--) {
        if (racer_length(race, r) == 0) continue;
        const float wx = view_half_width(race) + race.balls[0].x[r];
        const float wy = view_half_height(race) + race.balls[0].y[r];
        if (!(wx > -1e6f && wx < 1e6f && wy > -1e6f && wy < 1e6f)) continue;
        const int px = x + 2 + on_map(wx, cells, size) - DOT / 2, py = y + 2 + on_map(wy, cells, size) - DOT / 2;
        const rgb& c = racer_colours[r];
        fill(screen, px - 1, py - 1, DOT + 2, DOT + 2, rim);
        fill(screen, px, py, DOT, DOT, SDL_MapRGB(f, c.r, c.g, c.b));
    }
}
