// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting the tile atlas and drawing the grid into the views.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>

#include "core/state.h"
#include "harness.h"
#include "io/assets.h"
#include "io/media.h"
#include "race/race.h"
#include "shell/shell.h"
#include "track/track.h"
#include "view/tiles.h"
#include "view/view.h"

namespace {

Uint32 piece_colour(int code) { return (Uint32)(0x100000 * (code + 1) + 0x0800 * code + 0x30); }
const Uint32 finish_colour = 0xF0E0D0;
const Uint32 black = 0;

SDL_Surface* solid(int w, int h, Uint32 rgb) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0, 0, 0, 0);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, rgb >> 16, (rgb >> 8) & 255, rgb & 255));
    return s;
}

struct pixel {
    int x, y;
    Uint32 rgb;
};

void expect_pixels(SDL_Surface* view, std::initializer_list<pixel> expected) {
    for (const pixel& p : expected)
        EXPECT_EQ(pixel_at(view, p.x, p.y), p.rgb) << "at " << p.x << "," << p.y;
}

// Piece sizes by code, as the atlas cuts them.
const int piece_w[12] = {50, 50, 50, 50, 50, 50, 50, 100, 100, 100, 100, 100};
const int piece_h[12] = {50, 50, 50, 50, 50, 50, 100, 50, 100, 100, 100, 100};

// Solid pieces of distinct colours in place of the art, a cleared view, and
// a track of blanks; everything shared is put back afterwards.
class TrackDrawing : public ::testing::Test {
protected:
    SDL_Surface* saved_pieces[12];
    SDL_Surface* saved_wide[WIDE_PIECES];
    SDL_Surface* saved_finish = finish_image;
    std::unique_ptr<Track> saved_track;

    void SetUp() override {
        start_game_headless();
        saved_track.reset(new Track(loaded_track));
        saved_finish = finish_image;
        for (int i = 0; i < 12; i++) {
            saved_pieces[i] = tile_pieces[i];
            tile_pieces[i] = solid(piece_w[i], piece_h[i], piece_colour(i));
        }
        // No wide pieces unless a test makes its own; the shared ones are kept.
        for (int i = 0; i < WIDE_PIECES; i++) {
            saved_wide[i] = wide_pieces[i];
            wide_pieces[i] = nullptr;
        }
        finish_image = solid(50, 50, finish_colour);
        SDL_FillRect(screen, nullptr, 0);
        SDL_FillRect(second_view, nullptr, 0);
    }
    void TearDown() override {
        free_tile_pieces();
        for (int i = 0; i < 12; i++) tile_pieces[i] = saved_pieces[i];
        for (int i = 0; i < WIDE_PIECES; i++) wide_pieces[i] = saved_wide[i];
        SDL_FreeSurface(finish_image);
        finish_image = saved_finish;
        loaded_track = *saved_track;
        live_race.camera_x[0] = live_race.camera_y[0] = live_race.camera_x[1] = live_race.camera_y[1] = 0;
        two_players = live_race.two_players = false;
        set_video_mode(500, 500);
    }
    void blank_track(int size) {
        loaded_track.size = size;
        for (int x = 0; x <= size; x++)
            for (int y = 0; y <= size; y++)
                loaded_track.tiles[x][y] = x < size && y < size ? TILE_BLANK : 0;
    }
};

}   // namespace

TEST_F(TrackDrawing, CornerBlockDrawsOnceFromItsTopLeftCell) {
    blank_track(5);
    for (int x = 1; x <= 2; x++)
        for (int y = 1; y <= 2; y++) loaded_track.tiles[x][y] = TILE_CORNER_1;
    loaded_track.tiles[4][4] = TILE_CORNER_1;   // lone, its neighbour is the border
    loaded_track.tiles[0][4] = TILE_CORNER_1 + 1;
    loaded_track.tiles[1][3] = TILE_CORNER_1 + 2;   // diagonal differs
    draw_track(live_race, loaded_track);
    expect_pixels(screen, {{50, 50, piece_colour(8)}, {149, 149, piece_colour(8)}, {49, 50, black},
                           {150, 100, black}, {100, 150, black}, {225, 225, black},
                           {25, 225, black}, {75, 175, black}});
}

TEST_F(TrackDrawing, LaterCellsCoverStraightsUnlessBlank) {
    blank_track(4);
    loaded_track.tiles[0][0] = TILE_H_STRAIGHT;   // blank below: the whole piece
    loaded_track.tiles[1][0] = TILE_H_STRAIGHT;   // ground below covers its lower half
    loaded_track.tiles[1][1] = TILE_GROUND;
    loaded_track.tiles[0][2] = TILE_V_STRAIGHT;   // blank to the right: the whole piece
    loaded_track.tiles[0][3] = TILE_V_STRAIGHT;   // ground to the right covers its right half
    loaded_track.tiles[1][3] = TILE_GROUND;
    // Columns are drawn before rows: the '=' of the next column covers the
    // 'T' of the next row where both reach.
    loaded_track.tiles[3][0] = TILE_H_STRAIGHT;
    loaded_track.tiles[2][1] = TILE_V_STRAIGHT;
    draw_track(live_race, loaded_track);
    expect_pixels(screen, {{25, 75, piece_colour(6)}, {75, 25, piece_colour(6)},
                           {75, 75, piece_colour(0)}, {75, 125, piece_colour(7)},
                           {25, 175, piece_colour(7)}, {75, 175, piece_colour(0)},
                           {175, 75, piece_colour(6)}, {125, 75, piece_colour(7)}});
}

TEST_F(TrackDrawing, EachCodeShowsItsPieceAndBlanksShowBlack) {
    blank_track(7);
    for (int code = 0; code <= 5; code++) loaded_track.tiles[code][0] = code;
    loaded_track.tiles[6][0] = TILE_FINISH;
    loaded_track.tiles[0][2] = 13;   // no picture
    draw_track(live_race, loaded_track);
    for (int code = 0; code <= 5; code++)
        EXPECT_EQ(pixel_at(screen, code * 50 + 25, 25), piece_colour(code));
    expect_pixels(screen, {{325, 25, finish_colour}, {25, 125, black}, {25, 75, black}});
}

TEST_F(TrackDrawing, SecondViewOnlyInTwoPlayerRaces) {
    blank_track(4);
    loaded_track.tiles[2][3] = TILE_FINISH;
    SDL_FillRect(second_view, nullptr, SDL_MapRGB(second_view->format, 0x12, 0x34, 0x56));
    draw_track(live_race, loaded_track);
    EXPECT_EQ(pixel_at(screen, 125, 175), finish_colour);
    EXPECT_EQ(pixel_at(second_view, 125, 175), 0x123456u);

    two_players = live_race.two_players = true;
    set_video_mode(800, 500);
    SDL_FillRect(screen, nullptr, 0);
    SDL_FillRect(second_view, nullptr, 0);
    live_race.camera_x[0] = 300;
    live_race.camera_y[0] = 0;
    live_race.camera_x[1] = -50;
    live_race.camera_y[1] = -100;
    draw_track(live_race, loaded_track);
    EXPECT_EQ(pixel_at(screen, 425, 175), finish_colour);   // in the window's right half
    EXPECT_EQ(pixel_at(second_view, 75, 75), finish_colour);
    EXPECT_EQ(pixel_at(second_view, 125, 175), black);
}

TEST_F(TrackDrawing, SmallTrackSitsAtTheCameraOffset) {
    blank_track(8);
    for (int x = 0; x < 8; x++)
        for (int y = 0; y < 8; y++) loaded_track.tiles[x][y] = TILE_GROUND;
    loaded_track.tiles[0][0] = 1;
    loaded_track.tiles[7][7] = 2;
    live_race.camera_x[0] = live_race.camera_y[0] = 100;
    draw_track(live_race, loaded_track);
    expect_pixels(screen, {{99, 300, black}, {300, 99, black}, {100, 100, piece_colour(1)},
                           {300, 300, piece_colour(0)}, {499, 499, piece_colour(2)},
                           {450, 449, piece_colour(0)}});
}

TEST_F(TrackDrawing, PiecesReachingIntoTheViewAreClipped) {
    blank_track(20);
    loaded_track.tiles[0][0] = TILE_CORNER_1;   // 100 wide, starting 60 left of the view
    loaded_track.tiles[1][1] = TILE_CORNER_1;
    loaded_track.tiles[11][0] = TILE_V_STRAIGHT;   // starts 10 left of the right edge
    live_race.camera_x[0] = -60;
    live_race.camera_y[0] = -30;
    draw_track(live_race, loaded_track);
    expect_pixels(screen, {{0, 0, piece_colour(8)}, {39, 69, piece_colour(8)}, {40, 0, black},
                           {499, 0, piece_colour(7)}, {489, 0, black}});
}

TEST(TrackAtlas, CutsTwelvePiecesFromTheirPlaces) {
    start_game_headless();
    const int at_x[12] = {0, 50, 100, 150, 0, 150, 200, 50, 350, 450, 550, 250};
    const int at_y[12] = {0, 0, 0, 0, 50, 50, 0, 50, 0, 0, 0, 0};
    SDL_Surface* saved[12];
    SDL_Surface* saved_wide[WIDE_PIECES];
    for (int i = 0; i < 12; i++) saved[i] = tile_pieces[i];
    for (int i = 0; i < WIDE_PIECES; i++) saved_wide[i] = wide_pieces[i];

    // An atlas with an alpha channel: a transparent hole in piece 3 comes out black.
    SDL_Surface* atlas =
        SDL_CreateRGBSurface(SDL_SWSURFACE, 700, 100, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    SDL_FillRect(atlas, nullptr, SDL_MapRGBA(atlas->format, 255, 255, 255, 255));
    for (int i = 0; i < 12; i++) {
        SDL_Rect r = {(Sint16)at_x[i], (Sint16)at_y[i], (Uint16)piece_w[i], (Uint16)piece_h[i]};
        Uint32 c = piece_colour(i);
        SDL_FillRect(atlas, &r, SDL_MapRGBA(atlas->format, c >> 16, (c >> 8) & 255, c & 255, 255));
    }
    SDL_Rect hole = {160, 10, 5, 5};
    SDL_FillRect(atlas, &hole, SDL_MapRGBA(atlas->format, 255, 255, 255, 0));
    cut_atlas(atlas);
    for (int i = 0; i < 12; i++) {
        SDL_Surface* p = tile_pieces[i];
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->w, piece_w[i]) << i;
        EXPECT_EQ(p->h, piece_h[i]) << i;
        EXPECT_EQ(p->format->BitsPerPixel, 32);
        EXPECT_EQ(p->format->Amask, 0u);
        EXPECT_EQ(pixel_at(p, 0, 0), piece_colour(i)) << i;
        EXPECT_EQ(pixel_at(p, p->w - 1, p->h - 1), piece_colour(i)) << i;
    }
    EXPECT_EQ(pixel_at(tile_pieces[3], 12, 12), black);
    free_tile_pieces();
    for (SDL_Surface* p : tile_pieces) EXPECT_EQ(p, nullptr);

    // Without an atlas the pieces are black.
    cut_atlas(nullptr);
    EXPECT_EQ(tile_pieces[7]->w, 100);
    EXPECT_EQ(pixel_at(tile_pieces[7], 50, 25), black);
    free_tile_pieces();
    for (int i = 0; i < 12; i++) tile_pieces[i] = saved[i];
    for (int i = 0; i < WIDE_PIECES; i++) wide_pieces[i] = saved_wide[i];
}

// The full game draws each stretch of touching slowing cells (side by side
// or corner to corner) as the material of its first cell, columns
// outermost; the classic game draws every cell's own variant. The loader
// draws no more random numbers for it, and the race's tiles stay as read.
TEST_F(TrackDrawing, FullGameShowsAStretchOfSlowingCellsAsOneMaterial) {
    // A diagonal stretch of five cells from (1,1), a lone cell at (6,1),
    // and a vertical stretch of four in column 4.
    const std::string level =
        "0008"
        "........"
        ".x....x."
        "..x....."
        "...x.x.."
        "....x..."
        "....x..."
        "....x..."
        "....x...";
    // One stretch, (1,1) to (5,3), and (4,4) to (4,7) touch it: the whole
    // chain is one stretch; (6,1) stands alone.
    Random once = make_random(5), twice = make_random(5);
    load_level_text(loaded_track, "verges", level, once);
    Track& t = loaded_track;
    const int cells[][2] = {{1, 1}, {2, 2}, {3, 3}, {5, 3}, {4, 4}, {4, 5}, {4, 6}, {4, 7}};
    for (auto& c : cells) {
        ASSERT_GE(t.tiles[c[0]][c[1]], 1);
        ASSERT_LE(t.tiles[c[0]][c[1]], 5);
        EXPECT_EQ(t.stretch_piece[c[0]][c[1]], t.tiles[1][1]) << c[0] << "," << c[1];
    }
    EXPECT_EQ(t.stretch_piece[6][1], t.tiles[6][1]);
    EXPECT_EQ(t.stretch_piece[0][0], 0);
    // Nine 'x' cells draw as nine do in any level: the same numbers after.
    for (int i = 0; i < 9; i++) {
        random_next(twice);
        if (random_next(twice) % 3 == 0) random_next(twice);
    }
    EXPECT_EQ(random_next(once), random_next(twice));

    // A seed whose eight stretch cells do not all draw one variant shows
    // the difference between the two games.
    int seed = 1;
    for (;; seed++) {
        Random r = make_random((uint32_t)seed);
        load_level_text(loaded_track, "verges", level, r);
        bool mixed = false;
        for (auto& c : cells) mixed = mixed || t.tiles[c[0]][c[1]] != t.tiles[1][1];
        if (mixed) break;
        ASSERT_LT(seed, 1000);
    }
    for (bool full : {false, true}) {
        full_game = full;
        SDL_FillRect(screen, nullptr, 0);
        draw_track_view(screen, loaded_track, 0, 0);
        for (auto& c : cells) {
            const int shown = full ? t.tiles[1][1] : t.tiles[c[0]][c[1]];
            EXPECT_EQ(pixel_at(screen, c[0] * 50 + 25, c[1] * 50 + 25), piece_colour(shown))
                << (full ? "full game " : "classic ") << c[0] << "," << c[1];
        }
    }
    full_game = false;
}

namespace {
// A loop with lanes: round the top-left corner and along the top and left
// roads from it, three cells down the right road, along the bottom road
// below its '#' row; (11,2) and (13,13) widen nothing.
const std::string wide_level =
    "0016"
    "................"
    "................"
    "..++++++++++...."
    "..+11======22..."
    "..+11######22..."
    "..+T#......T#..."
    "...T#......T#+.."
    "...T#......T#+.."
    "...M#......T#+.."
    "...T#......T#..."
    "...T#......T#..."
    "...44======33..."
    "...44######33..."
    ".....++++++..+.."
    "................"
    "................";

int wide_piece_at(const Track& t, int x, int y) { return (t.wide_road[x][y] & WIDE_ANCHOR) - 1; }
}   // namespace

// A '+' is ground to the race and to the classic game: the same tiles, the
// same random numbers drawn, as the level with '.' in its place. The full
// game lays a wide piece from the top-left cell of each piece it draws.
TEST(WideRoads, LanesAreGroundToTheRaceAndPiecesToTheFullGame) {
    std::string plain = wide_level;
    for (char& c : plain)
        if (c == '+') c = '.';
    std::unique_ptr<Track> with(new Track), without(new Track);
    clear_track(*with);
    clear_track(*without);
    Random a = make_random(3), b = make_random(3);
    load_level_text(*with, "wide", wide_level, a);
    load_level_text(*without, "plain", plain, b);
    EXPECT_EQ(std::memcmp(with->tiles, without->tiles, sizeof with->tiles), 0);
    EXPECT_EQ(with->waypoint_count, without->waypoint_count);
    EXPECT_EQ(random_next(a), random_next(b));
    for (int x = 0; x < 16; x++)
        for (int y = 0; y < 16; y++) EXPECT_EQ(without->wide_road[x][y], 0) << x << "," << y;

    const Track& t = *with;
    EXPECT_EQ(wide_piece_at(t, 2, 2), WIDE_CORNER_1);   // the corner's outside
    for (int x = 5; x <= 9; x++) EXPECT_EQ(wide_piece_at(t, x, 2), WIDE_H_STRAIGHT) << x;
    EXPECT_EQ(wide_piece_at(t, 10, 2), WIDE_H_NARROWS + 1);       // lane above, narrows at its end
    EXPECT_EQ(wide_piece_at(t, 2, 5), WIDE_V_NARROWS + 1);        // lane left, narrows below
    EXPECT_EQ(wide_piece_at(t, 11, 6), WIDE_V_NARROWS + 2);       // lane right: from the 'T'
    EXPECT_EQ(wide_piece_at(t, 11, 7), WIDE_V_STRAIGHT);
    EXPECT_EQ(wide_piece_at(t, 11, 8), WIDE_V_NARROWS + 2 + 1);
    EXPECT_EQ(wide_piece_at(t, 5, 11), WIDE_H_NARROWS + 2);       // lane below: from the '='
    EXPECT_EQ(wide_piece_at(t, 10, 11), WIDE_H_NARROWS + 2 + 1);
    for (int x = 6; x <= 9; x++) EXPECT_EQ(wide_piece_at(t, x, 11), WIDE_H_STRAIGHT) << x;
    // Lanes drawn as road, and the two '+' that widen nothing.
    const int lanes[][2] = {{3, 2}, {2, 4}, {7, 2}, {13, 7}, {8, 13}};
    for (const auto& c : lanes)
        EXPECT_EQ(t.wide_road[c[0]][c[1]] & (WIDE_WRITTEN | WIDE_LANE), WIDE_WRITTEN | WIDE_LANE) << c[0] << "," << c[1];
    EXPECT_EQ(t.wide_road[11][2], WIDE_WRITTEN);
    EXPECT_EQ(t.wide_road[13][13], WIDE_WRITTEN);
    int anchors = 0;
    for (int x = 0; x < 16; x++)
        for (int y = 0; y < 16; y++) anchors += wide_piece_at(t, x, y) >= 0;
    EXPECT_EQ(anchors, 1 + 6 + 1 + 3 + 6);
}

// Lanes inside both roads of a corner meet in the cell between them; the
// wide corner then starts at the block and takes in the roads' first row and
// column, and the lanes go on from there.
TEST(WideRoads, LanesInsideACornerTurnItWide) {
    const std::string level =
        "0016"
        "................"
        "................"
        "................"
        "...11======22..."
        "...11######22..."
        "...T#++++++T#..."
        "...T#+.....T#..."
        "...T#+.....T#..."
        "...M#......T#..."
        "...T#......T#..."
        "...T#......T#..."
        "...44======33..."
        "...44######33..."
        "................"
        "................"
        "................";
    std::unique_ptr<Track> t(new Track);
    clear_track(*t);
    Random r = make_random(1);
    load_level_text(*t, "inside", level, r);
    EXPECT_EQ(wide_piece_at(*t, 3, 3), WIDE_CORNER_1);
    EXPECT_TRUE(t->wide_road[5][5] & WIDE_LANE);
    EXPECT_EQ(wide_piece_at(*t, 3, 6), WIDE_V_STRAIGHT);
    EXPECT_EQ(wide_piece_at(*t, 3, 7), WIDE_V_NARROWS + 2 + 1);
    for (int x = 6; x <= 9; x++) EXPECT_EQ(wide_piece_at(*t, x, 3), WIDE_H_STRAIGHT) << x;
    EXPECT_EQ(wide_piece_at(*t, 10, 3), WIDE_H_NARROWS + 2 + 1);
    // Without the lane going on down the left road the corner stays narrow.
    std::string no_lane_on = level;
    no_lane_on[4 + 6 * 16 + 5] = '.';
    load_level_text(*t, "inside", no_lane_on, r);
    EXPECT_EQ(wide_piece_at(*t, 3, 3), -1);
}

// The full game draws the wide pieces over the grid, also those whose top
// left cell lies left of or above the view; the classic game shows grass.
TEST_F(TrackDrawing, FullGameDrawsWidePiecesOverTheGrid) {
    const int w[WIDE_PIECES] = {50, 150, 50, 50, 50, 50, 150, 150, 150, 150, 150, 150, 150, 150};
    const int h[WIDE_PIECES] = {150, 50, 150, 150, 150, 150, 50, 50, 50, 50, 150, 150, 150, 150};
    auto colour = [](int i) { return (Uint32)(0x204060 + 0x0a0000 * i); };
    for (int i = 0; i < WIDE_PIECES; i++) wide_pieces[i] = solid(w[i], h[i], colour(i));
    Random r = make_random(3);
    load_level_text(loaded_track, "wide", wide_level, r);
    for (bool full : {false, true}) {
        full_game = full;
        SDL_FillRect(screen, nullptr, 0);
        draw_track_view(screen, loaded_track, 0, 0);
        // The top lane, the '#' below it, the corner's outside, a stray '+'.
        EXPECT_EQ(pixel_at(screen, 7 * 50 + 25, 2 * 50 + 25), full ? colour(WIDE_H_STRAIGHT) : piece_colour(0));
        EXPECT_EQ(pixel_at(screen, 7 * 50 + 25, 4 * 50 + 25), full ? colour(WIDE_H_STRAIGHT) : piece_colour(6));
        EXPECT_EQ(pixel_at(screen, 2 * 50 + 5, 3 * 50 + 5), full ? colour(WIDE_CORNER_1) : piece_colour(0));
        EXPECT_EQ(pixel_at(screen, 11 * 50 + 25, 2 * 50 + 25), piece_colour(0));
        // Lane right of the right road: its piece starts at the 'T'.
        draw_track_view(screen, loaded_track, -300, 0);
        EXPECT_EQ(pixel_at(screen, 13 * 50 + 25 - 300, 7 * 50 + 25), full ? colour(WIDE_V_STRAIGHT) : piece_colour(0));
        EXPECT_EQ(pixel_at(screen, 11 * 50 + 25 - 300, 7 * 50 + 25), full ? colour(WIDE_V_STRAIGHT) : piece_colour(7));
    }
    // The corner piece starts at (100, 100): the view from x 220 still shows
    // its last 30 columns.
    SDL_FillRect(screen, nullptr, 0);
    draw_track_view(screen, loaded_track, -220, -100);
    EXPECT_EQ(pixel_at(screen, 10, 10), colour(WIDE_CORNER_1));
    EXPECT_EQ(pixel_at(screen, 40, 10), colour(WIDE_H_STRAIGHT));
    full_game = false;
}

// The wide pieces lie below the narrow ones; an atlas without room for them
// (an older set.png) leaves them null, and the full game draws its lanes as
// the classic game does.
TEST(TrackAtlas, CutsTheWidePiecesWhenTheAtlasHoldsThem) {
    start_game_headless();
    SDL_Surface* saved[12];
    SDL_Surface* saved_wide[WIDE_PIECES];
    for (int i = 0; i < 12; i++) saved[i] = tile_pieces[i];
    for (int i = 0; i < WIDE_PIECES; i++) saved_wide[i] = wide_pieces[i];
    for (int h : {400, 100}) {
        SDL_Surface* atlas = SDL_CreateRGBSurface(SDL_SWSURFACE, 650, h, 32, 0, 0, 0, 0);
        SDL_FillRect(atlas, nullptr, SDL_MapRGB(atlas->format, 10, 10, 10));
        // The top-left pixel of the wide straight and of corner '3'.
        SDL_Rect straight = {600, 100, 1, 1}, corner = {300, 100, 1, 1};
        if (h == 400) {
            SDL_FillRect(atlas, &straight, SDL_MapRGB(atlas->format, 200, 0, 0));
            SDL_FillRect(atlas, &corner, SDL_MapRGB(atlas->format, 0, 200, 0));
        }
        cut_atlas(atlas);
        if (h == 400) {
            ASSERT_NE(wide_pieces[WIDE_H_STRAIGHT], nullptr);
            EXPECT_EQ(wide_pieces[WIDE_H_STRAIGHT]->w, 50);
            EXPECT_EQ(wide_pieces[WIDE_H_STRAIGHT]->h, 150);
            EXPECT_EQ(pixel_at(wide_pieces[WIDE_H_STRAIGHT], 0, 0), 0xC80000u);
            EXPECT_EQ(pixel_at(wide_pieces[WIDE_CORNER_1 + 2], 0, 0), 0x00C800u);
            EXPECT_EQ(wide_pieces[WIDE_V_NARROWS + 3]->w, 150);
        } else {
            for (SDL_Surface* p : wide_pieces) EXPECT_EQ(p, nullptr);
        }
        free_tile_pieces();
    }
    for (int i = 0; i < 12; i++) tile_pieces[i] = saved[i];
    for (int i = 0; i < WIDE_PIECES; i++) wide_pieces[i] = saved_wide[i];
}
