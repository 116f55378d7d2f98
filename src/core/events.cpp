// Event reading for every screen, with the system's quit requests in it.
#include "core/events.h"

#include <cstring>

#include "core/pads.h"
#include "core/present.h"
#include "core/state.h"

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
    // Presentation keys (F11) are taken here, on every screen alike.
    while (SDL_PollEvent(&e))
        if (!presentation_key(e)) return true;
    return next_pad_event(e);
}

void (*driving_keys_source)(Uint8* keys) = nullptr;   // whole run

const Uint8* frame_keys() {
    const Uint8* keyboard = SDL_GetKeyState(nullptr);
    if (open_pad_count() == 0 && !driving_keys_source) return keyboard;
    static Uint8 merged[SDLK_LAST];   // rewritten by every call
    std::memcpy(merged, keyboard, sizeof merged);
    merge_pad_keys(merged, two_players);
    // A replay being watched sets the driving keys whatever else is held.
    if (driving_keys_source) driving_keys_source(merged);
    return merged;
}
