// SPDX-License-Identifier: GPL-3.0-or-later
// The fast drawing paths against the plain way of drawing the same thing:
// the background row by row against pixelRGBA point by point, the track drawn
// only where it can be seen and copied row by row against a blit of every
// cell, and the race frame (clipped view 1, cleared with memset) against a
// frame cleared with SDL_FillRect and drawn with that plain loaded_track.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "io/assets.h"
#include "io/media.h"
#include "io/bindings.h"
#include "core/state.h"
#include "base/clock.h"
#include "harness.h"
#include "menu/menu.h"
#include "race/race.h"
#include "shell/shell.h"
#include "test_view_support.h"
#include "view/tiles.h"
#include "track/track.h"
#include "view/view.h"

namespace {

// Index of the first pixel whose colour differs between two surfaces of one
// size, or -1 (-2 when the sizes differ).
long first_difference(SDL_Surface* a, SDL_Surface* b) {
    if (a->w != b->w || a->h != b->h) return -2;
    const SDL_PixelFormat *fa = a->format, *fb = b->format;
    if (fa->BytesPerPixel != 4 || fb->BytesPerPixel != 4 || fa->Rmask != fb->Rmask ||
        fa->Gmask != fb->Gmask || fa->Bmask != fb->Bmask) {
        for (int y = 0; y < a->h; y++)
            for (int x = 0; x < a->w; x++)
                if (pixel_at(a, x, y) != pixel_at(b, x, y)) return (long)y * a->w + x;
        return -1;
    }
    // One layout: the colour bits compared straight from memory.
    const Uint32 colour_bits = fa->Rmask | fa->Gmask | fa->Bmask;
    long found = -1;
    SDL_LockSurface(a);
    SDL_LockSurface(b);
    for (int y = 0; y < a->h && found < 0; y++) {
        const Uint32* ra = (const Uint32*)((const Uint8*)a->pixels + y * a->pitch);
        const Uint32* rb = (const Uint32*)((const Uint8*)b->pixels + y * b->pitch);
        for (int x = 0; x < a->w; x++)
            if ((ra[x] ^ rb[x]) & colour_bits) {
                found = (long)y * a->w + x;
                break;
            }
    }
    SDL_UnlockSurface(b);
    SDL_UnlockSurface(a);
    return found;
}

std::string where(SDL_Surface* s, long i) {
    if (i < 0) return "";
    const int x = (int)(i % s->w), y = (int)(i / s->w);
    char text[80];
    snprintf(text, sizeof text, "first difference at %d,%d", x, y);
    return text;
}

// Fills a surface with a pattern no drawing produces, so that a pixel drawn
// too few or too many times shows.
void scribble(SDL_Surface* s, unsigned seed) {
    std::mt19937 rng(seed);
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; y++) {
        Uint32* row = (Uint32*)((Uint8*)s->pixels + y * s->pitch);
        for (int x = 0; x < s->w; x++) row[x] = rng() & 0x00FFFFFF;
    }
    SDL_UnlockSurface(s);
}

SDL_Surface* copy_of(SDL_Surface* s) {
    const SDL_PixelFormat* f = s->format;
    SDL_Surface* c = SDL_CreateRGBSurface(SDL_SWSURFACE, s->w, s->h, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
    SDL_Rect at = {0, 0, 0, 0};
    SDL_BlitSurface(s, nullptr, c, &at);
    return c;
}

// The background the literal way: black, then every point of 0..500 x 0..500
// plotted with pixelRGBA, then the logo.
void literal_backdrop(SDL_Surface* target, int phase) {
    SDL_FillRect(target, nullptr, 0);
    for (int x = 0; x <= 500; x++)
        for (int y = 0; y <= 500; y++) {
            const Uint32 c = background_colour(x, y, phase);
            pixelRGBA(target, (Sint16)x, (Sint16)y, (Uint8)(c >> 16), (Uint8)(c >> 8), (Uint8)c, 255);
        }
    SDL_Rect at = {68, 50, 0, 0};
    SDL_BlitSurface(logo, nullptr, target, &at);
}

}  // namespace

TEST(PerfBackground, EveryPointMatchesTheColourRuleAtManyPhases) {
    start_game_headless();
    // Phases early and late, odd ones, ones on and next to the pattern's
    // period, the last before the phase is wrapped, and one below zero.
    const int phases[] = {0,        1,          2000,       2002,       45899,      45900,
                          45901,    1234567,    21000000,   91800 * 7 - 1,   1999999998,
                          2000000000, -7,       -45901};
    for (int phase : phases) {
        background_phase = phase;
        draw_background();
        for (int y = 0; y < 500; y++)
            for (int x = 0; x < 500; x++)
                ASSERT_EQ(pixel_at(screen, x, y), background_colour(x, y, phase))
                    << x << "," << y << " at phase " << phase;
    }
}

TEST(PerfBackground, MenuBackdropMatchesTheLiteralDrawing) {
    start_game_headless();
    // The 500 x 500 menu window, which the background covers whole, and a
    // wider window, where black must stay beside it.
    for (int width : {500, 800}) {
        set_video_mode(width, 500);
        for (int phase : {2000, 2002, 777777, 1999999998}) {
            scribble(screen, (unsigned)phase);
            SDL_Surface* expected = surface_like_screen(width, 500);
            literal_backdrop(expected, phase);
            background_phase = phase;
            menu_backdrop();
            const long diff = first_difference(screen, expected);
            EXPECT_EQ(diff, -1) << "window " << width << " phase " << phase << ": " << where(screen, diff);
            SDL_FreeSurface(expected);
        }
    }
    set_video_mode(500, 500);
}

namespace {

// Every cell of the grid blitted whole, columns outermost, into each view.
void plain_cell(SDL_Surface* view, int x, int y, int cx, int cy) {
    const int t = loaded_track.tiles[x][y];
    SDL_Surface* pic = nullptr;
    if (t >= 0 && t <= 7) pic = tile_pieces[t];
    if (t >= 8 && t <= 11 && loaded_track.tiles[x + 1][y + 1] == t) pic = tile_pieces[t];
    if (t == 12) pic = finish_image;
    if (!pic) return;
    SDL_Rect at = {(Sint16)(x * 50 + cx), (Sint16)(y * 50 + cy), 0, 0};
    SDL_BlitSurface(pic, nullptr, view, &at);
}

void plain_draw_track(const Race& race, const Track& track) {
    for (int x = 0; x < track.size; x++)
        for (int y = 0; y < track.size; y++) {
            plain_cell(screen, x, y, race.camera_x[0], race.camera_y[0]);
            if (race.two_players) plain_cell(second_view, x, y, race.camera_x[1], race.camera_y[1]);
        }
}

// A grid of random codes, weighted towards what levels hold, with 2 x 2
// corner blocks and stray corner cells.
void random_track(int size, std::mt19937& rng) {
    loaded_track.size = size;
    for (int x = 0; x <= size; x++)
        for (int y = 0; y <= size; y++) loaded_track.tiles[x][y] = 0;
    const int codes[] = {0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 999, 999, 13, -1};
    for (int x = 0; x < size; x++)
        for (int y = 0; y < size; y++) loaded_track.tiles[x][y] = codes[rng() % (sizeof codes / sizeof *codes)];
    for (int k = 0; k < size; k++) {
        const int x = (int)(rng() % size), y = (int)(rng() % size), t = 8 + (int)(rng() % 4);
        for (int dx = 0; dx < 2; dx++)
            for (int dy = 0; dy < 2; dy++)
                if (x + dx < size && y + dy < size) loaded_track.tiles[x + dx][y + dy] = t;
    }
}

class PerfTrack : public ::testing::Test {
  protected:
    std::unique_ptr<Track> saved_track;
    int saved_camera[4];
    bool saved_two;
    void SetUp() override {
        start_game_headless();
        saved_track.reset(new Track(loaded_track));
        saved_camera[0] = live_race.camera_x[0], saved_camera[1] = live_race.camera_y[0];
        saved_camera[2] = live_race.camera_x[1], saved_camera[3] = live_race.camera_y[1];
        saved_two = two_players;
    }
    void TearDown() override {
        loaded_track = *saved_track;
        live_race.camera_x[0] = saved_camera[0], live_race.camera_y[0] = saved_camera[1];
        live_race.camera_x[1] = saved_camera[2], live_race.camera_y[1] = saved_camera[3];
        two_players = live_race.two_players = saved_two;
        SDL_SetClipRect(screen, nullptr);
        SDL_SetClipRect(second_view, nullptr);
        set_video_mode(500, 500);
    }

    // draw_track against plain_draw_track from the same scribbled views.
    void compare(const char* what) {
        scribble(screen, (unsigned)(live_race.camera_x[0] * 31 + live_race.camera_y[0]));
        scribble(second_view, (unsigned)(live_race.camera_x[1] * 17 + live_race.camera_y[1]));
        SDL_Surface* view1 = copy_of(screen);
        SDL_Surface* view2 = copy_of(second_view);
        SDL_Surface* real1 = screen;
        SDL_Surface* real2 = second_view;
        // The plain drawing goes into the copies, with the same clipping.
        SDL_Rect clip1, clip2;
        SDL_GetClipRect(screen, &clip1);
        SDL_GetClipRect(second_view, &clip2);
        SDL_SetClipRect(view1, &clip1);
        SDL_SetClipRect(view2, &clip2);
        screen = view1;
        second_view = view2;
        plain_draw_track(live_race, loaded_track);
        screen = real1;
        second_view = real2;
        draw_track(live_race, loaded_track);
        long d1 = first_difference(screen, view1), d2 = first_difference(second_view, view2);
        EXPECT_EQ(d1, -1) << what << " view 1 " << where(screen, d1) << " camera " << live_race.camera_x[0]
                          << "," << live_race.camera_y[0];
        EXPECT_EQ(d2, -1) << what << " view 2 " << where(second_view, d2) << " camera "
                          << live_race.camera_x[1] << "," << live_race.camera_y[1];
        SDL_FreeSurface(view1);
        SDL_FreeSurface(view2);
    }
};

}  // namespace

TEST_F(PerfTrack, RandomGridsAndCamerasDrawAsEveryCellBlitted) {
    std::mt19937 rng(9);
    const int sizes[] = {1, 2, 7, 8, 12, 13, 44, 60, 200, 499};
    for (int size : sizes) {
        random_track(size, rng);
        for (int round = 0; round < 6; round++) {
            two_players = live_race.two_players = round % 2 == 1;
            set_video_mode(two_players ? 800 : 500, 500);
            // Cameras as the race sets them, and anywhere else at all.
            for (int v = 0; v < 2; v++) {
                const int lo = (v == 0 && !two_players ? 500 : 400) - 50 * size;
                if (round < 4) {
                    live_race.camera_x[v] = lo < 0 ? lo + (int)(rng() % (unsigned)(1 - lo)) : lo;
                    live_race.camera_y[v] = lo < 0 ? lo + (int)(rng() % (unsigned)(1 - lo)) : lo;
                } else {
                    live_race.camera_x[v] = (int)(rng() % 140000) - 70000;
                    live_race.camera_y[v] = (int)(rng() % 140000) - 70000;
                }
            }
            compare(("size " + std::to_string(size) + " round " + std::to_string(round)).c_str());
        }
    }
}

TEST_F(PerfTrack, PositionsThatWrapIn16BitsDrawAsBefore) {
    std::mt19937 rng(4);
    random_track(499, rng);
    two_players = live_race.two_players = true;
    set_video_mode(800, 500);
    // Cells 660 * 50 and more past the view wrap round into it as 16-bit
    // positions; cameras just past the limits of the race's own range.
    const int cameras[][2] = {{-32768, 0}, {-32769, -100}, {32767 - 50 * 498, 0}, {32768 - 50 * 498, 5},
                              {-40000, -40000}, {60000, 3000}, {-65536 + 200, -65536 + 100}};
    for (const auto& c : cameras) {
        live_race.camera_x[0] = live_race.camera_y[1] = c[0];
        live_race.camera_y[0] = live_race.camera_x[1] = c[1];
        compare("wrapping camera");
    }
}

TEST_F(PerfTrack, ClipRectanglesAndPiecesThatAreNotPlainCopies) {
    std::mt19937 rng(21);
    random_track(30, rng);
    two_players = live_race.two_players = true;
    set_video_mode(800, 500);
    live_race.camera_x[0] = -300, live_race.camera_y[0] = -420;
    live_race.camera_x[1] = -515, live_race.camera_y[1] = -233;
    SDL_Rect clips[] = {{0, 0, 400, 500}, {37, 11, 123, 301}, {399, 0, 401, 500}, {0, 0, 0, 0}};
    for (SDL_Rect& c : clips) {
        SDL_SetClipRect(screen, &c);
        SDL_SetClipRect(second_view, &c);
        compare("clip rectangle");
    }
    SDL_SetClipRect(screen, nullptr);
    SDL_SetClipRect(second_view, nullptr);
    // A colour key, surface alpha and a different layout on some pieces:
    // these are blended or converted by SDL, never copied as they are.
    SDL_Surface* saved[3] = {tile_pieces[0], tile_pieces[6], tile_pieces[8]};
    tile_pieces[0] = SDL_ConvertSurface(saved[0], saved[0]->format, SDL_SWSURFACE);
    SDL_LockSurface(tile_pieces[0]);
    const Uint32 key = *(Uint32*)((Uint8*)tile_pieces[0]->pixels + 10 * tile_pieces[0]->pitch + 40);
    SDL_UnlockSurface(tile_pieces[0]);
    SDL_SetColorKey(tile_pieces[0], SDL_SRCCOLORKEY, key);   // a colour the piece holds
    tile_pieces[6] = SDL_ConvertSurface(saved[1], saved[1]->format, SDL_SWSURFACE);
    SDL_SetAlpha(tile_pieces[6], SDL_SRCALPHA, 90);
    tile_pieces[8] = SDL_CreateRGBSurface(SDL_SWSURFACE, 100, 100, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);
    scribble(tile_pieces[8], 5);
    SDL_SetAlpha(tile_pieces[8], SDL_SRCALPHA, 255);
    SDL_Surface* saved_7 = tile_pieces[7];
    tile_pieces[7] = SDL_CreateRGBSurface(SDL_SWSURFACE, 100, 50, 32, 0xFF, 0xFF00, 0xFF0000, 0);
    scribble(tile_pieces[7], 6);   // opaque, but blue and red the other way round
    for (int i = 0; i < 3; i++) {
        live_race.camera_x[0] -= 37;
        live_race.camera_y[1] -= 29;
        compare("keyed and blended pieces");
    }
    SDL_FreeSurface(tile_pieces[0]);
    SDL_FreeSurface(tile_pieces[6]);
    SDL_FreeSurface(tile_pieces[8]);
    tile_pieces[0] = saved[0];
    tile_pieces[6] = saved[1];
    tile_pieces[8] = saved[2];
    SDL_FreeSurface(tile_pieces[7]);
    tile_pieces[7] = saved_7;
}

namespace {

// Everything a race step reads or writes.
struct race_snapshot {
    Race race;
    std::unique_ptr<Track> t{new Track};
    void save() {
        race = live_race;
        *t = loaded_track;
    }
    void restore() const {
        live_race = race;
        loaded_track = *t;
    }
    bool same_as(const race_snapshot& o) const {
        return same_race(race, o.race) &&
               std::memcmp(t->checkpoints, o.t->checkpoints, sizeof t->checkpoints) == 0;
    }
};

// The drawing part of a race frame done the plain way: both views filled
// black whole, every cell blitted, then the balls, markers and lap display
// as the game draws them.
void plain_race_picture(RaceInput input) {
    SDL_FillRect(screen, nullptr, 0);
    SDL_FillRect(second_view, nullptr, 0);
    struct PlainDrawing : RaceDrawing {
        void track(const Race& race, const Track& t) override { plain_draw_track(race, t); }
        void ball(const Race& race, int r, int b) override { draw_ball(race, r, b); }
        void marker(const Race& race, const Track& t, int k) override { draw_checkpoint_marker(race, t, k); }
    } drawing;
    race_step(live_race, loaded_track, input, &drawing);
    draw_lap_display(live_race);
}

}  // namespace

TEST(PerfRaceFrame, FramesMatchThePlainDrawingOnSmallLargeAndHugeLevels) {
    start_game_headless();
    std::mt19937 rng(77);
    // A huge level of random cells with a finish: the racers need no road.
    std::string huge = "0200";
    for (int i = 0; i < 200 * 200; i++) huge += ".....xT=#"[rng() % 9];
    huge[4 + 100 * 200 + 3] = 'M';
    const std::string huge_file = scratch_file(huge);

    struct level {
        int index;
        std::string file;   // replaces the catalogue's level when set
    };
    // The biggest shipped track, and a grid smaller than the view (the
    // frozen copy of an old 8 x 8 track).
    int grand = -1;
    for (int i = 0; i <= last_level_index; i++)
        if (std::string(level_names[i]) == "GrandLoop") grand = i;
    ASSERT_GE(grand, 0);
    const level levels[] = {{0, source_path("tests/data/sim/tracks/PocketRing.txt")}, {grand, ""}, {0, huge_file}};

    for (const level& lv : levels) {
        for (bool two : {false, true}) {
            start_game_headless();
            std::srand(5);
            race_settings.chain_length[0] = race_settings.chain_length[1] = race_settings.chain_length[2] = 10;
            race_settings.laps = 1000;
            race_settings.level_index = lv.index;
            two_players = live_race.two_players = two;
            load_level();
            if (!lv.file.empty()) {
                load_level_file(loaded_track, lv.file.c_str(), setup_random);
                place_racers(live_race, loaded_track, setup_random);
            }
            race_start_ticks = game_ticks() - 10000;
            Uint8* keys = SDL_GetKeyState(nullptr);
            for (int frame = 0; frame < 60; frame++) {
                // Steering that changes now and then, so the views move.
                keys[SDLK_UP] = keys[SDLK_w] = frame % 40 < 30;
                keys[SDLK_LEFT] = keys[SDLK_d] = frame % 25 < 6;
                if (frame == 30) {   // a chain pile-up at the start once more
                    place_racers(live_race, loaded_track, setup_random);
                }
                race_snapshot before, plain, fast;
                before.save();
                plain_race_picture(input_from_keys(keys, default_key_bindings()));
                plain.save();
                SDL_Surface* expected = copy_of(screen);
                SDL_Surface* expected_view_2 = copy_of(second_view);

                before.restore();
                scribble(screen, (unsigned)frame);
                race_frame();
                fast.save();
                ASSERT_EQ(game_screen, SCREEN_RACE);
                const long d = first_difference(screen, expected);
                const long d2 = first_difference(second_view, expected_view_2);
                SDL_FreeSurface(expected);
                SDL_FreeSurface(expected_view_2);
                ASSERT_EQ(d, -1) << "level " << lv.index << (two ? " two players" : " one player")
                                 << " frame " << frame << ": " << where(screen, d);
                ASSERT_EQ(d2, -1) << "view 2, frame " << frame << ": " << where(second_view, d2);
                ASSERT_TRUE(fast.same_as(plain)) << "the simulation differs at frame " << frame;
                SDL_Rect clip;
                SDL_GetClipRect(screen, &clip);
                ASSERT_TRUE(clip.x == 0 && clip.y == 0 && clip.w == screen->w && clip.h == screen->h)
                    << "the window's clip rectangle is left as it was";
            }
        }
    }
    release_all_keys();
    set_video_mode(500, 500);
}

TEST(PerfRaceFrame, AClipRectangleSetBeforeTheFrameIsKept) {
    start_game_headless();
    race_settings.level_index = 0;
    two_players = live_race.two_players = true;
    load_level();
    race_start_ticks = game_ticks() - 10000;
    SDL_Rect mine = {20, 30, 700, 400};
    SDL_SetClipRect(screen, &mine);
    race_frame();
    SDL_Rect after;
    SDL_GetClipRect(screen, &after);
    EXPECT_EQ(after.x, 20);
    EXPECT_EQ(after.y, 30);
    EXPECT_EQ(after.w, 700);
    EXPECT_EQ(after.h, 400);
    SDL_SetClipRect(screen, nullptr);
    set_video_mode(500, 500);
}
