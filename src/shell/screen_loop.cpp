// SPDX-License-Identifier: GPL-3.0-or-later
// The screen loop.
#include "shell/screen_loop.h"

#include "io/events.h"
#include "core/state.h"

void ScreenStack::open(ScreenPtr screen) {
    if (!screen) return;
    screens_.push_back(std::move(screen));
    game_screen = screens_.back()->kind();
    screens_.back()->enter();
}

void ScreenStack::apply(ScreenChange change) {
    switch (change.kind) {
        case ScreenChange::STAY: return;
        case ScreenChange::QUIT: screens_.clear(); break;
        case ScreenChange::OPEN: open(std::move(change.next)); return;
        case ScreenChange::REPLACE:
            screens_.pop_back();
            open(std::move(change.next));
            return;
        case ScreenChange::BACK: screens_.pop_back(); break;
        case ScreenChange::HOME: screens_.resize(screens_.empty() ? 0 : 1); break;
    }
    // Back on a screen that waited: it comes on top again.
    if (screens_.empty()) {
        game_screen = SCREEN_QUIT;
        return;
    }
    game_screen = screens_.back()->kind();
    screens_.back()->enter();
}

bool ScreenStack::run_frame() {
    if (screens_.empty()) return false;
    ScreenChange change = screens_.back()->frame();
    // An open frame (an overlay between its passes) is completed first.
    if (screens_.back()->frame_open() && change.kind != ScreenChange::QUIT) return true;
    apply(std::move(change));
    return !screens_.empty();
}

void run_screens(ScreenStack& screens) {
    if (quit_signal) return;   // one that came during start-up
    while (screens.run_frame()) {
    }
}
