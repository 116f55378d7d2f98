// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's key bindings: each action of players 1 and 2 and the
// pause, bound to a key or pad button by pressing it. A key bound elsewhere
// is refused with a message; "Defaults" gives back the game's own keys.
#include <SDL/SDL_gfxPrimitives.h>

#include <cstdio>
#include <string>

#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/media.h"
#include "io/pads.h"
#include "menu/full_game.h"
#include "menu/menu.h"

enum { B_DEFAULTS = BINDABLE, B_DONE, B_LAST = B_DONE };
constexpr int TOP = 125, ROW = 25;

namespace {

class BindingsScreen : public Screen {
public:
    explicit BindingsScreen(FullGameRun& run) : run_(run) {}
    int kind() const override { return SCREEN_KEY_BINDINGS; }
    ScreenChange frame() override {
        next_ = ScreenChange();
        const bool quit = menu_pass_events(
            cursor_, [this] { draw(); }, [this](const SDL_Event& e) { on_event(e); }, B_LAST, [this] { after(); });
        if (quit) next_ = quit_game();
        if (next_.kind != ScreenChange::STAY) stop_waiting("");
        // Back on the settings, their cursor still stands on "Key bindings".
        if (next_.kind == ScreenChange::QUIT) save_full_settings_if_changed(run_, stderr);
        return std::move(next_);
    }

private:
    void draw() const {
        text(screen, 100, 104, "Enter, then press a key or pad button. Escape: back.", small_font);
        for (int e = 0; e < BINDABLE; e++) {
            const int y = TOP + ROW * e;
            draw_button(screen, 180, y, bindable_name(e), cursor_, e, small_font);
            const std::string name =
                wait_.entry == e ? std::string("press a key...") : binding_name(bound_to(key_bindings, e));
            text(screen, 330, y + 3, name.c_str(), small_font);
        }
        draw_button(screen, 180, TOP + ROW * B_DEFAULTS, "Defaults", cursor_, B_DEFAULTS, small_font);
        draw_button(screen, 180, TOP + ROW * B_DONE, "Done", cursor_, B_DONE, small_font);
        if (wait_.message.empty()) return;
        // White on a dark band: readable over every colour of the backdrop.
        const int y = TOP + ROW * (B_DONE + 1) + 5;
        int w = 0, h = 0;
        if (TTF_SizeText(small_font, wait_.message.c_str(), &w, &h) != 0) w = 400;
        boxRGBA(screen, 92, (Sint16)(y - 3), (Sint16)(108 + w), (Sint16)(y + 16), 0, 0, 0, 160);
        text_white(screen, 100, y, wait_.message.c_str(), small_font);
    }
    void stop_waiting(const char* message) {
        wait_.entry = -1;
        waiting_for_binding = false;
        wait_.message = message;
    }
    // A key pressed while an entry waits. Ctrl alone does not bind the
    // pause, which may take Ctrl with another key; driving keys take no Ctrl.
    void waiting_key(const SDL_keysym& k) {
        if (k.sym == SDLK_ESCAPE) {
            stop_waiting("Kept as it was");
            return;
        }
        const bool pause = wait_.entry == BINDABLE - 1;
        if (pause && (k.sym == SDLK_LCTRL || k.sym == SDLK_RCTRL)) return;
        binding b;
        b.code = k.sym;
        b.ctrl = pause && (k.mod & KMOD_CTRL);
        offer_binding(wait_, key_bindings, b);
    }
    void on_event(const SDL_Event& e) {
        if (e.type != SDL_KEYDOWN) return;
        if (wait_.entry >= 0) {
            waiting_key(e.key.keysym);
            return;
        }
        switch (e.key.keysym.sym) {
            case SDLK_UP: cursor_--; break;
            case SDLK_DOWN: cursor_++; break;
            case SDLK_ESCAPE: next_ = go_back(); break;
            case SDLK_RETURN:
                if (cursor_ >= 0 && cursor_ < BINDABLE) {
                    wait_.entry = cursor_;
                    waiting_for_binding = true;
                    take_pad_button();   // only a press from now on
                    wait_.message.clear();
                } else if (cursor_ == B_DEFAULTS) {
                    key_bindings = default_key_bindings();
                    stop_waiting("The game's own keys are back");
                } else if (cursor_ == B_DONE) {
                    next_ = go_back();
                }
                break;
            default: break;
        }
    }
    void after() {
        if (wait_.entry < 0) return;
        const int button = take_pad_button();
        if (button == NO_BUTTON) return;
        binding b;
        b.kind = binding::PAD_BUTTON;
        b.code = button;
        offer_binding(wait_, key_bindings, b);
    }

    FullGameRun& run_;   // whose settings a quit from here writes
    int cursor_ = 0;
    BindingWait wait_;
    ScreenChange next_;
};

}  // namespace

ScreenPtr make_key_bindings(FullGameRun& run) { return ScreenPtr(new BindingsScreen(run)); }
