// SPDX-License-Identifier: GPL-3.0-or-later
// The presentation calls of the screens, forwarded to the shell's hooks.
#include "io/present.h"

#include "base/clock.h"
#include "io/assets.h"

presentation_hooks presentation;   // set once by start-up
void (*&show_frame_hook)() = presentation.show_frame;
void (*&show_still_frame_hook)() = presentation.show_still_frame;
bool (*&showing_takes_time_hook)() = presentation.showing_takes_time;
bool (*&presentation_key_hook)(const SDL_Event& e) = presentation.presentation_key;

void show_frame() {
    if (presentation.show_frame) presentation.show_frame();
    else if (screen) SDL_Flip(screen);
}

// The pacing of moving screens and of paced frames, for the whole run.
static struct {
    // Thirds of a millisecond owed to the display since the last picture a
    // moving screen sent, and when it was last asked.
    Uint32 moving_credit = 0, moving_last = 0;
    bool moving_asked = false;
    // When the next paced frame began, if the last one carried it; reset by
    // each new race.
    bool paced_start_set = false;
    Uint32 paced_start = 0;
} pacing;

static const Uint32 MOVING_PERIOD = 50;   // 16.7 ms: 60 pictures a second

void show_moving_frame() {
    if (!showing_takes_time()) {
        show_frame();
        return;
    }
    const Uint32 now = game_ticks();
    const Uint32 since = now - pacing.moving_last;
    // The first pass, or one after a long gap (another screen in between),
    // owes one picture, not a burst.
    Uint32& credit = pacing.moving_credit;
    credit = !pacing.moving_asked || since >= 1000 ? MOVING_PERIOD : credit + 3 * since;
    pacing.moving_asked = true;
    pacing.moving_last = now;
    if (credit < MOVING_PERIOD) return;
    credit = credit - MOVING_PERIOD < MOVING_PERIOD ? credit - MOVING_PERIOD : 0;
    show_frame();
}

void show_still_frame() {
    if (presentation.show_still_frame) presentation.show_still_frame();
}

bool showing_takes_time() {
    return presentation.showing_takes_time && presentation.showing_takes_time();
}

bool presentation_key(const SDL_Event& e) {
    return presentation.presentation_key && presentation.presentation_key(e);
}

void show_paced_frame(int frame_ms, bool carry) {
    top_up(frame_ms);
    const Uint32 due = frame_start_ticks + (Uint32)frame_ms, waited = game_ticks();
    show_frame();
    pacing.paced_start_set = carry && showing_takes_time();
    pacing.paced_start = waited - due < (Uint32)frame_ms ? due : waited;
}

void start_paced_frame() {
    start_frame();
    if (pacing.paced_start_set) frame_start_ticks = pacing.paced_start;
    pacing.paced_start_set = false;
}

void forget_paced_frame() {
    pacing.paced_start_set = false;
}
