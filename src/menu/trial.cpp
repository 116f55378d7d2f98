// SPDX-License-Identifier: GPL-3.0-or-later
// What the time trial, records and replays share, the full game's race
// additions, and the Time trial screen.
#include "menu/trial.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <map>

#include "core/files.h"
#include "io/assets.h"
#include "io/effects.h"
#include "io/events.h"
#include "io/media.h"
#include <SDL/SDL_gfxPrimitives.h>
#include "core/state.h"
#include "draw/draw.h"
#include "menu/menu.h"
#include "race/progress.h"
#include "replay/session.h"
#include "track/track.h"
#include "view/view.h"

std::string race_time(long long steps) {
    char s[32];
    format_race_time(steps, s, sizeof s);
    return s;
}

void reload_records(FullGameRun& run) {
    run.kept = read_records(records_path(), stderr);
    const record_check trusted = [&run](const record_entry& e) { return record_trusted(run, e); };
    for (const record_entry& e : run.unsaved) offer_record(run.kept, e, trusted);
}

std::string replays_folder() {
    const std::string home = user_folder(UserFolder::data);
    return home.empty() ? "" : home + "/replays";
}
std::string records_folder() {
    const std::string home = user_folder(UserFolder::data);
    return home.empty() ? "" : home + "/records";
}

void say(std::string& shown, const std::string& line) {
    shown = line;
    std::fprintf(stderr, "chainball: %s\n", line.c_str());
}

void list_band() { boxRGBA(screen, 20, 125, 480, 478, 0, 0, 0, 170); }

std::string file_sha256(const std::string& path) {
    std::string bytes, why;
    if (!read_regular_file(path.c_str(), MAX_LEVEL_FILE_BYTES, bytes, why)) bytes.clear();
    return sha256_hex(bytes);
}

static std::string today() {
    char s[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(s, sizeof s, "%Y-%m-%d %H:%M", std::localtime(&now));
    return s;
}

// ---- records that may stand ---------------------------------------------

// A replay kept beside the records: read whole, within the replay limits.
static bool read_record_replay(const std::string& name, replay& out, std::string& why) {
    std::string bytes;
    const std::string path = records_folder() + "/" + name;
    return read_regular_file(path.c_str(), MAX_REPLAY_BYTES, bytes, why) && parse_replay(bytes, out, why);
}

// Whether `e`'s replay holds its time; false with the reason, which is ""
// for a record of another version of the track: its time cannot be raced
// again, and any time beats it anyway.
static bool record_holds(const record_entry& e, std::string& why) {
    replay rep;
    if (e.replay.empty()) {
        why = "it names no replay";
        return false;
    }
    if (!read_record_replay(e.replay, rep, why)) {
        why = "its replay " + printable(e.replay, 100) + ": " + why;
        return false;
    }
    if (rep.track_name != e.track || rep.track_sha256 != e.track_sha256 || rep.laps != e.laps ||
        rep.lengths[0] != e.length || (rep.off_road == OFF_ROAD_SLOWS) != e.off_road_slows) {
        why = "its replay " + printable(e.replay, 100) + " is of another race";
        return false;
    }
    // The time trial keeps finished races only, with a check every
    // REPLAY_CHECK_EVERY steps; a replay without them could only be checked
    // by running it whole.
    if (rep.result.left || rep.checks.size() < (size_t)(rep.result.steps / REPLAY_CHECK_EVERY)) {
        why = "its replay " + printable(e.replay, 100) + " is no finished race with the checks the game writes";
        return false;
    }
    const std::string path = level_file_path(e.track.c_str());
    if (rep.track_text.empty() && file_sha256(path) != e.track_sha256) {
        why.clear();
        return false;
    }
    const bool lap = e.kind == record_kind::lap;
    if (replay_holds_time(rep, path, rep.track_text, lap ? e.from_step : -1, e.lap, e.steps, why)) return true;
    why = "its replay " + printable(e.replay, 100) + ": " + why;
    return false;
}

bool record_trusted(FullGameRun& run, const record_entry& e) {
    const std::string key = e.track + "\n" + e.track_sha256 + "\n" + e.replay + "\n" +
                            std::to_string((int)e.kind) + " " + std::to_string(e.laps) + " " +
                            std::to_string(e.length) + " " + std::to_string(e.steps) + " " +
                            std::to_string(e.lap) + " " + std::to_string(e.from_step) + " " +
                            std::to_string(e.off_road_slows);
    const auto known = run.record_checks.find(key);
    if (known != run.record_checks.end()) return known->second;
    std::string why;
    const bool holds = record_holds(e, why);
    if (!holds && !why.empty())
        std::fprintf(stderr, "chainball: records: the best %s on %s (length %d, %d laps, %s) is not counted: %s\n",
                     e.kind == record_kind::lap ? "lap" : "race", printable(e.track).c_str(), e.length, e.laps,
                     race_time(e.steps).c_str(), why.c_str());
    run.record_checks[key] = holds;
    return holds;
}

const record_entry* trusted_record(FullGameRun& run, const std::string& track, int laps, int length,
                                   record_kind kind, bool off_road_slows) {
    const record_entry* e = find_record(run.kept, track, laps, length, kind, off_road_slows);
    return e && record_trusted(run, *e) ? e : nullptr;
}

// ---- the race's additions ------------------------------------------------

namespace {

class TrialAddons : public RaceAddons {
public:
    TrialAddons(FullGameRun& run, bool trial, int ghost) : run_(run), trial_(trial), ghost_choice_(ghost) {}
    void set_up(const RacePlan& plan, const Race& race, const Track& track, bool watching) override;
    void under_balls(const Race& race, const ViewCameras& cams) const override {
        if (ghost_.on) draw_ghost(race, ghost_.race, cams);
    }
    void stepped(const Race& race, RaceInput input) override;
    void over_views(const Race& race) const override;
    bool minimap() const override { return run_.options.minimap; }

private:
    const record_entry* ghost_record(const Race& race, int choice) const;
    void start_ghost_for(const Race& race, bool watching);
    void start_reference(const Race& race, bool watching);
    void note_split(const Race& race);
    void draw_splits(const Race& race) const;
    void save(const Race& race);
    long long lap_record_steps() const {
        const record_entry* e = trusted_record(run_, track_name_, laps_, length_, record_kind::lap, slows_);
        return e && e->track_sha256 == track_sha_ ? e->steps : 0;
    }

    FullGameRun& run_;   // the records and the ghost switch; lives for the run
    bool trial_;
    int ghost_choice_;
    std::string track_name_, track_sha_, track_file_;
    int laps_ = 0, length_ = 0;
    bool slows_ = false;   // the race's off-road rule: records are kept apart by it
    replay replay_;                   // the trial's race so far, as its inputs
    ghost ghost_;
    bool race_done_ = false;
    long long record_shown_until_ = 0;   // step up to which "New record!" stays
    std::string message_;
    // The splits: the marks of the route (race/progress.h) the trial's racer
    // reached, against when the record's reached them. Against a lap
    // record both count from the lap's start.
    const Track* track_ = nullptr;
    SplitLog live_, reference_;
    bool have_reference_ = false, lap_reference_ = false;
    long long split_ = 0, split_shown_until_ = 0;
};

// The record the choice names (0 best lap, 1 best race, 2 the race record
// for the splits alone), when it drives: of this version of the track, with
// its replay, and standing on it.
const record_entry* TrialAddons::ghost_record(const Race& race, int choice) const {
    const record_kind kind = choice == 0 ? record_kind::lap : record_kind::race;
    const record_entry* e =
        trusted_record(run_, track_name_, race.laps, race.lengths[0], kind, race.off_road == OFF_ROAD_SLOWS);
    // A record of another version of the track drives no ghost.
    return e && e->track_sha256 == track_sha_ && !e->replay.empty() ? e : nullptr;
}

// Starts `g` driving record `e` again; false with one line when it cannot.
static bool drive_record(const record_entry& e, const std::string& track_file, ghost& g, std::string& message) {
    replay rep;
    std::string why;
    if (read_record_replay(e.replay, rep, why) &&
        start_ghost(g, rep, track_file, rep.track_text, e.kind == record_kind::lap ? e.from_step : -1, e.steps, why))
        return true;
    say(message, "no ghost from " + printable(e.replay, 100) + ": " + why);
    return false;
}

void TrialAddons::start_ghost_for(const Race& race, bool watching) {
    ghost_.on = false;
    if (!run_.options.ghosts || ghost_choice_ == 2 || race.two_players || watching) return;
    const record_entry* e = ghost_record(race, ghost_choice_);
    if (e) drive_record(*e, track_file_, ghost_, message_);
}

// The record's splits, from its replay driven through once.
void TrialAddons::start_reference(const Race& race, bool watching) {
    have_reference_ = false;
    split_shown_until_ = 0;
    start_splits(live_, race, *track_);
    const record_entry* e = trial_ && !watching && !race.two_players ? ghost_record(race, ghost_choice_) : nullptr;
    // A ghost of the same record that could not start has said why.
    const bool ghost_failed = run_.options.ghosts && ghost_choice_ != 2 && !ghost_.on;
    ghost g;
    if (!e || ghost_failed || !drive_record(*e, track_file_, g, message_)) return;
    start_splits(reference_, g.race, *g.track);
    while (g.driven < g.steps) {
        ghost_step(g);
        note_splits(reference_, g.race, *g.track);
    }
    have_reference_ = true;
    lap_reference_ = e->kind == record_kind::lap;
}

// After a step: a mark reached shows its split against the record's for
// two seconds; a lap record's count starts again with each lap.
void TrialAddons::note_split(const Race& race) {
    if (!have_reference_ || race_done_) return;
    const size_t before = live_.at[0].size();
    note_splits(live_, race, *track_);
    const size_t m = live_.at[0].size() - 1;
    if (live_.at[0].size() > before && m < reference_.at[0].size()) {
        split_ = live_.at[0][m] - reference_.at[0][m];
        split_shown_until_ = race.step + 100;
    }
    if (lap_reference_ && lap_completed_now(race, 0)) start_splits(live_, race, *track_);
}

void TrialAddons::set_up(const RacePlan& plan, const Race& race, const Track& track, bool watching) {
    track_name_ = plan_track_name(plan);
    track_file_ = plan_track_file(plan);
    track_sha_ = file_sha256(track_file_);
    laps_ = race.laps;
    length_ = race.lengths[0];
    slows_ = race.off_road == OFF_ROAD_SLOWS;
    race_done_ = watching;   // a watched race is no trial
    record_shown_until_ = 0;
    message_.clear();
    track_ = &track;
    if (trial_) {
        replay_ = replay();
        replay_.track_name = track_name_;
        replay_.track_sha256 = track_sha_;
        if (track_file_override) {
            std::string why;
            read_regular_file(track_file_.c_str(), MAX_LEVEL_FILE_BYTES, replay_.track_text, why);
        }
        capture_race_setup(replay_, race, track);
    }
    start_ghost_for(race, watching);
    start_reference(race, watching);
}

// Writes the trial's replay beside the records and puts in the records it
// beats; one line when anything cannot be saved.
void TrialAddons::save(const Race& race) {
    replay_.result = current_result(race, race.step);
    record_entry lap, whole;
    lap.track = whole.track = track_name_;
    lap.track_sha256 = whole.track_sha256 = track_sha_;
    lap.laps = whole.laps = race.laps;
    lap.length = whole.length = race.lengths[0];
    lap.off_road_slows = whole.off_road_slows = race.off_road == OFF_ROAD_SLOWS;
    lap.date = whole.date = today();
    whole.kind = record_kind::race;
    whole.steps = race.step;
    lap.kind = record_kind::lap;
    const LapClock& clock = race.clocks[0];
    lap.steps = clock.best_lap;
    lap.lap = clock.best_lap_number;
    lap.from_step = clock.best_lap_from;
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
    const std::string name = track_name_ + "-" + std::to_string(race.lengths[0]) + "-" +
                             std::to_string(race.laps) + "-" + stamp + REPLAY_EXTENSION;
    lap.replay = whole.replay = name;

    // Records waiting from an earlier save go with these.
    records mine = run_.kept;
    const record_check trusted = [this](const record_entry& e) { return record_trusted(run_, e); };
    std::vector<record_entry> fresh = run_.unsaved;
    if (lap.steps > 0 && offer_record(mine, lap, trusted)) fresh.push_back(lap);
    if (offer_record(mine, whole, trusted)) fresh.push_back(whole);
    if (fresh.size() == run_.unsaved.size()) return;
    std::string why;
    if (records_folder().empty()) {   // no home folder: its one line, and nothing written
        write_records(records_path(), mine, stderr);
        message_ = "cannot save the records";
        return;
    }
    if (!write_file_atomically(records_folder() + "/" + name, format_replay(replay_), why)) {
        say(message_, "cannot save the record's replay in " + printable(records_folder(), 200) + ": " + why);
        return;
    }
    records stored;
    std::vector<std::string> gone;
    const save_result saved = save_new_records(records_path(), fresh, trusted, stored, gone, stderr);
    if (saved == save_result::locked) {
        run_.unsaved = fresh;   // shown now, written at the next save
        run_.kept = mine;
    } else {
        run_.unsaved.clear();
        if (saved == save_result::written) run_.kept = stored;
        // Replays no record points to any more go (this one too when the
        // records could not be written, or another game's beat it).
        for (const std::string& old : gone) unlink((records_folder() + "/" + old).c_str());
    }
    const record_entry* raced =
        find_record(run_.kept, whole.track, whole.laps, whole.length, record_kind::race, whole.off_road_slows);
    const bool beat_race = raced && raced->replay == name;
    const record_entry* lapped =
        find_record(run_.kept, lap.track, lap.laps, lap.length, record_kind::lap, lap.off_road_slows);
    if (saved == save_result::failed) message_ = "cannot save the records";
    else if (beat_race) message_ = "New record! Race " + race_time(race.step);
    else if (lapped && lapped->replay == name) message_ = "New record! Lap";
    if (beat_race || (lapped && lapped->replay == name)) play_effect(EFFECT_RECORD);
}

void TrialAddons::stepped(const Race& race, RaceInput input) {
    if (trial_ && !race_done_) {
        append_script_step(replay_.keys, script_keys_of_input(input) & (SIM_UP | SIM_DOWN | SIM_LEFT | SIM_RIGHT));
        if (race.step % REPLAY_CHECK_EVERY == 0) replay_.checks.push_back({race.step, race_checksum(race)});
    }
    if (lap_completed_now(race, 0)) {
        ghost_restart_lap(ghost_);
        const long long record = lap_record_steps();
        if (trial_ && !race_done_ && (record == 0 || race.clocks[0].last_lap < record)) {
            record_shown_until_ = race.step + 150;
            // The finish's records sound once they are saved.
            if (race.racers[0].completed_laps < race.laps) play_effect(EFFECT_RECORD);
        }
    } else {
        ghost_step(ghost_);
    }
    note_split(race);
    if (trial_ && !race_done_ && race_over(race)) {
        race_done_ = true;
        save(race);
    }
}

// Top middle, between the lap display and the clock: the ghost's gap and,
// for two seconds after each mark, the split.
void TrialAddons::draw_splits(const Race& race) const {
    long long gap = 0;
    const bool ghost_line = have_reference_ && ghost_.on && split_gap(live_, 0, reference_, 0, gap);
    const bool split_line = have_reference_ && race.step < split_shown_until_;
    if (!ghost_line && !split_line) return;
    hud_panel(screen, 190, 10, 120, 6 + 2 * 14);
    char t[32], line[48];
    if (ghost_line) {
        format_gap(gap, t, sizeof t);
        std::snprintf(line, sizeof line, "Ghost %s", t);
        hud_text(screen, 196, 13, line);
    }
    if (split_line) {
        format_gap(split_, t, sizeof t);
        std::snprintf(line, sizeof line, "Split %s", t);
        hud_text(screen, 196, 27, line);
    }
}

void TrialAddons::over_views(const Race& race) const {
    if (!trial_) return;
    // The race clock of the full game shows the times; this line compares
    // the last lap with the record.
    if (race.clocks[0].last_lap > 0) {
        const long long record = lap_record_steps();
        std::string line = "Lap " + race_time(race.clocks[0].last_lap);
        if (record > 0) line += "  record " + race_time(record);
        snprintf(label_buffer, sizeof label_buffer, "%s", line.c_str());
        text_white(screen, 15, 480, label_buffer, small_font);
    }
    draw_splits(race);
    if (race.step < record_shown_until_ || (race_done_ && message_.compare(0, 11, "New record!") == 0))
        text_on_panel(screen, 150, 400, "New record!", large_font, colour_gold);
}

}  // namespace

std::shared_ptr<RaceAddons> make_race_addons(FullGameRun& run, bool trial, int ghost) {
    return std::make_shared<TrialAddons>(run, trial, ghost);
}

void record_races(FullGameRun& run, bool on, int keep) {
    bool& by_setting = run.recording_by_setting;   // races go to the game's folder because of the setting
    if (!on) {
        if (by_setting) stop_recording();
        by_setting = false;
        return;
    }
    if (by_setting || !recording_folder().empty() || replays_folder().empty()) return;
    // The folder is made with the first replay written into it.
    by_setting = start_recording(replays_folder(), keep, KEPT_REPLAY_BYTES);
}

void start_trial_extras(FullGameRun& run) {
    reload_records(run);
    record_races(run, run.options.recording, run.settings.recordings_kept);
}

// ---- Time trial screen ---------------------------------------------------

namespace {

// What the player picks for a trial: track, chain length, laps, ghost (0
// best lap, 1 best race, 2 off). Kept by the screen between its trials.
struct TrialChoice {
    int level_index;
    int length = 7;
    int laps = 3;
    int ghost = 0;
};

class TimeTrialScreen : public Screen {
public:
    explicit TimeTrialScreen(FullGameRun& run) : run_(run) {
        picks_.level_index = race_settings.level_index;
        picks_.length = std::min(10, std::max(1, run.options.trial_length));
        picks_.laps = std::min(MAX_TRIAL_LAPS, std::max(1, run.options.trial_laps));
    }
    int kind() const override { return SCREEN_TIME_TRIAL; }
    void enter() override {
        resize_window(500, 500);
        hashed_file_.clear();   // the file may have changed since the last visit
    }
    ScreenChange frame() override {
        ScreenChange next;
        auto on_key = [this, &next](SDLKey key) {
            if (next.kind == ScreenChange::STAY) next = on_trial_key(key);
        };
        if (menu_pass(cursor_, [this] { draw(); }, on_key, 5, [this] { keep_picks(); })) return quit_game();
        return next;
    }

private:
    // The chosen track file's SHA-256, read again only when the choice
    // changes or the screen is entered, not at every 10 ms frame.
    const std::string& chosen_sha(const std::string& file) {
        if (file != hashed_file_) {
            hashed_sha_ = file_sha256(file);
            hashed_file_ = file;
        }
        return hashed_sha_;
    }
    void draw() {
        draw_button(screen, 180, 150, "Track:", cursor_, 0, small_font);
        const std::string name = level_name_at(picks_.level_index);
        text_pink(screen, 230, 153, name.c_str(), small_font);
        const std::string sha = chosen_sha(level_file_at(picks_.level_index));
        snprintf(label_buffer, sizeof label_buffer, "Length: %d", picks_.length);
        draw_button(screen, 180, 180, label_buffer, cursor_, 1, small_font);
        snprintf(label_buffer, sizeof label_buffer, "Laps: %d", picks_.laps);
        draw_button(screen, 180, 210, label_buffer, cursor_, 2, small_font);
        static const char* const ghost_labels[3] = {"Ghost: best lap", "Ghost: best race", "Ghost: off"};
        draw_button(screen, 180, 240, ghost_labels[picks_.ghost], cursor_, 3, small_font);
        draw_button(screen, 180, 270, "Start", cursor_, 4, small_font);
        draw_button(screen, 180, 300, "Back", cursor_, 5, small_font);
        for (int k = 0; k < 2; k++) {
            const record_kind which = k == 0 ? record_kind::lap : record_kind::race;
            const record_entry* e = find_record(run_.kept, name, picks_.laps, picks_.length, which,
                                                trial_setup().off_road == OFF_ROAD_SLOWS);
            // A record of this version stands only when its replay holds it.
            if (e && e->track_sha256 == sha && !record_trusted(run_, *e)) e = nullptr;
            std::string line = std::string(k == 0 ? "Best lap " : "Best race ") +
                               (e ? race_time(e->steps) : std::string("-"));
            if (e && e->track_sha256 != sha) line += " (older track)";
            snprintf(label_buffer, sizeof label_buffer, "%s", line.c_str());
            text_white(screen, 180, 340 + 18 * k, label_buffer, small_font);
        }
        // The records shown are the rule's: say which.
        snprintf(label_buffer, sizeof label_buffer, "Off-road: %s", off_road_label(trial_setup().off_road));
        text_white(screen, 180, 376, label_buffer, small_font);
        if (!run_.options.ghosts) text_white(screen, 180, 394, "Ghosts are off in the settings", small_font);
    }
    // The trial's race: one player alone, from the picks; the run's own
    // settings are not touched. Escape in it comes back here.
    RaceSetup trial_setup() const {
        return {{picks_.length, 0, 0}, picks_.laps, false, race_settings.difficulty, race_settings.off_road};
    }
    ScreenChange start() const {
        RacePlan plan;
        plan.level_index = picks_.level_index;
        plan.setup = trial_setup();
        plan.addons = make_race_addons(run_, true, picks_.ghost);
        return open_screen(make_race_screen(plan));
    }
    ScreenChange on_trial_key(SDLKey key) {
        const int step = key == SDLK_RIGHT ? 1 : key == SDLK_LEFT ? -1 : 0;
        switch (cursor_) {
            case 0: picks_.level_index += step; break;
            case 1: picks_.length = std::min(10, std::max(1, picks_.length + step)); break;
            case 2: picks_.laps = std::min(MAX_TRIAL_LAPS, std::max(1, picks_.laps + step)); break;
            case 3: picks_.ghost = (picks_.ghost + step + 3) % 3; break;
            default: break;
        }
        const bool leaving = key == SDLK_ESCAPE || (key == SDLK_RETURN && cursor_ == 5);
        const bool starting = key == SDLK_RETURN && cursor_ == 4;
        if (leaving || starting) remember_picks();
        if (leaving) return go_back();
        if (starting) return start();
        return stay_on_screen();
    }
    void keep_picks() { picks_.level_index = wrapped_level_index(picks_.level_index); }
    // The chain length and laps are the next trial's too, in this run and the next.
    void remember_picks() {
        run_.options.trial_length = picks_.length;
        run_.options.trial_laps = picks_.laps;
        save_full_settings_if_changed(run_, stderr);
    }

    FullGameRun& run_;
    int cursor_ = 4;   // opens on "Start"
    TrialChoice picks_;
    std::string hashed_file_, hashed_sha_;
};

}  // namespace

ScreenPtr make_time_trial_screen(FullGameRun& run) { return ScreenPtr(new TimeTrialScreen(run)); }
