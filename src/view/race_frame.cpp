#include "draw/draw.h"
#include "race/race.h"
#include "shell/clock.h"
#include "shell/shell.h"
#include "track/track.h"
#include "view/view.h"

static void end_of_frame_events() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT) game_screen = SCREEN_QUIT;
        if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) {
            game_screen = SCREEN_MENU;
            set_video_mode(500, 500);
        }
    }
}

void race_frame() {
    FPS();
    SDL_FillRect(screen, nullptr, 0);
    SDL_FillRect(second_view, nullptr, 0);

    // The pause check reads the same array the racers were steered from.
    const Uint8* keys = SDL_GetKeyState(nullptr);
    const race_hooks hooks = {draw_track, draw_ball, draw_checkpoint_marker};
    simulate_step(keys, &hooks);

    draw_lap_display();   // composes the two views in two-player mode
    start_countdown();
    pause_check(keys);
    update_winner();
    race_end_check();

    end_of_frame_events();
    top_up(20);
    // Shown only after the wait, so frames appear at an even pace.
    SDL_Flip(screen);
}
