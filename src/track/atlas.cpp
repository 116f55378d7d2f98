// The tile pieces cut from the atlas, and the drawing of the grid into the
// views.
#include "race/race.h"
#include "shell/shell.h"
#include "track/track.h"

struct piece_place {
    int x, y, w, h;   // where the piece lies in the atlas, and its size
};

// Indexed by tile code 0..11.
static const piece_place atlas_layout[12] = {
    {0, 0, 50, 50},     {50, 0, 50, 50},    {100, 0, 50, 50},   {150, 0, 50, 50},
    {0, 50, 50, 50},    {150, 50, 50, 50},  {200, 0, 50, 100},  {50, 50, 100, 50},
    {350, 0, 100, 100}, {450, 0, 100, 100}, {550, 0, 100, 100}, {250, 0, 100, 100},
};

void cut_atlas(SDL_Surface* atlas) {
    for (int i = 0; i < 12; i++) {
        const piece_place& p = atlas_layout[i];
        // No alpha channel: transparent atlas pixels come out black, and a
        // piece always covers what lies under it.
        tile_pieces[i] = SDL_CreateRGBSurface(SDL_SWSURFACE, p.w, p.h, 32, 0, 0, 0, 0);
        if (!atlas || !tile_pieces[i]) continue;
        SDL_Rect from = {(Sint16)p.x, (Sint16)p.y, (Uint16)p.w, (Uint16)p.h};
        SDL_BlitSurface(atlas, &from, tile_pieces[i], nullptr);
    }
    SDL_FreeSurface(atlas);
}

void free_tile_pieces() {
    for (int i = 0; i < 12; i++) {
        SDL_FreeSurface(tile_pieces[i]);
        tile_pieces[i] = nullptr;
    }
}

// What a cell shows, or null for nothing: a corner only from the top-left
// cell of its block, the finish image for the finish, nothing for blanks.
static SDL_Surface* cell_picture(int x, int y) {
    int t = track.tiles[x][y];
    if (t >= TILE_GROUND && t < TILE_CORNER_1) return tile_pieces[t];
    if (t >= TILE_CORNER_1 && t <= TILE_CORNER_1 + 3)
        return is_corner_cell(x, y) ? tile_pieces[t] : nullptr;
    if (t == TILE_FINISH) return finish_image;
    return nullptr;
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
    SDL_Rect at = {px, py, 0, 0};
    SDL_BlitSurface(pic, nullptr, view, &at);
}

// Columns outermost, each from the top: later cells paint over the parts of
// larger pieces that reach into them.
void draw_track() {
    int size = track.size;
    for (int x = 0; x < size; x++) {
        for (int y = 0; y < size; y++) {
            SDL_Surface* pic = cell_picture(x, y);
            if (!pic) continue;
            put(pic, screen, x * 50 + camera_x[0], y * 50 + camera_y[0]);
            if (kaksinpeli) put(pic, second_view, x * 50 + camera_x[1], y * 50 + camera_y[1]);
        }
    }
}
