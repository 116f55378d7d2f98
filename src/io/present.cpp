// SPDX-License-Identifier: GPL-3.0-or-later
// The presentation calls of the screens, forwarded to the shell's hooks.
#include "io/present.h"

#include "base/clock.h"
#include "io/assets.h"

void (*show_frame_hook)() = nullptr;                          // set once by start-up
void (*show_still_frame_hook)() = nullptr;                    // set once by start-up
bool (*showing_takes_time_hook)() = nullptr;                  // set once by start-up
bool (*presentation_key_hook)(const SDL_Event& e) = nullptr;  // set once by start-up

void show_frame() {
    if (show_frame_hook) show_frame_hook();
    else if (screen) SDL_Flip(screen);
}

// Thirds of a millisecond owed to the display since the last picture a
// moving screen sent, and when it was last asked; for the whole run.
static Uint32 moving_credit = 0, moving_last = 0;
static bool moving_asked = false;
static const Uint32 MOVING_PERIOD = 50;   // 16.7 ms: 60 pictures a second

void show_moving_frame() {
    if (!showing_takes_time()) {
        show_frame();
        return;
    }
    const Uint32 now = game_ticks();
    const Uint32 since = now - moving_last;
    // The first pass, or one after a long gap (another screen in between),
    // owes one picture, not a burst.
    moving_credit = !moving_asked || since >= 1000 ? MOVING_PERIOD : moving_credit + 3 * since;
    moving_asked = true;
    moving_last = now;
    if (moving_credit < MOVING_PERIOD) return;
    moving_credit = moving_credit - MOVING_PERIOD < MOVING_PERIOD ? moving_credit - MOVING_PERIOD : 0;
    show_frame();
}

void show_still_frame() {
    if (show_still_frame_hook) show_still_frame_hook();
}

bool showing_takes_time() {
    return showing_takes_time_hook && showing_takes_time_hook();
}

bool presentation_key(const SDL_Event& e) {
    return presentation_key_hook && presentation_key_hook(e);
}

// When the next paced frame began, if the last one carried it; for the
// whole run, reset by each new race.
static bool paced_start_set = false;
static Uint32 paced_start = 0;

void show_paced_frame(int frame_ms, bool carry) {
    top_up(frame_ms);
    const Uint32 due = frame_start_ticks + (Uint32)frame_ms, waited = game_ticks();
    show_frame();
    paced_start_set = carry && showing_takes_time();
    paced_start = waited - due < (Uint32)frame_ms ? due : waited;
}

void start_paced_frame() {
    start_frame();
    if (paced_start_set) frame_start_ticks = paced_start;
    paced_start_set = false;
}

void forget_paced_frame() {
    paced_start_set = false;
}
