// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's main menu: the classic menu's look, with its entries in a
// table. A screen of a later feature adds its line here.
#include "io/assets.h"
#include "io/media.h"
#include "core/state.h"
#include "draw/draw.h"
#include "menu/cup.h"
#include "menu/full_game.h"
#include "menu/menu.h"
#include "menu/trial.h"
#include "view/race_screen.h"

// A race against the computer (or a friend) with the settings' values.
static ScreenChange start_race(FullGameRun& run, bool two) {
    RacePlan plan = plan_from_settings();
    plan.setup.two_players = two;
    plan.addons = make_race_addons(run, false);
    return open_screen(make_race_screen(plan));
}

static const menu_entry FULL_MENU[] = {
    {"Start 1 player", [](FullGameRun& run) { return start_race(run, false); }},
    {"Start 2 players", [](FullGameRun& run) { return start_race(run, true); }},
    {"Online race", [](FullGameRun& run) { return open_screen(make_online_form(run)); }},
    {"Time trial", [](FullGameRun& run) { return open_screen(make_time_trial_screen(run)); }},
    {"Replays", [](FullGameRun& run) { return open_screen(make_replays_screen(run)); }},
    {"Records", [](FullGameRun& run) { return open_screen(make_records_screen(run)); }},
    {"Cup", [](FullGameRun& run) { return open_screen(make_cup_choice_screen(run)); }},
    {"Continue cup", [](FullGameRun& run) { return open_screen(make_continue_cup_screen(run)); }, saved_cup_waits},
    {"Settings", [](FullGameRun& run) { return open_screen(make_full_settings(run)); }},
    {"Quit", [](FullGameRun&) { return quit_game(); }},
};

std::vector<menu_entry> full_menu_entries() {
    std::vector<menu_entry> shown;
    for (const menu_entry& e : FULL_MENU)
        if (!e.shown || e.shown()) shown.push_back(e);
    return shown;
}

namespace {

// Its cursor is its own: back from any screen it opened, it stands on the
// entry that opened it.
class FullMenuScreen : public MainMenuScreen {
public:
    explicit FullMenuScreen(FullGameRun& run) : run_(run), entries_(full_menu_entries()) {}
    // The entries that come and go (a saved cup) are looked at on each return.
    void enter() override {
        MainMenuScreen::enter();
        entries_ = full_menu_entries();
    }
    ScreenChange frame() override {
        ScreenChange next;
        const int count = (int)entries_.size();
        auto draw = [this, count] {
            for (int i = 0; i < count; i++)
                draw_button(screen, 180, 150 + 30 * i, entries_[i].label, cursor_, i, small_font);
        };
        auto on_key = [this, &next, count](SDLKey key) {
            if (next.kind != ScreenChange::STAY) return;
            if (key == SDLK_ESCAPE) next = quit_game();
            // A cursor momentarily out of range (an arrow in the same frame) does nothing.
            if (key == SDLK_RETURN && cursor_ >= 0 && cursor_ < count) next = entries_[cursor_].action(run_);
        };
        if (menu_pass(cursor_, draw, on_key, count - 1)) return quit_game();
        return next;
    }

private:
    FullGameRun& run_;
    std::vector<menu_entry> entries_;
    int cursor_ = 0;
};

}  // namespace

ScreenPtr make_full_menu(FullGameRun& run) { return ScreenPtr(new FullMenuScreen(run)); }
