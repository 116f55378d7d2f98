// The game's only source of time. Normally SDL's millisecond clock; tests and
// the monkey run switch to a virtual clock that a delay simply advances, so
// screens run without waiting.
#pragma once

#include <SDL/SDL.h>

Uint32 game_ticks();
void game_delay(Uint32 ms);

// Pace a frame: wait until `frame_ms` have passed since fps_asdf.
void top_up(int frame_ms);

void clock_use_virtual(bool on);
void clock_set(Uint32 now);   // virtual clock only
