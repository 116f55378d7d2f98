// SPDX-License-Identifier: GPL-3.0-or-later
// A screen of the game, and what its frames ask of the one screen loop
// (shell/screen_loop.h). The screens stand in a stack: a screen opens
// another on top of itself and gets the top back, with all its state (its
// cursor among it), when that one goes back. Each screen owns its state;
// nothing of a screen lives outside its object.
#pragma once

#include <memory>

struct Screen;
using ScreenPtr = std::unique_ptr<Screen>;

// What a frame asks for once it is done.
struct ScreenChange {
    enum Kind {
        STAY,      // the same screen runs the next frame
        OPEN,      // `next` goes on top; this screen waits under it
        REPLACE,   // `next` takes this screen's place
        BACK,      // this screen goes; the one under it runs again
        HOME,      // back to the bottom screen (the main menu)
        QUIT       // the run ends
    };
    Kind kind = STAY;
    ScreenPtr next;
};

inline ScreenChange stay_on_screen() { return ScreenChange(); }
inline ScreenChange open_screen(ScreenPtr next) { return ScreenChange{ScreenChange::OPEN, std::move(next)}; }
inline ScreenChange replace_screen(ScreenPtr next) {
    return ScreenChange{ScreenChange::REPLACE, std::move(next)};
}
inline ScreenChange go_back() { return ScreenChange{ScreenChange::BACK, nullptr}; }
inline ScreenChange go_home() { return ScreenChange{ScreenChange::HOME, nullptr}; }
inline ScreenChange quit_game() { return ScreenChange{ScreenChange::QUIT, nullptr}; }

struct Screen {
    virtual ~Screen() = default;
    // The SCREEN_* kind (core/state.h): what the pads and the classic
    // game's screen value read.
    virtual int kind() const = 0;
    // Each time the screen comes on top: first opened, or gone back to.
    virtual void enter() {}
    // One frame (or one pass of an overlay the screen has open).
    virtual ScreenChange frame() = 0;
    // A frame left open (an overlay between passes) keeps the screen on
    // top even when it already asked to go: every frame is completed.
    virtual bool frame_open() const { return false; }
};
