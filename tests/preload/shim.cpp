// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into the built game by tests (LD_PRELOAD), never linked into it:
// writes the path of every file the game opens to $CHAINBALL_SHIM_LOG, one
// a line, and feeds the keys of $CHAINBALL_SHIM_KEYS (SDLKey numbers,
// comma-separated) as presses and releases, one every 20 empty drains of the
// event queue, so a test can walk the menus of a game with no window.
#include <SDL/SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
using open_fn = int (*)(const char*, int, ...);
using openat_fn = int (*)(int, const char*, int, ...);
using fopen_fn = FILE* (*)(const char*, const char*);

template <typename F>
F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

void note(const char* path) {
    static int fd = -2;
    if (fd == -2) {
        const char* log = std::getenv("CHAINBALL_SHIM_LOG");
        static open_fn real_open = real<open_fn>("open");
        fd = log ? real_open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600) : -1;
    }
    if (fd < 0 || !path) return;
    if (write(fd, path, std::strlen(path)) < 0 || write(fd, "\n", 1) < 0) fd = -1;
}

mode_t mode_of(int flags, va_list ap) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(ap, mode_t) : 0;
}
}  // namespace

#define WRAP_OPEN(name)                                      \
    extern "C" int name(const char* path, int flags, ...) {  \
        va_list ap;                                          \
        va_start(ap, flags);                                 \
        const mode_t mode = mode_of(flags, ap);              \
        va_end(ap);                                          \
        note(path);                                          \
        static open_fn next = real<open_fn>(#name);          \
        return next(path, flags, mode);                      \
    }
#define WRAP_OPENAT(name)                                            \
    extern "C" int name(int dir, const char* path, int flags, ...) { \
        va_list ap;                                                  \
        va_start(ap, flags);                                         \
        const mode_t mode = mode_of(flags, ap);                      \
        va_end(ap);                                                  \
        note(path);                                                  \
        static openat_fn next = real<openat_fn>(#name);              \
        return next(dir, path, flags, mode);                         \
    }
#define WRAP_FOPEN(name)                                            \
    extern "C" FILE* name(const char* path, const char* how) {      \
        note(path);                                                 \
        static fopen_fn next = real<fopen_fn>(#name);               \
        return next(path, how);                                     \
    }

WRAP_OPEN(open)
WRAP_OPEN(open64)
WRAP_OPENAT(openat)
WRAP_OPENAT(openat64)
WRAP_FOPEN(fopen)
WRAP_FOPEN(fopen64)

extern "C" int SDL_PollEvent(SDL_Event* e) {
    static auto next = real<int (*)(SDL_Event*)>("SDL_PollEvent");
    const int got = next(e);
    if (got || !e) return got;
    static std::vector<int> keys;
    static bool read_keys = false;
    if (!read_keys) {
        read_keys = true;
        const char* list = std::getenv("CHAINBALL_SHIM_KEYS");
        for (const char* p = list; p && *p;) {
            keys.push_back(std::atoi(p));
            p = std::strchr(p, ',');
            if (p) p++;
        }
    }
    static unsigned drains = 0, sent = 0;
    if (++drains % 20 != 0 || sent >= keys.size() * 2) return 0;
    std::memset(e, 0, sizeof *e);
    const bool press = sent % 2 == 0;
    e->type = press ? SDL_KEYDOWN : SDL_KEYUP;
    e->key.state = press ? SDL_PRESSED : SDL_RELEASED;
    e->key.keysym.sym = (SDLKey)keys[sent / 2];
    sent++;
    return 1;
}
