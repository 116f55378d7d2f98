// SPDX-License-Identifier: GPL-3.0-or-later
// The ball pictures turned to every whole degree, once at start-up.
#include <SDL/SDL_rotozoom.h>

#include "base/arith.h"
#include "view/view.h"

SDL_Surface* rotated_images[4][360];   // whole run

// Every whole degree is turned once here, so the race only picks and copies.
void build_rotation_tables(SDL_Surface* ball_images[4]) {
    for (int s = 0; s < 4; s++) {
        for (int a = 0; a < 360; a++)
            rotated_images[s][a] = ball_images[s] ? rotozoomSurface(ball_images[s], (double)a, 1.0, 0) : nullptr;
        SDL_FreeSurface(ball_images[s]);
        ball_images[s] = nullptr;
    }
}

void free_rotation_tables() {
    for (int s = 0; s < 4; s++)
        for (int a = 0; a < 360; a++) {
            SDL_FreeSurface(rotated_images[s][a]);
            rotated_images[s][a] = nullptr;
        }
}

int sprite_angle(float heading) {
    // wrap_degrees truncates toward zero and wraps into 0..359; a heading too large
    // for an int (or not a number) comes back as 0 instead of overflowing.
    return wrap_degrees((double)heading);
}
