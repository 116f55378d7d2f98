// SPDX-License-Identifier: GPL-3.0-or-later
// The data folder: every file the game reads is there, in the size and
// format the drawing code assumes. Runs in the build directory, where
// filut/ is copied beside the binaries.
#include <gtest/gtest.h>

#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <SDL/SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Picture = std::unique_ptr<SDL_Surface, SurfaceFree>;

Picture load_picture(const std::string& name) {
    return Picture(IMG_Load(("filut/" + name).c_str()));
}

struct RGBA {
    int r, g, b, a;
};

RGBA rgba_at(SDL_Surface* s, int x, int y) {
    SDL_LockSurface(s);
    const Uint8* p = static_cast<const Uint8*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    Uint32 v = 0;
    switch (s->format->BytesPerPixel) {
        case 1: v = *p; break;
        case 2: v = *reinterpret_cast<const Uint16*>(p); break;
        case 3:
            v = SDL_BYTEORDER == SDL_LIL_ENDIAN ? (p[0] | p[1] << 8 | p[2] << 16) : (p[0] << 16 | p[1] << 8 | p[2]);
            break;
        default: v = *reinterpret_cast<const Uint32*>(p); break;
    }
    SDL_UnlockSurface(s);
    Uint8 r, g, b, a;
    SDL_GetRGBA(v, s->format, &r, &g, &b, &a);
    return {r, g, b, a};
}

double luminance(const RGBA& c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }

long file_size(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

std::vector<unsigned char> read_bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The catalogue as the game reads it: whitespace dropped, names closed by '#'.
std::vector<std::string> catalogue_names(std::string* trailing) {
    std::ifstream f("filut/levelit/all_levels.txt");
    std::vector<std::string> names;
    std::string cur;
    char c;
    while (f >> c) {
        if (c == '#') {
            names.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (trailing) *trailing = cur;
    return names;
}

// Where the race drawing cuts each piece out of the atlas.
struct Piece {
    int x, y, w, h;
};
const Piece kGround{0, 0, 50, 50};
const Piece kSlowing[5] = {{50, 0, 50, 50}, {100, 0, 50, 50}, {150, 0, 50, 50}, {0, 50, 50, 50}, {150, 50, 50, 50}};
const Piece kHorizontal{200, 0, 50, 100};
const Piece kVertical{50, 50, 100, 50};
const Piece kCorner1{350, 0, 100, 100};   // road below and to the right
const Piece kCorner2{450, 0, 100, 100};   // road to the left and below
const Piece kCorner3{550, 0, 100, 100};   // road above and to the left
const Piece kCorner4{250, 0, 100, 100};   // road above and to the right

// Grass is clearly greener than anything of the road (asphalt, kerbs, paint).
bool is_grass(const RGBA& c) { return c.g - std::max(c.r, c.b) > 25; }

// One edge of a piece, as the line of pixels along it.
enum Edge { TOP, BOTTOM, LEFT, RIGHT };
std::vector<RGBA> edge_of(SDL_Surface* s, int ox, int oy, int w, int h, Edge e) {
    std::vector<RGBA> out;
    if (e == TOP || e == BOTTOM) {
        int y = oy + (e == TOP ? 0 : h - 1);
        for (int x = ox; x < ox + w; x++) out.push_back(rgba_at(s, x, y));
    } else {
        int x = ox + (e == LEFT ? 0 : w - 1);
        for (int y = oy; y < oy + h; y++) out.push_back(rgba_at(s, x, y));
    }
    return out;
}
std::vector<RGBA> edge_of(SDL_Surface* s, const Piece& p, Edge e) { return edge_of(s, p.x, p.y, p.w, p.h, e); }

// Number of places along a seam where road meets grass.
int seam_breaks(const std::vector<RGBA>& a, const std::vector<RGBA>& b) {
    EXPECT_EQ(a.size(), b.size());
    int n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); i++)
        if (is_grass(a[i]) != is_grass(b[i])) n++;
    return n;
}

int grass_count(const std::vector<RGBA>& line) {
    int n = 0;
    for (const RGBA& c : line) n += is_grass(c);
    return n;
}

double mean_difference(SDL_Surface* s, const Piece& p, const Piece& q) {
    double sum = 0;
    for (int y = 0; y < p.h; y++)
        for (int x = 0; x < p.w; x++) {
            RGBA a = rgba_at(s, p.x + x, p.y + y), b = rgba_at(s, q.x + x, q.y + y);
            sum += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
        }
    return sum / (3.0 * p.w * p.h);
}

// Luminance of a piece, row by row.
std::vector<std::vector<double>> luminance_of(SDL_Surface* s, const Piece& p) {
    std::vector<std::vector<double>> out(p.h, std::vector<double>(p.w));
    for (int y = 0; y < p.h; y++)
        for (int x = 0; x < p.w; x++) out[y][x] = luminance(rgba_at(s, p.x + x, p.y + y));
    return out;
}

// Mean luminance step between two lines of pixels that lie side by side.
double step_between(const std::vector<RGBA>& a, const std::vector<RGBA>& b) {
    EXPECT_EQ(a.size(), b.size());
    double sum = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); i++) sum += std::abs(luminance(a[i]) - luminance(b[i]));
    return a.empty() ? 0 : sum / a.size();
}

// Mean luminance step between neighbouring columns (or rows) inside a piece:
// what a seam between two pieces may be compared with.
double inner_step(SDL_Surface* s, const Piece& p, bool columns) {
    double sum = 0;
    int n = columns ? p.w - 1 : p.h - 1;
    for (int i = 0; i < n; i++) {
        if (columns)
            sum += step_between(edge_of(s, p.x + i, p.y, 1, p.h, LEFT), edge_of(s, p.x + i + 1, p.y, 1, p.h, LEFT));
        else
            sum += step_between(edge_of(s, p.x, p.y + i, p.w, 1, TOP), edge_of(s, p.x, p.y + i + 1, p.w, 1, TOP));
    }
    return sum / n;
}

// A seam shows when stepping across it changes the picture more than
// stepping from one column to the next inside the grass does.
bool seam_shows(double seam, double inner) { return seam > 1.25 * inner + 1.0; }

struct Colour {
    double r, g, b;
};

Colour mean_colour(SDL_Surface* s, int x0, int y0, int w, int h) {
    Colour c{0, 0, 0};
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++) {
            RGBA p = rgba_at(s, x, y);
            c.r += p.r;
            c.g += p.g;
            c.b += p.b;
        }
    double n = static_cast<double>(w) * h;
    return {c.r / n, c.g / n, c.b / n};
}

double distance(const Colour& a, const Colour& b) { return std::sqrt(std::pow(a.r - b.r, 2) + std::pow(a.g - b.g, 2) + std::pow(a.b - b.b, 2)); }

// The middle 20x20 of a 50x50 piece.
Colour centre_colour(SDL_Surface* s, const Piece& p) { return mean_colour(s, p.x + 15, p.y + 15, 20, 20); }

const char* const kPictures[] = {"pallura1.png", "pallura2.png", "pallura3.png", "pallura4.png", "palkki.png",
                                 "donut.png",    "donut2.png",   "maali.png",    "set.png",      "pp.png"};

// A ball picture as the race draws it: 13 pixels left of and above the
// ball's centre, turned to the ball's heading.
void expect_ball_shape(SDL_Surface* s) {
    EXPECT_EQ(s->w, s->h);
    EXPECT_NEAR(s->w, 26, 2);
    ASSERT_NE(s->format->Amask, 0u) << "needs an alpha channel";
    for (auto [x, y] : {std::pair{0, 0}, {s->w - 1, 0}, {0, s->h - 1}, {s->w - 1, s->h - 1}})
        EXPECT_EQ(rgba_at(s, x, y).a, 0) << "corner " << x << "," << y;
    EXPECT_EQ(rgba_at(s, s->w / 2, s->h / 2).a, 255);

    // The ball sits in the middle, so it turns in place when rotated.
    double sa = 0, sx = 0, sy = 0;
    for (int y = 0; y < s->h; y++)
        for (int x = 0; x < s->w; x++) {
            int a = rgba_at(s, x, y).a;
            sa += a;
            sx += a * x;
            sy += a * y;
        }
    ASSERT_GT(sa, 0);
    EXPECT_NEAR(sx / sa, (s->w - 1) / 2.0, 0.75);
    EXPECT_NEAR(sy / sa, (s->h - 1) / 2.0, 0.75);

    // Facing up: the picture differs far more between top and bottom
    // than between left and right, and the light falls from the top.
    double vertical = 0, horizontal = 0, top = 0, bottom = 0;
    int ntop = 0, nbottom = 0;
    for (int y = 0; y < s->h; y++)
        for (int x = 0; x < s->w; x++) {
            RGBA c = rgba_at(s, x, y);
            if (c.a < 255) continue;
            RGBA m = rgba_at(s, x, s->h - 1 - y), n = rgba_at(s, s->w - 1 - x, y);
            if (m.a == 255) vertical += std::abs(luminance(c) - luminance(m));
            if (n.a == 255) horizontal += std::abs(luminance(c) - luminance(n));
            if (y < s->h / 2) {
                top += luminance(c);
                ntop++;
            } else {
                bottom += luminance(c);
                nbottom++;
            }
        }
    EXPECT_GT(vertical, 1.3 * horizontal) << "no clear up-down direction";
    EXPECT_GT(top / ntop, bottom / nbottom);
}

// Mean colour difference of the pixels both pictures cover fully.
double covered_difference(SDL_Surface* a, SDL_Surface* b) {
    double diff = 0;
    int n = 0;
    for (int y = 0; y < std::min(a->h, b->h); y++)
        for (int x = 0; x < std::min(a->w, b->w); x++) {
            RGBA p = rgba_at(a, x, y), q = rgba_at(b, x, y);
            if (p.a < 255 || q.a < 255) continue;
            diff += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
            n++;
        }
    EXPECT_GT(n, 0);
    return n ? diff / (3.0 * n) : 0;
}

// The sound effects: the longest each may run; the surface sound loops.
struct Effect {
    const char* name;
    double max_seconds;
    bool loop;
};
const Effect kEffects[] = {
    {"countdown.wav", 0.3, false}, {"go.wav", 0.3, false},        {"bump.wav", 0.3, false},
    {"checkpoint.wav", 0.3, false}, {"menu_move.wav", 0.3, false}, {"menu_choose.wav", 0.3, false},
    {"lap.wav", 1.0, false},        {"final_lap.wav", 1.0, false}, {"finish.wav", 1.5, false},
    {"record.wav", 1.5, false},     {"surface_loop.wav", 1.1, true},
};

// 16-bit mono samples of a WAV file as SDL (and so SDL_mixer) reads it;
// empty when it is not 22050 Hz, signed 16-bit little-endian, mono.
std::vector<int> wav_samples(const std::string& path) {
    SDL_AudioSpec spec;
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV(path.c_str(), &spec, &buffer, &length)) {
        ADD_FAILURE() << path << ": " << SDL_GetError();
        return {};
    }
    std::vector<int> out;
    if (spec.freq == 22050 && spec.format == AUDIO_S16LSB && spec.channels == 1)
        for (Uint32 i = 0; i + 1 < length; i += 2) out.push_back(static_cast<int16_t>(buffer[i] | buffer[i + 1] << 8));
    else
        ADD_FAILURE() << path << ": " << spec.freq << " Hz, format " << spec.format << ", " << int(spec.channels) << " channels";
    SDL_FreeWAV(buffer);
    return out;
}

// RMS of the loudest 100 ms, in dBFS.
double loudest_rms_db(const std::vector<int>& x) {
    size_t w = std::min<size_t>(x.size(), 2205);
    double run = 0, best = 0;
    for (size_t i = 0; i < x.size(); i++) {
        run += double(x[i]) * x[i];
        if (i >= w) run -= double(x[i - w]) * x[i - w];
        best = std::max(best, run);
    }
    return 20 * std::log10(std::sqrt(best / w) / 32768.0);
}

}  // namespace

TEST(DataFiles, EveryFileTheGameLoadsIsThere) {
    for (const char* name : kPictures) {
        SCOPED_TRACE(name);
        Picture p = load_picture(name);
        ASSERT_TRUE(p) << IMG_GetError();
        EXPECT_GT(p->w, 0);
        EXPECT_GT(p->h, 0);
    }
    EXPECT_GT(file_size("filut/VeraMoBd.ttf"), 10000);
    EXPECT_GT(file_size("filut/musa.ogg"), 0);
    EXPECT_GT(file_size("filut/levelit/all_levels.txt"), 0);
}

TEST(DataFiles, FontOpensAtBothSizesAndCarriesItsLicence) {
    if (!TTF_WasInit()) {
        ASSERT_EQ(TTF_Init(), 0);
    }
    for (int size : {12, 36}) {
        TTF_Font* f = TTF_OpenFont("filut/VeraMoBd.ttf", size);
        ASSERT_NE(f, nullptr) << "size " << size;
        // A monospaced face: narrow and wide letters advance alike.
        int minx, maxx, miny, maxy, advance_i = 0, advance_w = 0;
        ASSERT_EQ(TTF_GlyphMetrics(f, 'i', &minx, &maxx, &miny, &maxy, &advance_i), 0);
        ASSERT_EQ(TTF_GlyphMetrics(f, 'W', &minx, &maxx, &miny, &maxy, &advance_w), 0);
        EXPECT_GT(advance_i, 0);
        EXPECT_EQ(advance_i, advance_w);
        TTF_CloseFont(f);
    }
    std::vector<unsigned char> licence = read_bytes("filut/VeraMoBd-LICENSE.txt");
    std::string text(licence.begin(), licence.end());
    EXPECT_NE(text.find("Bitstream"), std::string::npos);
}


TEST(DataFiles, BallPicturesAreRoundTransparentAndFaceUp) {
    std::vector<Picture> balls;
    for (int i = 1; i <= 4; i++) {
        std::string name = "pallura" + std::to_string(i) + ".png";
        SCOPED_TRACE(name);
        Picture p = load_picture(name);
        ASSERT_TRUE(p);
        expect_ball_shape(p.get());
        balls.push_back(std::move(p));
    }
    // Four different looks.
    for (size_t i = 0; i < balls.size(); i++)
        for (size_t j = i + 1; j < balls.size(); j++)
            EXPECT_GT(covered_difference(balls[i].get(), balls[j].get()), 30)
                << "balls " << i + 1 << " and " << j + 1 << " look alike";
}

TEST(DataFiles, RacerBallSetsMatchTheClassicBalls) {
    Picture classic = load_picture("pallura1.png");
    ASSERT_TRUE(classic);
    std::vector<std::vector<Picture>> racers(3);
    for (int r = 1; r <= 3; r++)
        for (int s = 1; s <= 4; s++) {
            std::string name = "racer" + std::to_string(r) + "_ball" + std::to_string(s) + ".png";
            SCOPED_TRACE(name);
            Picture p = load_picture(name);
            ASSERT_TRUE(p) << IMG_GetError();
            EXPECT_EQ(p->w, classic->w);
            EXPECT_EQ(p->h, classic->h);
            expect_ball_shape(p.get());
            racers[r - 1].push_back(std::move(p));
        }
    // Each look of a set differs from the others (faces), and the same
    // look differs from racer to racer (colour).
    for (int r = 0; r < 3; r++)
        for (int s = 0; s < 4; s++)
            for (int t = s + 1; t < 4; t++)
                EXPECT_GT(covered_difference(racers[r][s].get(), racers[r][t].get()), 15)
                    << "racer " << r + 1 << ", looks " << s + 1 << " and " << t + 1;
    for (int s = 0; s < 4; s++)
        for (int r = 0; r < 3; r++)
            for (int q = r + 1; q < 3; q++)
                EXPECT_GT(covered_difference(racers[r][s].get(), racers[q][s].get()), 40)
                    << "look " << s + 1 << ", racers " << r + 1 << " and " << q + 1;
}

TEST(DataFiles, HeadMarkersAreSmallRoundBadges) {
    Picture ball = load_picture("pallura1.png");
    ASSERT_TRUE(ball);
    for (const char* name : {"marker1.png", "marker2.png"}) {
        SCOPED_TRACE(name);
        Picture p = load_picture(name);
        ASSERT_TRUE(p) << IMG_GetError();
        SDL_Surface* s = p.get();
        EXPECT_EQ(s->w, s->h);
        EXPECT_LT(s->w, ball->w) << "smaller than a ball";
        ASSERT_NE(s->format->Amask, 0u);
        EXPECT_EQ(rgba_at(s, 0, 0).a, 0);
        EXPECT_EQ(rgba_at(s, s->w - 1, s->h - 1).a, 0);
        EXPECT_EQ(rgba_at(s, s->w / 2, s->h / 2).a, 255);
    }
}

TEST(DataFiles, SoundEffectsAreShortCleanMonoWavs) {
    double quietest = 100, loudest = -100;
    for (const Effect& e : kEffects) {
        std::string path = std::string("filut/sounds/") + e.name;
        SCOPED_TRACE(path);
        EXPECT_LT(file_size(path), 70000);
        std::vector<int> x = wav_samples(path);
        ASSERT_GT(x.size(), 22050u / 50) << "shorter than 20 ms";
        double seconds = x.size() / 22050.0;
        EXPECT_LE(seconds, e.max_seconds);
        // Peak between -6 and -3 dBFS: loud enough, never clipped.
        int peak = 0;
        double sum = 0;
        for (int v : x) {
            peak = std::max(peak, std::abs(v));
            sum += v;
        }
        EXPECT_GE(peak, 16000);
        EXPECT_LE(peak, 23300);
        EXPECT_LT(std::abs(sum / x.size()), 16) << "offset";
        if (e.loop) {
            // Plays round without a click: the step from the last sample to
            // the first is an ordinary one for the sound around it.
            EXPECT_GE(seconds, 0.9);
            std::vector<int> steps;
            for (size_t i = x.size() - 1100; i + 1 < x.size(); i++) steps.push_back(std::abs(x[i + 1] - x[i]));
            for (size_t i = 0; i < 1100; i++) steps.push_back(std::abs(x[i + 1] - x[i]));
            std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
            EXPECT_LE(std::abs(x.front() - x.back()), 3 * std::max(1, steps[steps.size() / 2]));
        } else {
            // Starts and ends in silence: no click when it starts or stops.
            EXPECT_LE(std::abs(x.front()), 100);
            EXPECT_LE(std::abs(x.back()), 100);
        }
        double level = loudest_rms_db(x);
        quietest = std::min(quietest, level);
        loudest = std::max(loudest, level);
    }
    EXPECT_LE(loudest - quietest, 4.0) << "loudness between effects ranges from " << quietest << " to " << loudest << " dBFS";
}

TEST(DataFiles, AtlasHoldsEveryPieceOpaque) {
    Picture atlas = load_picture("set.png");
    ASSERT_TRUE(atlas);
    SDL_Surface* s = atlas.get();
    ASSERT_GE(s->w, 650);
    ASSERT_GE(s->h, 100);
    // The pieces are cut onto black: anything see-through would show black.
    int see_through = 0;
    for (int y = 0; y < 100; y++)
        for (int x = 0; x < 650; x++) see_through += rgba_at(s, x, y).a != 255;
    EXPECT_EQ(see_through, 0);

    // Ground is grass; the slowing variants are five different obstacles,
    // none of them plain ground.
    EXPECT_GE(grass_count(edge_of(s, kGround, TOP)), 45);
    EXPECT_GE(grass_count(edge_of(s, kGround, LEFT)), 45);
    for (int i = 0; i < 5; i++) {
        EXPECT_GT(mean_difference(s, kSlowing[i], kGround), 20) << "variant " << i + 1 << " looks like ground";
        for (int j = i + 1; j < 5; j++)
            EXPECT_GT(mean_difference(s, kSlowing[i], kSlowing[j]), 8)
                << "variants " << i + 1 << " and " << j + 1 << " look alike";
    }
}

TEST(DataFiles, GrassHasFineTextureButNoBlotchOrSeam) {
    Picture atlas = load_picture("set.png");
    ASSERT_TRUE(atlas);
    SDL_Surface* s = atlas.get();
    // Blurred over about 12 pixels each way (wrapping round, as the piece
    // repeats across the field), the grass is one even brightness: any
    // broader blotch would repeat every 50 pixels as a quilt.
    std::vector<std::vector<double>> lum = luminance_of(s, kGround);
    const int n = kGround.w, r = 12;
    double lo = 1e9, hi = -1e9;
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            double sum = 0;
            for (int dy = -r; dy <= r; dy++)
                for (int dx = -r; dx <= r; dx++) sum += lum[(y + dy + n) % n][(x + dx + n) % n];
            double v = sum / ((2 * r + 1) * (2 * r + 1));
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    EXPECT_LE(hi - lo, 6.0) << "blurred grass ranges over " << hi - lo << " levels";

    // Fine texture is kept, and the piece joins itself without a seam.
    double across = inner_step(s, kGround, true), down = inner_step(s, kGround, false);
    EXPECT_GT(across, 2.0) << "flat grass";
    EXPECT_GT(down, 2.0) << "flat grass";
    double lr = step_between(edge_of(s, kGround, RIGHT), edge_of(s, kGround, LEFT));
    double tb = step_between(edge_of(s, kGround, BOTTOM), edge_of(s, kGround, TOP));
    EXPECT_FALSE(seam_shows(lr, across)) << "left-right seam " << lr << " against " << across << " inside";
    EXPECT_FALSE(seam_shows(tb, down)) << "top-bottom seam " << tb << " against " << down << " inside";
}

TEST(DataFiles, SlowingPiecesArePatchesInTheGrass) {
    Picture atlas = load_picture("set.png");
    ASSERT_TRUE(atlas);
    SDL_Surface* s = atlas.get();
    const double across = inner_step(s, kGround, true), down = inner_step(s, kGround, false);
    const Colour grass = centre_colour(s, kGround);
    const char* names[5] = {"mud", "sand", "gravel", "oil", "puddle"};
    Colour centre[5];
    for (int i = 0; i < 5; i++) {
        SCOPED_TRACE(names[i]);
        const Piece& p = kSlowing[i];
        // The outer two pixels are the ground's own grass, so the patch
        // sits in the field instead of on a square of its own.
        double sum = 0, worst = 0;
        int count = 0;
        for (int y = 0; y < p.h; y++)
            for (int x = 0; x < p.w; x++) {
                if (std::min({x, y, p.w - 1 - x, p.h - 1 - y}) >= 2) continue;
                RGBA a = rgba_at(s, p.x + x, p.y + y), g = rgba_at(s, kGround.x + x, kGround.y + y);
                double d = (std::abs(a.r - g.r) + std::abs(a.g - g.g) + std::abs(a.b - g.b)) / 3.0;
                sum += d;
                worst = std::max(worst, d);
                count++;
            }
        EXPECT_LE(sum / count, 2.0) << "border differs from the ground's";
        EXPECT_LE(worst, 16.0) << "border differs from the ground's";
        // Ground cells on any side meet it without a seam.
        double seams[4] = {step_between(edge_of(s, kGround, RIGHT), edge_of(s, p, LEFT)),
                           step_between(edge_of(s, p, RIGHT), edge_of(s, kGround, LEFT)),
                           step_between(edge_of(s, kGround, BOTTOM), edge_of(s, p, TOP)),
                           step_between(edge_of(s, p, BOTTOM), edge_of(s, kGround, TOP))};
        for (int k = 0; k < 4; k++)
            EXPECT_FALSE(seam_shows(seams[k], k < 2 ? across : down)) << "seam " << k << ": " << seams[k];
        // Its middle is clearly something else than grass.
        centre[i] = centre_colour(s, p);
        EXPECT_GT(distance(centre[i], grass), 50) << "middle looks like grass";
    }
    // And the five kinds are told apart at a glance.
    for (int i = 0; i < 5; i++)
        for (int j = i + 1; j < 5; j++)
            EXPECT_GT(distance(centre[i], centre[j]), 40) << names[i] << " and " << names[j] << " look alike";
}

TEST(DataFiles, RoadPiecesJoinWhereTheirCodesSay) {
    Picture atlas = load_picture("set.png");
    ASSERT_TRUE(atlas);
    SDL_Surface* s = atlas.get();
    // Straights are road from edge to edge across their whole width.
    EXPECT_EQ(grass_count(edge_of(s, kHorizontal, LEFT)), 0);
    EXPECT_EQ(grass_count(edge_of(s, kVertical, TOP)), 0);
    // Straights continue into themselves.
    EXPECT_EQ(seam_breaks(edge_of(s, kHorizontal, RIGHT), edge_of(s, kHorizontal, LEFT)), 0);
    EXPECT_EQ(seam_breaks(edge_of(s, kVertical, BOTTOM), edge_of(s, kVertical, TOP)), 0);

    // Each corner meets a straight on its two road sides and ground on the
    // other two. A little slack for the anti-aliased touching point of the
    // outer curve.
    const int slack = 3;
    struct Join {
        const char* name;
        Piece corner;
        bool above, below, left, right;
    };
    for (const Join& j : {Join{"'1'", kCorner1, false, true, false, true}, Join{"'2'", kCorner2, false, true, true, false},
                          Join{"'3'", kCorner3, true, false, true, false}, Join{"'4'", kCorner4, true, false, false, true}}) {
        SCOPED_TRACE(j.name);
        auto check = [&](Edge corner_edge, bool road, const Piece& straight, Edge straight_edge) {
            std::vector<RGBA> line = edge_of(s, j.corner, corner_edge);
            if (road) {
                EXPECT_LE(seam_breaks(line, edge_of(s, straight, straight_edge)), slack) << "edge " << corner_edge;
            } else {
                // ground beyond this edge: grass all along it, but for the
                // end where the outer curve touches the edge
                EXPECT_GE(grass_count(line), static_cast<int>(line.size()) - 15) << "edge " << corner_edge;
            }
        };
        check(TOP, j.above, kVertical, BOTTOM);
        check(BOTTOM, j.below, kVertical, TOP);
        check(LEFT, j.left, kHorizontal, RIGHT);
        check(RIGHT, j.right, kHorizontal, LEFT);
    }
}

TEST(DataFiles, FinishTileIsAChequeredLineAcrossAVerticalRoad) {
    Picture finish = load_picture("maali.png");
    Picture atlas = load_picture("set.png");
    ASSERT_TRUE(finish);
    ASSERT_TRUE(atlas);
    SDL_Surface* f = finish.get();
    // It covers the finish cell and the blank cell to its right: the lap
    // strip is 100 pixels wide and 20 high at its top.
    EXPECT_EQ(f->w, 100);
    EXPECT_GE(f->h, 20);
    EXPECT_LE(f->h, 50);
    // It continues the vertical road below it.
    EXPECT_EQ(seam_breaks(edge_of(f, 0, 0, f->w, f->h, BOTTOM), edge_of(atlas.get(), kVertical, TOP)), 0);
    // Chequers: on each line through the strip, dark and light squares
    // alternate several times, and the two lines are offset.
    for (int y : {5, 15}) {
        int changes = 0;
        bool dark = luminance(rgba_at(f, 10, y)) < 80;
        for (int x = 10; x < 90; x++) {
            double l = luminance(rgba_at(f, x, y));
            if (dark && l > 200) dark = false, changes++;
            else if (!dark && l < 80) dark = true, changes++;
        }
        EXPECT_GE(changes, 5) << "row " << y;
    }
    int opposite = 0;
    for (int x = 12; x < 88; x += 4)
        opposite += (luminance(rgba_at(f, x, 5)) < 128) != (luminance(rgba_at(f, x, 15)) < 128);
    EXPECT_GE(opposite, 15);
}

TEST(DataFiles, CheckpointRingsAreCentredOnTheReachAndDifferWhenLit) {
    Picture idle = load_picture("donut.png"), lit = load_picture("donut2.png");
    ASSERT_TRUE(idle);
    ASSERT_TRUE(lit);
    for (SDL_Surface* s : {idle.get(), lit.get()}) {
        ASSERT_NE(s->format->Amask, 0u);
        // Drawn at the cell's top-left + 5; the reach is centred at + 50.
        double sa = 0, sx = 0, sy = 0, far = 0;
        for (int y = 0; y < s->h; y++)
            for (int x = 0; x < s->w; x++) {
                int a = rgba_at(s, x, y).a;
                sa += a;
                sx += a * (x + 0.5);
                sy += a * (y + 0.5);
                if (a > 64) far = std::max(far, std::hypot(x + 0.5 - 45, y + 0.5 - 45));
            }
        ASSERT_GT(sa, 0);
        EXPECT_NEAR(sx / sa, 45, 1.5);
        EXPECT_NEAR(sy / sa, 45, 1.5);
        // A ring about the size of the reach (54), open in the middle.
        EXPECT_GT(far, 35);
        EXPECT_LE(far, 54);
        EXPECT_EQ(rgba_at(s, 45, 45).a, 0);
        EXPECT_EQ(rgba_at(s, 45, 30).a, 0);
    }
    ASSERT_EQ(idle->w, lit->w);
    ASSERT_EQ(idle->h, lit->h);
    double diff = 0;
    int n = 0;
    for (int y = 0; y < idle->h; y++)
        for (int x = 0; x < idle->w; x++) {
            RGBA a = rgba_at(idle.get(), x, y), b = rgba_at(lit.get(), x, y);
            if (a.a < 128 && b.a < 128) continue;
            diff += std::abs(a.r * a.a - b.r * b.a) + std::abs(a.g * a.a - b.g * b.a) + std::abs(a.b * a.a - b.b * b.a);
            n++;
        }
    ASSERT_GT(n, 0);
    EXPECT_GT(diff / (3.0 * 255 * n), 40) << "the lit ring must stand out";
}

TEST(DataFiles, LapBarHoldsTheLapTextOnALightGround) {
    Picture bar = load_picture("palkki.png");
    ASSERT_TRUE(bar);
    if (!TTF_WasInit()) {
        ASSERT_EQ(TTF_Init(), 0);
    }
    TTF_Font* font = TTF_OpenFont("filut/VeraMoBd.ttf", 12);
    ASSERT_NE(font, nullptr);
    int lap_w = 0, slash_w = 0, h = 0;
    TTF_SizeText(font, "Lap: 10", &lap_w, &h);
    TTF_SizeText(font, "/10", &slash_w, &h);
    TTF_CloseFont(font);
    // Bar at (10, 10), "Lap: %d" at (15, 13), "/%d" at (85, 13), in black.
    SDL_Surface* s = bar.get();
    EXPECT_GE(10 + s->w, 85 + slash_w);
    EXPECT_GE(10 + s->h, 13 + h - 2);
    EXPECT_LE(s->w, 200);
    for (int y = 13 + 3; y < 13 + h - 3 && y - 10 < s->h; y++)
        for (int x : {16, 15 + lap_w / 2, 15 + lap_w - 1, 86, 85 + slash_w - 1}) {
            if (x - 10 >= s->w) continue;
            RGBA c = rgba_at(s, x - 10, y - 10);
            EXPECT_GE(c.a, 200) << x << "," << y;
            EXPECT_GE(luminance(c), 170) << "black text needs a light ground at " << x << "," << y;
        }
}

TEST(DataFiles, LogoFitsAboveTheMenuButtonsAndIsCentred) {
    Picture logo = load_picture("pp.png");
    ASSERT_TRUE(logo);
    SDL_Surface* s = logo.get();
    // Drawn at (68, 50); the first button starts at y = 150; window 500 wide.
    EXPECT_LE(68 + s->w, 500);
    EXPECT_LE(50 + s->h, 150);
    EXPECT_NEAR(68 + s->w / 2.0, 250, 10);

    // The settings screen writes its help line in black at (100, 100) over
    // the same logo: nothing of the logo may lie under that text.
    if (!TTF_WasInit()) {
        ASSERT_EQ(TTF_Init(), 0);
    }
    TTF_Font* font = TTF_OpenFont("filut/VeraMoBd.ttf", 12);
    ASSERT_NE(font, nullptr);
    int help_w = 0, help_h = 0;
    TTF_SizeText(font, "Use arrow keys to change values. Length: 0 = disable.", &help_w, &help_h);
    TTF_CloseFont(font);
    int covered = 0;
    for (int y = 100; y < 100 + help_h; y++)
        for (int x = 100; x < 100 + help_w; x++)
            if (x - 68 < s->w && y - 50 < s->h) covered += rgba_at(s, x - 68, y - 50).a >= 32;
    EXPECT_EQ(covered, 0) << "the logo runs into the settings help line";
    ASSERT_NE(s->format->Amask, 0u) << "the menu background must show around the letters";
    EXPECT_EQ(rgba_at(s, 0, 0).a, 0);
    int solid = 0;
    for (int y = 0; y < s->h; y++)
        for (int x = 0; x < s->w; x++) solid += rgba_at(s, x, y).a > 200;
    EXPECT_GT(solid, s->w * s->h / 10);
}

TEST(DataFiles, MusicIsStereoVorbisAt44100WithinSizeAndLength) {
    long size = file_size("filut/musa.ogg");
    ASSERT_GT(size, 0);
    EXPECT_LT(size, 1500000);
    std::vector<unsigned char> d = read_bytes("filut/musa.ogg");
    ASSERT_GT(d.size(), 64u);
    ASSERT_EQ(std::string(d.begin(), d.begin() + 4), "OggS");
    // First page: 27-byte header, segment table, then the identification
    // packet: type 1, "vorbis", version, channels, sample rate.
    size_t segments = d[26];
    size_t p = 27 + segments;
    ASSERT_LT(p + 16, d.size());
    EXPECT_EQ(d[p], 1);
    EXPECT_EQ(std::string(d.begin() + p + 1, d.begin() + p + 7), "vorbis");
    uint32_t version = d[p + 7] | d[p + 8] << 8 | d[p + 9] << 16 | uint32_t(d[p + 10]) << 24;
    EXPECT_EQ(version, 0u);
    int channels = d[p + 11];
    uint32_t rate = d[p + 12] | d[p + 13] << 8 | d[p + 14] << 16 | uint32_t(d[p + 15]) << 24;
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rate, 44100u);
    // Length from the granule position of the last page.
    size_t last = std::string::npos;
    for (size_t i = d.size() - 27; i > 0; i--)
        if (d[i] == 'O' && d[i + 1] == 'g' && d[i + 2] == 'g' && d[i + 3] == 'S') {
            last = i;
            break;
        }
    ASSERT_NE(last, std::string::npos);
    uint64_t granule = 0;
    for (int k = 7; k >= 0; k--) granule = granule << 8 | d[last + 6 + k];
    ASSERT_GT(rate, 0u);
    double seconds = static_cast<double>(granule) / rate;
    EXPECT_GE(seconds, 30.0);
    EXPECT_LE(seconds, 90.0);
}

TEST(DataFiles, CatalogueListsOnlyLevelsThatExist) {
    std::string trailing;
    std::vector<std::string> names = catalogue_names(&trailing);
    EXPECT_GE(names.size(), 8u);
    EXPECT_TRUE(trailing.empty()) << "text after the last '#': " << trailing;
    std::set<std::string> seen;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(name.empty());
        // "filut/levelit/" + name + ".txt" must fit the loader's 50-byte buffer.
        EXPECT_LE(name.size(), 31u);
        EXPECT_TRUE(seen.insert(name).second) << "listed twice";
        std::string path = "filut/levelit/" + name + ".txt";
        EXPECT_LT(path.size(), 50u);
        EXPECT_GT(file_size(path), 4) << path;
    }
}
