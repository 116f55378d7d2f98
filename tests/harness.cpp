// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up once per test process on the dummy drivers, pushed events, pixels.
#include "harness.h"

#include <sys/wait.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "io/assets.h"
#include "io/media.h"
#include "core/state.h"
#include "base/clock.h"
#include "menu/full_game.h"
#include "menu/menu.h"
#include "menu/trial.h"
#include "race/race.h"
#include "shell/music.h"
#include "shell/shell.h"
#include "view/tiles.h"
#include "track/track.h"
#include "view/race_screen.h"
#include "view/view.h"

static bool started = false;
static std::vector<std::string> scratch_files;

static void remove_scratch_files() {
    for (const auto& f : scratch_files) unlink(f.c_str());
}

pad_state test_pads[MAX_PADS];
int test_pads_plugged = 0;

static int scan_test_pads() { return test_pads_plugged; }
static void read_test_pad(int index, pad_state& s) { s = test_pads[index]; }
static void close_test_pads() {}

void plug_test_pads(int n, int buttons) {
    for (int i = 0; i < MAX_PADS; i++) {
        test_pads[i] = pad_state();
        test_pads[i].present = i < n;
        test_pads[i].button_count = buttons;
    }
    test_pads_plugged = n;
    open_pads();
}

void start_game_headless() {
    if (!started) {
        pad_input = {scan_test_pads, read_test_pad, close_test_pads};
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        clock_use_virtual(true);
        clock_set(100000);
        if (!find_data_folder() || !startup()) {
            fprintf(stderr, "harness: the game could not start\n");
            abort();
        }
        wait_for_music();   // every test starts with the music decoded and playing
        started = true;
    }
    reset_shell_state();
    test_screens() = ScreenStack();
    test_full_run() = FullGameRun();
    plug_test_pads(0);
    set_video_mode(500, 500);
    drop_events();
    release_all_keys();
}

void push_key(SDLKey key) {
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = key;
    SDL_PushEvent(&e);
}

void push_quit() {
    SDL_Event e = {};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
}

void drop_events() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
    }
}

void hold_key(SDLKey key, bool down) {
    SDL_GetKeyState(nullptr)[key] = down ? 1 : 0;
}

void release_all_keys() {
    int n = 0;
    Uint8* keys = SDL_GetKeyState(&n);
    for (int i = 0; i < n; i++) keys[i] = 0;
}

Uint32 pixel_at(SDL_Surface* s, int x, int y) {
    SDL_LockSurface(s);
    Uint32 raw = *(Uint32*)((Uint8*)s->pixels + y * s->pitch + x * 4);
    SDL_UnlockSurface(s);
    Uint8 r, g, b;
    SDL_GetRGB(raw, s->format, &r, &g, &b);
    return (Uint32)(r << 16 | g << 8 | b);
}

std::string source_path(const std::string& relative) {
    return std::string(CB_SOURCE_DIR) + "/" + relative;
}

std::string file_contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string scratch_file(const std::string& content) {
    char name[] = "/tmp/chainball-test-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) abort();
    FILE* f = fdopen(fd, "w");
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
    if (scratch_files.empty()) atexit(remove_scratch_files);
    scratch_files.push_back(name);
    return name;
}

std::string read_back(FILE* f) {
    std::string s;
    fflush(f);
    rewind(f);
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    fclose(f);
    return s;
}

std::string capture_stderr(const std::function<void()>& f) {
    fflush(stderr);
    FILE* to = tmpfile();
    const int saved = dup(2);
    dup2(fileno(to), 2);
    f();
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    return read_back(to);
}

static std::vector<std::string> scratch_dirs;

static void remove_scratch_dirs() {
    for (const auto& d : scratch_dirs) {
        std::string cmd = "rm -rf '" + d + "'";
        if (system(cmd.c_str()) != 0) fprintf(stderr, "harness: could not remove %s\n", d.c_str());
    }
}

std::string scratch_dir() {
    char name[] = "/tmp/chainball-dir-XXXXXX";
    if (!mkdtemp(name)) abort();
    if (scratch_dirs.empty()) atexit(remove_scratch_dirs);
    scratch_dirs.push_back(name);
    return name;
}

int run(const std::string& command, std::string& output) {
    FILE* p = popen(("SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=dummy timeout 60 " + command + " 2>&1").c_str(), "r");
    if (!p) return -1;
    output.clear();
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) output.append(buf, n);
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

FullGameRun& test_full_run() {
    static FullGameRun* run = new FullGameRun();   // lives to the process's end
    return *run;
}

// The run's main menu: the full game's while full_game is set.
static ScreenPtr main_menu() { return make_main_menu(full_game ? &test_full_run() : nullptr); }

ScreenStack& test_screens() {
    static ScreenStack* stack = new ScreenStack();   // lives to the process's end
    return *stack;
}

void reset_test_screens() {
    ScreenStack& s = test_screens();
    s = ScreenStack();
    s.open(main_menu());
}

void load_level() {
    ScreenStack& s = test_screens();
    if (s.depth() != 1) reset_test_screens();
    RacePlan plan = plan_from_settings();
    if (full_game) plan.addons = make_race_addons(test_full_run(), false);
    s.open(make_race_screen(plan));
}

void screen_frame() {
    if (test_screens().depth() == 0) reset_test_screens();
    test_screens().run_frame();
}

// A race set up by hand (race_test_reset) runs on a race screen over it,
// with the main menu under it, not entered until the race goes back.
static void open_race_as_it_stands() {
    ScreenStack& s = test_screens();
    s = ScreenStack();
    s.place(main_menu());
    RacePlan plan = plan_from_settings();
    plan.setup.two_players = live_race.two_players;
    if (full_game) plan.addons = make_race_addons(test_full_run(), false);
    s.open(make_race_screen_as_it_stands(plan));
}

void race_screen_pass() {
    if (test_screens().depth() == 0) open_race_as_it_stands();
    test_screens().run_frame();
}

void drop_test_screens() { test_screens() = ScreenStack(); }

bool race_frame_open() {
    Screen* top = test_screens().top();
    return top && top->frame_open();
}

void race_frame() {
    do race_screen_pass();
    while (race_frame_open());
}

void open_test_screen(ScreenPtr s) {
    if (test_screens().depth() == 0) reset_test_screens();
    test_screens().open(std::move(s));
}

// The loop from the screen game_screen names, as the test left it.
void run_screen_loop() {
    Screen* top = test_screens().top();
    if (game_screen == SCREEN_RACE) {
        if (!top || top->kind() != SCREEN_RACE) open_race_as_it_stands();
    } else if (game_screen == SCREEN_LOAD) {
        load_level();
    } else if (game_screen == SCREEN_SETTINGS) {
        // The menu under the settings is entered when they go back to it.
        test_screens() = ScreenStack();
        test_screens().place(main_menu());
        test_screens().open(full_game ? make_full_settings(test_full_run()) : make_classic_settings());
    } else {
        reset_test_screens();
    }
    run_screens(test_screens());
}
