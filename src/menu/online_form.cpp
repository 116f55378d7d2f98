// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's online race form (game_screen SCREEN_ONLINE_FORM): Host
// on the default port, or Join or Watch (as a spectator) with an address
// typed on the keyboard, and the input delay a hosted race uses (kept in the
// settings).
#include <string>

#include "io/assets.h"
#include "io/media.h"
#include "core/state.h"
#include "draw/draw.h"
#include "menu/full_game.h"
#include "menu/menu.h"
#include "net/messages.h"
#include "view/online.h"

constexpr size_t MAX_ADDRESS = 40;

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

namespace {

class OnlineFormScreen : public Screen {
public:
    explicit OnlineFormScreen(FullGameRun& run) : run_(run) {}
    int kind() const override { return SCREEN_ONLINE_FORM; }
    void enter() override { resize_window(500, 500); }
    ScreenChange frame() override {
        ScreenChange next;
        auto on_key = [this, &next](SDLKey key) {
            if (next.kind == ScreenChange::STAY) next = on_form_key(key);
        };
        if (menu_pass(cursor_, [this] { draw(); }, on_key, 4)) next = quit_game();
        if (next.kind != ScreenChange::STAY) save_full_settings_if_changed(run_, stderr);
        return next;
    }

private:
    void draw() const {
        text(screen, 100, 100, "Online race: the host's settings decide the race.", small_font);
        snprintf(label_buffer, sizeof label_buffer, "Host on port %d", NET_DEFAULT_PORT);
        draw_button(screen, 180, 150, label_buffer, cursor_, 0, small_font);
        draw_button(screen, 180, 180, "Join:", cursor_, 1, small_font);
        const std::string shown = address_ + (cursor_ == 1 ? "_" : "");
        text_pink(screen, 230, 183, shown.c_str(), small_font);
        draw_button(screen, 180, 210, "Watch that race", cursor_, 2, small_font);
        snprintf(label_buffer, sizeof label_buffer, "Input delay: %d", run_.options.input_delay);
        draw_button(screen, 180, 240, label_buffer, cursor_, 3, small_font);
        draw_button(screen, 180, 270, "Back", cursor_, 4, small_font);
        if (!error_.empty()) text_pink(screen, 20, 400, error_.c_str(), small_font);
    }
    ScreenChange on_form_key(SDLKey key) {
        if (key == SDLK_ESCAPE) return go_back();
        if (cursor_ == 1) {
            if (key == SDLK_BACKSPACE && !address_.empty()) address_.pop_back();
            const char c = address_char(key);
            if (c && address_.size() < MAX_ADDRESS) address_ += c;
        }
        if (cursor_ == 3 && (key == SDLK_LEFT || key == SDLK_RIGHT)) {
            const int d = run_.options.input_delay + (key == SDLK_LEFT ? -1 : 1);
            run_.options.input_delay = d < 0 ? 0 : d > NET_MAX_INPUT_DELAY ? NET_MAX_INPUT_DELAY : d;
        }
        if (key != SDLK_RETURN && key != SDLK_KP_ENTER) return stay_on_screen();
        if (cursor_ == 4) return go_back();
        if (cursor_ < 0 || cursor_ > 2) return stay_on_screen();
        std::string error;
        ScreenPtr online = cursor_ == 0   ? start_online_host(NET_DEFAULT_PORT, run_.options.input_delay, error)
                           : cursor_ == 1 ? start_online_join(address_, error)
                                          : start_online_watch(address_, error);
        error_ = online ? "" : error;
        return online ? open_screen(std::move(online)) : stay_on_screen();
    }

    FullGameRun& run_;
    int cursor_ = 0;   // opens on "Host"
    std::string address_ = "127.0.0.1";
    std::string error_;
};

}  // namespace

ScreenPtr make_online_form(FullGameRun& run) { return ScreenPtr(new OnlineFormScreen(run)); }
