// Event reading for every screen, with the system's quit requests in it.
#include "core/events.h"

#include <cstring>

volatile std::sig_atomic_t quit_signal = 0;   // whole run

// Whether the drain now running has had its SDL_QUIT: each screen's loop
// calls until false, so alternating gives one quit per drain.
static bool quit_given = false;

bool next_event(SDL_Event& e) {
    if (quit_signal) {
        quit_given = !quit_given;
        if (!quit_given) return false;
        e = SDL_Event();
        e.type = SDL_QUIT;
        return true;
    }
    return SDL_PollEvent(&e) != 0;
}

void (*driving_keys_source)(Uint8* keys) = nullptr;   // whole run

const Uint8* frame_keys() {
    const Uint8* keyboard = SDL_GetKeyState(nullptr);
    if (!driving_keys_source) return keyboard;
    static Uint8 merged[SDLK_LAST];   // rewritten by every call
    std::memcpy(merged, keyboard, sizeof merged);
    driving_keys_source(merged);
    return merged;
}
