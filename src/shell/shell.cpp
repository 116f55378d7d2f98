// Start-up, the screen loop and shut-down, and the window itself.
#include "shell/shell.h"

#include <SDL/SDL_image.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "core/assets.h"
#include "core/files.h"
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

bool find_data_folder() {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = 0;
        std::string dir(exe);
        size_t slash = dir.rfind('/');
        dir = slash == std::string::npos ? "." : dir.substr(0, slash);
        if (has_data_folder(dir)) return chdir(dir.c_str()) == 0;
    }
    return has_data_folder(".");
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

void reset_shell_state() {
    reset_program_state();
    background_phase = 2000;
    paused = false;
    reset_race_state();
}

bool startup() {
    if (!required_files_present()) return false;
    window_size_hook = set_video_mode;

    SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO);
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

bool usable_track_file(const std::string& file, std::string& absolute) {
    std::string why;
    FILE* f = open_regular_file(file.c_str(), MAX_LEVEL_FILE_BYTES, why);
    if (!f) {
        fprintf(stderr, "chainball: cannot race track file '%s': %s\n", printable(file, 200).c_str(),
                why.c_str());
        return false;
    }
    fclose(f);
    // The game moves into its data folder, so a relative name is made whole first.
    char cwd[PATH_MAX];
    absolute = file[0] == '/' || !getcwd(cwd, sizeof cwd) ? file : std::string(cwd) + "/" + file;
    return true;
}

int SDL_main(int argc, char** argv) {
    game_options options;
    const int status = parse_game_args(argc, argv, options, stdout, stderr);
    if (status >= 0) return status;
    static std::string track_path;   // the --track file, for the whole run
    if (!options.track_file.empty() && !usable_track_file(options.track_file, track_path)) return 2;
    find_data_folder();   // without one, startup() names what it misses here
    if (!startup()) return 1;
    if (!track_path.empty()) catalogue_of_one_file(track_path.c_str());
    run_screen_loop();
    shutdown_game();
    return 0;
}
