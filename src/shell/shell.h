// SPDX-License-Identifier: GPL-3.0-or-later
// The game shell: start-up, the screen loop and shut-down. It opens the
// window (and installs the hook through which the screens below ask for a
// new window size), loads every asset and sets every start value.
#pragma once

#include <string>

// Opens the window for a w x h picture (shell/window.h); updates `screen`.
void set_video_mode(int w, int h);

// Finds the data folder: the first of filut/ beside the executable,
// ../share/chainball/filut/ from it and filut/ in the working directory
// that is a folder holding something (core/files.h: data_path). Returns
// false, after one line on stderr naming every place, when none is.
bool find_data_folder();

// Start values of the settings, the screen state, the race and the overlays.
void reset_shell_state();

// Libraries, window, music, catalogue, fonts, pictures, tile pieces and
// rotation tables, in that order. Returns false (after printing why on
// stderr) when a file the game cannot run without is missing.
bool startup();
void shutdown_game();

// True when `file` can be raced (a readable regular file within the size
// cap); otherwise prints one line naming the cause on stderr.
bool usable_track_file(const std::string& file);

int SDL_main(int argc, char** argv);
