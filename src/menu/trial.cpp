// SPDX-License-Identifier: GPL-3.0-or-later
// Time trial, records and replays screens.
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
#include "io/events.h"
#include "io/media.h"
#include <SDL/SDL_gfxPrimitives.h>
#include "core/state.h"
#include "draw/draw.h"
#include "menu/menu.h"
#include "replay/session.h"
#include "track/track.h"
#include "view/view.h"

// "1:23.45" for a count of 20 ms steps, as the race clock writes it.
static std::string race_time(long long steps) {
    char s[32];
    format_race_time(steps, s, sizeof s);
    return s;
}

// For the whole run.
static records kept;                      // as read at start-up, then as saved
static bool ghosts_shown = false;
static std::string message;               // the last line a screen showed
static trial_choice picks = {0, 7, 3, 0};

// The trial under way.
static bool in_trial = false;             // from Start until its race is left
static RaceSettings run_settings;         // the run's own, while it is
static bool run_two_players = false;
static replay trial_replay;               // the race so far, as its inputs
static lap_clock clock_;
static ghost ghost_;
static const record_entry* lap_record = nullptr;   // of the trial's track, laps, length
static bool race_done = false;
static long long record_shown_until = 0;  // step up to which "New record!" stays
static std::string track_name_now, track_sha_now;

const records& current_records() { return kept; }
const lap_clock& trial_clock() { return clock_; }
const ghost& trial_ghost() { return ghost_; }
const std::string& trial_message() { return message; }
trial_choice& trial_picks() { return picks; }

std::string replays_folder() {
    const std::string home = chainball_data_home();
    return home.empty() ? "" : home + "/replays";
}
static std::string records_folder() {
    const std::string home = chainball_data_home();
    return home.empty() ? "" : home + "/records";
}

static void say(const std::string& line) {
    message = line;
    std::fprintf(stderr, "chainball: %s\n", line.c_str());
}

static std::string file_sha256(const std::string& path) {
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

// A replay kept beside the records: read whole, within the replay limits.
static bool read_record_replay(const std::string& name, replay& out, std::string& why) {
    std::string bytes;
    const std::string path = records_folder() + "/" + name;
    return read_regular_file(path.c_str(), MAX_REPLAY_BYTES, bytes, why) && parse_replay(bytes, out, why);
}

// ---- the race's additions --------------------------------------------

static const record_entry* ghost_record(const Race& race) {
    const record_kind kind = picks.ghost == 1 ? record_kind::race : record_kind::lap;
    const record_entry* e = find_record(kept, track_name_now, race.laps, race.lengths[0], kind);
    // A record of another version of the track drives no ghost.
    return e && e->track_sha256 == track_sha_now && !e->replay.empty() ? e : nullptr;
}

static void start_ghost_for(const Race& race) {
    ghost_.on = false;
    if (!ghosts_shown || picks.ghost == 2 || race.two_players || watching_replay()) return;
    const record_entry* e = ghost_record(race);
    if (!e) return;
    replay rep;
    std::string why;
    if (!read_record_replay(e->replay, rep, why) ||
        !start_ghost(ghost_, rep, chosen_level_file(), rep.track_text,
                     e->kind == record_kind::lap ? e->from_step : -1, e->steps, why))
        say("no ghost from " + printable(e->replay, 100) + ": " + why);
}

static void trial_set_up(const Race& race, const Track& track) {
    track_name_now = chosen_level_name();
    track_sha_now = file_sha256(chosen_level_file());
    clock_ = lap_clock();
    race_done = false;
    record_shown_until = 0;
    message.clear();
    if (in_trial) {
        trial_replay = replay();
        trial_replay.track_name = track_name_now;
        trial_replay.track_sha256 = track_sha_now;
        if (track_file_override) {
            std::string why;
            read_regular_file(chosen_level_file().c_str(), MAX_LEVEL_FILE_BYTES, trial_replay.track_text, why);
        }
        capture_race_setup(trial_replay, race, track);
        lap_record = find_record(kept, track_name_now, race.laps, race.lengths[0], record_kind::lap);
    }
    start_ghost_for(race);
}

// Writes the trial's replay beside the records and puts in the records it
// beats; one line when anything cannot be saved.
static void save_trial(const Race& race) {
    trial_replay.result = current_result(race, race.step);
    record_entry lap, whole;
    lap.track = whole.track = track_name_now;
    lap.track_sha256 = whole.track_sha256 = track_sha_now;
    lap.laps = whole.laps = race.laps;
    lap.length = whole.length = race.lengths[0];
    lap.date = whole.date = today();
    whole.kind = record_kind::race;
    whole.steps = race.step;
    lap.kind = record_kind::lap;
    lap.steps = clock_.best_lap;
    lap.lap = clock_.best_lap_number;
    lap.from_step = clock_.best_lap_from;
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
    const std::string name = track_name_now + "-" + std::to_string(race.lengths[0]) + "-" +
                             std::to_string(race.laps) + "-" + stamp + REPLAY_EXTENSION;
    lap.replay = whole.replay = name;

    records next = kept;
    const bool beat_lap = lap.steps > 0 && offer_record(next, lap);
    const bool beat_race = offer_record(next, whole);
    if (!beat_lap && !beat_race) return;
    std::string why;
    if (!write_file_atomically(records_folder() + "/" + name, format_replay(trial_replay), why)) {
        say("cannot save the record's replay in " + printable(records_folder(), 200) + ": " + why);
        return;
    }
    if (!write_records(records_path(), next, stderr)) {
        unlink((records_folder() + "/" + name).c_str());
        message = "cannot save the records";
        return;
    }
    // Replays no record points to any more go.
    for (const record_entry& old : kept.entries) {
        bool used = false;
        for (const record_entry& e : next.entries) used = used || e.replay == old.replay;
        if (!used && !old.replay.empty()) unlink((records_folder() + "/" + old.replay).c_str());
    }
    kept = next;
    lap_record = find_record(kept, track_name_now, race.laps, race.lengths[0], record_kind::lap);
    message = beat_race ? "New record! Race " + race_time(race.step) : "New record! Lap";
}

static void trial_stepped(const Race& race, RaceInput input) {
    if (in_trial && !race_done) {
        append_script_step(trial_replay.keys, script_keys_of_input(input) & (SIM_UP | SIM_DOWN | SIM_LEFT | SIM_RIGHT));
        if (race.step % REPLAY_CHECK_EVERY == 0) trial_replay.checks.push_back({race.step, race_checksum(race)});
    }
    const bool lap = lap_clock_step(clock_, race, 0);
    if (lap) {
        ghost_restart_lap(ghost_);
        const long long record = lap_record && lap_record->track_sha256 == track_sha_now ? lap_record->steps : 0;
        if (in_trial && (record == 0 || clock_.last_lap < record)) record_shown_until = race.step + 150;
    } else {
        ghost_step(ghost_);
    }
    if (in_trial && !race_done && race_over(race)) {
        race_done = true;
        save_trial(race);
    }
}

static void trial_under_balls(const Race& race) {
    if (ghost_.on) draw_ghost(race, ghost_.race);
}

static void trial_over_views(const Race& race) {
    if (!in_trial) return;
    // The race clock of the full game shows the times; this line compares
    // the last lap with the record.
    if (clock_.last_lap > 0) {
        const long long record = lap_record && lap_record->track_sha256 == track_sha_now ? lap_record->steps : 0;
        std::string line = "Lap " + race_time(clock_.last_lap);
        if (record > 0) line += "  record " + race_time(record);
        snprintf(label_buffer, sizeof label_buffer, "%s", line.c_str());
        text_white(screen, 15, 480, label_buffer, small_font);
    }
    if (race.step < record_shown_until || (race_done && message.compare(0, 11, "New record!") == 0))
        text_white(screen, 150, 400, "New record!", large_font);
}

static const race_frame_addons trial_addons = {trial_set_up, trial_under_balls, trial_stepped,
                                               trial_over_views};

void show_ghosts(bool on) { ghosts_shown = on; }

// True while races go to the game's own folder because of the setting.
static bool recording_by_setting = false;

void record_races(bool on, int keep) {
    if (!on) {
        if (recording_by_setting) stop_recording();
        recording_by_setting = false;
        return;
    }
    if (recording_by_setting || !recording_folder().empty() || replays_folder().empty()) return;
    std::string why;
    if (!make_folders(replays_folder(), why)) {
        std::fprintf(stderr, "chainball: cannot record races: %s\n", why.c_str());
        return;
    }
    recording_by_setting = start_recording(replays_folder(), keep, KEPT_REPLAY_BYTES);
}

void start_trial_extras(bool ghosts_on, bool recording_on, int keep) {
    show_ghosts(ghosts_on);
    kept = read_records(records_path(), stderr);
    frame_addons = &trial_addons;
    race_input_source = replay_input;   // the Replays screen watches in the game
    picks.level_index = race_settings.level_index;
    record_races(recording_on, keep);
}

void after_race_screens() {
    if (!in_trial || game_screen == SCREEN_RACE || game_screen == SCREEN_LOAD || race_frame_open()) return;
    in_trial = false;
    race_settings = run_settings;
    two_players = run_two_players;
    ghost_.on = false;
}

// ---- Time trial screen ---------------------------------------------------

// The chosen track file's SHA-256, read again only when the choice changes
// or the screen is opened, not at every 10 ms frame.
static std::string hashed_file, hashed_sha;

static const std::string& chosen_track_sha(const std::string& file) {
    if (file != hashed_file) {
        hashed_sha = file_sha256(file);
        hashed_file = file;
    }
    return hashed_sha;
}

static void draw_time_trial() {
    const int saved = race_settings.level_index;
    race_settings.level_index = picks.level_index;
    draw_button(screen, 180, 150, "Track:", menu_cursor, 0, small_font);
    text_pink(screen, 230, 153, chosen_level_name(), small_font);
    const std::string name = chosen_level_name();
    const std::string sha = chosen_track_sha(chosen_level_file());
    race_settings.level_index = saved;
    snprintf(label_buffer, sizeof label_buffer, "Length: %d", picks.length);
    draw_button(screen, 180, 180, label_buffer, menu_cursor, 1, small_font);
    snprintf(label_buffer, sizeof label_buffer, "Laps: %d", picks.laps);
    draw_button(screen, 180, 210, label_buffer, menu_cursor, 2, small_font);
    static const char* const ghost_labels[3] = {"Ghost: best lap", "Ghost: best race", "Ghost: off"};
    draw_button(screen, 180, 240, ghost_labels[picks.ghost], menu_cursor, 3, small_font);
    draw_button(screen, 180, 270, "Start", menu_cursor, 4, small_font);
    draw_button(screen, 180, 300, "Back", menu_cursor, 5, small_font);
    for (int k = 0; k < 2; k++) {
        const record_kind kind = k == 0 ? record_kind::lap : record_kind::race;
        const record_entry* e = find_record(kept, name, picks.laps, picks.length, kind);
        std::string line = std::string(k == 0 ? "Best lap " : "Best race ") +
                           (e ? race_time(e->steps) : std::string("-"));
        if (e && e->track_sha256 != sha) line += " (older track)";
        snprintf(label_buffer, sizeof label_buffer, "%s", line.c_str());
        text_white(screen, 180, 340 + 18 * k, label_buffer, small_font);
    }
    if (!ghosts_shown) text_white(screen, 180, 380, "Ghosts are off in the settings", small_font);
}

static void start_trial() {
    run_settings = race_settings;
    run_two_players = two_players;
    race_settings.level_index = picks.level_index;
    race_settings.chain_length[0] = picks.length;
    race_settings.chain_length[1] = race_settings.chain_length[2] = 0;
    race_settings.laps = picks.laps;
    two_players = false;
    in_trial = true;
    game_screen = SCREEN_LOAD;
}

static void time_trial_key(SDLKey key) {
    const int step = key == SDLK_RIGHT ? 1 : key == SDLK_LEFT ? -1 : 0;
    switch (menu_cursor) {
        case 0: picks.level_index += step; break;
        case 1: picks.length = std::min(10, std::max(1, picks.length + step)); break;
        case 2: picks.laps = std::min(99, std::max(1, picks.laps + step)); break;
        case 3: picks.ghost = (picks.ghost + step + 3) % 3; break;
        default: break;
    }
    if (key == SDLK_ESCAPE || (key == SDLK_RETURN && menu_cursor == 5)) game_screen = SCREEN_MENU;
    if (key == SDLK_RETURN && menu_cursor == 4) start_trial();
}

static void keep_trial_picks() {
    if (picks.level_index > last_level_index) picks.level_index = 0;
    if (picks.level_index < 0) picks.level_index = last_level_index < 0 ? 0 : last_level_index;
}

// The screen that was opened puts its cursor in place at its first frame:
// the menu that opened it still wraps the cursor into its own range.
static int cursor_on_entry = -1;

static void enter_cursor() {
    if (cursor_on_entry >= 0) menu_cursor = cursor_on_entry;
    cursor_on_entry = -1;
}

void open_time_trial() {
    cursor_on_entry = 4;
    hashed_file.clear();   // the file may have changed since the last visit
    game_screen = SCREEN_TIME_TRIAL;
}

void time_trial_frame() {
    enter_cursor();
    menu_pass(draw_time_trial, time_trial_key, 5, keep_trial_picks);
}

// ---- Records screen ------------------------------------------------------

static int records_top = 0;

// A dark band under a list, so its white lines read on any background.
static void list_band() { boxRGBA(screen, 20, 125, 480, 478, 0, 0, 0, 170); }

// Each listed track's SHA-256, read once per opening of the screen rather
// than at every frame.
static std::map<std::string, std::string> records_sha_of;

static void draw_records() {
    list_band();
    text_white(screen, 40, 130, "Records: track, length, laps, best lap, best race", small_font);
    std::vector<const record_entry*> laps;
    for (const record_entry& e : kept.entries)
        if (e.kind == record_kind::lap) laps.push_back(&e);
    std::sort(laps.begin(), laps.end(), [](const record_entry* a, const record_entry* b) {
        return a->track != b->track ? a->track < b->track : a->length != b->length ? a->length < b->length : a->laps < b->laps;
    });
    if (laps.empty()) text_white(screen, 40, 160, "No records yet: race a time trial.", small_font);
    records_top = std::max(0, std::min(records_top, (int)laps.size() - 1));
    std::map<std::string, std::string>& sha_of = records_sha_of;
    for (int i = records_top, row = 0; i < (int)laps.size() && row < 16; i++, row++) {
        const record_entry& e = *laps[i];
        const record_entry* race = find_record(kept, e.track, e.laps, e.length, record_kind::race);
        if (!sha_of.count(e.track)) sha_of[e.track] = file_sha256(level_file_path(e.track.c_str()));
        snprintf(label_buffer, sizeof label_buffer, "%-14.14s %2d %2d %9s %9s%s", e.track.c_str(), e.length, e.laps,
                 race_time(e.steps).c_str(), race ? race_time(race->steps).c_str() : "-",
                 e.track_sha256 != sha_of[e.track] ? " old" : "");
        text_white(screen, 40, 160 + 18 * row, label_buffer, small_font);
    }
    text_white(screen, 40, 460, "Up/Down scroll, Escape back. old: an older track version", small_font);
}

static void records_key(SDLKey key) {
    if (key == SDLK_ESCAPE || key == SDLK_RETURN) game_screen = SCREEN_MENU;
}

static void records_scroll() {
    records_top += menu_cursor - 1;   // Up and Down moved the cursor from 1
    menu_cursor = 1;
}

void open_records() {
    records_sha_of.clear();
    kept = read_records(records_path(), stderr);
    cursor_on_entry = 1;
    records_top = 0;
    game_screen = SCREEN_RECORDS;
}

void records_frame() {
    enter_cursor();
    menu_pass(draw_records, records_key, 2, records_scroll);
}

// ---- Replays screen ------------------------------------------------------

struct listed_replay {
    std::string name;
    bool read = false, usable = false;
    std::string line;   // track, date, players, winner, time
};
static std::vector<listed_replay> listed;
static int replays_top = 0;
constexpr int REPLAYS_SHOWN = 14;

static void list_replays() {
    listed.clear();
    std::string why;
    const std::string dir = replays_folder();
    struct stat st;
    if (dir.empty() || lstat(dir.c_str(), &st) != 0) {
        message = "No replays yet.";
        return;
    }
    if (!S_ISDIR(st.st_mode)) {
        say("replays folder " + printable(dir, 200) + " is not a folder");
        return;
    }
    for (const std::string& n : replay_files(dir, KEPT_REPLAYS * 2, why)) listed.push_back(listed_replay{n, false, false, ""});
    if (!why.empty()) say("cannot list replays in " + printable(dir, 200) + ": " + why);
    else if (listed.empty()) message = "No replays yet.";
}

// Reads a listed replay the first time it is shown.
static void describe(listed_replay& l) {
    if (l.read) return;
    l.read = true;
    replay r;
    std::string bytes, why;
    const std::string path = replays_folder() + "/" + l.name;
    if (!read_regular_file(path.c_str(), MAX_REPLAY_BYTES, bytes, why) || !parse_replay(bytes, r, why)) {
        l.line = printable(l.name, 24) + ": " + why;
        return;
    }
    l.usable = true;
    const std::string date = l.name.size() >= 15 ? l.name.substr(0, 4) + "-" + l.name.substr(4, 2) + "-" +
                                                       l.name.substr(6, 2) + " " + l.name.substr(9, 2) + ":" +
                                                       l.name.substr(11, 2)
                                                 : "";
    char s[160];
    std::snprintf(s, sizeof s, "%-12.12s %s %dP %s %s", r.track_name.c_str(), date.c_str(), r.two_player ? 2 : 1,
                  r.result.left ? "left" : ("P" + std::to_string(r.result.winner) + " won").c_str(),
                  race_time(r.result.steps).c_str());
    l.line = s;
}

static void draw_replays() {
    list_band();
    text_white(screen, 30, 130, "Replays: Enter watch, Delete remove, E export, Esc back", small_font);
    replays_top = std::max(0, std::min(replays_top, std::max(0, menu_cursor - REPLAYS_SHOWN + 1)));
    if (menu_cursor < replays_top) replays_top = menu_cursor;
    for (int i = replays_top, row = 0; i < (int)listed.size() && row < REPLAYS_SHOWN; i++, row++) {
        describe(listed[i]);
        snprintf(label_buffer, sizeof label_buffer, "%s", listed[i].line.c_str());
        if (i == menu_cursor)
            boxRGBA(screen, 26, (Sint16)(149 + 20 * row), 474, (Sint16)(166 + 20 * row), colour_button_lit.r,
                    colour_button_lit.g, colour_button_lit.b, 255);
        text_white(screen, 30, 150 + 20 * row, label_buffer, small_font);
    }
    if (!message.empty()) {
        snprintf(label_buffer, sizeof label_buffer, "%s", message.c_str());
        text_white(screen, 30, 460, label_buffer, small_font);
    }
}

static void watch(const listed_replay& l) {
    if (load_replay_to_watch(replays_folder() + "/" + l.name, false) && start_watching()) return;
    message = "cannot watch " + printable(l.name, 30) + " (see the terminal)";
}

// A copy that carries its track, in the data folder's exported/.
static void export_replay(const listed_replay& l) {
    replay r;
    std::string bytes, why;
    const std::string home = chainball_data_home();
    if (!read_regular_file((replays_folder() + "/" + l.name).c_str(), MAX_REPLAY_BYTES, bytes, why) ||
        !parse_replay(bytes, r, why)) {
        say("cannot export " + printable(l.name, 100) + ": " + why);
        return;
    }
    if (r.track_text.empty()) {
        std::string track_bytes;
        if (read_regular_file(level_file_path(r.track_name.c_str()).c_str(), MAX_LEVEL_FILE_BYTES, track_bytes, why) &&
            sha256_hex(track_bytes) == r.track_sha256)
            r.track_text = track_bytes;
    }
    const std::string out = home + "/exported/" + l.name;
    if (write_file_atomically(out, format_replay(r), why)) message = "Exported to " + out;
    else say("cannot export to " + printable(out, 200) + ": " + why);
}

static void replays_key(SDLKey key) {
    const int i = menu_cursor;
    const bool on_entry = i >= 0 && i < (int)listed.size();
    if (key == SDLK_ESCAPE) game_screen = SCREEN_MENU;
    if (!on_entry) return;
    if (key == SDLK_RETURN) watch(listed[i]);
    if (key == SDLK_e) export_replay(listed[i]);
    if (key == SDLK_DELETE) {
        const std::string path = replays_folder() + "/" + listed[i].name;
        if (unlink(path.c_str()) == 0) {
            message = "Deleted " + listed[i].name;
            listed.erase(listed.begin() + i);
        } else {
            say("cannot delete " + printable(path, 200) + ": " + std::strerror(errno));
        }
    }
}

void open_replays() {
    message.clear();
    list_replays();
    cursor_on_entry = 0;
    replays_top = 0;
    game_screen = SCREEN_REPLAYS;
}

void replays_frame() {
    enter_cursor();
    menu_pass(draw_replays, replays_key, std::max(0, (int)listed.size() - 1), nullptr);
}
