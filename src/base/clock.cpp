// SPDX-License-Identifier: GPL-3.0-or-later
// Time: the monotonic clock or the virtual one, the frame-start record and pacing.
#include "base/clock.h"

#include <cerrno>
#include <ctime>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

uint32_t frame_start_ticks = 0;

// The virtual clock, for the whole run: tests switch it on once, and set
// its time and the hook its delays call.
static struct {
    bool on = false;
    uint32_t now = 0;
    void (*delay_hook)() = nullptr;
} virtual_clock;
void (*&virtual_delay_hook)() = virtual_clock.delay_hook;

static int64_t monotonic_ns() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec;
}

// Milliseconds since the first reading, so the values stay small; like a
// 32-bit millisecond count, it wraps after 49 days.
static uint32_t monotonic_ms() {
    static const int64_t origin = monotonic_ns();
    return (uint32_t)((monotonic_ns() - origin) / 1000000);
}

// Sleeps `ms` milliseconds, the rest again when a signal cuts it short.
static void sleep_ms(uint32_t ms) {
#ifdef __EMSCRIPTEN__
    // In a page, a wait gives the browser its turn (ASYNCIFY) rather than
    // spinning: it draws the canvas and hands over the keys meanwhile.
    emscripten_sleep(ms);
#else
    timespec left = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000};
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
#endif
}

uint32_t game_ticks() {
    return virtual_clock.on ? virtual_clock.now : monotonic_ms();
}

void game_delay(uint32_t ms) {
    if (virtual_clock.on) {
        virtual_clock.now += ms;
        if (virtual_clock.delay_hook) virtual_clock.delay_hook();
    }
    else
        sleep_ms(ms);
}

int start_frame() {
    uint32_t elapsed = game_ticks() - frame_start_ticks;
    // Less than a millisecond since the last frame: report 1000 rather than divide by zero.
    uint32_t rate = elapsed == 0 ? 1000u : 1000u / elapsed;
    frame_start_ticks = game_ticks();
    return (int)rate;
}

void top_up(int frame_ms) {
    int remaining = frame_ms - (int)(game_ticks() - frame_start_ticks);
    if (remaining > 0) game_delay((uint32_t)remaining);
#ifdef __EMSCRIPTEN__
    // A late frame still gives the browser its turn, or the page would freeze.
    else if (!virtual_clock.on)
        sleep_ms(0);
#endif
}

void menu_pacing() {
    game_delay(10);
    top_up(10);
}

void clock_use_virtual(bool on) {
    virtual_clock.on = on;
}

void clock_set(uint32_t now) {
    virtual_clock.now = now;
}
