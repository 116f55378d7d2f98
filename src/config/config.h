// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's remembered settings: one plain struct, read from and
// written to $XDG_CONFIG_HOME/chainball/chainball.toml (by default
// ~/.config/chainball/chainball.toml). Only the full game (--extras) comes
// here; the classic game never reads or writes the file.
//
// Reading never fails and never blocks: a missing file gives the defaults in
// silence; a file that cannot be used as a whole (a directory, a FIFO, too
// big, unreadable, not TOML) gives one line and the defaults; inside a good
// file every bad value (wrong type, out of range, unknown name, a key bound
// twice) gives one line and its default, and the rest is kept. Writing
// happens only when asked, through a temporary file in the same folder,
// fsync and rename, so the old file stays whole if anything fails; a game
// saving its changes does so under a lock, over the file as another game
// may have left it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "config/file_lock.h"
#include "core/difficulty.h"

// The largest settings file read; a real one is well under 2 KB.
constexpr long long MAX_CONFIG_BYTES = 64 * 1024;

// One action's input: a key (an SDLKey value, with Ctrl held for `ctrl`) or
// a button of a pad.
struct binding {
    enum kind_t { KEY, PAD_BUTTON } kind = KEY;
    int code = 0;        // SDLKey for KEY; the button, 0 to 31, for PAD_BUTTON
    bool ctrl = false;   // KEY only, and only the pause takes it (Ctrl+P)
    bool operator==(const binding& o) const {
        return kind == o.kind && code == o.code && ctrl == o.ctrl;
    }
};

enum { ACT_FORWARD, ACT_BACK, ACT_LEFT, ACT_RIGHT, DRIVING_ACTIONS };

struct game_config {
    int chain_length[3] = {7, 2, 5};   // player 1: 1 to 10, players 2 and 3: 0 to 10
    int laps = 3;                      // 1 to MAX_CONFIG_LAPS
    std::string track;                 // a catalogue name; "" for the catalogue's first
    bool music = true;
    int music_volume = 10;             // 0 to 10, tenths of full
    int effects_volume = 10;           // 0 to 10, the full game's sound effects
    int scale = 1;                     // 1 to 4
    bool fullscreen = false;
    bool minimap = true;               // the full game's map in a corner of each race view
    // drive[player][action]: players 1 and 2, ACT_* actions.
    binding drive[2][DRIVING_ACTIONS];
    binding pause;
    // Pad buttons for the menus: choose, back, and Start (-1: where the
    // pad's layout puts it, as start_button() says).
    int pad_choose = 0, pad_back = 1, pad_start = -1;
    Difficulty level = DIFFICULTY_CLASSIC;
    bool off_road_slows = true;        // the full game's races: driving off the road costs
    bool ghosts = true;
    bool recording = true;
    int recordings_kept = 50;          // 1 to MAX_RECORDINGS_KEPT, the newest kept
    int trial_length = 7;              // the time trial's last choice: 1 to 10
    int trial_laps = 3;                // and 1 to MAX_TRIAL_LAPS
    int input_delay = 2;               // online races hosted: 0 to 4 steps from a key to its step

    game_config();   // today's keys: arrows, W A S D, Ctrl+P
};

constexpr int MAX_CONFIG_LAPS = 999;
constexpr int MAX_RECORDINGS_KEPT = 1000;
constexpr int MAX_TRIAL_LAPS = 99;
constexpr int MAX_PAD_BUTTONS = 32;
constexpr size_t MAX_TRACK_NAME = 49;   // the catalogue's names are shorter

// The settings file's path from $XDG_CONFIG_HOME, else $HOME/.config; ""
// when neither is set to an absolute path (then nothing is read or written).
std::string config_path();

// Parses the text of a settings file. Every problem is one line in
// `problems` (without the file's name); what is bad keeps its default.
game_config parse_config(const std::string& text, std::vector<std::string>& problems);

// Reads `path` (at most MAX_CONFIG_BYTES, regular files only, without
// blocking) and writes each problem as one line "chainball: PATH: ..." to
// `err` (null: none). Returns the settings, defaults where the file said nothing usable.
game_config read_config(const std::string& path, FILE* err);

// The settings as TOML text, which parse_config reads back to the same.
std::string format_config(const game_config& c);

// Writes the settings to `path` atomically, making its folder (and the
// folders above, mode 0700) when missing. False after one line to `err`
// naming the cause; the old file is then left as it was.
bool write_config(const std::string& path, const game_config& c, FILE* err);

// The settings another game wrote (`theirs`) with what this game changed
// from `base` (the file as it read or last wrote it) to `mine` put in. The
// bindings go as one set.
game_config merge_config_changes(const game_config& base, const game_config& mine, game_config theirs);
// Writes the settings when another game may be writing its own: under the
// lock beside `path`, over the file as it is now, with merge_config_changes.
// One line to `err` when not written.
save_result save_config_changes(const std::string& path, const game_config& base, const game_config& mine,
                                FILE* err);

// A key's name as the settings file and the bindings screen write it
// ("up", "w", "right ctrl", "[4]", "f5"), "" for a key without one; and
// back, with -1 for an unknown name. Matches SDL's own key names.
const char* key_name(int key);
int key_from_name(const std::string& name);

// "up", "ctrl+p", "button 3": a binding as the file writes it, and back
// (false for a name that is none).
std::string binding_name(const binding& b);
bool binding_from_name(const std::string& name, binding& b);
