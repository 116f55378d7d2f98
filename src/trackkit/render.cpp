// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing a track whole: the game's grid drawing band by band, the route on
// top as the view draws balls and markers, shrunk by area averaging, and
// written as a PNG file.
#include <SDL/SDL.h>
#include <SDL/SDL_gfxPrimitives.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/files.h"
#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/media.h"
#include "race/race.h"
#include "track/track.h"
#include "trackkit/trackkit_local.h"
#include "view/tiles.h"
#include "view/view.h"

// Larger pictures are refused: --scale shrinks them.
constexpr int MAX_PICTURE_SIDE = 8000;
// The track is drawn in pieces of at most this many columns by rows of
// pixels: SDL 1.2 holds a surface's row length in 16 bits.
constexpr int PIECE_COLUMNS = 8000;
constexpr int BAND_ROWS = 500;

namespace {
// Where libpng's writes go, and the system's reason when one fails.
struct png_sink {
    FILE* f;
    volatile int error = 0;   // errno of the first failed write or flush; read after a longjmp
};

void sink_write(png_structp png, png_bytep data, png_size_t n) {
    png_sink* sink = static_cast<png_sink*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, n, sink->f) != n) {
        sink->error = errno ? errno : EIO;
        png_error(png, "write failed");
    }
}

void sink_flush(png_structp png) {
    png_sink* sink = static_cast<png_sink*>(png_get_io_ptr(png));
    if (std::fflush(sink->f) != 0) {
        sink->error = errno ? errno : EIO;
        png_error(png, "write failed");
    }
}

// libpng's own message would print; ours names the cause instead.
[[noreturn]] void quiet_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quiet_warning(png_structp, png_const_charp) {}

// Encodes `s` into the open file; false with the reason in `why`.
bool encode_png(SDL_Surface* s, FILE* f, std::string& why) {
    png_sink sink{f};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, quiet_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row((size_t)s->w * 3);
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        if (s->locked) SDL_UnlockSurface(s);
        why = sink.error ? std::strerror(sink.error) : "PNG encoding failed";
        return false;
    }
    png_set_write_fn(png, &sink, sink_write, sink_flush);
    png_set_IHDR(png, info, s->w, s->h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    SDL_LockSurface(s);
    const int bpp = s->format->BytesPerPixel;
    for (int y = 0; y < s->h; y++) {
        const Uint8* p = static_cast<const Uint8*>(s->pixels) + y * s->pitch;
        for (int x = 0; x < s->w; x++) {
            Uint32 v = 0;
            std::memcpy(&v, p + x * bpp, bpp < 4 ? bpp : 4);
            SDL_GetRGB(v, s->format, &row[x * 3], &row[x * 3 + 1], &row[x * 3 + 2]);
        }
        png_write_row(png, row.data());
    }
    SDL_UnlockSurface(s);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}
}   // namespace

bool output_usable(const std::string& input, const std::string& path, std::string& why) {
    const std::string name = printable(path, 200);
    struct stat out, in;
    if (path.empty()) {
        why = "no output file name";
        return false;
    }
    std::string target;
    if (stat(path.c_str(), &out) == 0 && !S_ISREG(out.st_mode)) {
        why = "cannot write " + name + ": " +
              (S_ISDIR(out.st_mode) ? "a directory" : S_ISFIFO(out.st_mode) ? "a FIFO" : "a device or socket") +
              ", not a regular file";
        return false;
    }
    // The picture goes to the end of a chain of links, never over a link
    // itself, and never into /dev (/dev/stdout to a file is still /dev).
    if (!writable_target(path, target, why)) {
        why = "cannot write " + name + ": " + why;
        return false;
    }
    // A missing folder is the player's to make.
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    if (stat(folder.c_str(), &out) != 0 || (stat(target.c_str(), &out) != 0 && errno != ENOENT)) {
        why = "cannot write " + name + ": " + std::strerror(errno);
        return false;
    }
    if (stat(target.c_str(), &out) == 0 && stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev &&
        in.st_ino == out.st_ino) {
        why = "cannot write " + name + ": it is the track file being drawn";
        return false;
    }
    return true;
}

bool write_png(SDL_Surface* s, const std::string& path, std::string& why) {
    // Written beside its place under another name, then renamed: a failed
    // write leaves whatever stood there before, and never half a picture.
    const auto encode = [s](FILE* f, std::string& cause) { return encode_png(s, f, cause); };
    if (write_file_atomically(path, encode, why, 0666)) return true;
    why = "cannot write " + printable(path, 200) + ": " + why;
    return false;
}

// Where source pixel i (of n) lands among m output pixels: output `first`
// with weight `w1`, and the next with `w2` when it straddles two.
namespace {
struct span {
    int first;
    double w1, w2;
};

std::vector<span> spans(int n, int m) {
    std::vector<span> out((size_t)n);
    const double s = (double)m / n;
    for (int i = 0; i < n; i++) {
        const double a = i * s, b = (i + 1) * s;
        int o = (int)std::floor(a);
        if (o >= m) o = m - 1;
        const double cut = o + 1;
        if (b > cut && o + 1 < m)
            out[(size_t)i] = {o, cut - a, b - cut};
        else
            out[(size_t)i] = {o, b - a, 0};
    }
    return out;
}

// Area averaging, fed one source row at a time from the top; at scale 1
// every output pixel is its source pixel.
struct shrinker {
    SDL_Surface* out;
    std::vector<span> cols, rows;
    std::vector<double> sum[2];    // output rows `base` and `base + 1`: r, g, b, weight
    int base = 0;

    shrinker(SDL_Surface* o, int src_w, int src_h) : out(o), cols(spans(src_w, o->w)), rows(spans(src_h, o->h)) {
        sum[0].assign((size_t)o->w * 4, 0);
        sum[1].assign((size_t)o->w * 4, 0);
    }
    void flush() {
        if (base < out->h) {
            Uint32* to = reinterpret_cast<Uint32*>(static_cast<Uint8*>(out->pixels) + base * out->pitch);
            for (int x = 0; x < out->w; x++) {
                const double* a = &sum[0][(size_t)x * 4];
                const double w = a[3] > 0 ? a[3] : 1;
                to[x] = SDL_MapRGB(out->format, (Uint8)(a[0] / w + 0.5), (Uint8)(a[1] / w + 0.5),
                                   (Uint8)(a[2] / w + 0.5));
            }
        }
        sum[0].swap(sum[1]);
        std::fill(sum[1].begin(), sum[1].end(), 0);
        base++;
    }
    // Row `band_row` of `piece`, which holds source columns from `left` on.
    void add(SDL_Surface* piece, int band_row, int src_row, int left) {
        const span& r = rows[(size_t)src_row];
        while (r.first > base) flush();
        const Uint8* p = static_cast<const Uint8*>(piece->pixels) + band_row * piece->pitch;
        for (int i = 0; i < piece->w && left + i < (int)cols.size(); i++) {
            const size_t x = (size_t)(left + i);
            Uint32 v;
            std::memcpy(&v, p + i * 4, 4);
            Uint8 c[3];
            SDL_GetRGB(v, piece->format, &c[0], &c[1], &c[2]);
            const span& k = cols[x];
            for (int dy = 0; dy < 2; dy++) {
                const double wy = dy ? r.w2 : r.w1;
                if (wy <= 0) continue;
                for (int dx = 0; dx < 2; dx++) {
                    const double w = wy * (dx ? k.w2 : k.w1);
                    if (w <= 0) continue;
                    double* a = &sum[dy][(size_t)(k.first + dx) * 4];
                    a[0] += w * c[0];
                    a[1] += w * c[1];
                    a[2] += w * c[2];
                    a[3] += w;
                }
            }
        }
    }
    void finish() {
        while (base < out->h) flush();
    }
};
}   // namespace

// The computer drivers' line with a dot at each waypoint, the mud cuts as
// white lines three pixels wide, the finish strip outlined, the checkpoint markers with their numbers, and the 10-ball chains
// where the race places them; drawn into `band` as the views draw with the
// camera at (-left, -top).
static void draw_route(Race& race, SDL_Surface* band, int left, int top) {
    const int n = loaded_track.waypoint_count < MAX_WAYPOINTS ? loaded_track.waypoint_count : MAX_WAYPOINTS;
    for (int i = 0; i < n; i++) {
        const waypoint& a = loaded_track.waypoints[i];
        const waypoint& b = loaded_track.waypoints[(i + 1) % n];
        lineRGBA(band, (Sint16)(a.x - left), (Sint16)(a.y - top), (Sint16)(b.x - left), (Sint16)(b.y - top), 255,
                 230, 40, 255);
    }
    for (int i = 0; i < n; i++)
        filledCircleRGBA(band, (Sint16)(loaded_track.waypoints[i].x - left), (Sint16)(loaded_track.waypoints[i].y - top), 3,
                         255, 230, 40, 255);
    for (const mud_cut& m : find_mud_cuts()) {
        const waypoint& a = loaded_track.waypoints[m.from];
        const waypoint& b = loaded_track.waypoints[m.to];
        thickLineRGBA(band, (Sint16)(a.x - left), (Sint16)(a.y - top), (Sint16)(b.x - left), (Sint16)(b.y - top), 3,
                      255, 255, 255, 255);
    }
    const int fx = loaded_track.finish_x - left, fy = loaded_track.finish_y - top;
    rectangleRGBA(band, (Sint16)fx, (Sint16)fy, (Sint16)(fx + 99), (Sint16)(fy + 19), 255, 40, 40, 255);

    // The view's own drawing, on this band as the window.
    SDL_Surface* window = screen;
    screen = band;
    race.camera_x[0] = -left;
    race.camera_y[0] = -top;
    const int k_count = loaded_track.checkpoint_count < MAX_CHECKPOINTS ? loaded_track.checkpoint_count : MAX_CHECKPOINTS;
    for (int k = 0; k < k_count; k++) {
        draw_checkpoint_marker(race, loaded_track, k);
        char label[8];
        std::snprintf(label, sizeof label, "%d", k + 1);
        int w = 0, h = 0;
        if (small_font) TTF_SizeText(small_font, label, &w, &h);
        const checkpoint& c = loaded_track.checkpoints[k];
        filledCircleRGBA(band, (Sint16)(c.x + 50 - left), (Sint16)(c.y + 50 - top), 9, 0, 0, 0, 200);
        text_white(band, c.x + 50 - w / 2 - left, c.y + 50 - h / 2 - top, label, small_font);
    }
    for (int r = 0; r < RACERS; r++)
        for (int b = 0; b < racer_length(race, r); b++) draw_ball(race, r, b);
    screen = window;
}

bool render_track(const std::string& path, const std::string& out_path, bool route, double scale,
                  unsigned seed, std::string& why) {
    std::string unused;
    FILE* f = open_regular_file(path.c_str(), MAX_LEVEL_FILE_BYTES, unused);
    if (!f) {
        why = "cannot read " + printable(path, 200) + ": " + unused;
        return false;
    }
    std::fclose(f);
    if (!(scale > 0 && scale <= 1)) {
        why = "--scale must be above 0 and at most 1";
        return false;
    }
    if (!output_usable(path, out_path, why)) return false;
    // The level and the start grid exactly as a race on it begins.
    Race race = kit_race(path, MAX_BALLS, MAX_BALLS, MAX_BALLS, seed);

    const int side = 50 * loaded_track.size;
    const int out_side = side > 0 ? (int)std::lround(side * scale) : 0;
    bool ok = false;
    if (side <= 0) {
        why = "the level is empty (its size field reads as 0 or is refused): nothing to draw";
    } else if (out_side > MAX_PICTURE_SIDE) {
        why = "the picture would be " + std::to_string(out_side) + " pixels on a side, more than " +
              std::to_string(MAX_PICTURE_SIDE) + ": shrink it with --scale " +
              std::to_string(MAX_PICTURE_SIDE / (double)side).substr(0, 4);
    } else {
        const int out_w = out_side > 0 ? out_side : 1;
        SDL_Surface* out = SDL_CreateRGBSurface(SDL_SWSURFACE, out_w, out_w, 32, 0, 0, 0, 0);
        std::vector<SDL_Surface*> pieces;   // one band, left to right
        bool made = out != nullptr;
        for (int left = 0; made && left < side; left += PIECE_COLUMNS) {
            const int w = side - left < PIECE_COLUMNS ? side - left : PIECE_COLUMNS;
            pieces.push_back(SDL_CreateRGBSurface(SDL_SWSURFACE, w, BAND_ROWS, 32, 0, 0, 0, 0));
            made = pieces.back() != nullptr;
        }
        if (!made) {
            why = "not enough memory for a picture of " + std::to_string(side) + " pixels on a side";
        } else {
            shrinker shrink(out, side, side);
            for (int top = 0; top < side; top += BAND_ROWS) {
                for (size_t i = 0; i < pieces.size(); i++) {
                    const int left = (int)i * PIECE_COLUMNS;
                    SDL_FillRect(pieces[i], nullptr, 0);
                    draw_track_view(pieces[i], loaded_track, -left, -top);
                    if (route) draw_route(race, pieces[i], left, top);
                }
                SDL_LockSurface(out);
                for (SDL_Surface* p : pieces) SDL_LockSurface(p);
                for (int y = 0; y < BAND_ROWS && top + y < side; y++)
                    for (size_t i = 0; i < pieces.size(); i++) shrink.add(pieces[i], y, top + y, (int)i * PIECE_COLUMNS);
                for (SDL_Surface* p : pieces) SDL_UnlockSurface(p);
                SDL_UnlockSurface(out);
            }
            SDL_LockSurface(out);
            shrink.finish();
            SDL_UnlockSurface(out);
            ok = write_png(out, out_path, why);
        }
        SDL_FreeSurface(out);
        for (SDL_Surface* p : pieces) SDL_FreeSurface(p);
    }
    return ok;
}
