// SPDX-License-Identifier: GPL-3.0-or-later
// A cup under way: its races opened one by one, the standings after each,
// the podium after the last; saved after each race, its best result kept.
#include <SDL/SDL_gfxPrimitives.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/files.h"
#include "config/file_lock.h"
#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/media.h"
#include "menu/cup.h"
#include "menu/menu.h"
#include "menu/trial.h"
#include "race/cup.h"
#include "track/track.h"
#include "view/race_screen.h"
#include "view/view.h"

const char* place_word(int place) {
    static const char* const words[RACERS + 1] = {"-", "1st", "2nd", "3rd"};
    return place >= 1 && place <= RACERS ? words[place] : words[0];
}

bool saved_cup_waits() {
    struct stat st;
    const std::string path = cup_save_path();
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<cup_record> read_cup_records() {
    std::string bytes, why;
    const std::string path = cup_records_path();
    if (path.empty() || !read_regular_file(path.c_str(), MAX_CUP_FILE_BYTES, bytes, why)) {
        if (!path.empty() && why != "no such file")
            std::fprintf(stderr, "chainball: cup records %s: %s\n", printable(path, 200).c_str(), why.c_str());
        return {};
    }
    std::vector<cup_record> list = parse_cup_records(bytes, why);
    if (!why.empty()) std::fprintf(stderr, "chainball: cup records %s: %s\n", printable(path, 200).c_str(), why.c_str());
    return list;
}

namespace {

int catalogue_index(const std::string& name) {
    for (int i = 0; i <= last_level_index && i < MAX_LEVELS; i++)
        if (name == level_names[i]) return i;
    return -1;
}

// A cup's race: the full game's race additions, and a cup's Escape and results.
class CupAddons : public RaceAddons {
public:
    explicit CupAddons(std::shared_ptr<RaceAddons> inner) : inner_(std::move(inner)) {}
    void set_up(const RacePlan& plan, const Race& race, const Track& track, bool watching) override {
        inner_->set_up(plan, race, track, watching);
    }
    void under_balls(const Race& race, const ViewCameras& cams) const override { inner_->under_balls(race, cams); }
    void stepped(const Race& race, RaceInput input) override { inner_->stepped(race, input); }
    void over_views(const Race& race) const override { inner_->over_views(race); }
    bool minimap() const override { return inner_->minimap(); }
    bool cup_race() const override { return true; }

private:
    std::shared_ptr<RaceAddons> inner_;
};

enum class CupPhase { STANDINGS, RACING, PODIUM, REFUSED };

class CupScreen : public Screen {
public:
    CupScreen(FullGameRun& run, const cup_progress& cup, CupPhase phase, const std::string& message)
        : run_(run), cup_(cup), phase_(phase), start_now_(cup.races.empty() && phase == CupPhase::STANDINGS),
          message_(message) {}
    int kind() const override { return SCREEN_CUP_STANDINGS; }
    void enter() override {
        resize_window(500, 500);
        if (phase_ == CupPhase::RACING) take_result();
    }
    ScreenChange frame() override {
        if (start_now_) {
            start_now_ = false;
            return next_race();
        }
        ScreenChange next;
        auto on_key = [this, &next](SDLKey key) {
            if (next.kind == ScreenChange::STAY) next = on_cup_key(key);
        };
        if (menu_pass(cursor_, [this] { draw(); }, on_key, 0)) return quit_game();
        return next;
    }

private:
    ScreenChange next_race();
    void take_result();
    void save();
    void finish();
    ScreenChange on_cup_key(SDLKey key);
    void draw() const;
    void draw_standings() const;
    void draw_podium() const;
    std::string name_of(int racer) const {
        Race race = new_race();
        race.two_players = cup_.two_players;
        race.difficulty = cup_.difficulty;
        return racer_name(race, racer);
    }

    FullGameRun& run_;
    cup_progress cup_;
    CupPhase phase_;
    bool start_now_;
    std::string message_;
    int cursor_ = 0;
};

ScreenChange CupScreen::next_race() {
    const std::string& track = cup_.cup.tracks[cup_.races.size()];
    RacePlan plan;
    plan.level_index = catalogue_index(track);
    if (plan.level_index < 0) {
        say(message_, "the track " + printable(track) + " is not in this run's catalogue");
        return stay_on_screen();
    }
    plan.setup = {{cup_.lengths[0], cup_.lengths[1], cup_.lengths[2]}, cup_.laps, cup_.two_players, cup_.difficulty,
                  cup_.off_road};
    plan.addons = std::make_shared<CupAddons>(make_race_addons(run_, false));
    phase_ = CupPhase::RACING;
    return open_screen(make_race_screen(plan));
}

// Back from a race: its result as it ended (a race left before the
// players finished was abandoned), then the cup saved or finished.
void CupScreen::take_result() {
    const bool abandoned = !results_due(live_race);
    cup_.races.push_back(cup_race_result(live_race, loaded_track, abandoned));
    phase_ = CupPhase::STANDINGS;
    message_.clear();
    if (cup_.races.size() < cup_.cup.tracks.size()) save();
    else finish();
}

void CupScreen::save() {
    std::string why;
    if (cup_save_path().empty()) message_ = "No home folder: the cup is not saved";
    else if (!write_file_atomically(cup_save_path(), format_cup_progress(cup_), why))
        say(message_, "cannot save the cup: " + why);
}

// The last race is run: no save to continue, and the players' best result
// kept (a custom cup's tracks change, so it keeps none).
void CupScreen::finish() {
    if (!cup_save_path().empty() && unlink(cup_save_path().c_str()) != 0 && errno != ENOENT)
        say(message_, "cannot remove the finished cup's save: " + std::string(std::strerror(errno)));
    if (cup_.cup.name == CUSTOM_CUP || cup_records_path().empty()) return;
    cup_record done;
    done.cup = cup_.cup.name;
    done.difficulty = cup_.difficulty;
    done.length = cup_.lengths[0];
    done.laps = cup_.laps;
    done.position = RACERS;
    for (const CupStanding& s : cup_standings(cup_.races)) {
        if (s.racer != 0 && !(s.racer == 1 && cup_.two_players)) continue;
        done.position = std::min(done.position, s.position);
        if (s.total_steps > 0 && (done.steps == 0 || s.total_steps < done.steps)) done.steps = s.total_steps;
    }
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", std::localtime(&now));
    done.date = date;
    // Another game may finish a cup meanwhile: read, offer and write under
    // the lock the other shared files take, so neither best is lost.
    const std::string path = cup_records_path();
    if (path.empty()) return;   // no data folder: nothing is kept
    const int lock = lock_for_saving(path, "cup records", "this cup's best is not kept", stderr);
    if (lock < 0) return;
    std::vector<cup_record> records = read_cup_records();
    if (offer_cup_record(records, done)) {
        std::string why;
        if (write_file_atomically(path, format_cup_records(records), why))
            message_ = "A new best in this cup!";
        else
            say(message_, "cannot save the cup's records: " + why);
    }
    unlock_beside(lock);
}

ScreenChange CupScreen::on_cup_key(SDLKey key) {
    // Escape leaves a cup under way for the menu; it waits as "Continue cup".
    if (key == SDLK_ESCAPE) return phase_ == CupPhase::REFUSED ? go_back() : go_home();
    if (key != SDLK_RETURN) return stay_on_screen();
    if (phase_ == CupPhase::REFUSED) return go_back();
    if (phase_ == CupPhase::PODIUM) return go_home();
    if (cup_.races.size() < cup_.cup.tracks.size()) return next_race();
    phase_ = CupPhase::PODIUM;
    return stay_on_screen();
}

}  // namespace

namespace {

void CupScreen::draw_standings() const {
    const std::vector<CupStanding> table = cup_standings(cup_.races);
    const size_t done = cup_.races.size(), total = cup_.cup.tracks.size();
    text_white(screen, 40, 130, "Standings", large_font);
    snprintf(label_buffer, sizeof label_buffer, "%s, race %zu of %zu", cup_.cup.name.c_str(), done, total);
    text_pink(screen, 40, 180, label_buffer, small_font);
    snprintf(label_buffer, sizeof label_buffer, "%s", cup_.cup.tracks[done - 1].c_str());
    text_white(screen, 330, 180, label_buffer, small_font);
    text_pink(screen, 40, 210, "Pos  Racer", small_font);
    text_pink(screen, 250, 210, " Race  Total   Gap", small_font);
    for (size_t i = 0; i < table.size(); i++) {
        const CupStanding& s = table[i];
        const int y = 232 + 22 * (int)i;
        const rgb& c = racer_colours[s.racer];
        boxRGBA(screen, 75, (Sint16)(y + 2), 85, (Sint16)(y + 12), c.r, c.g, c.b, 255);
        snprintf(label_buffer, sizeof label_buffer, "%s", place_word(s.position));
        text_white(screen, 40, y, label_buffer, small_font);
        text_white(screen, 93, y, name_of(s.racer).c_str(), small_font);
        snprintf(label_buffer, sizeof label_buffer, "%+5d %6d %5s", s.race_points, s.total,
                 s.gap > 0 ? ("-" + std::to_string(s.gap)).c_str() : "-");
        text_white(screen, 250, y, label_buffer, small_font);
    }
    const bool more = done < total;
    draw_button(screen, 40, 320, more ? "Next race" : "Podium", cursor_, 0, small_font);
    if (more) text_pink(screen, 190, 323, cup_.cup.tracks[done].c_str(), small_font);
    text_white(screen, 40, 360, "Points 10, 6 and 3 for the first three.", small_font);
    if (more) text_white(screen, 40, 380, "Escape: the menu; the cup waits there.", small_font);
}

// Three steps, the winner on the highest, each racer's name and points on top.
void CupScreen::draw_podium() const {
    const std::vector<CupStanding> table = cup_standings(cup_.races);
    text_white(screen, 40, 130, "Podium", large_font);
    text_pink(screen, 40, 180, cup_.cup.name.c_str(), small_font);
    static const int step_x[RACERS] = {180, 60, 300}, step_top[RACERS] = {300, 340, 370};
    static const rgb step_colour[RACERS] = {{212, 175, 55}, {192, 192, 200}, {176, 110, 60}};
    for (size_t i = 0; i < table.size() && i < RACERS; i++) {
        const CupStanding& s = table[i];
        const int x = step_x[i], top = step_top[i];
        const rgb& c = step_colour[i];
        boxRGBA(screen, (Sint16)x, (Sint16)top, (Sint16)(x + 120), 420, c.r, c.g, c.b, 255);
        text(screen, x + 45, top + 8, place_word(s.position), small_font);
        const rgb& ball = racer_colours[s.racer];
        filledCircleRGBA(screen, (Sint16)(x + 60), (Sint16)(top - 14), 10, ball.r, ball.g, ball.b, 255);
        text_on_panel(screen, x + 8, top - 62, name_of(s.racer).c_str(), small_font, colour_text_white);
        snprintf(label_buffer, sizeof label_buffer, "%d points", s.total);
        text_white(screen, x + 20, top - 40, label_buffer, small_font);
    }
    draw_button(screen, 180, 432, "Menu", cursor_, 0, small_font);
}

void CupScreen::draw() const {
    list_band();
    if (phase_ == CupPhase::REFUSED) text_white(screen, 40, 130, "Continue cup", large_font);
    else if (phase_ == CupPhase::PODIUM) draw_podium();
    else if (!cup_.races.empty()) draw_standings();
    if (phase_ == CupPhase::REFUSED) draw_button(screen, 40, 320, "Back", cursor_, 0, small_font);
    // The news or the cause, inside the band: over the steps on the podium.
    const int y = phase_ == CupPhase::REFUSED ? 200 : phase_ == CupPhase::PODIUM ? 205 : 410;
    const std::vector<std::string> lines = message_.empty() ? std::vector<std::string>() : fit_message(message_, 62);
    for (size_t i = 0; i < lines.size() && i < 2; i++)
        text_on_panel(screen, 40, y + 24 * (int)i, lines[i].c_str(), small_font,
                      phase_ == CupPhase::REFUSED ? colour_text_white : colour_gold);
}

}  // namespace

ScreenPtr make_cup_screen(FullGameRun& run, const cup_progress& cup) {
    return ScreenPtr(new CupScreen(run, cup, CupPhase::STANDINGS, ""));
}

// A saved cup goes on when it is whole and its tracks are in this run's
// catalogue; a save that is not whole is put aside, so it is refused once.
ScreenPtr make_continue_cup_screen(FullGameRun& run) {
    cup_progress cup;
    std::string bytes, why, line;
    const std::string path = cup_save_path();
    if (!read_regular_file(path.c_str(), MAX_CUP_FILE_BYTES, bytes, why) || !parse_cup_progress(bytes, cup, why)) {
        line = "The saved cup cannot go on: " + why;
        if (rename(path.c_str(), (path.substr(0, path.rfind('/')) + "/cup-damaged.toml").c_str()) == 0)
            line += " (kept as cup-damaged.toml)";
    } else {
        for (const std::string& track : cup.cup.tracks)
            if (line.empty() && catalogue_index(track) < 0)
                line = "The saved cup races " + printable(track) + ", which this run's catalogue lacks";
    }
    if (line.empty()) return ScreenPtr(new CupScreen(run, cup, CupPhase::STANDINGS, ""));
    std::fprintf(stderr, "chainball: %s\n", line.c_str());
    return ScreenPtr(new CupScreen(run, cup, CupPhase::REFUSED, line));
}
