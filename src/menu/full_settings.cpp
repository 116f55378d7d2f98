// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's settings: the classic settings' race values, then the
// window, the computer drivers, the off-road rule, ghosts, recording, the
// volumes, the minimap and the key bindings.
// Written to the settings file when the player leaves having changed
// something.
#include <algorithm>
#include <cstdio>

#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/effects.h"
#include "io/media.h"
#include "menu/full_game.h"
#include "menu/menu.h"
#include "menu/trial.h"
#include "race/race.h"
#include "track/track.h"
#include "view/view.h"

// Entries 0 to 4 are the classic settings' own (change_race_setting).
enum {
    S_TRACK = 4, S_MUSIC, S_SCALE, S_FULLSCREEN, S_DRIVERS, S_OFF_ROAD, S_GHOSTS, S_RECORDING,
    S_MUSIC_VOLUME, S_EFFECTS_VOLUME, S_MINIMAP, S_KEYS, S_DONE,
    S_LAST = S_DONE
};
static_assert(S_KEYS == FULL_SETTINGS_KEYS_ENTRY, "the bindings screen returns to its entry");
static_assert(S_LAST + 1 == FULL_SETTINGS_ENTRIES, "every entry gets its row");

// From under the help line to the window's foot; a button is 21 pixels high.
constexpr int TOP = 122, BOTTOM = 498, BUTTON_HEIGHT = 21;

int full_settings_row_y(int entry) {
    constexpr int row = std::min(25, (BOTTOM - TOP - BUTTON_HEIGHT) / (FULL_SETTINGS_ENTRIES - 1));
    return TOP + row * entry;
}

static void button(int cursor, int entry, const char* label) {
    draw_button(screen, 180, full_settings_row_y(entry), label, cursor, entry, small_font);
}

static void on_off_button(int cursor, int entry, const char* what, bool on) {
    std::snprintf(label_buffer, sizeof label_buffer, "%s: %s", what, on ? "on" : "off");
    button(cursor, entry, label_buffer);
}

// 0 to 10: "Effects volume: 100%" would not fit the button.
static void volume_button(int cursor, int entry, const char* what, int steps) {
    std::snprintf(label_buffer, sizeof label_buffer, "%s: %d", what, steps);
    button(cursor, entry, label_buffer);
}

static void draw_full_settings(const full_game_options& options, int cursor) {
    text(screen, 100, 104, "Left and Right change values. Length: 0 = disable.", small_font);
    for (int entry = 0; entry < 3; entry++) length_button(cursor, entry, full_settings_row_y(entry));
    std::snprintf(label_buffer, sizeof label_buffer, "Laps: %d", race_settings.laps);
    button(cursor, 3, label_buffer);
    button(cursor, S_TRACK, "Track:");
    text_pink(screen, 230, full_settings_row_y(S_TRACK) + 3, chosen_level_name(), small_font);
    on_off_button(cursor, S_MUSIC, "Music", race_settings.music_on);
    std::snprintf(label_buffer, sizeof label_buffer, "Scale: %d", options.scale);
    button(cursor, S_SCALE, label_buffer);
    on_off_button(cursor, S_FULLSCREEN, "Fullscreen", options.fullscreen);
    std::snprintf(label_buffer, sizeof label_buffer, "Drivers: %s", difficulty_label(race_settings.difficulty));
    button(cursor, S_DRIVERS, label_buffer);
    std::snprintf(label_buffer, sizeof label_buffer, "Off-road: %s", off_road_label(race_settings.off_road));
    button(cursor, S_OFF_ROAD, label_buffer);
    on_off_button(cursor, S_GHOSTS, "Ghosts", options.ghosts);
    on_off_button(cursor, S_RECORDING, "Recording", options.recording);
    volume_button(cursor, S_MUSIC_VOLUME, "Music volume", options.music_volume);
    volume_button(cursor, S_EFFECTS_VOLUME, "Effects volume", options.effects_volume);
    on_off_button(cursor, S_MINIMAP, "Minimap", options.minimap);
    button(cursor, S_KEYS, "Key bindings");
    button(cursor, S_DONE, "Done");
}

static void apply_window(const full_game_options& options) {
    if (window_mode_hook) window_mode_hook(options.scale, options.fullscreen);
}

// Left (-1), Right (+1) or Enter (0) on an entry.
static void change(FullGameRun& run, int entry, int step) {
    full_game_options& options = run.options;
    if (entry >= 0 && entry < S_TRACK + 1) {
        if (step != 0) change_race_setting(entry, step);
        return;
    }
    switch (entry) {
        case S_MUSIC: toggle_music(); break;
        case S_SCALE:
            if (step == 0) break;
            options.scale += step;
            options.scale = options.scale < 1 ? 1 : options.scale > 4 ? 4 : options.scale;
            apply_window(options);
            break;
        case S_FULLSCREEN:
            options.fullscreen = !options.fullscreen;
            apply_window(options);
            break;
        case S_DRIVERS: race_settings.difficulty = difficulty_of(((race_settings.difficulty + (step < 0 ? 2 : 1)) % 3 + 3) % 3); break;
        case S_OFF_ROAD:   // read at each race's set-up
            race_settings.off_road = race_settings.off_road == OFF_ROAD_SLOWS ? OFF_ROAD_FREE : OFF_ROAD_SLOWS;
            break;
        case S_GHOSTS:
            options.ghosts = !options.ghosts;   // read at each race's set-up
            break;
        case S_RECORDING:
            options.recording = !options.recording;
            record_races(run, options.recording, run.settings.recordings_kept);
            break;
        case S_MUSIC_VOLUME:
        case S_EFFECTS_VOLUME: {
            int& volume = entry == S_MUSIC_VOLUME ? options.music_volume : options.effects_volume;
            volume = volume + step < 0 ? 0 : volume + step > VOLUME_STEPS ? VOLUME_STEPS : volume + step;
            set_volumes(options.music_volume, options.effects_volume);
            break;
        }
        case S_MINIMAP: options.minimap = !options.minimap; break;
        default: break;
    }
}

namespace {

class FullSettingsScreen : public Screen {
public:
    explicit FullSettingsScreen(FullGameRun& run) : run_(run) {}
    int kind() const override { return SCREEN_SETTINGS; }
    void enter() override { resize_window(500, 500); }
    ScreenChange frame() override {
        ScreenChange next;
        auto on_key = [this, &next](SDLKey key) {
            if (next.kind != ScreenChange::STAY) return;
            switch (key) {
                case SDLK_ESCAPE: next = go_back(); break;
                case SDLK_RETURN:
                    if (cursor_ == S_KEYS) next = open_screen(make_key_bindings(run_));
                    else if (cursor_ == S_DONE || cursor_ < S_MUSIC) next = go_back();   // as the classic settings leave
                    else change(run_, cursor_, 0);
                    break;
                case SDLK_RIGHT: change(run_, cursor_, +1); break;
                case SDLK_LEFT: change(run_, cursor_, -1); break;
                default: break;
            }
        };
        auto after = [] {
            keep_in_range();
            if (race_settings.laps > MAX_CONFIG_LAPS) race_settings.laps = MAX_CONFIG_LAPS;
        };
        if (menu_pass(cursor_, [this] { draw_full_settings(run_.options, cursor_); }, on_key, S_LAST, after)) next = quit_game();
        if (next.kind == ScreenChange::BACK || next.kind == ScreenChange::QUIT) save_full_settings_if_changed(run_, stderr);
        return next;
    }

private:
    FullGameRun& run_;
    int cursor_ = 0;   // opens on the first entry, whichever entry opened it
};

}  // namespace

ScreenPtr make_full_settings(FullGameRun& run) { return ScreenPtr(new FullSettingsScreen(run)); }
