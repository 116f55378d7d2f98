// SPDX-License-Identifier: GPL-3.0-or-later
// The settings screen: chain lengths, laps, the level and the music.
#include <climits>
#include <cstdio>

#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/media.h"
#include "menu/menu.h"
#include "track/track.h"

void toggle_music() {
    if (race_settings.music_on) {
        race_settings.music_on = false;
        Mix_HaltChannel(0);
    } else {
        race_settings.music_on = true;
        // From the beginning again, looping without end.
        if (music_chunk) Mix_PlayChannelTimed(0, music_chunk, -1, -1);
    }
}

// Left and Right on entry `entry`. Entries 5 and 6, and a cursor momentarily
// outside the list (an Up or Down in the same frame), change nothing.
void change_race_setting(int entry, int step) {
    RaceSettings& s = race_settings;
    switch (entry) {
        case 0:
        case 1:
        case 2: {
            int lowest = entry == 0 ? 1 : 0;   // player 1 always races
            int& length = s.chain_length[entry];
            if (step < 0 && length > lowest) length--;
            if (step > 0 && length <= 9) length++;
            break;
        }
        case 3:
            // No upper bound, but never past what an int holds.
            if (step > 0 && s.laps < INT_MAX) s.laps++;
            if (step < 0 && s.laps > INT_MIN) s.laps--;
            break;
        case 4:
            s.level_index += step;
            break;
        default: break;
    }
}

void length_button(int cursor, int entry, int y) {
    snprintf(label_buffer, sizeof label_buffer, "Player%d Length: %d", entry + 1, race_settings.chain_length[entry]);
    draw_button(screen, 180, y, label_buffer, cursor, entry, small_font);
}

static void draw_settings() {
    text(screen, 100, 100, "Use arrow keys to change values. Length: 0 = disable.", small_font);
    for (int entry = 0; entry < 3; entry++) length_button(menu_cursor, entry, 150 + 30 * entry);
    snprintf(label_buffer, sizeof label_buffer, "Laps: %d", race_settings.laps);
    draw_button(screen, 180, 240, label_buffer, menu_cursor, 3, small_font);
    draw_button(screen, 180, 270, "Level:", menu_cursor, 4, small_font);
    text_pink(screen, 230, 273, chosen_level_name(), small_font);
    draw_button(screen, 180, 300, race_settings.music_on ? "Stop music" : "Play music", menu_cursor, 5, small_font);
    draw_button(screen, 180, 330, "Done", menu_cursor, 6, small_font);
}

static void settings_key(SDLKey key) {
    switch (key) {
        case SDLK_ESCAPE: game_screen = SCREEN_MENU; break;
        case SDLK_RETURN:
            if (menu_cursor == 5) toggle_music();
            else game_screen = SCREEN_MENU;
            break;
        case SDLK_RIGHT: change_race_setting(menu_cursor, +1); break;
        case SDLK_LEFT: change_race_setting(menu_cursor, -1); break;
        default: break;
    }
}

void keep_in_range() {
    if (race_settings.laps <= 0) race_settings.laps = 1;
    wrap_level_index();
}

void settings_frame() {
    classic_menu_pass(draw_settings, settings_key, 6, keep_in_range);
}
