// Preloaded into the game by bench/real_window.sh (LD_PRELOAD), never
// linked into it. Its environment picks what it does:
//   CHAINBALL_FIRST_FRAME=exit  ends the process at the first shown frame,
//                               so the whole process's time is exec to frame;
//   CHAINBALL_FIRST_FRAME=music runs until the music starts and prints, on
//                               stderr, the milliseconds from the window's
//                               opening to the first frame and to the music;
//   CHAINBALL_FLIP_LOG=FILE     keeps the number of frames shown so far in
//                               FILE (one pwrite per frame), for frame rates.
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

// Frames shown, written to the log after each one.
static void count_frame() {
    static int fd = -2;
    static long frames = 0;
    if (fd == -2) {
        const char* log = getenv("CHAINBALL_FLIP_LOG");
        fd = log ? open(log, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
    }
    if (fd < 0) return;
    char line[32];
    const int n = snprintf(line, sizeof line, "%20ld\n", ++frames);
    if (pwrite(fd, line, (size_t)n, 0) != n) fd = -1;
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

static bool flipping = false;   // SDL_Flip may call SDL_UpdateRect: one frame

extern "C" int SDL_Flip(SDL_Surface* s) {
    static auto real = (int (*)(SDL_Surface*))dlsym(RTLD_NEXT, "SDL_Flip");
    flipping = true;
    const int r = real(s);
    flipping = false;
    first_frame();
    count_frame();
    return r;
}

// A scaled window shows a frame's changed rows with SDL_UpdateRect.
extern "C" void SDL_UpdateRect(SDL_Surface* s, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
    static auto real = (void (*)(SDL_Surface*, Sint32, Sint32, Uint32, Uint32))dlsym(RTLD_NEXT, "SDL_UpdateRect");
    real(s, x, y, w, h);
    if (!flipping) count_frame();
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
