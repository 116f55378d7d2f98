// SPDX-License-Identifier: GPL-3.0-or-later
// The presentation calls of the screens, forwarded to the shell's hooks.
#include "core/present.h"

#include "core/assets.h"

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
