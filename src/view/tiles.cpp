// SPDX-License-Identifier: GPL-3.0-or-later
// The tile pieces cut from the atlas, and the drawing of the grid into a view.
#include "view/tiles.h"

#include <cstring>

#include "core/state.h"
#include "io/assets.h"
#include "track/track.h"
#include "track/track_local.h"

SDL_Surface* tile_pieces[12];   // whole run
SDL_Surface* wide_pieces[WIDE_PIECES];   // whole run; null with an older atlas
// The full game's pieces mirrored (by flip - 1), each made the first time a
// cell shows it, so a frame copies them as plainly as the unmirrored ones.
static SDL_Surface* mirrored_pieces[12][3];

struct piece_place {
    int x, y, w, h;   // where the piece lies in the atlas, and its size
};

// Indexed by tile code 0..11.
static const piece_place atlas_layout[12] = {
    {0, 0, 50, 50},     {50, 0, 50, 50},    {100, 0, 50, 50},   {150, 0, 50, 50},
    {0, 50, 50, 50},    {150, 50, 50, 50},  {200, 0, 50, 100},  {50, 50, 100, 50},
    {350, 0, 100, 100}, {450, 0, 100, 100}, {550, 0, 100, 100}, {250, 0, 100, 100},
};

// By wide piece number, below the narrow pieces.
static const piece_place wide_layout[WIDE_PIECES] = {
    {600, 100, 50, 150}, {200, 250, 150, 50},                                          // straights
    {0, 250, 50, 150},   {50, 250, 50, 150},  {100, 250, 50, 150}, {150, 250, 50, 150},  // across
    {350, 250, 150, 50}, {500, 250, 150, 50}, {200, 300, 150, 50}, {350, 300, 150, 50},  // down
    {0, 100, 150, 150},  {150, 100, 150, 150}, {300, 100, 150, 150}, {450, 100, 150, 150},
};

static SDL_Surface* cut_piece(SDL_Surface* atlas, const piece_place& p) {
    // No alpha channel: transparent atlas pixels come out black, and a
    // piece always covers what lies under it.
    SDL_Surface* piece = SDL_CreateRGBSurface(SDL_SWSURFACE, p.w, p.h, 32, 0, 0, 0, 0);
    if (!atlas || !piece) return piece;
    SDL_Rect from = {(Sint16)p.x, (Sint16)p.y, (Uint16)p.w, (Uint16)p.h};
    SDL_BlitSurface(atlas, &from, piece, nullptr);
    return piece;
}

void cell_footprint(int code, int& cols, int& rows) {
    cols = rows = 0;
    if (code >= 0 && code < 12) {
        cols = atlas_layout[code].w / 50;
        rows = atlas_layout[code].h / 50;
    } else if (code == TILE_FINISH) {
        cols = 2;   // filut/maali.png is 100 x 50
        rows = 1;
    }
}

void cut_atlas(SDL_Surface* atlas) {
    for (int i = 0; i < 12; i++) tile_pieces[i] = cut_piece(atlas, atlas_layout[i]);
    // An atlas without the wide pieces leaves the wide roads grass.
    const bool wide = atlas && atlas->w >= 650 && atlas->h >= 400;
    for (int i = 0; i < WIDE_PIECES; i++) wide_pieces[i] = wide ? cut_piece(atlas, wide_layout[i]) : nullptr;
    SDL_FreeSurface(atlas);
}

void free_tile_pieces() {
    for (int i = 0; i < 12; i++) {
        SDL_FreeSurface(tile_pieces[i]);
        tile_pieces[i] = nullptr;
        for (SDL_Surface*& m : mirrored_pieces[i]) {
            SDL_FreeSurface(m);
            m = nullptr;
        }
    }
    for (SDL_Surface*& piece : wide_pieces) {
        SDL_FreeSurface(piece);
        piece = nullptr;
    }
}

// What a cell shows, or null for nothing: a corner only from the top-left
// cell of its block, the finish image for the finish, nothing for blanks.
// The full game shows a slowing cell as its stretch's material.
static SDL_Surface* cell_picture(const Track& track, int x, int y) {
    int t = track.tiles[x][y];
    if (full_game && t >= 1 && t <= 5 && track.stretch_piece[x][y] >= 1 && track.stretch_piece[x][y] <= 5)
        t = track.stretch_piece[x][y];
    if (t >= TILE_GROUND && t < TILE_CORNER_1) return tile_pieces[t];
    if (t >= TILE_CORNER_1 && t <= TILE_CORNER_1 + 3)
        return is_corner_cell(track, x, y) ? tile_pieces[t] : nullptr;
    if (t == TILE_FINISH) return finish_image;
    return nullptr;
}

// True when blitting `pic` onto `view` is a plain copy of pixels: both 32
// bits a pixel in one layout, and no colour key, no alpha blending and no
// run-length encoding on the piece. SDL then copies the clipped rows as they
// are, which is what copy_rows does; SDL's own copy writes past the cache,
// and made up most of a race frame. Locked surfaces are left to SDL, which
// refuses to blit them.
static bool plain_copy(const SDL_Surface* pic, const SDL_Surface* view) {
    const SDL_PixelFormat* a = pic->format;
    const SDL_PixelFormat* b = view->format;
    return a->BytesPerPixel == 4 && b->BytesPerPixel == 4 && a->BitsPerPixel == b->BitsPerPixel &&
           a->Rmask == b->Rmask && a->Gmask == b->Gmask && a->Bmask == b->Bmask &&
           a->Amask == b->Amask && !(pic->flags & (SDL_SRCALPHA | SDL_SRCCOLORKEY | SDL_RLEACCEL)) &&
           !pic->locked && !view->locked && pic != view;
}

// The rows of `pic` placed at (px, py) that fall inside the view's clip
// rectangle, copied as SDL_BlitSurface clips and copies them. False when the
// view could not be locked (nothing was drawn).
static bool copy_rows(SDL_Surface* pic, SDL_Surface* view, int px, int py) {
    const SDL_Rect& clip = view->clip_rect;
    const int x0 = px > clip.x ? px : clip.x, y0 = py > clip.y ? py : clip.y;
    const int x1 = px + pic->w < clip.x + clip.w ? px + pic->w : clip.x + clip.w;
    const int y1 = py + pic->h < clip.y + clip.h ? py + pic->h : clip.y + clip.h;
    if (x0 >= x1 || y0 >= y1) return true;
    if (SDL_LockSurface(view) != 0) return false;
    const size_t bytes = (size_t)(x1 - x0) * 4;
    const Uint8* from = static_cast<const Uint8*>(pic->pixels) + (y0 - py) * pic->pitch + (x0 - px) * 4;
    Uint8* to = static_cast<Uint8*>(view->pixels) + y0 * view->pitch + x0 * 4;
    for (int y = y0; y < y1; y++, from += pic->pitch, to += view->pitch) std::memcpy(to, from, bytes);
    SDL_UnlockSurface(view);
    return true;
}

// Blits `pic` at (x, y), 16-bit positions as SDL holds them. A picture that
// the view's clipping would discard whole is not blitted at all.
static void put(SDL_Surface* pic, SDL_Surface* view, int x, int y) {
    if (!view) return;
    Sint16 px = (Sint16)x, py = (Sint16)y;
    const SDL_Rect& clip = view->clip_rect;
    if (px + pic->w <= clip.x || py + pic->h <= clip.y || px >= clip.x + clip.w ||
        py >= clip.y + clip.h)
        return;
    if (plain_copy(pic, view) && copy_rows(pic, view, px, py)) return;
    SDL_Rect at = {px, py, 0, 0};
    SDL_BlitSurface(pic, nullptr, view, &at);
}

// The full game's grass and straight road: each cell mirrored its own way,
// so their textures do not repeat every 50 px. Mirrored edges meet the
// same pixels an unmirrored neighbour's do, so no seam shows. A hash of
// the cell's place decides, not the race's random draws, which a race
// must keep as they are.
enum { FLIP_ACROSS = 1, FLIP_DOWN = 2 };

int cell_flip(const Track& track, int x, int y) {
    if (!full_game || x < 0 || y < 0 || x >= MAX_TRACK || y >= MAX_TRACK) return 0;
    unsigned h = (unsigned)x * 73856093u ^ (unsigned)y * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    switch (track.tiles[x][y]) {
        case TILE_GROUND: return (int)(h & 3);
        case TILE_H_STRAIGHT: return (int)(h & FLIP_ACROSS);   // kerbs top and bottom stay
        case TILE_V_STRAIGHT: return (int)(h & FLIP_DOWN);     // kerbs left and right stay
        default: return 0;
    }
}

static SDL_Surface* mirrored_copy(SDL_Surface* pic, int flip) {
    const SDL_PixelFormat* f = pic->format;
    if (f->BytesPerPixel != 4) return nullptr;
    SDL_Surface* m = SDL_CreateRGBSurface(SDL_SWSURFACE, pic->w, pic->h, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
    if (!m) return nullptr;
    if (SDL_LockSurface(pic) != 0 || SDL_LockSurface(m) != 0) {
        if (pic->locked) SDL_UnlockSurface(pic);
        SDL_FreeSurface(m);
        return nullptr;
    }
    for (int y = 0; y < pic->h; y++) {
        const int sy = flip & FLIP_DOWN ? pic->h - 1 - y : y;
        const Uint32* from = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(pic->pixels) + sy * pic->pitch);
        Uint32* to = reinterpret_cast<Uint32*>(static_cast<Uint8*>(m->pixels) + y * m->pitch);
        for (int x = 0; x < pic->w; x++) to[x] = from[flip & FLIP_ACROSS ? pic->w - 1 - x : x];
    }
    SDL_UnlockSurface(m);
    SDL_UnlockSurface(pic);
    return m;
}

// `pic` mirrored as `flip` says; null when it is not a tile piece or the
// copy cannot be made (the cell then shows it unmirrored).
static SDL_Surface* mirrored_piece(SDL_Surface* pic, int flip) {
    int i = 0;
    while (i < 12 && tile_pieces[i] != pic) i++;
    if (i == 12 || flip < 1 || flip > 3) return nullptr;
    SDL_Surface*& m = mirrored_pieces[i][flip - 1];
    if (!m) m = mirrored_copy(pic, flip);
    return m;
}

// How far right of and below its cell's corner any picture can reach.
static void picture_reach(int& w, int& h) {
    w = h = 0;
    auto widen = [&](const SDL_Surface* pic) {
        if (!pic) return;
        if (pic->w > w) w = pic->w;
        if (pic->h > h) h = pic->h;
    };
    for (const SDL_Surface* pic : tile_pieces) widen(pic);
    widen(finish_image);
}

static int floor_div(int a, int b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// First and last cell, along one axis, whose picture can reach into the
// clip span [lo, lo + len) of a view with this camera offset. When a
// position of the grid would not fit the 16 bits it is held in, and so
// could wrap round into the view, every cell is a candidate.
static void cell_span(int size, int camera, int lo, int len, int reach, int& first, int& last) {
    first = 0;
    last = size - 1;
    if (size <= 0 || camera < -32768 || camera > 32767 - 50 * (size - 1)) return;
    // Cell c lies at 50 c + camera and reaches to 50 c + camera + reach.
    const int from = floor_div(lo - camera - reach, 50), to = floor_div(lo + len - camera, 50);
    if (from > first) first = from;
    if (to < last) last = to;
}

// Columns outermost, each from the top: later cells paint over the parts of
// larger pieces that reach into them. Only the cells whose pictures can
// reach into the view are visited; the others would be clipped away whole,
// so the picture is the same on a level of any size.
void draw_track_view(SDL_Surface* view, const Track& track, int cam_x, int cam_y) {
    if (!view) return;
    int reach_w, reach_h;
    picture_reach(reach_w, reach_h);
    const SDL_Rect& clip = view->clip_rect;
    int x0, x1, y0, y1;
    cell_span(track.size, cam_x, clip.x, clip.w, reach_w, x0, x1);
    cell_span(track.size, cam_y, clip.y, clip.h, reach_h, y0, y1);
    for (int x = x0; x <= x1; x++) {
        for (int y = y0; y <= y1; y++) {
            SDL_Surface* pic = cell_picture(track, x, y);
            if (!pic) continue;
            const int flip = cell_flip(track, x, y);
            SDL_Surface* mirrored = flip ? mirrored_piece(pic, flip) : nullptr;
            put(mirrored ? mirrored : pic, view, x * 50 + cam_x, y * 50 + cam_y);
        }
    }
    if (!full_game) return;
    // The wide pieces over the grid: each covers just its lane and road.
    const int wide_reach = 150;
    cell_span(track.size, cam_x, clip.x, clip.w, wide_reach, x0, x1);
    cell_span(track.size, cam_y, clip.y, clip.h, wide_reach, y0, y1);
    for (int x = x0; x <= x1; x++)
        for (int y = y0; y <= y1; y++) {
            const int piece = (track.wide_road[x][y] & WIDE_ANCHOR) - 1;
            if (piece >= 0 && piece < WIDE_PIECES && wide_pieces[piece])
                put(wide_pieces[piece], view, x * 50 + cam_x, y * 50 + cam_y);
        }
}
