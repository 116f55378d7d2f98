// SPDX-License-Identifier: GPL-3.0-or-later
// Gamepads. Their state is read from a source (SDL's joysticks in the game,
// states set directly in the tests) and reaches the screens as keys: the
// driving keys merged into the held-key array of a race frame, and key
// events (arrows, Return, Escape, and Start as the pause's Ctrl+P and P)
// among the screens' events. With no pad open nothing here changes anything.
#pragma once

#include <SDL/SDL.h>

#include "core/input.h"

constexpr int MAX_PADS = 4;
// A quarter of the stick's range: less counts as the stick at rest.
constexpr int PAD_DEAD_ZONE = 8192;
// A direction held on a menu repeats after 400 ms, then every 150 ms.
constexpr Uint32 PAD_REPEAT_DELAY = 400;
constexpr Uint32 PAD_REPEAT_EVERY = 150;

// One pad as last read. Buttons: bit n is button n.
struct pad_state {
    bool present;
    Sint16 x, y;        // left stick; negative is left and up
    Uint8 hat;          // SDL_HAT_* bits of the first hat (d-pad)
    Uint32 buttons;
    int button_count;
};

// Where the states come from. `scan` (re)opens what is plugged in and returns
// how many pads it opened (at most MAX_PADS); `read` fills one of them, with
// present false once it is gone; `close` lets them go.
struct pad_source {
    int (*scan)();
    void (*read)(int index, pad_state& s);
    void (*close)();
};
extern pad_source& pad_input;     // SDL's joysticks; the tests put in their own
extern const pad_source sdl_pads; // pads_sdl.cpp

// What the pads mean at the moment; asked at every read of the pads. The
// shell installs the hook; without it every screen is a menu.
// PADS_CAPTURE: the full game's key bindings screen waits for a button.
enum { PADS_NAVIGATE = 0, PADS_DRIVE = 1, PADS_OVERLAY = 2, PADS_CAPTURE = 3 };
extern int (*&pad_mode_hook)();

// Opens the pads plugged in now (start-up, each entry to the main menu),
// letting the previous ones go; forgets every press and held direction.
void open_pads();
void close_pads();
int open_pad_count();

// Pad index 0 drives player 1, index 1 player 2 in a two-player race; in a
// one-player race every pad drives player 1. ORs their actions into
// `input`, with the buttons the player's key bindings name. A press of Start
// (or, in the full game, of the button bound to the pause) while the race
// runs sets `pause`.
void merge_pads(RaceInput& input, bool& pause, bool two_players);

// The first pad button pressed while the pads were in PADS_CAPTURE mode
// since the last call, or NO_BUTTON (io/bindings.h); the call forgets it.
int take_pad_button();

// The next key event made from the pads, or false at the end of each drain
// (the pads are read once per drain, so every drain ends).
bool next_pad_event(SDL_Event& e);

// Start as the pads' layouts place it: button 7 on pads with 8, 9 or 11
// buttons (the Xbox layout among them), 9 on pads with 10 or 12 and more
// (PlayStation and most USB pads); none on pads with fewer than 8.
int start_button(int button_count);
