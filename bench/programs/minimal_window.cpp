// SPDX-License-Identifier: GPL-3.0-or-later
// The least an SDL program can do to show a picture of the game's size at
// the game's pace, for bench/window_screens.sh to set beside the game:
//   minimal_window WIDTH HEIGHT KIND SECONDS
// KIND "race": a new picture every frame, paced to 20 ms, then flipped, one
// keyboard-state read per frame (a race step); "menu": a new picture,
// flipped, then 10 ms and a top-up to 10 ms; "still": the same picture
// flipped every 10 ms. The window is 32 bits, SDL_HWSURFACE | SDL_DOUBLEBUF,
// as the game's.
#include <SDL/SDL.h>

#include <cstdlib>
#include <cstring>

static void top_up(Uint32 start, int ms) {
    const int left = ms - (int)(SDL_GetTicks() - start);
    if (left > 0) SDL_Delay((Uint32)left);
}

// Every row a colour of its own that moves with the frame.
static void paint(SDL_Surface* s, int frame) {
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; y++) {
        Uint32* row = (Uint32*)((Uint8*)s->pixels + (size_t)y * s->pitch);
        const Uint32 c = SDL_MapRGB(s->format, (Uint8)(y + frame), (Uint8)(y * 3), (Uint8)frame);
        for (int x = 0; x < s->w; x++) row[x] = c;
    }
    SDL_UnlockSurface(s);
}

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    const int w = atoi(argv[1]), h = atoi(argv[2]);
    const char* kind = argv[3];
    const Uint32 run_ms = (Uint32)(atof(argv[4]) * 1000);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_WM_SetCaption("Minimal", nullptr);
    SDL_Surface* s = SDL_SetVideoMode(w, h, 32, SDL_HWSURFACE | SDL_DOUBLEBUF);
    if (!s) return 1;
    const bool race = !strcmp(kind, "race"), menu = !strcmp(kind, "menu");
    paint(s, 0);
    const Uint32 begin = SDL_GetTicks();
    for (int frame = 1; SDL_GetTicks() - begin < run_ms; frame++) {
        const Uint32 start = SDL_GetTicks();
        if (race || menu) paint(s, frame);
        if (race) SDL_GetKeyState(nullptr);
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
        }
        if (race) {
            top_up(start, 20);
            SDL_Flip(s);
        } else if (menu) {
            SDL_Flip(s);
            SDL_Delay(10);
            top_up(start, 10);
        } else {
            SDL_Flip(s);
            top_up(start, 10);
        }
    }
    SDL_Quit();
    return 0;
}
