// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's HUD. Drawn in every race frame, so nothing is rendered
// per frame: the characters and the labels are rendered once, in the
// monospaced small font, and blended onto panels, opaque boxes with the
// buttons' pink frame, whatever the track beneath.
#include "view/hud.h"

#include <SDL/SDL_ttf.h>

#include <cstdio>
#include <cstring>

#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/media.h"
#include "view/view.h"

namespace {
constexpr char FIRST_CHAR = ' ', LAST_CHAR = '~';
constexpr int CHAR_COUNT = LAST_CHAR - FIRST_CHAR + 1;
const char* const HUD_LABELS[] = {"Time", "Lap", "Best", "Pos", "Gap", "vs"};
constexpr int LABEL_COUNT = sizeof HUD_LABELS / sizeof HUD_LABELS[0];

constexpr int PANEL_W = 120;          // the clock panel's size in a view
constexpr int PANEL_MARGIN = 10;      // from the view's top and right edges
constexpr int LINE_H = 14;
constexpr int MARK_W = 6, MARK_H = 8, MARK_STEP = 9, MARKS_PER_ROW = 12, MARK_ROW_H = 11;
const SDL_Color PANEL_COLOUR = {28, 24, 36, 0};

struct hud_pictures {
    bool made = false;
    SDL_Surface* glyph[CHAR_COUNT] = {};
    int advance = 7;
    SDL_Surface* label[LABEL_COUNT] = {};
};
hud_pictures hud;   // made at the first full-game race frame, freed at shut-down
}  // namespace

void free_race_hud() {
    for (SDL_Surface*& g : hud.glyph) SDL_FreeSurface(g);
    for (SDL_Surface*& l : hud.label) SDL_FreeSurface(l);
    hud = hud_pictures();
}

// White text with its own alpha. SDL copies an opaque surface with stores
// that bypass the cache, which for a glyph costs forty times the blend.
static SDL_Surface* panel_text(const char* s) {
    const SDL_Color white = {255, 255, 255, 0};
    return TTF_RenderText_Blended(small_font, s, white);
}

static void make_hud() {
    hud.made = true;
    if (!small_font) return;
    char one[2] = {0, 0};
    for (int i = 1; i < CHAR_COUNT; i++) {   // a space draws nothing
        one[0] = (char)(FIRST_CHAR + i);
        hud.glyph[i] = panel_text(one);
    }
    int w = 0, h = 0;
    if (TTF_SizeText(small_font, "0", &w, &h) == 0 && w > 0) hud.advance = w;
    for (int i = 0; i < LABEL_COUNT; i++) hud.label[i] = panel_text(HUD_LABELS[i]);
}

static void blit(SDL_Surface* s, SDL_Surface* target, int x, int y) {
    if (!s || !target) return;
    SDL_Rect at = {(Sint16)x, (Sint16)y, 0, 0};
    SDL_BlitSurface(s, nullptr, target, &at);
}

void hud_text(SDL_Surface* target, int x, int y, const char* s) {
    if (!hud.made) make_hud();
    for (; *s; s++, x += hud.advance)
        if (*s > FIRST_CHAR && *s <= LAST_CHAR) blit(hud.glyph[*s - FIRST_CHAR], target, x, y);
}

static void fill(SDL_Surface* target, int x, int y, int w, int h, Uint32 colour) {
    SDL_Rect r = {(Sint16)x, (Sint16)y, (Uint16)w, (Uint16)h};
    SDL_FillRect(target, &r, colour);
}

void hud_panel(SDL_Surface* target, int x, int y, int w, int h) {
    if (!target) return;
    const SDL_PixelFormat* f = target->format;
    fill(target, x, y, w, h, SDL_MapRGB(f, colour_text_pink.r, colour_text_pink.g, colour_text_pink.b));
    fill(target, x + 1, y + 1, w - 2, h - 2, SDL_MapRGB(f, PANEL_COLOUR.r, PANEL_COLOUR.g, PANEL_COLOUR.b));
}

void format_gap(long long steps, char* out, size_t size) {
    const char sign = steps < 0 ? '-' : '+';
    const long long a = steps < 0 ? -steps : steps;
    if (a * 20 >= 60000) {
        char t[24];
        format_race_time(a, t, sizeof t);
        std::snprintf(out, size, "%c%s", sign, t);
        return;
    }
    std::snprintf(out, size, "%c%lld.%02lld", sign, a * 20 / 1000, a * 20 / 10 % 100);
}

const char* place_name(int place) {
    static const char* const names[] = {"-", "1st", "2nd", "3rd"};
    return place >= 0 && place <= 3 ? names[place] : "-";
}

static void labelled(int x, int y, int label, const char* value) {
    blit(hud.label[label], screen, x, y);
    hud_text(screen, x + 38, y, value);
}

static void time_line(int x, int y, int label, long long steps, bool shown) {
    char t[24];
    if (shown)
        format_race_time(steps, t, sizeof t);
    else
        std::snprintf(t, sizeof t, "-:--.--");
    labelled(x, y, label, t);
}

// The place of racer r among the racers taking part, its gap to the racer
// ahead (behind, when leading) and that racer's name.
static void place_lines(const Race& race, const Track& track, const SplitLog& splits, int r, int x, int y) {
    int place[RACERS];
    race_places(race, track, place);
    char line[32];
    std::snprintf(line, sizeof line, "%s/%d", place_name(place[r]), active_racers(race));
    labelled(x, y, 3, line);
    const int rival = gap_rival(place, r);
    long long steps = 0;
    if (rival >= 0 && split_gap(splits, r, splits, rival, steps)) format_gap(steps, line, sizeof line);
    else std::snprintf(line, sizeof line, "-");
    labelled(x, y + LINE_H, 4, line);
    labelled(x, y + 2 * LINE_H, 5, rival >= 0 ? racer_name(race, rival).c_str() : "-");
}

// The panel of racer r at the view whose left edge is at view_x.
static void draw_panel(const Race& race, const Track& track, const SplitLog* splits, bool counting, int r,
                       int view_x) {
    const LapClock& c = race.clocks[r];
    const int checkpoints = counted_checkpoints(track);
    const int rows = (checkpoints + MARKS_PER_ROW - 1) / MARKS_PER_ROW;
    const int lines = splits && active_racers(race) > 1 ? 6 : 3;
    const int h = 6 + lines * LINE_H + (rows ? 4 + rows * MARK_ROW_H : 0);
    const int x = view_x + race.view_width - PANEL_MARGIN - PANEL_W, y = PANEL_MARGIN;
    hud_panel(screen, x, y, PANEL_W, h);
    // The race's first step is run under the countdown: its time starts at GO.
    const long long now = counting ? 0 : race.step;
    const bool done = c.finished > 0;
    time_line(x + 6, y + 3, 0, done ? c.finished : now, true);
    time_line(x + 6, y + 3 + LINE_H, 1, now - c.lap_started, !done);
    time_line(x + 6, y + 3 + 2 * LINE_H, 2, c.best_lap, c.best_lap > 0);
    if (lines == 6) place_lines(race, track, *splits, r, x + 6, y + 3 + 3 * LINE_H);
    const SDL_PixelFormat* f = screen->format;
    const Uint32 lit = SDL_MapRGB(f, 255, 220, 60), owed = SDL_MapRGB(f, 90, 90, 90);
    for (int k = 0; k < checkpoints; k++)
        fill(screen, x + 6 + k % MARKS_PER_ROW * MARK_STEP, y + 6 + lines * LINE_H + k / MARKS_PER_ROW * MARK_ROW_H,
             MARK_W, MARK_H, race.checkpoint_passed[k][r] ? lit : owed);
}

void draw_race_hud(const Race& race, const Track& track, const SplitLog* splits, bool counting) {
    if (!screen) return;
    if (!hud.made) make_hud();
    draw_panel(race, track, splits, counting, 0, 0);
    if (race.two_players) draw_panel(race, track, splits, counting, 1, race.view_width);
}

RaceHud::~RaceHud() { SDL_FreeSurface(map); }

void hud_race_set_up(RaceHud& h, const Race& race, const Track& track) {
    h.look = LookAhead();
    start_splits(h.splits, race, track);
    SDL_FreeSurface(h.map);
    h.map = nullptr;
    h.map_cells = 0;
}

void draw_full_hud(RaceHud& h, const Race& race, const Track& track, bool counting, bool minimap) {
    draw_race_hud(race, track, &h.splits, counting);
    if (!minimap) return;
    draw_minimap(h, race, track, 0);
    if (race.two_players) draw_minimap(h, race, track, race.view_width);
}
