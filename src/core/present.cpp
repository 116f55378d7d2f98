// SPDX-License-Identifier: GPL-3.0-or-later
// The presentation calls of the screens, forwarded to the shell's hooks.
#include "core/present.h"

#include "core/assets.h"
#include "draw/clock.h"

void (*show_frame_hook)() = nullptr;                          // set once by start-up
void (*show_still_frame_hook)() = nullptr;                    // set once by start-up
bool (*showing_takes_time_hook)() = nullptr;                  // set once by start-up
bool (*presentation_key_hook)(const SDL_Event& e) = nullptr;  // set once by start-up

void show_frame() {
    if (show_frame_hook) show_frame_hook();
    else if (screen) SDL_Flip(screen);
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
