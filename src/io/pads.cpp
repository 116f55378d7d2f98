// SPDX-License-Identifier: GPL-3.0-or-later
// Gamepads as keys: the driving keys of a race frame, and key events for
// every other screen, with the held-direction repeat of the menus.
#include "io/pads.h"

#include <cstring>

#include "base/clock.h"
#include "core/state.h"
#include "io/bindings.h"

pad_source pad_input = sdl_pads;       // whole run; tests swap it
int (*pad_mode_hook)() = nullptr;      // set once by start-up

// What one pad's controls mean, as bits.
enum {
    HELD_UP = 1, HELD_DOWN = 2, HELD_LEFT = 4, HELD_RIGHT = 8,
    HELD_CHOOSE = 16, HELD_BACK = 32, HELD_START = 64,
};
static const SDLKey DIRECTION_KEYS[4] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT};

// Everything below lives from one open_pads() to the next.
static int pad_count = 0;                  // opened at the last scan
static pad_state pads[MAX_PADS];           // as last read
static unsigned held_before[MAX_PADS];     // controls held at the read before
static Uint32 buttons_before[MAX_PADS];    // buttons held at the read before
// Per pad and direction: the tick of its next repeat, and whether it repeats
// at all (only a direction pressed on a menu does).
static Uint32 next_repeat[MAX_PADS][4];
static bool repeating[MAX_PADS][4];
// A Start pressed while the race runs, kept for the next held_frame_input().
static bool start_waiting = false;
// A button pressed on the full game's key bindings screen, kept until taken.
static int captured_button = NO_BUTTON;
// Whether the drain of events now running has read the pads: once per drain.
static bool read_in_drain = false;

// Key events made from the pads, handed out by next_pad_event(); the
// largest a read can make is four pads of four directions and three buttons.
static SDL_Event queued[4 * MAX_PADS * 7 + 1];
static int queued_first = 0, queued_count = 0;

static void queue_key(SDLKey key) {
    const int size = (int)(sizeof queued / sizeof queued[0]);
    if (queued_count == size) return;
    SDL_Event& e = queued[(queued_first + queued_count++) % size];
    e = SDL_Event();
    e.type = SDL_KEYDOWN;
    e.key.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = key;
}

static bool unqueue(SDL_Event& e) {
    if (queued_count == 0) return false;
    e = queued[queued_first];
    queued_first = (queued_first + 1) % (int)(sizeof queued / sizeof queued[0]);
    queued_count--;
    return true;
}

static void forget_everything() {
    std::memset(pads, 0, sizeof pads);
    std::memset(held_before, 0, sizeof held_before);
    std::memset(buttons_before, 0, sizeof buttons_before);
    std::memset(repeating, 0, sizeof repeating);
    start_waiting = false;
    captured_button = NO_BUTTON;
    read_in_drain = false;
    queued_first = queued_count = 0;
}

int start_button(int button_count) {
    if (button_count == 10 || button_count >= 12) return 9;
    return button_count >= 8 ? 7 : -1;
}

static unsigned held_controls(const pad_state& p) {
    if (!p.present) return 0;
    unsigned held = 0;
    if ((p.hat & SDL_HAT_UP) || p.y < -PAD_DEAD_ZONE) held |= HELD_UP;
    if ((p.hat & SDL_HAT_DOWN) || p.y > PAD_DEAD_ZONE) held |= HELD_DOWN;
    if ((p.hat & SDL_HAT_LEFT) || p.x < -PAD_DEAD_ZONE) held |= HELD_LEFT;
    if ((p.hat & SDL_HAT_RIGHT) || p.x > PAD_DEAD_ZONE) held |= HELD_RIGHT;
    if (p.buttons & 1u) held |= HELD_CHOOSE;
    if (p.buttons & 2u) held |= HELD_BACK;
    const int start = start_button(p.button_count);
    if (start >= 0 && (p.buttons >> start & 1u)) held |= HELD_START;
    return held;
}

// On a menu: a direction's press, then its repeats; the buttons' presses.
static void navigate(int pad, unsigned held, unsigned pressed, Uint32 now) {
    for (int d = 0; d < 4; d++) {
        const unsigned bit = HELD_UP << d;
        if (pressed & bit) {
            queue_key(DIRECTION_KEYS[d]);
            repeating[pad][d] = true;
            next_repeat[pad][d] = now + PAD_REPEAT_DELAY;
        } else if (!(held & bit)) {
            repeating[pad][d] = false;
        } else if (repeating[pad][d] && (Sint32)(now - next_repeat[pad][d]) >= 0) {
            queue_key(DIRECTION_KEYS[d]);
            next_repeat[pad][d] = now + PAD_REPEAT_EVERY;
        }
    }
    if (pressed & HELD_CHOOSE) queue_key(SDLK_RETURN);
    if (pressed & HELD_BACK) queue_key(SDLK_ESCAPE);
}

// Reads every open pad and turns what was pressed since the last read into
// events or a waiting Start, as the screen now running takes them. In a
// race the pad's controls drive, so they make no events: only Start does,
// and a direction held from the race does not repeat on the menu after it.
// A Start pressed while the race runs waits for the next held_frame_input() even
// when a drain reads it first (a frame's own events come after its pause
// check): only the keys a frame reads can start the pause.
static void read_pads() {
    const int mode = pad_mode_hook ? pad_mode_hook() : PADS_NAVIGATE;
    const Uint32 now = game_ticks();
    if (mode != PADS_DRIVE) start_waiting = false;
    for (int i = 0; i < pad_count; i++) {
        pad_state& p = pads[i];
        p = pad_state();
        pad_input.read(i, p);
        const unsigned held = held_controls(p);
        const unsigned pressed = held & ~held_before[i];
        held_before[i] = held;
        const Uint32 buttons_pressed = p.buttons & ~buttons_before[i];
        buttons_before[i] = p.present ? p.buttons : 0;
        if (mode == PADS_NAVIGATE) {
            navigate(i, held, pressed, now);
            continue;
        }
        std::memset(repeating[i], 0, sizeof repeating[i]);
        if (mode == PADS_CAPTURE) {
            for (int b = 0; b < 32 && captured_button == NO_BUTTON; b++)
                if (buttons_pressed >> b & 1u) captured_button = b;
            continue;
        }
        const int pause = key_bindings.pause_button;
        const bool pause_pressed = full_game && pause >= 0 && pause < 32 && (buttons_pressed >> pause & 1u);
        if (!(pressed & HELD_START) && !pause_pressed) continue;
        if (mode == PADS_DRIVE) start_waiting = true;
        else queue_key(SDLK_p);   // ends the pause; the countdown ignores it
    }
}

void open_pads() {
    if (pad_input.close) pad_input.close();
    forget_everything();
    pad_count = pad_input.scan ? pad_input.scan() : 0;
    if (pad_count < 0) pad_count = 0;
    if (pad_count > MAX_PADS) pad_count = MAX_PADS;
}

void close_pads() {
    if (pad_input.close) pad_input.close();
    forget_everything();
    pad_count = 0;
}

int open_pad_count() { return pad_count; }

void merge_pads(RaceInput& input, bool& pause, bool two_players) {
    read_pads();
    if (start_waiting) pause = true;
    start_waiting = false;
    for (int i = 0; i < pad_count; i++) {
        if (two_players && i > 1) break;
        unsigned char& actions = input.player[two_players ? i : 0];
        const unsigned held = held_controls(pads[i]);
        // Forward and backward also from buttons 0 and 1.
        if (held & (HELD_UP | HELD_CHOOSE)) actions |= ACTION_FORWARD;
        if (held & (HELD_DOWN | HELD_BACK)) actions |= ACTION_BACK;
        if (held & HELD_LEFT) actions |= ACTION_LEFT;
        if (held & HELD_RIGHT) actions |= ACTION_RIGHT;
        const int player = two_players ? i : 0;
        for (int a = 0; a < 4; a++) {
            const int b = key_bindings.buttons[player][a];
            if (pads[i].present && b >= 0 && b < 32 && (pads[i].buttons >> b & 1u)) actions |= (unsigned char)(1 << a);
        }
    }
}

int take_pad_button() {
    const int b = captured_button;
    captured_button = NO_BUTTON;
    return b;
}

bool next_pad_event(SDL_Event& e) {
    if (!read_in_drain) {
        read_in_drain = true;
        if (pad_count > 0) read_pads();
    }
    if (unqueue(e)) return true;
    read_in_drain = false;
    return false;
}
