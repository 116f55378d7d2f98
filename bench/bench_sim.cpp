// SPDX-License-Identifier: GPL-3.0-or-later
// One simulation step with 30 balls, as chainball-sim runs it: no drawing.
#include "net/net_race.h"
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>

#include "bench_game.h"
#include "core/state.h"
#include "io/assets.h"
#include "io/media.h"
#include "race/race.h"
#include "shell/shell.h"
#include "sim/sim.h"
#include "view/view.h"

static void BM_SimStep(benchmark::State& state, const char* name, const std::string& level_file) {
    bench_start_game();   // for the working folder; the step itself draws nothing
    sim_options opt;
    opt.lengths[0] = opt.lengths[1] = opt.lengths[2] = 10;
    opt.laps = 1000000;
    opt.level_file = level_file;
    sim_setup(opt, live_race, loaded_track);
    const RaceInput keys = input_of_script_keys(SIM_UP);
    frame_times t;
    long step = 0;
    for (auto _ : state) {
        t.start();
        race_step(live_race, loaded_track, keys);
        t.stop();
        // Back to the start now and then, as the race frames do.
        if (++step % RESTART_EVERY == 0) back_to_start();
    }
    const double median_ms = t.median(), per_second = median_ms > 0 ? 1000 / median_ms : 0;
    state.counters["median_us"] = median_ms * 1000;
    state.counters["steps_per_s"] = per_second;
    // The target is checked on the largest shipped level.
    if (std::string(name) == "GrandLoop") record_figure("sim_steps", per_second);
}

static void BM_SimGrandLoop(benchmark::State& state) {
    BM_SimStep(state, "GrandLoop", "filut/levelit/GrandLoop.txt");
}
BENCHMARK(BM_SimGrandLoop)->Name("sim_step_30_balls/GrandLoop_40x40")->Unit(benchmark::kMicrosecond);

static void BM_SimCircuit200(benchmark::State& state) {
    BM_SimStep(state, "Circuit200", generated_circuit_file(200));
}
BENCHMARK(BM_SimCircuit200)->Name("sim_step_30_balls/Circuit200_200x200")->Unit(benchmark::kMicrosecond);

// chainball-sim as a whole process: 100 000 steps of three racers with 10
// balls on GrandLoop, Up held, the full trace written to /dev/null. The
// process's own CPU time (user + system, from the kernel's accounting of
// the finished child) gives the steps per second, formatting included.
static void BM_SimProcess(benchmark::State& state) {
    bench_start_game();   // the working folder: the data beside the programs
    char keys_file[] = "/tmp/chainball-bench-keys-XXXXXX";
    const int fd = mkstemp(keys_file);
    const char script[] = "100000 UP\n";
    if (fd < 0 || write(fd, script, sizeof script - 1) != (ssize_t)(sizeof script - 1)) {
        state.SkipWithError("cannot write the key script");
        return;
    }
    close(fd);
    const std::string cmd = "exec ./chainball-sim --lengths 10,10,10 --laps 1000 --keys " + std::string(keys_file) +
                            " filut/levelit/GrandLoop.txt >/dev/null";
    frame_times t;
    for (auto _ : state) {
        rusage before, after;
        getrusage(RUSAGE_CHILDREN, &before);
        const int status = system(cmd.c_str());
        getrusage(RUSAGE_CHILDREN, &after);
        if (status != 0) {
            state.SkipWithError("chainball-sim failed");
            break;
        }
        auto ms = [](const rusage& r) {
            return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3;
        };
        t.ms.push_back(ms(after) - ms(before));
        state.SetIterationTime(t.ms.back() / 1000);
    }
    unlink(keys_file);
    const double per_second = t.median() > 0 ? 100000 / (t.median() / 1000) : 0;
    state.counters["steps_per_s"] = per_second;
    record_figure("sim_process_steps", per_second);
}
BENCHMARK(BM_SimProcess)->Name("sim_process_30_balls/GrandLoop_trace")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// A race's save and restore (copy out, assign back) and a rollback's
// re-simulation: restore, then 8 steps without drawing. Timed in batches, as
// one save is far below the clock's grain.
static void race_on_grandloop() {
    bench_start_game();
    sim_options opt;
    opt.lengths[0] = opt.lengths[1] = opt.lengths[2] = 10;
    opt.laps = 1000000;
    opt.level_file = "filut/levelit/GrandLoop.txt";
    sim_setup(opt, live_race, loaded_track);
    for (int i = 0; i < 300; i++) race_step(live_race, loaded_track, input_of_script_keys(SIM_UP));
}

static void BM_RaceSaveRestore(benchmark::State& state) {
    race_on_grandloop();
    constexpr int BATCH = 1000;
    static Race saved;
    frame_times t;
    for (auto _ : state) {
        t.start();
        for (int i = 0; i < BATCH; i++) {
            saved = live_race;
            benchmark::DoNotOptimize(saved);
            live_race = saved;
            benchmark::ClobberMemory();
        }
        t.stop();
    }
    const double us = t.median() * 1000 / BATCH;
    state.counters["save_restore_us"] = us;
    record_figure("race_save_restore_us", us);
}
BENCHMARK(BM_RaceSaveRestore)->Name("race_save_and_restore")->Unit(benchmark::kMillisecond);

static void BM_Resimulate8(benchmark::State& state) {
    race_on_grandloop();
    const Race saved = live_race;
    const RaceInput up = input_of_script_keys(SIM_UP);
    frame_times t;
    for (auto _ : state) {
        t.start();
        live_race = saved;
        for (int i = 0; i < 8; i++) race_step(live_race, loaded_track, up);
        t.stop();
    }
    state.counters["median_us"] = t.median() * 1000;
    record_figure("resimulate_8_us", t.median() * 1000);
}
BENCHMARK(BM_Resimulate8)->Name("restore_and_resimulate_8_steps/GrandLoop")->Unit(benchmark::kMicrosecond);

// A rollback as an online race makes it: the session's own restore of the
// confirmed state and 8 steps re-run through the online adapter, after the
// opponent's input proved the prediction of 8 steps wrong.
static void BM_OnlineRollback8(benchmark::State& state) {
    race_on_grandloop();
    online_race start;
    start.race = live_race;
    start.track = &loaded_track;
    static net_session<online_race> s;
    net_start(s, online_race_ops(), start, 0, 0);
    for (int i = 0; i < 8; i++) net_frame(s, ACTION_FORWARD, 0);
    frame_times t;
    for (auto _ : state) {
        t.start();
        net_resimulate(s, 0);
        benchmark::DoNotOptimize(s.states[8 % NET_RING]);
        t.stop();
    }
    state.counters["median_us"] = t.median() * 1000;
    record_figure("online_rollback_8_us", t.median() * 1000);
}
BENCHMARK(BM_OnlineRollback8)->Name("online_rollback_8_steps/GrandLoop")->Unit(benchmark::kMicrosecond);
