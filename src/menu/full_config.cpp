// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's settings file and the run's settings: reading at
// start-up, putting them into the run, and writing them back when changed.
#include <cstring>
#include <string>

#include "core/files.h"
#include "core/state.h"
#include "io/effects.h"
#include "menu/full_game.h"
#include "race/race.h"
#include "track/track.h"

void (*window_mode_hook)(int scale, bool fullscreen) = nullptr;   // set by the shell

game_config read_full_settings(FILE* err) { return read_config(config_path(), err); }

static KeyBindings bindings_of(const game_config& c) {
    KeyBindings k = default_key_bindings();
    for (int e = 0; e < BINDABLE; e++) bind_entry(k, e, e < 8 ? c.drive[e / 4][e % 4] : c.pause);
    return k;
}

void apply_full_settings(FullGameRun& run, const game_config& c, FILE* err) {
    for (int r = 0; r < 3; r++) race_settings.chain_length[r] = c.chain_length[r];
    race_settings.laps = c.laps;
    race_settings.level_index = 0;
    if (!c.track.empty()) {
        int found = -1;
        for (int i = 0; i <= last_level_index && found < 0; i++)
            if (c.track == level_names[i]) found = i;
        if (found >= 0)
            race_settings.level_index = found;
        else
            std::fprintf(err, "chainball: settings %s: race.track: no track '%s' in the catalogue; using the first\n",
                         printable(config_path(), 200).c_str(), printable(c.track).c_str());
    }
    race_settings.music_on = c.music;
    race_settings.difficulty = c.level;
    race_settings.off_road = c.off_road_slows ? OFF_ROAD_SLOWS : OFF_ROAD_FREE;
    key_bindings = bindings_of(c);
    run.options.scale = c.scale;
    run.options.fullscreen = c.fullscreen;
    run.options.minimap = c.minimap;
    run.options.ghosts = c.ghosts;
    run.options.recording = c.recording;
    run.options.music_volume = c.music_volume;
    run.options.effects_volume = c.effects_volume;
    set_volumes(c.music_volume, c.effects_volume);
    run.options.trial_length = c.trial_length;
    run.options.trial_laps = c.trial_laps;
    run.options.input_delay = c.input_delay;
    // What was put in is what the file holds now: a bad value, taken as its
    // default, is not written back until the player changes something.
    run.settings = c;
    run.settings = current_full_settings(run);
}

game_config current_full_settings(const FullGameRun& run) {
    game_config c = run.settings;   // what no screen changes stays as read
    for (int r = 0; r < 3; r++) c.chain_length[r] = race_settings.chain_length[r];
    c.laps = race_settings.laps < 1 ? 1 : race_settings.laps > MAX_CONFIG_LAPS ? MAX_CONFIG_LAPS : race_settings.laps;
    // A run on one --track file keeps the file's choice of track, and the
    // first track stays unnamed until another is chosen.
    if (!track_file_override && !(race_settings.level_index == 0 && run.settings.track.empty()))
        c.track = chosen_level_name();
    c.music = race_settings.music_on;
    c.level = difficulty_of(race_settings.difficulty);
    c.off_road_slows = race_settings.off_road == OFF_ROAD_SLOWS;
    c.scale = run.options.scale;
    c.fullscreen = run.options.fullscreen;
    c.minimap = run.options.minimap;
    c.ghosts = run.options.ghosts;
    c.recording = run.options.recording;
    c.music_volume = run.options.music_volume;
    c.effects_volume = run.options.effects_volume;
    c.trial_length = run.options.trial_length;
    c.trial_laps = run.options.trial_laps;
    c.input_delay = run.options.input_delay;
    for (int e = 0; e < BINDABLE; e++) {
        const binding b = bound_to(key_bindings, e);
        if (e < 8)
            c.drive[e / 4][e % 4] = b;
        else
            c.pause = b;
    }
    return c;
}

bool save_full_settings_if_changed(FullGameRun& run, FILE* err) {
    const game_config now = current_full_settings(run);
    if (format_config(now) == format_config(run.settings)) return false;
    const save_result saved = save_config_changes(config_path(), run.settings, now, err);
    // Kept as the file's even when writing fails: one line per change, not
    // per leaving. A locked file is tried again at the next leaving.
    if (saved != save_result::locked) run.settings = now;
    return saved == save_result::written;
}

// ---- Bindings --------------------------------------------------------------

binding bound_to(const KeyBindings& k, int entry) {
    binding b;
    if (entry >= 0 && entry < 8) {
        const int p = entry / 4, a = entry % 4;
        if (k.buttons[p][a] >= 0) {
            b.kind = binding::PAD_BUTTON;
            b.code = k.buttons[p][a];
        } else {
            b.code = k.keys[p][a];
        }
    } else if (entry == 8) {
        if (k.pause_button >= 0) {
            b.kind = binding::PAD_BUTTON;
            b.code = k.pause_button;
        } else {
            b.code = k.pause_key;
            b.ctrl = k.pause_ctrl;
        }
    }
    return b;
}

void bind_entry(KeyBindings& k, int entry, const binding& b) {
    const bool button = b.kind == binding::PAD_BUTTON;
    const SDLKey key = button ? SDLK_UNKNOWN : (SDLKey)b.code;
    if (entry >= 0 && entry < 8) {
        const int p = entry / 4, a = entry % 4;
        k.keys[p][a] = key;
        k.buttons[p][a] = button ? b.code : NO_BUTTON;
    } else if (entry == 8) {
        k.pause_key = key;
        k.pause_ctrl = !button && b.ctrl;
        k.pause_button = button ? b.code : NO_BUTTON;
    }
}

int entry_using(const KeyBindings& k, const binding& b, int except) {
    for (int e = 0; e < BINDABLE; e++) {
        if (e == except) continue;
        const binding o = bound_to(k, e);
        if (o.kind == b.kind && o.code == b.code) return e;
    }
    return -1;
}

const char* bindable_name(int entry) {
    static const char* const names[BINDABLE] = {
        "Player 1 forward", "Player 1 back", "Player 1 left", "Player 1 right", "Player 2 forward",
        "Player 2 back",    "Player 2 left", "Player 2 right", "Pause"};
    return entry >= 0 && entry < BINDABLE ? names[entry] : "";
}

void offer_binding(BindingWait& wait, KeyBindings& keys, const binding& b) {
    const int entry = wait.entry;
    if (entry < 0) return;
    const std::string name = binding_name(b);
    if (b.kind == binding::KEY && !*key_name(b.code)) {
        wait.message = "That key has no name to keep; press another";
        return;
    }
    const int other = entry_using(keys, b, entry);
    if (other >= 0) {
        wait.message = "'" + name + "' is taken by " + bindable_name(other) + "; press another";
        return;   // still waiting
    }
    bind_entry(keys, entry, b);
    wait.message = std::string(bindable_name(entry)) + ": '" + name + "'";
    wait.entry = -1;
    waiting_for_binding = false;
}
