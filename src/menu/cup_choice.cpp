// SPDX-License-Identifier: GPL-3.0-or-later
// The Cup screen: which cup, and the set-up of all its races.
#include <algorithm>

#include "core/files.h"
#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/media.h"
#include "menu/cup.h"
#include "menu/menu.h"
#include "menu/trial.h"
#include "track/track.h"
#include "view/race_screen.h"

namespace {

// The rows of the screen; a custom cup has two more, to build it.
enum Row { ROW_CUP, ROW_PLAYERS, ROW_LENGTH, ROW_DRIVERS, ROW_LAPS, ROW_ADD, ROW_REMOVE, ROW_START, ROW_BACK };

class CupChoiceScreen : public Screen {
public:
    explicit CupChoiceScreen(FullGameRun& run) : run_(run) {
        // A --track run races that file alone: only a custom cup of it.
        std::string why;
        if (!track_file_override && !read_cups(cups_file_path(), catalogue_tracks(), cups_, why)) say(message_, why);
        const RacePlan settings = plan_from_settings();
        for (int i = 0; i < RACERS; i++) picks_.lengths[i] = settings.setup.lengths[i];
        picks_.laps = settings.setup.laps;
        picks_.difficulty = settings.setup.difficulty;
        picks_.off_road = settings.setup.off_road;
        picks_.cup = cups_.empty() ? cup_def{CUSTOM_CUP, {}} : cups_[0];
    }
    int kind() const override { return SCREEN_CUP; }
    void enter() override {
        resize_window(500, 500);
        records_ = read_cup_records();
    }
    ScreenChange frame() override {
        ScreenChange next;
        auto on_key = [this, &next](SDLKey key) {
            if (next.kind == ScreenChange::STAY) next = on_cup_key(key);
        };
        if (menu_pass(cursor_, [this] { draw(); }, on_key, (int)rows().size() - 1)) return quit_game();
        return next;
    }

private:
    bool custom() const { return chosen_ == (int)cups_.size(); }
    std::vector<Row> rows() const {
        if (custom())
            return {ROW_CUP, ROW_PLAYERS, ROW_LENGTH, ROW_DRIVERS, ROW_LAPS, ROW_ADD, ROW_REMOVE, ROW_START, ROW_BACK};
        return {ROW_CUP, ROW_PLAYERS, ROW_LENGTH, ROW_DRIVERS, ROW_LAPS, ROW_START, ROW_BACK};
    }
    std::string label(Row row) const {
        switch (row) {
            case ROW_CUP: return "Cup: " + picks_.cup.name;
            case ROW_PLAYERS: return picks_.two_players ? "Players: 2" : "Players: 1";
            case ROW_LENGTH: return "Length: " + std::to_string(picks_.lengths[0]);
            case ROW_DRIVERS: return std::string("Drivers: ") + difficulty_label(picks_.difficulty);
            case ROW_LAPS: return "Laps: " + std::to_string(picks_.laps);
            case ROW_ADD: return std::string("Add: ") + level_name_at(track_);
            case ROW_REMOVE: return "Remove last";
            case ROW_START: return "Start";
            case ROW_BACK: return "Back";
        }
        return "";
    }
    void draw() const;
    ScreenChange on_cup_key(SDLKey key);
    void change(Row row, int step);
    ScreenChange start();

    FullGameRun& run_;
    std::vector<cup_def> cups_;
    std::vector<std::string> custom_tracks_;
    cup_progress picks_;
    std::vector<cup_record> records_;
    int chosen_ = 0;    // cups_'s index; cups_.size() for the custom cup
    int track_ = 0;     // the catalogue's track the custom cup would add
    int cursor_ = 0;
    std::string message_;
};

void CupChoiceScreen::draw() const {
    const std::vector<Row> list = rows();
    for (size_t i = 0; i < list.size(); i++)
        draw_button(screen, 150, 150 + 30 * (int)i, label(list[i]).c_str(), cursor_, (int)i, small_font);
    // The cup's tracks beside the rows, in racing order.
    text_on_panel(screen, 330, 150, "Tracks", small_font, colour_text_white);
    for (size_t i = 0; i < picks_.cup.tracks.size(); i++) {
        snprintf(label_buffer, sizeof label_buffer, "%zu. %s", i + 1, picks_.cup.tracks[i].c_str());
        text_on_panel(screen, 330, 175 + 20 * (int)i, label_buffer, small_font, colour_text_white);
    }
    std::string best = "Best: -";
    for (const cup_record& e : records_)
        if (e.cup == picks_.cup.name && e.difficulty == picks_.difficulty && e.length == picks_.lengths[0] &&
            e.laps == picks_.laps)
            best = std::string("Best: ") + place_word(e.position) + (e.steps > 0 ? ", " + race_time(e.steps) : "");
    if (!custom()) text_on_panel(screen, 150, 430, best.c_str(), small_font, colour_gold);
    if (!message_.empty()) {
        for (size_t i = 0; i < fit_message(message_, 66).size() && i < 2; i++)
            text_on_panel(screen, 15, 455 + 20 * (int)i, fit_message(message_, 66)[i].c_str(), small_font,
                          colour_text_white);
    }
}

void CupChoiceScreen::change(Row row, int step) {
    const int count = (int)cups_.size() + 1;
    switch (row) {
        case ROW_CUP:
            chosen_ = (chosen_ + step + count) % count;
            picks_.cup = custom() ? cup_def{CUSTOM_CUP, custom_tracks_} : cups_[chosen_];
            break;
        case ROW_PLAYERS:
            if (step) picks_.two_players = !picks_.two_players;
            break;
        case ROW_LENGTH: picks_.lengths[0] = std::min(MAX_BALLS, std::max(1, picks_.lengths[0] + step)); break;
        case ROW_DRIVERS: picks_.difficulty = (picks_.difficulty + step + DIFFICULTIES) % DIFFICULTIES; break;
        case ROW_LAPS: picks_.laps = std::min(99, std::max(1, picks_.laps + step)); break;
        case ROW_ADD: track_ = wrapped_level_index(track_ + step); break;
        default: break;
    }
}

ScreenChange CupChoiceScreen::on_cup_key(SDLKey key) {
    const std::vector<Row> list = rows();
    const Row row = list[std::min(std::max(cursor_, 0), (int)list.size() - 1)];
    change(row, key == SDLK_RIGHT ? 1 : key == SDLK_LEFT ? -1 : 0);
    if (key == SDLK_ESCAPE || (key == SDLK_RETURN && row == ROW_BACK)) return go_back();
    if (key != SDLK_RETURN) return stay_on_screen();
    if (row == ROW_ADD && custom_tracks_.size() < MAX_CUP_TRACKS) custom_tracks_.push_back(level_name_at(track_));
    if (row == ROW_REMOVE && !custom_tracks_.empty()) custom_tracks_.pop_back();
    if (custom()) picks_.cup.tracks = custom_tracks_;
    if (row == ROW_START) return start();
    return stay_on_screen();
}

ScreenChange CupChoiceScreen::start() {
    if (picks_.cup.tracks.empty()) {
        message_ = "Add a track to the custom cup first";
        return stay_on_screen();
    }
    cup_progress cup = picks_;
    // Player 2 drives as long a chain as player 1; the computers keep the settings' lengths.
    if (cup.two_players) cup.lengths[1] = cup.lengths[0];
    return open_screen(make_cup_screen(run_, cup));
}

}  // namespace

ScreenPtr make_cup_choice_screen(FullGameRun& run) { return ScreenPtr(new CupChoiceScreen(run)); }
