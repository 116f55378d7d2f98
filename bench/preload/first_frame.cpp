// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into the game by bench/real_window.sh (LD_PRELOAD), never
// linked into it. Its environment picks what it does:
//   CHAINBALL_FIRST_FRAME=exit  ends the process at the first shown frame,
//                               so the whole process's time is exec to frame;
//   CHAINBALL_FIRST_FRAME=music runs until the music starts and prints, on
//                               stderr, the milliseconds from the window's
//                               opening to the first frame and to the music;
//   CHAINBALL_FLIP_LOG=FILE     keeps the number of frames shown so far and
//                               the number of keyboard-state reads (one per
//                               race step) in FILE, "FRAMES STEPS" (one
//                               pwrite per frame or step), for the rates.
#include <SDL/SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

static double now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static double window_ms = -1, frame_ms = -1;   // for the run of one process

static bool mode(const char* m) {
    const char* w = getenv("CHAINBALL_FIRST_FRAME");
    return w && strcmp(w, m) == 0;
}

// Frames shown and race steps, written to the log after each one.
static long frames = 0, steps = 0;
static void write_log() {
    static int fd = -2;
    if (fd == -2) {
        const char* log = getenv("CHAINBALL_FLIP_LOG");
        fd = log ? open(log, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
    }
    if (fd < 0) return;
    char line[48];
    const int n = snprintf(line, sizeof line, "%20ld %20ld\n", frames, steps);
    if (pwrite(fd, line, (size_t)n, 0) != n) fd = -1;
}
static void count_frame() {
    frames++;
    write_log();
}

// The race reads the keyboard state once per step, and nothing else does.
extern "C" Uint8* SDL_GetKeyState(int* numkeys) {
    static auto real = (Uint8 * (*)(int*)) dlsym(RTLD_NEXT, "SDL_GetKeyState");
    steps++;
    write_log();
    return real(numkeys);
}

extern "C" SDL_Surface* SDL_SetVideoMode(int w, int h, int bpp, Uint32 flags) {
    static auto real = (SDL_Surface * (*)(int, int, int, Uint32)) dlsym(RTLD_NEXT, "SDL_SetVideoMode");
    SDL_Surface* s = real(w, h, bpp, flags);
    if (window_ms < 0) window_ms = now_ms();
    return s;
}

static void first_frame() {
    if (frame_ms >= 0) return;
    frame_ms = now_ms();
    if (mode("exit")) _exit(0);
}

// SDL_Flip calls SDL_UpdateRect, which calls SDL_UpdateRects: one frame
// is counted at the outermost call only.
static int sending = 0;

extern "C" int SDL_Flip(SDL_Surface* s) {
    static auto real = (int (*)(SDL_Surface*))dlsym(RTLD_NEXT, "SDL_Flip");
    sending++;
    const int r = real(s);
    if (--sending == 0) {
        first_frame();
        count_frame();
    }
    return r;
}

extern "C" void SDL_UpdateRect(SDL_Surface* s, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
    static auto real = (void (*)(SDL_Surface*, Sint32, Sint32, Uint32, Uint32))dlsym(RTLD_NEXT, "SDL_UpdateRect");
    sending++;
    real(s, x, y, w, h);
    if (--sending == 0) count_frame();
}

// An enlarged window shows a frame's changed rows with SDL_UpdateRects.
extern "C" void SDL_UpdateRects(SDL_Surface* s, int n, SDL_Rect* rects) {
    static auto real = (void (*)(SDL_Surface*, int, SDL_Rect*))dlsym(RTLD_NEXT, "SDL_UpdateRects");
    sending++;
    real(s, n, rects);
    if (--sending == 0) count_frame();
}

// Enlarged on the X server's side, the game sends a frame's changed rows
// in runs with XShmPutImage and XRenderComposite and ends the frame with an
// XSync of its own: that sync, after a composite, counts one frame. SDL
// syncs too (its display unlock, after every run), so a sync counts only
// when the game itself called it. (Declared without the X headers: Picture
// is an XID, an unsigned long.)
static bool composed = false;

static bool called_from_sdl(const void* caller) {
    Dl_info info;
    return dladdr(caller, &info) && info.dli_fname && strstr(info.dli_fname, "libSDL");
}

extern "C" void XRenderComposite(void* display, int op, unsigned long src, unsigned long mask, unsigned long dst,
                                 int src_x, int src_y, int mask_x, int mask_y, int dst_x, int dst_y,
                                 unsigned int width, unsigned int height) {
    static auto real = (void (*)(void*, int, unsigned long, unsigned long, unsigned long, int, int, int, int, int,
                                 int, unsigned int, unsigned int))dlsym(RTLD_NEXT, "XRenderComposite");
    real(display, op, src, mask, dst, src_x, src_y, mask_x, mask_y, dst_x, dst_y, width, height);
    composed = true;
}

extern "C" int XSync(void* display, int discard) {
    static auto real = (int (*)(void*, int))dlsym(RTLD_NEXT, "XSync");
    const int r = real(display, discard);
    if (composed && !called_from_sdl(__builtin_return_address(0))) {
        composed = false;
        first_frame();
        count_frame();
    }
    return r;
}

extern "C" int Mix_PlayChannelTimed(int channel, void* chunk, int loops, int ticks) {
    static auto real = (int (*)(int, void*, int, int))dlsym(RTLD_NEXT, "Mix_PlayChannelTimed");
    const int r = real(channel, chunk, loops, ticks);
    if (mode("music")) {
        fprintf(stderr, "window_to_first_frame_ms %.1f\nwindow_to_music_ms %.1f\n", frame_ms - window_ms,
                now_ms() - window_ms);
        _exit(0);
    }
    return r;
}
