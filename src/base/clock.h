// SPDX-License-Identifier: GPL-3.0-or-later
// The game's only source of time, and frame pacing. Normally a monotonic
// millisecond clock counted from its first reading; tests and the monkey run switch to a virtual clock that
// a delay simply advances, so screens run without waiting. Owns `frame_start_ticks`.
#pragma once

#include <cstdint>

// Tick count at the latest start_frame() call; lives for the whole run.
extern uint32_t frame_start_ticks;

uint32_t game_ticks();
void game_delay(uint32_t ms);

// Records the frame start in frame_start_ticks; returns the rate of the previous frame.
int start_frame();

// Pace a frame: wait until `frame_ms` have passed since frame_start_ticks.
void top_up(int frame_ms);

// End of a menu or race-end frame: a flat 10 ms, then up to 10 ms since the
// frame start.
void menu_pacing();

void clock_use_virtual(bool on);
// Virtual clock only: called at every delay, that is once at the end of every
// frame or overlay pass. The monkey test queues its random keys here.
extern void (*&virtual_delay_hook)();
void clock_set(uint32_t now);   // virtual clock only
