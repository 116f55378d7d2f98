// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's online race form (game_screen SCREEN_ONLINE_FORM): Host
// on the default port, or Join with an address typed on the keyboard.
#include <string>

#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/media.h"
#include "menu/menu.h"
#include "net/messages.h"
#include "view/online.h"

static std::string address = "127.0.0.1";
static std::string form_error;
constexpr size_t MAX_ADDRESS = 40;

static void draw_form() {
    text(screen, 100, 100, "Online race: the host's settings decide the race.", small_font);
    snprintf(label_buffer, sizeof label_buffer, "Host on port %d", NET_DEFAULT_PORT);
    draw_button(screen, 180, 150, label_buffer, menu_cursor, 0, small_font);
    draw_button(screen, 180, 180, "Join:", menu_cursor, 1, small_font);
    const std::string shown = address + (menu_cursor == 1 ? "_" : "");
    text_pink(screen, 230, 183, shown.c_str(), small_font);
    draw_button(screen, 180, 210, "Back", menu_cursor, 2, small_font);
    if (!form_error.empty()) text_pink(screen, 20, 400, form_error.c_str(), small_font);
}

// A character of an address: letters, digits, '.', '-' and ':' (Shift+';' too).
static char address_char(SDLKey key) {
    if ((key >= SDLK_a && key <= SDLK_z) || (key >= SDLK_0 && key <= SDLK_9) || key == SDLK_PERIOD ||
        key == SDLK_MINUS)
        return (char)key;
    if (key >= SDLK_KP0 && key <= SDLK_KP9) return (char)('0' + (key - SDLK_KP0));
    if (key == SDLK_KP_PERIOD) return '.';
    if (key == SDLK_COLON || key == SDLK_SEMICOLON) return ':';
    return 0;
}

static void form_key(SDLKey key) {
    if (key == SDLK_ESCAPE) {
        form_error.clear();
        back_to_menu();
        return;
    }
    if (menu_cursor == 1) {
        if (key == SDLK_BACKSPACE && !address.empty()) address.pop_back();
        const char c = address_char(key);
        if (c && address.size() < MAX_ADDRESS) address += c;
    }
    if (key != SDLK_RETURN && key != SDLK_KP_ENTER) return;
    std::string error;
    if (menu_cursor == 0 && !start_online_host(NET_DEFAULT_PORT, error)) form_error = error;
    if (menu_cursor == 1 && !start_online_join(address, error)) form_error = error;
    if (menu_cursor == 2) back_to_menu();
    if (game_screen == SCREEN_ONLINE) form_error.clear();
}

void online_form_frame() {
    menu_pass(draw_form, form_key, 2, nullptr);
}
