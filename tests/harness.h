// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the headless tests: the game started once per test process on
// SDL's dummy drivers with the virtual clock, events pushed into SDL's queue,
// pixels read back.
#pragma once

#include <SDL/SDL.h>

#include "io/pads.h"

#include <cstdio>

#include <functional>
#include <string>

// SDL_Init through the whole start-up, once per process; later calls only
// restore the settings and shell state to their start values, with no pad.
void start_game_headless();

// Gamepads that tests set directly, in place of SDL's (so a pad plugged into
// the machine never reaches a test): pad i reads `test_pads[i]`, and a scan
// (open_pads(), as a return to the menu does) finds the first
// `test_pads_plugged` of them.
extern pad_state test_pads[MAX_PADS];
extern int test_pads_plugged;
// Plugs in `n` pads at rest with `buttons` buttons each, and opens them.
void plug_test_pads(int n, int buttons = 11);

void push_key(SDLKey key);
void push_quit();
void drop_events();

// Writes the keyboard state array that the race reads.
void hold_key(SDLKey key, bool down);
void release_all_keys();

// Colour of one pixel as 0xRRGGBB.
Uint32 pixel_at(SDL_Surface* s, int x, int y);

// Path of a file in the source tree (for test data), and a scratch file
// holding `content`, removed at process end.
std::string source_path(const std::string& relative);
std::string scratch_file(const std::string& content);
// The whole of the file at `path`, as bytes; "" when it cannot be read.
std::string file_contents(const std::string& path);

// Everything written to `f` (a tmpfile), from its start; closes it.
std::string read_back(FILE* f);

// Runs `f` with the process's stderr going to a scratch file, and returns
// what was written there.
std::string capture_stderr(const std::function<void()>& f);

// Runs `command` in a shell on SDL's dummy drivers, with a 60 s limit;
// its exit status (-2 for a signal) and its stdout and stderr together.
int run(const std::string& command, std::string& output);

// A scratch folder, removed with its contents at process end.
std::string scratch_dir();

// The screens as the game's loop runs them, for the tests: one stack for
// the test process, emptied by start_game_headless().
#include "core/screen.h"
#include "shell/screen_loop.h"
ScreenStack& test_screens();
// The full game's state the tests' screens run on (emptied by
// start_game_headless()); the main menu is the full game's while full_game is set.
struct FullGameRun;
FullGameRun& test_full_run();
// Empties the stack and puts the run's main menu (classic or full) at its bottom.
void reset_test_screens();
// A race screen on the classic settings (with the full game's additions
// when the full game runs), on top of the main menu: what Enter on "Start"
// opens. Entering it sets the race up.
void load_level();
// One frame (or overlay pass) of the top screen; a whole frame with the
// overlay passes it opens. With no screen, a race screen over the race
// live_race holds (set up by hand) is opened, the main menu under it.
void race_screen_pass();
bool race_frame_open();
void race_frame();
// Empties the stack: the next race_frame() runs a race screen over the race as it stands.
void drop_test_screens();
// One frame of the top screen, whatever it is.
void screen_frame();
// Opens `s` on top of the stack (entering it).
void open_test_screen(ScreenPtr s);
// The whole loop from the main menu until the run ends.
void run_screen_loop();
