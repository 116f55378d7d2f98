// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's racers in their own colours: each racer's ball set,
// turned to every whole degree as the classic balls are, and the badges
// over the human players' heads. Loaded at the first full-game race frame;
// when a picture cannot be used the racers keep the classic balls.
#include <SDL/SDL_rotozoom.h>

#include <cstdio>
#include <string>

#include "core/files.h"
#include "core/state.h"
#include "io/assets.h"
#include "io/pictures.h"
#include "race/race.h"
#include "view/view.h"

namespace {
constexpr int BALL_LOOKS = 4;
struct racer_looks {
    bool tried = false;   // loading is tried once a run
    bool usable = false;
    SDL_Surface* turned[RACERS][BALL_LOOKS][360] = {};
    SDL_Surface* badge[HUMAN_PLAYERS] = {};
};
racer_looks looks;   // whole run, from the first full-game race frame
}  // namespace

void free_racer_looks() {
    for (auto& racer : looks.turned)
        for (auto& look : racer)
            for (SDL_Surface*& s : look) SDL_FreeSurface(s);
    for (SDL_Surface*& s : looks.badge) SDL_FreeSurface(s);
    looks = racer_looks();
}

static SDL_Surface* load_or_say(const std::string& name, picture_limit limit) {
    std::string why;
    SDL_Surface* s = load_picture(data_path(name), limit, why);
    if (!s) std::fprintf(stderr, "chainball: picture %s; the racers keep the classic balls\n", why.c_str());
    return s;
}

static bool load_racer_looks() {
    SDL_Surface* sets[RACERS][BALL_LOOKS] = {};
    bool all = true;
    for (int r = 0; r < RACERS && all; r++)
        for (int s = 0; s < BALL_LOOKS && all; s++) {
            sets[r][s] = load_or_say("racer" + std::to_string(r + 1) + "_ball" + std::to_string(s + 1) + ".png",
                                     BALL_PICTURE);
            all = sets[r][s] != nullptr;
        }
    for (int p = 0; p < HUMAN_PLAYERS && all; p++) {
        looks.badge[p] = load_or_say("marker" + std::to_string(p + 1) + ".png", BALL_PICTURE);
        all = looks.badge[p] != nullptr;
    }
    for (int r = 0; r < RACERS; r++)
        for (int s = 0; s < BALL_LOOKS; s++) {
            for (int a = 0; a < 360 && all; a++) looks.turned[r][s][a] = rotozoomSurface(sets[r][s], a, 1.0, 0);
            SDL_FreeSurface(sets[r][s]);
        }
    return all;
}

SDL_Surface* racer_ball_image(int r, int look, int angle) {
    if (!full_game || r < 0 || r >= RACERS || look < 0 || look >= BALL_LOOKS || angle < 0 || angle >= 360)
        return nullptr;
    if (!looks.tried) {
        const bool usable = load_racer_looks();
        if (!usable) free_racer_looks();
        looks.tried = true;
        looks.usable = usable;
    }
    return looks.usable ? looks.turned[r][look][angle] : nullptr;
}

// Over the head, a little above it, unturned, so the ball's own face stays in sight.
static void draw_badge_in_view(const Race& race, SDL_Surface* badge, SDL_Surface* target, const ViewCameras& cams,
                               int view, int r) {
    int left, top;
    if (!target || !ball_place_in_view(race, cams, view, r, 0, left, top)) return;
    SDL_Rect at = {(Sint16)(left + BALL_HALF_SIZE - badge->w / 2), (Sint16)(top - badge->h + 6), 0, 0};
    SDL_BlitSurface(badge, nullptr, target, &at);
}

void draw_racer_badges(const Race& race, const ViewCameras& cams) {
    if (!full_game) return;
    racer_ball_image(0, 0, 0);   // loads them when not yet tried
    if (!looks.usable) return;
    for (int p = 0; p < HUMAN_PLAYERS; p++) {
        if ((p == 1 && !race.two_players) || racer_length(race, p) == 0) continue;
        draw_badge_in_view(race, looks.badge[p], screen, cams, 0, p);
        if (race.two_players) draw_badge_in_view(race, looks.badge[p], second_view, cams, 1, p);
    }
}
