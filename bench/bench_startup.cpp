// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, from SDL_Init to the first main-menu frame, with its two big
// parts measured apart; and the peak resident memory of the game.
#include <SDL/SDL_image.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_game.h"
#include "core/state.h"
#include "io/assets.h"
#include "io/media.h"
#include "menu/menu.h"
#include "race/race.h"
#include "shell/music.h"
#include "shell/shell.h"
#include "view/view.h"

// Start-up and the first menu frame, each run in a fresh copy of this
// program (--startup): the game starts once per process, and the mixer
// library does not survive being shut down and started again in one.
static std::string own_folder();
static bool run_child(const char* option, double& ms, long& kb);

static void BM_Startup(benchmark::State& state) {
    frame_times t;
    for (auto _ : state) {
        double ms = -1;
        long kb = -1;
        if (!run_child("--startup", ms, kb)) {
            state.SkipWithError("the start-up process failed");
            break;
        }
        t.ms.push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
    report_frames(state, t, "startup");
}
BENCHMARK(BM_Startup)->Name("startup_to_first_menu_frame")->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

// The music, decoded whole into one chunk.
static void BM_MusicDecode(benchmark::State& state) {
    bench_start_game();
    frame_times t;
    for (auto _ : state) {
        t.start();
        Mix_Chunk* c = Mix_LoadWAV_RW(SDL_RWFromFile("filut/musa.ogg", "rb"), 1);
        t.stop();
        state.SetIterationTime(t.ms.back() / 1000);
        if (!c) state.SkipWithError("no music");
        else state.counters["decoded_MiB"] = c->alen / 1048576.0;
        Mix_FreeChunk(c);
    }
    report_frames(state, t, "startup_music");
}
BENCHMARK(BM_MusicDecode)->Name("startup_part/music_decode")->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

// The 1440 rotated ball images (the table is rebuilt from freshly loaded
// pictures, so it ends as the start-up made it).
static void BM_Rotations(benchmark::State& state) {
    bench_start_game();
    frame_times t;
    for (auto _ : state) {
        SDL_Surface* images[4];
        for (int i = 0; i < 4; i++) {
            char name[32];
            snprintf(name, sizeof name, "filut/pallura%d.png", i + 1);
            images[i] = IMG_Load(name);
        }
        free_rotation_tables();
        t.start();
        build_rotation_tables(images);
        t.stop();
        state.SetIterationTime(t.ms.back() / 1000);
    }
    report_frames(state, t, "startup_rotations");
}
BENCHMARK(BM_Rotations)->Name("startup_part/rotations_1440")->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

static std::string own_folder() {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return ".";
    exe[n] = 0;
    std::string dir(exe);
    size_t slash = dir.rfind('/');
    return slash == std::string::npos ? "." : dir.substr(0, slash);
}

static long status_kb(pid_t pid, const char* field) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE* f = fopen(path, "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    const size_t len = strlen(field);
    while (fgets(line, sizeof line, f))
        if (strncmp(line, field, len) == 0 && line[len] == ':') kb = atol(line + len + 1);
    fclose(f);
    return kb;
}

// Run by a fresh copy of this program. --startup: start-up and the first
// menu frame. --game-workload: the same, then frames of every screen, then
// the peak resident memory.
int bench_child(bool whole_workload) {
    frame_times t(true);
    bench_prepare();
    t.start();
    if (!startup()) return 1;
    menu_frame();
    t.stop();
    wait_for_music();   // decoded meanwhile on its own thread; part of the peak memory
    bench_mark_started(true);
    if (whole_workload) {
        for (int i = 0; i < 100; i++) menu_frame();
        for (int i = 0; i < 100; i++) settings_frame();
        const std::string big = generated_circuit_file(200);
        const struct {
            const char* level;
            std::string file;
            bool two;
        } races[] = {{"GrandLoop", "", false}, {"GrandLoop", "", true}, {"FirstLoop", big, false},
                     {"FirstLoop", big, true}};
        for (const auto& r : races) {
            start_race(r.level, r.file, r.two);
            for (long f = 0; f < 300; f++) {
                race_frame();
                keep_racing(f, r.two);
            }
        }
        set_video_mode(500, 500);
        for (int i = 0; i < 50; i++) menu_frame();
    }
    printf("startup_ms %f\npeak_kb %ld\n", t.ms[0], status_kb(getpid(), "VmHWM"));
    fflush(stdout);
    shutdown_game();
    return 0;
}

static bool run_child(const char* option, double& ms, long& kb) {
    const std::string cmd = "'" + own_folder() + "/chainball_bench' " + option;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    char line[128];
    while (fgets(line, sizeof line, p)) {
        sscanf(line, "startup_ms %lf", &ms);
        sscanf(line, "peak_kb %ld", &kb);
    }
    return pclose(p) == 0 && ms >= 0 && kb >= 0;
}

// Peak memory of a process that started the game and ran frames of every
// screen: menus, and races with 30 balls in one and two views on the
// largest shipped level and on the generated 200 x 200 circuit.
static void BM_PeakMemory(benchmark::State& state) {
    for (auto _ : state) {
        double ms = -1;
        long kb = -1;
        if (!run_child("--game-workload", ms, kb)) {
            state.SkipWithError("the workload process failed");
            break;
        }
        state.SetIterationTime(ms / 1000);
        state.counters["peak_MiB"] = kb / 1024.0;
        record_figure("peak_mb", kb / 1024.0);
    }
}
BENCHMARK(BM_PeakMemory)->Name("every_screen/peak_memory")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The game binary itself on the dummy drivers: it starts, sits in its main
// menu, and is asked to quit (SDL turns SIGTERM into a quit event).
static void BM_GameBinaryMemory(benchmark::State& state) {
    const std::string game = own_folder() + "/chainball";
    if (access(game.c_str(), X_OK) != 0) {
        state.SkipWithError("no chainball beside chainball_bench (build the chainball target)");
        for (auto _ : state) {
        }
        return;
    }
    for (auto _ : state) {
        pid_t pid = fork();
        if (pid == 0) {
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            execl(game.c_str(), game.c_str(), (char*)nullptr);
            _exit(127);
        }
        long peak = -1, last = -2;
        int steady = 0;
        for (int i = 0; i < 100 && steady < 10; i++) {   // up to 10 s, until 1 s unchanged
            usleep(100000);
            peak = status_kb(pid, "VmHWM");
            steady = peak == last && peak > 0 ? steady + 1 : 0;
            last = peak;
        }
        kill(pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50 && waitpid(pid, &status, WNOHANG) == 0; i++) usleep(100000);
        if (waitpid(pid, &status, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        state.SetIterationTime(0.001);
        if (peak <= 0) {
            state.SkipWithError("could not read the game's memory");
            break;
        }
        state.counters["peak_MiB"] = peak / 1024.0;
        record_figure("peak_mb_idle", peak / 1024.0);
    }
}
BENCHMARK(BM_GameBinaryMemory)->Name("game_binary/peak_memory_in_menu")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
