// SPDX-License-Identifier: GPL-3.0-or-later
// Gamepads as keys: the driving keys of a race frame, and key events for
// every other screen, with the held-direction repeat of the menus.
#include "io/pads.h"

#include <cstring>

#include "base/clock.h"
#include "core/state.h"
#include "io/bindings.h"

// The pads' hooks, for the whole run: where their states come from (tests
// swap it), and what they mean now (set once by start-up).
static struct {
    pad_source source = sdl_pads;
    int (*mode)() = nullptr;
} pad_hooks;
pad_source& pad_input = pad_hooks.source;
int (*&pad_mode_hook)() = pad_hooks.mode;

// What one pad's controls mean, as bits.
enum {
    HELD_UP = 1, HELD_DOWN = 2, HELD_LEFT = 4, HELD_RIGHT = 8,
    HELD_CHOOSE = 16, HELD_BACK = 32, HELD_START = 64,
};
static const SDLKey DIRECTION_KEYS[4] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT};

// The open pads and what was made of their reads: from one open_pads() to
// the next.
static struct {
    int count = 0;                         // opened at the last scan
    pad_state last[MAX_PADS] = {};         // as last read
    unsigned held_before[MAX_PADS] = {};   // controls held at the read before
    Uint32 buttons_before[MAX_PADS] = {};  // buttons held at the read before
    // Per pad and direction: the tick of its next repeat, and whether it
    // repeats at all (only a direction pressed on a menu does).
    Uint32 next_repeat[MAX_PADS][4] = {};
    bool repeating[MAX_PADS][4] = {};
    // A Start pressed while the race runs, kept for the next held_frame_input().
    bool start_waiting = false;
    // A button pressed on the full game's key bindings screen, kept until taken.
    int captured_button = NO_BUTTON;
    // Whether the drain of events now running has read the pads: once per drain.
    bool read_in_drain = false;
    // Key events made from the pads, handed out by next_pad_event(); the
    // largest a read can make is four pads of four directions and three
    // buttons.
    SDL_Event queued[4 * MAX_PADS * 7 + 1] = {};
    int queued_first = 0, queued_count = 0;
} pads;

static void queue_key(SDLKey key) {
    const int size = (int)(sizeof pads.queued / sizeof pads.queued[0]);
    if (pads.queued_count == size) return;
    SDL_Event& e = pads.queued[(pads.queued_first + pads.queued_count++) % size];
    e = SDL_Event();
    e.type = SDL_KEYDOWN;
    e.key.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = key;
}

static bool unqueue(SDL_Event& e) {
    if (pads.queued_count == 0) return false;
    e = pads.queued[pads.queued_first];
    pads.queued_first = (pads.queued_first + 1) % (int)(sizeof pads.queued / sizeof pads.queued[0]);
    pads.queued_count--;
    return true;
}

static void forget_everything() {
    std::memset(pads.last, 0, sizeof pads.last);
    std::memset(pads.held_before, 0, sizeof pads.held_before);
    std::memset(pads.buttons_before, 0, sizeof pads.buttons_before);
    std::memset(pads.repeating, 0, sizeof pads.repeating);
    pads.start_waiting = false;
    pads.captured_button = NO_BUTTON;
    pads.read_in_drain = false;
    pads.queued_first = pads.queued_count = 0;
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
            pads.repeating[pad][d] = true;
            pads.next_repeat[pad][d] = now + PAD_REPEAT_DELAY;
        } else if (!(held & bit)) {
            pads.repeating[pad][d] = false;
        } else if (pads.repeating[pad][d] && (Sint32)(now - pads.next_repeat[pad][d]) >= 0) {
            queue_key(DIRECTION_KEYS[d]);
            pads.next_repeat[pad][d] = now + PAD_REPEAT_EVERY;
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
    const int mode = pad_hooks.mode ? pad_hooks.mode() : PADS_NAVIGATE;
    const Uint32 now = game_ticks();
    if (mode != PADS_DRIVE) pads.start_waiting = false;
    for (int i = 0; i < pads.count; i++) {
        pad_state& p = pads.last[i];
        p = pad_state();
        pad_hooks.source.read(i, p);
        const unsigned held = held_controls(p);
        const unsigned pressed = held & ~pads.held_before[i];
        pads.held_before[i] = held;
        const Uint32 buttons_pressed = p.buttons & ~pads.buttons_before[i];
        pads.buttons_before[i] = p.present ? p.buttons : 0;
        if (mode == PADS_NAVIGATE) {
            navigate(i, held, pressed, now);
            continue;
        }
        std::memset(pads.repeating[i], 0, sizeof pads.repeating[i]);
        if (mode == PADS_CAPTURE) {
            for (int b = 0; b < 32 && pads.captured_button == NO_BUTTON; b++)
                if (buttons_pressed >> b & 1u) pads.captured_button = b;
            continue;
        }
        const int pause = key_bindings.pause_button;
        const bool pause_pressed = full_game && pause >= 0 && pause < 32 && (buttons_pressed >> pause & 1u);
        if (!(pressed & HELD_START) && !pause_pressed) continue;
        if (mode == PADS_DRIVE) pads.start_waiting = true;
        else queue_key(SDLK_p);   // ends the pause; the countdown ignores it
    }
}

void open_pads() {
    if (pad_hooks.source.close) pad_hooks.source.close();
    forget_everything();
    pads.count = pad_hooks.source.scan ? pad_hooks.source.scan() : 0;
    if (pads.count < 0) pads.count = 0;
    if (pads.count > MAX_PADS) pads.count = MAX_PADS;
}

void close_pads() {
    if (pad_hooks.source.close) pad_hooks.source.close();
    forget_everything();
    pads.count = 0;
}

int open_pad_count() { return pads.count; }

void merge_pads(RaceInput& input, bool& pause, bool two_players) {
    read_pads();
    if (pads.start_waiting) pause = true;
    pads.start_waiting = false;
    for (int i = 0; i < pads.count; i++) {
        if (two_players && i > 1) break;
        unsigned char& actions = input.player[two_players ? i : 0];
        const unsigned held = held_controls(pads.last[i]);
        // Forward and backward also from buttons 0 and 1.
        if (held & (HELD_UP | HELD_CHOOSE)) actions |= ACTION_FORWARD;
        if (held & (HELD_DOWN | HELD_BACK)) actions |= ACTION_BACK;
        if (held & HELD_LEFT) actions |= ACTION_LEFT;
        if (held & HELD_RIGHT) actions |= ACTION_RIGHT;
        const int player = two_players ? i : 0;
        const pad_state& p = pads.last[i];
        for (int a = 0; a < 4; a++) {
            const int b = key_bindings.buttons[player][a];
            if (p.present && b >= 0 && b < 32 && (p.buttons >> b & 1u)) actions |= (unsigned char)(1 << a);
        }
    }
}

int take_pad_button() {
    const int b = pads.captured_button;
    pads.captured_button = NO_BUTTON;
    return b;
}

bool next_pad_event(SDL_Event& e) {
    if (!pads.read_in_drain) {
        pads.read_in_drain = true;
        if (pads.count > 0) read_pads();
    }
    if (unqueue(e)) return true;
    pads.read_in_drain = false;
    return false;
}
