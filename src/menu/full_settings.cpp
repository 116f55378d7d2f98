// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's settings: the classic settings' race values, then the
// window, the computer drivers, ghosts, recording and the key bindings.
// Written to the settings file when the player leaves having changed
// something.
#include <cstdio>

#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/media.h"
#include "menu/full_game.h"
#include "menu/menu.h"
#include "menu/trial.h"
#include "track/track.h"
#include "view/view.h"

// Entries 0 to 4 are the classic settings' own (change_race_setting).
enum {
    S_TRACK = 4, S_MUSIC, S_SCALE, S_FULLSCREEN, S_DRIVERS, S_GHOSTS, S_RECORDING, S_KEYS, S_DONE,
    S_LAST = S_DONE
};
static_assert(S_KEYS == FULL_SETTINGS_KEYS_ENTRY, "the bindings screen returns to its entry");
constexpr int TOP = 125, ROW = 25;

static int row_y(int entry) { return TOP + ROW * entry; }

static void button(int cursor, int entry, const char* label) {
    draw_button(screen, 180, row_y(entry), label, cursor, entry, small_font);
}

static void on_off_button(int cursor, int entry, const char* what, bool on) {
    std::snprintf(label_buffer, sizeof label_buffer, "%s: %s", what, on ? "on" : "off");
    button(cursor, entry, label_buffer);
}

static void draw_full_settings(int cursor) {
    text(screen, 100, 104, "Left and Right change values. Length: 0 = disable.", small_font);
    for (int entry = 0; entry < 3; entry++) length_button(cursor, entry, row_y(entry));
    std::snprintf(label_buffer, sizeof label_buffer, "Laps: %d", race_settings.laps);
    button(cursor, 3, label_buffer);
    button(cursor, S_TRACK, "Track:");
    text_pink(screen, 230, row_y(S_TRACK) + 3, chosen_level_name(), small_font);
    on_off_button(cursor, S_MUSIC, "Music", race_settings.music_on);
    std::snprintf(label_buffer, sizeof label_buffer, "Scale: %d", full_options.scale);
    button(cursor, S_SCALE, label_buffer);
    on_off_button(cursor, S_FULLSCREEN, "Fullscreen", full_options.fullscreen);
    std::snprintf(label_buffer, sizeof label_buffer, "Drivers: %s", difficulty_label(race_settings.difficulty));
    button(cursor, S_DRIVERS, label_buffer);
    on_off_button(cursor, S_GHOSTS, "Ghosts", full_options.ghosts);
    on_off_button(cursor, S_RECORDING, "Recording", full_options.recording);
    button(cursor, S_KEYS, "Key bindings");
    button(cursor, S_DONE, "Done");
}

static void apply_window() {
    if (window_mode_hook) window_mode_hook(full_options.scale, full_options.fullscreen);
}

// Left (-1), Right (+1) or Enter (0) on an entry.
static void change(int entry, int step) {
    if (entry >= 0 && entry < S_TRACK + 1) {
        if (step != 0) change_race_setting(entry, step);
        return;
    }
    switch (entry) {
        case S_MUSIC: toggle_music(); break;
        case S_SCALE:
            if (step == 0) break;
            full_options.scale += step;
            full_options.scale = full_options.scale < 1 ? 1 : full_options.scale > 4 ? 4 : full_options.scale;
            apply_window();
            break;
        case S_FULLSCREEN:
            full_options.fullscreen = !full_options.fullscreen;
            apply_window();
            break;
        case S_DRIVERS: race_settings.difficulty = difficulty_of(((race_settings.difficulty + (step < 0 ? 2 : 1)) % 3 + 3) % 3); break;
        case S_GHOSTS:
            full_options.ghosts = !full_options.ghosts;
            show_ghosts(full_options.ghosts);
            break;
        case S_RECORDING:
            full_options.recording = !full_options.recording;
            record_races(full_options.recording, full_settings.recordings_kept);
            break;
        default: break;
    }
}

namespace {

class FullSettingsScreen : public Screen {
public:
    int kind() const override { return SCREEN_SETTINGS; }
    void enter() override { resize_window(500, 500); }
    ScreenChange frame() override {
        ScreenChange next;
        auto on_key = [this, &next](SDLKey key) {
            if (next.kind != ScreenChange::STAY) return;
            switch (key) {
                case SDLK_ESCAPE: next = go_back(); break;
                case SDLK_RETURN:
                    if (cursor_ == S_KEYS) next = open_screen(make_key_bindings());
                    else if (cursor_ == S_DONE || cursor_ < S_MUSIC) next = go_back();   // as the classic settings leave
                    else change(cursor_, 0);
                    break;
                case SDLK_RIGHT: change(cursor_, +1); break;
                case SDLK_LEFT: change(cursor_, -1); break;
                default: break;
            }
        };
        auto after = [] {
            keep_in_range();
            if (race_settings.laps > MAX_CONFIG_LAPS) race_settings.laps = MAX_CONFIG_LAPS;
        };
        if (menu_pass(cursor_, [this] { draw_full_settings(cursor_); }, on_key, S_LAST, after)) next = quit_game();
        if (next.kind == ScreenChange::BACK || next.kind == ScreenChange::QUIT) save_full_settings_if_changed(stderr);
        return next;
    }

private:
    int cursor_ = 0;   // opens on the first entry, whichever entry opened it
};

}  // namespace

ScreenPtr make_full_settings() { return ScreenPtr(new FullSettingsScreen()); }
