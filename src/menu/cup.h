// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's cups (docs/cups.md): the Cup screen (pick a shipped cup
// or build a custom one, the players, chain length, drivers and laps once
// for the whole cup) and the cup's own screen, which opens each race and
// shows the standings after it and the podium after the last. The cup in
// progress is saved after each race and continued from the main menu.
#pragma once

#include <string>
#include <vector>

#include "config/cups.h"
#include "core/screen.h"
#include "menu/full_game.h"

// The screens' kinds, past the classic game's (core/state.h).
constexpr int SCREEN_CUP = 30;
constexpr int SCREEN_CUP_STANDINGS = 31;

ScreenPtr make_cup_choice_screen(FullGameRun& run);
// The cup's screen for a cup about to start (no race run yet): it opens the
// first race at once.
ScreenPtr make_cup_screen(FullGameRun& run, const cup_progress& cup);
// "Continue cup": the saved cup's standings, or the one line why it cannot
// go on (a save that is not whole is put aside as cup-damaged.toml).
ScreenPtr make_continue_cup_screen(FullGameRun& run);
// Whether a saved cup waits ("Continue cup" in the main menu).
bool saved_cup_waits();

// The cups' records as their file holds them (none when it cannot be read;
// one line on stderr for a file that is not whole).
std::vector<cup_record> read_cup_records();
// "1st", "2nd", "3rd".
const char* place_word(int place);
