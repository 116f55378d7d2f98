// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's menus (chainball --extras): its main menu, its settings
// with the key bindings, and the remembered settings file behind them. The
// run's full-game state is one value, FullGameRun, that the shell owns and
// passes to the full game's screens. The classic game never comes here.
#pragma once

#include <SDL/SDL.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "config/config.h"
#include "config/records.h"
#include "core/screen.h"
#include "io/bindings.h"

// What the run holds of the settings that no other module keeps: the
// window's scale and fullscreen, the switches for ghosts and recording, and
// the time trial's last chain length and laps.
struct full_game_options {
    int scale = 1;
    bool fullscreen = false;
    bool minimap = true;
    bool ghosts = true;
    bool recording = true;
    int music_volume = 10;     // 0 to VOLUME_STEPS
    int effects_volume = 10;
    int trial_length = 7;
    int trial_laps = 3;
    int input_delay = 2;       // online races hosted: 0 to NET_MAX_INPUT_DELAY steps
};

// The full game's own state for a run, owned by the shell and handed to
// its screens: the settings file as read at start-up and then as last
// written, the run's options, the time trials' records (as read, then as
// saved, with those waiting for a save), and whether the recording setting
// started the recording.
struct FullGameRun {
    game_config settings;
    full_game_options options;
    records kept;
    bool recording_by_setting = false;
    // New records not yet in the file (another game held it), tried again
    // at the next save; and each kept record checked against its replay,
    // by its values, so each is checked once a run.
    std::vector<record_entry> unsaved;
    std::map<std::string, bool> record_checks;
};

// One entry of the full game's main menu. New screens add a line to the
// table in full_menu.cpp; the menu grows with it.
struct menu_entry {
    const char* label;
    ScreenChange (*action)(FullGameRun& run);   // what choosing it opens
    bool (*shown)() = nullptr;                  // whether it shows now; null: always
};
// The entries the menu shows now, in order.
std::vector<menu_entry> full_menu_entries();

// The full settings' entries, "Done" the last, and its "Key bindings" entry.
constexpr int FULL_SETTINGS_ENTRIES = 17;
constexpr int FULL_SETTINGS_KEYS_ENTRY = 15;
// The top of entry `entry`'s button on the full settings screen: the rows
// share the window below the help line, no farther apart than 25 pixels.
int full_settings_row_y(int entry);

// The full game's screens: its main menu (the bottom of the run), its
// settings (written when left having changed something), the key bindings,
// and the online race form (Host, or Join with a typed address).
ScreenPtr make_full_menu(FullGameRun& run);
ScreenPtr make_full_settings(FullGameRun& run);
ScreenPtr make_key_bindings(FullGameRun& run);
ScreenPtr make_online_form(FullGameRun& run);

// The settings file as it stands (its window part lets the shell open the
// window before the rest can be applied).
game_config read_full_settings(FILE* err);
// Puts `c` into the run: race settings (a track named that the catalogue
// lacks gives one line to `err` and the first track), the music, the
// difficulty, the key bindings and `run`'s options. Needs the catalogue read.
void apply_full_settings(FullGameRun& run, const game_config& c, FILE* err);
// What the run's settings are now, as the file would hold them.
game_config current_full_settings(const FullGameRun& run);
// Writes the settings file when the run's settings differ from what it
// holds; one line to `err` when it cannot be written. True when written.
bool save_full_settings_if_changed(FullGameRun& run, FILE* err);

// Asks the shell to show the window at a scale and fullscreen or not; null
// without a window (the tests), when only the settings change.
extern void (*window_mode_hook)(int scale, bool fullscreen);

// The nine bindable actions of the key bindings screen: entries 0 to 3 are
// player 1's forward, back, left and right, 4 to 7 player 2's, 8 the pause.
constexpr int BINDABLE = 9;
binding bound_to(const KeyBindings& k, int entry);
void bind_entry(KeyBindings& k, int entry, const binding& b);
// The entry other than `except` whose key or button `b` is, or -1. Ctrl+P
// and P are one key to the race, which reads held keys.
int entry_using(const KeyBindings& k, const binding& b, int except);
// "Player 1 forward", "Pause".
const char* bindable_name(int entry);

// The key bindings screen's wait for a press: the entry waiting (-1 when
// none) and the message under the list.
struct BindingWait {
    int entry = -1;
    std::string message;
};
// What pressing `b` on the waiting entry does to `keys`: binds it, or
// refuses a key already bound elsewhere, with the message saying which.
void offer_binding(BindingWait& wait, KeyBindings& keys, const binding& b);
