// SPDX-License-Identifier: GPL-3.0-or-later
// The pads as SDL's joystick subsystem sees them, read without its events.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bitset>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/pads.h"

// The open joysticks, from one scan to the next: SDL's handle of each, and
// the descriptor of the device it reads (-1 when it could not be told).
static struct {
    SDL_Joystick* handles[MAX_PADS] = {};
    int device_fds[MAX_PADS] = {};
} joysticks;

constexpr int FD_RANGE = 1024;

// The process's open descriptors of input devices, read from /proc.
static std::bitset<FD_RANGE> input_device_fds() {
    std::bitset<FD_RANGE> found;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return found;
    while (const dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end || fd < 0 || fd >= FD_RANGE) continue;
        char link[64], target[256];
        std::snprintf(link, sizeof link, "/proc/self/fd/%ld", fd);
        const ssize_t n = readlink(link, target, sizeof target - 1);
        if (n <= 0) continue;
        target[n] = 0;
        if (std::strncmp(target, "/dev/input/", 11) == 0) found.set((size_t)fd);
    }
    closedir(dir);
    return found;
}

// SDL 1.2 has no word for a pad pulled out: it keeps the last state read,
// a stick held to one side stays there. The device's node is gone then, so
// its open descriptor has no link left.
static bool device_gone(int index) {
    struct stat st;
    const int fd = joysticks.device_fds[index];
    return fd >= 0 && (fstat(fd, &st) != 0 || st.st_nlink == 0);
}

static void close_sdl_pads() {
    for (int i = 0; i < MAX_PADS; i++) {
        if (joysticks.handles[i]) SDL_JoystickClose(joysticks.handles[i]);
        joysticks.handles[i] = nullptr;
        joysticks.device_fds[i] = -1;
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

// SDL 1.2 finds pads plugged in later only by starting its joystick
// subsystem again. Failing to start it means no pad, the normal case.
static int scan_sdl_pads() {
    close_sdl_pads();
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return 0;
    SDL_JoystickEventState(SDL_IGNORE);   // read directly, none in the queue
    int count = SDL_NumJoysticks();
    if (count > MAX_PADS) count = MAX_PADS;
    for (int i = 0; i < count; i++) {
        const std::bitset<FD_RANGE> before = input_device_fds();
        joysticks.handles[i] = SDL_JoystickOpen(i);
        const std::bitset<FD_RANGE> opened = input_device_fds() & ~before;
        if (opened.count() != 1) continue;
        for (int fd = 0; fd < FD_RANGE; fd++)
            if (opened.test((size_t)fd)) joysticks.device_fds[i] = fd;
    }
    return count < 0 ? 0 : count;
}

static void read_sdl_pad(int index, pad_state& s) {
    s = pad_state();
    if (index < 0 || index >= MAX_PADS || !joysticks.handles[index] || device_gone(index)) return;
    SDL_JoystickUpdate();
    SDL_Joystick* j = joysticks.handles[index];
    s.present = true;
    if (SDL_JoystickNumAxes(j) >= 2) {
        s.x = SDL_JoystickGetAxis(j, 0);
        s.y = SDL_JoystickGetAxis(j, 1);
    }
    if (SDL_JoystickNumHats(j) >= 1) s.hat = SDL_JoystickGetHat(j, 0);
    s.button_count = SDL_JoystickNumButtons(j);
    for (int b = 0; b < s.button_count && b < 32; b++)
        if (SDL_JoystickGetButton(j, b)) s.buttons |= 1u << b;
}

const pad_source sdl_pads = {scan_sdl_pads, read_sdl_pad, close_sdl_pads};
