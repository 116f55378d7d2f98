// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, the screen loop and shut-down, and the window itself.
#include "shell/shell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>

#include "io/assets.h"
#include "io/effects.h"
#include "io/events.h"
#include "core/files.h"
#include "io/media.h"
#include "io/pictures.h"
#include "io/pads.h"
#include "io/present.h"
#include "core/state.h"
#include "menu/full_game.h"
#include "menu/menu.h"
#include "menu/trial.h"
#include "shell/music.h"
#include "shell/options.h"
#include "shell/screen_loop.h"
#include "shell/window.h"
#include "race/race.h"
#include "replay/replay.h"
#include "replay/session.h"
#include "view/tiles.h"
#include "track/track.h"
#include "net/messages.h"
#include "view/online.h"
#include "view/race_screen.h"
#include "view/view.h"

static const char* const FONT_FILE = "VeraMoBd.ttf";
static const char* const MUSIC_FILE = "musa.ogg";
static const char* const ICON_FILE = "icon.png";

// The ten pictures, in the order they are loaded.
static const char* const IMAGE_FILES[10] = {
    "pallura1.png", "pallura2.png", "pallura3.png", "pallura4.png", "palkki.png",
    "donut.png",    "donut2.png",   "maali.png",    "set.png",      "pp.png",
};

// The shell's own, from start-up to shut-down.
static struct {
    std::string track_path;   // the --track file
    std::string music_path;   // the decoding thread reads it
    // Set when start-up's caller read the catalogue already (to find a
    // replay's track before any window opens), so it is read once.
    bool catalogue_read_early = false;
} shell;

// Data files larger than this are not ours: the biggest we ship is 0.7 MB.
constexpr long long MAX_DATA_FILE_BYTES = 32 << 20;

static void report_window_failure(int w, int h) {
    std::fprintf(stderr, "chainball: cannot open a window of %d x %d: %s\n", w, h,
                 printable(SDL_GetError(), 200).c_str());
}

void set_video_mode(int w, int h) {
    open_window(w, h);
}

// The window size a screen asks for while the game runs. Without a window
// no screen can go on: shut down and leave with status 1.
static void resize_or_exit(int w, int h) {
    set_video_mode(w, h);
    if (screen) return;
    report_window_failure(w, h);
    shutdown_game();
    std::exit(1);
}

bool find_data_folder() {
    std::string places[3];
    const int count = data_folder_places(places);
    const std::string found = locate_data_folder();
    if (!found.empty()) {
        set_data_folder(found);
        return true;
    }
    std::string searched;
    for (int i = 0; i < count; i++) searched += (i ? ", " : "") + printable(places[i], 200);
    fprintf(stderr, "chainball: cannot start, no data folder filut/ in %s\n", searched.c_str());
    return false;
}

// The font and the pictures: without them the game cannot draw its screens.
// Each must be a regular file the game can read; every one that is not is
// named on one line, grouped by the cause.
static bool required_files_usable() {
    std::map<std::string, std::string> by_cause;
    auto check = [&by_cause](const char* name) {
        std::string why;
        FILE* f = open_regular_file(data_path(name).c_str(), MAX_DATA_FILE_BYTES, why);
        if (f) {
            std::fclose(f);
            return;
        }
        std::string& names = by_cause[why];
        names += (names.empty() ? "" : ", ") + std::string(name);
    };
    check(FONT_FILE);
    for (const char* f : IMAGE_FILES) check(f);
    if (by_cause.empty()) return true;
    std::string causes;
    for (const auto& c : by_cause) causes += (causes.empty() ? "" : "; ") + c.first + ": " + c.second;
    std::fprintf(stderr, "chainball: cannot start, data files in %s: %s\n",
                 printable(data_folder(), 200).c_str(), causes.c_str());
    return false;
}

static picture_limit picture_limit_of(int index) { return index < 4 ? BALL_PICTURE : OTHER_PICTURE; }

// Checked from the files' headers before any window opens and anything is
// decoded: PNG pictures only, of sizes the game can afford.
static bool pictures_fit() {
    for (int i = 0; i < 10; i++) {
        std::string why;
        if (!check_picture(data_path(IMAGE_FILES[i]), picture_limit_of(i), why)) {
            std::fprintf(stderr, "chainball: cannot start, picture %s\n", why.c_str());
            return false;
        }
    }
    return true;
}

static void report_unreadable(const char* name) {
    std::fprintf(stderr, "chainball: cannot start, data file %s in %s cannot be decoded: %s\n", name,
                 printable(data_folder(), 200).c_str(), printable(SDL_GetError(), 200).c_str());
}

// The music is not needed to play: without it the game is silent.
static void load_music() {
    std::string why;
    shell.music_path = data_path(MUSIC_FILE);
    const std::string& path = shell.music_path;
    FILE* f = open_regular_file(path.c_str(), MAX_DATA_FILE_BYTES, why);
    if (!f) {
        std::fprintf(stderr, "chainball: music %s: %s; playing without music\n", printable(path, 200).c_str(),
                     why.c_str());
        return;
    }
    std::fclose(f);
    start_music_decode(path.c_str());
}

static void report_no_display(const char* display) {
    if (!display || !*display)
        fprintf(stderr, "chainball: cannot open a window: no display (DISPLAY is not set)\n");
    else
        fprintf(stderr, "chainball: cannot open a window: no display (cannot reach DISPLAY %s)\n",
                printable(display, 200).c_str());
}

// Without an X display SDL 1.2 falls back to a text-mode driver that draws
// the game as characters in the terminal, where it can be neither played nor
// left with its keys (without a terminal it exits with curses' complaint).
// A driver the player named in SDL_VIDEODRIVER is theirs. Called before
// SDL_Init (no display to reach and no framebuffer: only text drivers are left) and
// after it (the display could not be reached); says why when no window can
// be had, after quitting SDL so the terminal is given back first.
static bool window_driver_ok(bool sdl_started) {
    const char* named = getenv("SDL_VIDEODRIVER");
    const char* display = getenv("DISPLAY");
    const bool no_display = !display || !*display;
    if (!sdl_started) {
        // A display named is reached first, by our own connection, held
        // until the window is open: SDL_Init would try the text drivers
        // next, which write their terminal codes before they can be told apart.
        const bool held = !no_display && (!named || strcmp(named, "x11") == 0) && hold_display();
        if (named || held) return true;
        const char* fb = getenv("SDL_FBDEV");
        if (access(fb ? fb : "/dev/fb0", R_OK | W_OK) == 0) return true;
    } else {
        char name[32];
        if (named || !SDL_VideoDriverName(name, sizeof name)) return true;
        if (strcmp(name, "caca") != 0 && strcmp(name, "aalib") != 0) return true;
        SDL_Quit();
    }
    report_no_display(display);
    return false;
}

// SDL's video, on X alone when our connection reached the display: should
// X go away meanwhile, SDL would fall back to a text driver, which writes
// its terminal codes before it can be refused.
static bool start_sdl_video() {
    const bool on_x = display_held() && !getenv("SDL_VIDEODRIVER");
    if (on_x) setenv("SDL_VIDEODRIVER", "x11", 1);
    const bool started = SDL_Init(SDL_INIT_VIDEO) == 0;
    if (on_x) unsetenv("SDL_VIDEODRIVER");
    if (started) return true;
    if (on_x) report_no_display(getenv("DISPLAY"));
    else std::fprintf(stderr, "chainball: cannot open a window: %s\n", printable(SDL_GetError(), 200).c_str());
    SDL_Quit();
    release_display();
    return false;
}

void reset_shell_state() {
    reset_program_state();
    background_phase = 2000;
    paused = false;
    live_race = new_race();
}

// Every shown frame also hands over the music once its decode has ended.
static void show_frame_and_poll_music() {
    present_frame();
    poll_music();
}

static void show_still_frame_and_poll_music() {
    present_still_frame();
    poll_music();
}

// The fonts' check, the pictures and the tables turned from them: false,
// having said why, when one cannot be used (then none is kept).
static bool load_pictures() {
    SDL_Surface* images[10];
    bool readable = small_font && large_font;
    if (!readable) report_unreadable(FONT_FILE);
    for (int i = 0; i < 10; i++) {
        std::string why;
        images[i] = readable ? load_picture(data_path(IMAGE_FILES[i]), picture_limit_of(i), why) : nullptr;
        if (readable && !images[i]) {
            std::fprintf(stderr, "chainball: cannot start, picture %s\n", why.c_str());
            readable = false;
        }
    }
    lap_bar = images[4];
    marker_idle = images[5];
    marker_lit = images[6];
    finish_image = images[7];
    logo = images[9];

    // Nothing is turned when a picture cannot be used.
    if (!readable) {
        for (int i = 0; i < 10; i++) {
            SDL_FreeSurface(images[i]);
            images[i] = nullptr;
        }
        lap_bar = marker_idle = marker_lit = finish_image = logo = nullptr;
    }
    cut_atlas(images[8]);
    build_rotation_tables(images);
    return readable;
}

bool startup() {
    if (!required_files_usable() || !pictures_fit()) return false;
    window_size_hook = resize_or_exit;
    presentation = {show_frame_and_poll_music, show_still_frame_and_poll_music, window_presents_changes_only,
                    window_key};

    // Video first: without it there is no game. Without sound there is.
#ifdef __EMSCRIPTEN__
    if (!start_sdl_video()) return false;   // a page always has its canvas
#else
    if (!window_driver_ok(false)) return false;
    if (!start_sdl_video()) return false;
    if (!window_driver_ok(true)) {
        release_display();
        return false;
    }
#endif
    SDL_InitSubSystem(SDL_INIT_AUDIO);
    pad_mode_hook = pad_mode_now;
    open_pads();   // none is the normal case
    Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024);

    race_settings.music_on = true;
    load_music();   // played once decoded, from the menu's frames
    if (full_game) load_effects(stderr);

    // The window manager takes the icon only before the first window opens;
    // without a usable one the window keeps its default.
    std::string icon_why;
    SDL_Surface* icon = load_picture(data_path(ICON_FILE), ICON_PICTURE, icon_why);
    if (icon) SDL_WM_SetIcon(icon, nullptr);
    else std::fprintf(stderr, "chainball: window icon %s; the window keeps its default\n", icon_why.c_str());
    SDL_FreeSurface(icon);
    set_video_mode(500, 500);
    release_display();
    if (!screen) {
        report_window_failure(500, 500);
        shutdown_game();
        return false;
    }
    SDL_WM_SetCaption("Chainball", "Chainball");
    second_view = SDL_CreateRGBSurface(SDL_SWSURFACE, 400, 500, 32, 0, 0, 0, 0);
    frozen_frame = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 500, 32, 0, 0, 0, 0);

    reset_shell_state();
    if (!shell.catalogue_read_early) read_catalogue();

    TTF_Init();
    small_font = TTF_OpenFont(data_path(FONT_FILE).c_str(), 12);
    large_font = TTF_OpenFont(data_path(FONT_FILE).c_str(), 36);

    setup_random = make_random((uint32_t)time(nullptr));

    const bool readable = load_pictures();
    if (!readable) {
        shutdown_game();
        return false;
    }
    return true;
}

// --host [PORT], --join HOST[:PORT] and --watch HOST[:PORT]: the run starts on the online screen.
static bool start_online(const game_options& options, int settings_delay, ScreenStack& screens) {
    std::string error;
    if (options.host_port > 0) {
        const int delay = options.input_delay >= 0 ? options.input_delay : settings_delay;
        ScreenPtr online = start_online_host(options.host_port, delay, error);
        if (!online) {
            std::fprintf(stderr, "chainball: cannot host an online race: %s\n", error.c_str());
            return false;
        }
        screens.open(std::move(online));
    }
    const bool watching = !options.watch.empty();
    if (!options.join.empty() || watching) {
        const std::string& address = watching ? options.watch : options.join;
        ScreenPtr online = watching ? start_online_watch(address, error) : start_online_join(address, error);
        if (!online) {
            std::fprintf(stderr, "chainball: cannot %s %s: %s\n", watching ? "watch" : "join",
                         printable(address).c_str(), error.c_str());
            return false;
        }
        screens.open(std::move(online));
    }
    return true;
}

static void free_surface(SDL_Surface*& s) {
    SDL_FreeSurface(s);
    s = nullptr;
}

void shutdown_game() {
    flush_unsaved_replays();
    free_surface(second_view);
    free_surface(frozen_frame);
    free_rotation_tables();
    free_overlay_picture();
    free_race_hud();
    free_racer_looks();
    free_tile_pieces();
    free_surface(lap_bar);
    free_surface(finish_image);
    free_surface(marker_idle);
    free_surface(marker_lit);
    free_effects();
    free_music();
    free_surface(logo);
    if (small_font) TTF_CloseFont(small_font);
    if (large_font) TTF_CloseFont(large_font);
    small_font = large_font = nullptr;
    TTF_Quit();
    close_pads();
    Mix_CloseAudio();
    close_window();
    SDL_Quit();
    release_display();
    screen = nullptr;
}

bool usable_track_file(const std::string& file) {
    std::string why;
    FILE* f = open_regular_file(file.c_str(), MAX_LEVEL_FILE_BYTES, why);
    if (!f) {
        fprintf(stderr, "chainball: cannot race track file '%s': %s\n", printable(file, 200).c_str(),
                why.c_str());
        return false;
    }
    fclose(f);
    // The name is shown as the track's and written into every replay
    // recorded on it, where it must read back as one word.
    const std::string name = level_name_of_file(file).substr(0, LEVEL_NAME_LEN - 1);
    const std::string fault = track_name_fault(name);
    if (!fault.empty()) {
        fprintf(stderr, "chainball: cannot race track file '%s': its name '%s' cannot stand in a replay: %s\n",
                printable(file, 200).c_str(), printable(name).c_str(), fault.c_str());
        return false;
    }
    return true;
}

// The full game's settings: the same picture at another scale, or fullscreen.
static void change_window_mode(int scale, bool fullscreen) {
    if (fullscreen != window_is_fullscreen()) {
        window_configure(scale, !fullscreen);
        toggle_fullscreen();
        return;
    }
    window_configure(scale, fullscreen);
    if (screen) set_video_mode(screen->w, screen->h);
}

static void on_quit_signal(int signo) {
    quit_signal = signo;
}

// SIGTERM, SIGINT, SIGHUP and SIGQUIT end the game through its normal
// shut-down, and SIGPIPE is ignored. Installed before SDL starts, so SDL
// keeps them instead of its own (its parachute takes SIGQUIT otherwise).
static void catch_quit_signals() {
    struct sigaction sa = {};
    sa.sa_handler = on_quit_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    // A closed terminal and the quit key of one are asked to end the game
    // just as well; a reader gone from a pipe is an error of that write.
    sigaction(SIGHUP, &sa, nullptr);
    sigaction(SIGQUIT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // A long replay read before the window gives up as soon as one comes.
    replay_read_stop = [] { return quit_signal != 0; };
}

// --record and --replay: what can be checked before any window opens.
static bool replays_before_window(const std::string& record_dir, const std::string& replay_file,
                                  bool force, const std::string& track_file, WatchedReplay& watched) {
    if (!record_dir.empty() && !start_recording(record_dir)) return false;
    if (replay_file.empty()) return true;
    // The replay's track is looked up before any window opens.
    if (track_file.empty()) {
        read_catalogue();
        shell.catalogue_read_early = true;
    }
    return load_replay_to_watch(replay_file, force, track_file, watched);
}

int SDL_main(int argc, char** argv) {
    game_options options;
    const int status = parse_game_args(argc, argv, options, stdout, stderr);
    if (status >= 0) return status;
    catch_quit_signals();
    if (!options.track_file.empty() && !usable_track_file(options.track_file)) return 2;
    shell.track_path = options.track_file;
    const std::string& track_path = shell.track_path;
    const std::string record_dir = options.record_dir ? options.record_dir : "";
    const std::string replay_file = options.replay_file ? options.replay_file : "";
    // The full game: the settings file's window unless the command line
    // asks for another; the rest once the catalogue is read.
    full_game = options.extras;
    game_config settings;
    if (full_game) {
        settings = read_full_settings(stderr);
        if (options.scale == 1 && !options.fullscreen) {
            options.scale = settings.scale;
            options.fullscreen = settings.fullscreen;
        }
        window_mode_hook = change_window_mode;
    }
    window_configure(options.scale, options.fullscreen);
    if (!find_data_folder()) return 1;
    WatchedReplay watched;
    if (!replays_before_window(record_dir, replay_file, options.force, track_path, watched))
        return quit_signal ? 128 + quit_signal : 2;
    if (!startup()) return 1;
    if (!track_path.empty()) catalogue_of_one_file(track_path.c_str());
    // The full game's state for the run, handed to its screens.
    FullGameRun full_run;
    if (full_game) {
        apply_full_settings(full_run, settings, stderr);
        start_trial_extras(full_run);
    }
    // The main menu at the bottom; a watched replay or an online race on it.
    ScreenStack screens;
    screens.open(make_main_menu(full_game ? &full_run : nullptr));
    if (options.replay_file) {
        RacePlan plan = replay_plan(watched);
        if (full_game) plan.addons = make_race_addons(full_run, false);
        screens.open(make_race_screen(plan, replay_source(watched.rep)));
    }
    if (!start_online(options, full_game ? full_run.options.input_delay : NET_INPUT_DELAY, screens)) {
        shutdown_game();
        return 2;
    }
    run_screens(screens);
    shutdown_game();
    // As a shell expects of a program stopped by a signal.
    return quit_signal ? 128 + quit_signal : 0;
}
