// SPDX-License-Identifier: GPL-3.0-or-later
// Time: SDL's clock or the virtual one, the frame-start record and pacing.
#include "draw/clock.h"

Uint32 frame_start_ticks = 0;

// Both for the whole run; tests switch the virtual clock on once.
static bool virtual_clock = false;
static Uint32 virtual_now = 0;
void (*virtual_delay_hook)() = nullptr;

Uint32 game_ticks() {
    return virtual_clock ? virtual_now : SDL_GetTicks();
}

void game_delay(Uint32 ms) {
    if (virtual_clock) {
        virtual_now += ms;
        if (virtual_delay_hook) virtual_delay_hook();
    }
    else
        SDL_Delay(ms);
}

int start_frame() {
    Uint32 elapsed = game_ticks() - frame_start_ticks;
    // Less than a millisecond since the last frame: report 1000 rather than divide by zero.
    Uint32 rate = elapsed == 0 ? 1000u : 1000u / elapsed;
    frame_start_ticks = game_ticks();
    return (int)rate;
}

void top_up(int frame_ms) {
    int remaining = frame_ms - (int)(game_ticks() - frame_start_ticks);
    if (remaining > 0) game_delay((Uint32)remaining);
}

void menu_pacing() {
    game_delay(10);
    top_up(10);
}

void clock_use_virtual(bool on) {
    virtual_clock = on;
}

void clock_set(Uint32 now) {
    virtual_now = now;
}
