// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's race: a pause with a way out of the race, and the results
// screen (its HUD is view/hud.cpp). The classic game never comes here.
#include <SDL/SDL_gfxPrimitives.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/clock.h"
#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/bindings.h"
#include "io/effects.h"
#include "io/events.h"
#include "io/media.h"
#include "io/pads.h"
#include "race/race.h"
#include "replay/session.h"
#include "track/track.h"
#include "view/race_screen.h"
#include "view/view.h"

void format_race_time(long long steps, char* out, size_t size) {
    if (steps < 0) steps = 0;
    const long long ms = steps * 20;
    std::snprintf(out, size, "%lld:%02d.%02d", ms / 60000, (int)(ms / 1000 % 60), (int)(ms / 10 % 100));
}

// ---- The pause ---------------------------------------------------------------
// Continue or leave the race; Escape and the pause key continue, as in the
// classic game. Pads navigate it like a menu.

// The middle of the window, whatever race it shows.
static int centre_x() { return screen ? screen->w / 2 : 250; }

void open_full_pause(int& cursor) {
    freeze_frame();
    paused = true;
    cursor = 0;
}

bool full_pause_pass(int& cursor, bool cup) {
    bool leave = false;
    auto draw = [&cursor, cup](long long) {
        const int x = centre_x();
        text_white(screen, x - 60, 190, "Pause", large_font);
        draw_button(screen, x - 70, 250, cup ? "Keep racing" : "Continue", cursor, 0, small_font);
        draw_button(screen, x - 70, 280, cup ? "Abandon race" : "Leave race", cursor, 1, small_font);
        if (cup) text_on_panel(screen, x - 112, 320, "An abandoned race counts as last", small_font, colour_text_white);
    };
    auto on_event = [&cursor, &leave](const SDL_Event& e) {
        if (e.type == SDL_QUIT) {
            game_screen = SCREEN_QUIT;
            paused = false;
        }
        if (e.type != SDL_KEYDOWN || !paused) return;
        const SDLKey key = e.key.keysym.sym;
        menu_key_effect(key);
        if (key == SDLK_UP || key == SDLK_DOWN) cursor = 1 - cursor;
        if (key == SDLK_ESCAPE || (key == key_bindings.pause_key && key != SDLK_UNKNOWN)) paused = false;
        if (key == SDLK_RETURN) {
            paused = false;
            leave = cursor == 1;
        }
    };
    overlay_pass((const void*)&full_pause_pass, cursor, draw, on_event);
    top_up(10);
    return leave;
}

// ---- The results -----------------------------------------------------------

static bool human(const Race& race, int r) { return r == 0 || (r == 1 && race.two_players); }

bool results_due(const Race& race) {
    if (race_over(race)) return true;
    for (int r = 0; r < RACERS; r++)
        if (human(race, r) && racer_length(race, r) > 0 && race.clocks[r].finished == 0) return false;
    return true;
}

int finishing_order(const Race& race, int order[RACERS]) {
    int n = 0;
    for (int r = 0; r < RACERS; r++)
        if (racer_length(race, r) > 0) order[n++] = r;
    // Insertion sort: finished first, by finishing step; the rest keep their order.
    auto key = [&race](int r) {
        const long long f = race.clocks[r].finished;
        return f > 0 ? f : (long long)1 << 62;
    };
    for (int i = 1; i < n; i++)
        for (int j = i; j > 0 && key(order[j]) < key(order[j - 1]); j--) {
            const int t = order[j];
            order[j] = order[j - 1];
            order[j - 1] = t;
        }
    return n;
}

static const char* const RESULT_ENTRIES[3] = {"Race again", "Next track", "Menu"};
// A cup's race leads on to its standings and nowhere else.
static const char* const CUP_RESULT_ENTRY = "Standings";

static bool in_cup(const RacePlan& plan) { return plan.addons && plan.addons->cup_race(); }

namespace {

// Over the frozen last frame of the race: the order, the times, what to do next.
class ResultsScreen : public Screen {
public:
    ResultsScreen(const RacePlan& plan, const Race& race, const ReplayOutcome& written)
        : plan_(plan), race_(race) {
        // This race's own replay, if one was written for it, or why not.
        if (!written.path.empty()) saved_line_ = "Replay saved: " + written.path.substr(written.path.rfind('/') + 1);
        if (saved_line_.size() > 67) saved_line_.replace(64, std::string::npos, "...");   // 470 px
        // The cause is at the end of a long one, after the folder's name.
        const std::string lost = "Replay not saved: ";
        if (!written.failure.empty())
            saved_line_ = lost.size() + written.failure.size() <= 67
                              ? lost + written.failure
                              : lost + "..." + written.failure.substr(written.failure.size() - (64 - lost.size()));
    }
    int kind() const override { return SCREEN_RESULTS; }
    ScreenChange frame() override;

private:
    void draw(long long) const;
    void on_event(const SDL_Event& e);

    RacePlan plan_;
    Race race_;
    std::string saved_line_;
    int cursor_ = 0;
    ScreenChange next_;
};

// One row of the results: place, name, time, gap to the winner, best lap;
// a racer still out when the run-on ended did not finish. The columns are
// whole characters of the monospaced small font (7 px) from the place:
// 3 for it, 14 for the name, 10 for the time, 11 for the gap.
static void draw_result_row(const Race& race, int place, int r, long long winner_steps, int x, int y) {
    const LapClock& c = race.clocks[r];
    char field[32];
    std::snprintf(field, sizeof field, "%d.", place);
    text_white(screen, x - 195, y, c.finished > 0 ? field : "-", small_font);
    text_white(screen, x - 174, y, racer_name(race, r).c_str(), small_font);
    if (c.finished == 0) {
        text_white(screen, x - 76, y, "did not finish", small_font);
        return;
    }
    format_race_time(c.finished, field, sizeof field);
    text_white(screen, x - 76, y, field, small_font);
    if (place > 1) {
        field[0] = '+';
        format_race_time(c.finished - winner_steps, field + 1, sizeof field - 1);
        text_white(screen, x - 6, y, field, small_font);
    }
    if (c.best_lap > 0) format_race_time(c.best_lap, field, sizeof field);
    text_white(screen, x + 71, y, c.best_lap > 0 ? field : "-", small_font);
}

void ResultsScreen::draw(long long) const {
    const Race& race = race_;
    const int x = centre_x();
    // One dark panel under the title, the rows, the entries and the next
    // track's name keeps them all readable on the brightest track.
    boxRGBA(screen, (Sint16)(x - 200), 34, (Sint16)(x + 200), 266, 0, 0, 0, 200);
    text_white(screen, x - 85, 40, "Results", large_font);
    int order[RACERS];
    const int n = finishing_order(race, order);
    text_pink(screen, x - 76, 80, "Time", small_font);
    text_pink(screen, x - 6, 80, "Gap", small_font);
    text_pink(screen, x + 71, 80, "Best lap", small_font);
    const long long winner_steps = n > 0 ? race.clocks[order[0]].finished : 0;
    for (int i = 0; i < n; i++) draw_result_row(race, i + 1, order[i], winner_steps, x, 100 + 20 * i);
    // Under the rows: the rule the times were raced under.
    std::snprintf(label_buffer, sizeof label_buffer, "Off-road: %s", off_road_label(race.off_road));
    text_pink(screen, x - 195, 160, label_buffer, small_font);
    if (in_cup(plan_)) {
        draw_button(screen, x - 70, 180, CUP_RESULT_ENTRY, cursor_, 0, small_font);
    } else {
        for (int i = 0; i < 3; i++) draw_button(screen, x - 70, 180 + 30 * i, RESULT_ENTRIES[i], cursor_, i, small_font);
        // Beside "Next track": the track it goes on to.
        text_pink(screen, x - 70 + 145, 213, level_name_at(wrapped_level_index(plan_.level_index + 1)), small_font);
    }
    if (!saved_line_.empty()) {
        const int w = 7 * (int)saved_line_.size();   // the small font is 7 px a character
        boxRGBA(screen, (Sint16)(x - 240), 287, (Sint16)(x - 230 + w), 308, 0, 0, 0, 200);
        text_white(screen, x - 235, 290, saved_line_.c_str(), small_font);
    }
}

// "Race again" and "Next track" race the plan with the players at the
// keys, whatever raced it before (a replay, the network).
void ResultsScreen::on_event(const SDL_Event& e) {
    if (e.type == SDL_QUIT) next_ = quit_game();
    if (e.type != SDL_KEYDOWN || next_.kind != ScreenChange::STAY) return;
    menu_key_effect(e.key.keysym.sym);
    if (in_cup(plan_)) {
        if (e.key.keysym.sym == SDLK_ESCAPE || e.key.keysym.sym == SDLK_RETURN) next_ = go_back();
        return;
    }
    switch (e.key.keysym.sym) {
        case SDLK_ESCAPE: next_ = go_back(); break;
        case SDLK_UP: cursor_ = (cursor_ + 2) % 3; break;
        case SDLK_DOWN: cursor_ = (cursor_ + 1) % 3; break;
        case SDLK_RETURN: {
            RacePlan plan = plan_;
            if (cursor_ == 1) {
                plan.level_index = wrapped_level_index(plan.level_index + 1);
                plan.track_text.clear();   // a replay's own track has no next
            }
            if (cursor_ == 2) next_ = go_home();
            else next_ = replace_screen(make_race_screen(plan));
            break;
        }
        default: break;
    }
}

ScreenChange ResultsScreen::frame() {
    overlay_pass(this, cursor_, [this](long long look) { draw(look); }, [this](const SDL_Event& e) { on_event(e); });
    menu_pacing();
    ScreenChange change = std::move(next_);
    next_ = ScreenChange();
    return change;
}

}  // namespace

ScreenPtr make_results_screen(const RacePlan& plan, const Race& race, const ReplayOutcome& replay_written) {
    return ScreenPtr(new ResultsScreen(plan, race, replay_written));
}
