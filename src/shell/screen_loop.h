// SPDX-License-Identifier: GPL-3.0-or-later
// The one screen loop: the stack of screens (core/screen.h), the top one
// running a frame at a time, and what each frame asks for carried out.
// Keeps game_screen the kind of the screen on top.
#pragma once

#include <vector>

#include "core/screen.h"

class ScreenStack {
public:
    // Puts `screen` on top and enters it.
    void open(ScreenPtr screen);
    // Puts `screen` on top without entering it: it is entered when a screen
    // above it goes back to it (a menu under a race that is already set up).
    void place(ScreenPtr screen) { screens_.push_back(std::move(screen)); }
    // One frame of the top screen, then its change; false once the run ends
    // (a quit, or going back from the bottom screen).
    bool run_frame();
    Screen* top() const { return screens_.empty() ? nullptr : screens_.back().get(); }
    size_t depth() const { return screens_.size(); }

private:
    void apply(ScreenChange change);
    std::vector<ScreenPtr> screens_;
};

// Runs the stack until the run ends; a quit signal that came before the
// first frame ends it at once.
void run_screens(ScreenStack& screens);
