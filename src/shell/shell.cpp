// Start-up, the screen loop and shut-down, and the window itself.
#include "shell/shell.h"

#include <SDL/SDL_image.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "core/assets.h"
#include "core/media.h"
#include "core/state.h"
#include "menu/menu.h"
#include "shell/options.h"
#include "race/race.h"
#include "track/tiles.h"
#include "track/track.h"
#include "view/view.h"

static const char* const FONT_FILE = "filut/VeraMoBd.ttf";
static const char* const MUSIC_FILE = "filut/musa.ogg";

// The ten pictures, in the order they are loaded.
static const char* const IMAGE_FILES[10] = {
    "filut/pallura1.png", "filut/pallura2.png", "filut/pallura3.png", "filut/pallura4.png",
    "filut/palkki.png",   "filut/donut.png",    "filut/donut2.png",   "filut/maali.png",
    "filut/set.png",      "filut/pp.png",
};

void set_video_mode(int w, int h) {
    screen = SDL_SetVideoMode(w, h, 32, SDL_HWSURFACE | SDL_DOUBLEBUF);
}

static bool has_data_folder(const std::string& dir) {
    std::string probe = dir + "/filut";
    return access(probe.c_str(), F_OK) == 0;
}

// The places, in order: beside the executable, the installed layout's
// share/chainball/ one level above it, the working directory.
bool find_data_folder() {
    std::string places[3];
    int count = 0;
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = 0;
        std::string dir(exe);
        const size_t slash = dir.rfind('/');   // readlink gives an absolute path
        dir.resize(slash == std::string::npos ? 0 : slash);
        places[count++] = dir.empty() ? "/" : dir;
        places[count++] = dir.substr(0, dir.rfind('/')) + "/share/chainball";
    }
    char cwd[PATH_MAX];
    places[count++] = getcwd(cwd, sizeof cwd) ? cwd : ".";
    for (int i = 0; i < count; i++)
        if (has_data_folder(places[i]) && chdir(places[i].c_str()) == 0) return true;
    std::string searched;
    for (int i = 0; i < count; i++) searched += (i ? ", " : "") + places[i];
    fprintf(stderr, "chainball: cannot start, no data folder filut/ in %s\n", searched.c_str());
    return false;
}

static std::string working_folder() {
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/filut" : std::string("filut");
}

// The font and the pictures: without them the game cannot draw its screens.
static bool required_files_present() {
    std::string missing;
    auto check = [&missing](const char* path) {
        if (access(path, R_OK) != 0) missing += (missing.empty() ? "" : ", ") + std::string(path + 6);
    };
    check(FONT_FILE);
    for (const char* f : IMAGE_FILES) check(f);
    if (missing.empty()) return true;
    fprintf(stderr, "chainball: cannot start, missing data files in %s: %s\n",
            working_folder().c_str(), missing.c_str());
    return false;
}

static void report_unreadable(const char* path) {
    fprintf(stderr, "chainball: cannot start, unreadable data file %s in %s\n", path + 6,
            working_folder().c_str());
}

// Without an X display SDL 1.2 falls back to a text-mode driver that draws
// the game as characters in the terminal, where it can be neither played nor
// left with its keys (without a terminal it exits with curses' complaint).
// A driver the player named in SDL_VIDEODRIVER is theirs. Called before
// SDL_Init (no DISPLAY and no framebuffer: only text drivers are left) and
// after it (the display could not be reached); says why when no window can
// be had, after quitting SDL so the terminal is given back first.
static bool window_driver_ok(bool sdl_started) {
    if (getenv("SDL_VIDEODRIVER")) return true;
    const char* display = getenv("DISPLAY");
    const bool no_display = !display || !*display;
    if (!sdl_started) {
        const char* fb = getenv("SDL_FBDEV");
        if (!no_display || access(fb ? fb : "/dev/fb0", R_OK | W_OK) == 0) return true;
    } else {
        char name[32];
        if (!SDL_VideoDriverName(name, sizeof name)) return true;
        if (strcmp(name, "caca") != 0 && strcmp(name, "aalib") != 0) return true;
        SDL_Quit();
    }
    if (no_display)
        fprintf(stderr, "chainball: cannot open a window: no display (DISPLAY is not set)\n");
    else
        fprintf(stderr, "chainball: cannot open a window: no display (cannot reach DISPLAY %s)\n", display);
    return false;
}

void reset_shell_state() {
    reset_program_state();
    background_phase = 2000;
    paused = false;
    reset_race_state();
}

bool startup() {
    if (!required_files_present()) return false;
    window_size_hook = set_video_mode;

    if (!window_driver_ok(false)) return false;
    SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO);
    if (!window_driver_ok(true)) return false;
    Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024);

    race_settings.music_on = true;
    music_chunk = Mix_LoadWAV_RW(SDL_RWFromFile(MUSIC_FILE, "rb"), 1);
    if (music_chunk) Mix_PlayChannelTimed(0, music_chunk, -1, -1);

    set_video_mode(500, 500);
    SDL_WM_SetCaption("Chainball", "Chainball");
    second_view = SDL_CreateRGBSurface(SDL_SWSURFACE, 400, 500, 32, 0, 0, 0, 0);
    frozen_frame = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 500, 32, 0, 0, 0, 0);

    reset_shell_state();
    read_catalogue();

    TTF_Init();
    small_font = TTF_OpenFont(FONT_FILE, 12);
    large_font = TTF_OpenFont(FONT_FILE, 36);

    srand((unsigned)time(nullptr));

    SDL_Surface* images[10];
    for (int i = 0; i < 10; i++) images[i] = IMG_Load(IMAGE_FILES[i]);
    lap_bar = images[4];
    marker_idle = images[5];
    marker_lit = images[6];
    finish_image = images[7];
    logo = images[9];

    bool readable = small_font && large_font;
    if (!readable) report_unreadable(FONT_FILE);
    for (int i = 0; i < 10; i++)
        if (!images[i]) {
            report_unreadable(IMAGE_FILES[i]);
            readable = false;
        }
    cut_atlas(images[8]);
    build_rotation_tables(images);
    if (!readable) {
        shutdown_game();
        return false;
    }
    return true;
}

void run_screen_loop() {
    for (;;) {
        if (game_screen == SCREEN_QUIT) break;
        while (game_screen == SCREEN_MENU) menu_frame();
        while (game_screen == SCREEN_SETTINGS) settings_frame();
        while (game_screen == SCREEN_RACE) race_frame();
        if (game_screen == SCREEN_LOAD) load_level();
    }
}

static void free_surface(SDL_Surface*& s) {
    SDL_FreeSurface(s);
    s = nullptr;
}

void shutdown_game() {
    free_surface(second_view);
    free_surface(frozen_frame);
    free_rotation_tables();
    free_tile_pieces();
    free_surface(lap_bar);
    free_surface(finish_image);
    free_surface(marker_idle);
    free_surface(marker_lit);
    Mix_FreeChunk(music_chunk);
    music_chunk = nullptr;
    free_surface(logo);
    if (small_font) TTF_CloseFont(small_font);
    if (large_font) TTF_CloseFont(large_font);
    small_font = large_font = nullptr;
    TTF_Quit();
    Mix_CloseAudio();
    SDL_Quit();
    screen = nullptr;
}

int SDL_main(int argc, char** argv) {
    game_options options;
    const int status = parse_game_args(argc, argv, options, stdout, stderr);
    if (status >= 0) return status;
    if (!find_data_folder()) return 1;
    if (!startup()) return 1;
    run_screen_loop();
    shutdown_game();
    return 0;
}
