// One simulation step with 30 balls, as chainball-sim runs it: no drawing.
#include "bench_game.h"
#include "core/assets.h"
#include "core/media.h"
#include "core/state.h"
#include "race/race.h"
#include "shell/shell.h"
#include "sim/sim.h"

static void BM_SimStep(benchmark::State& state, const char* name, const std::string& level_file) {
    bench_start_game();   // for the working folder; the step itself draws nothing
    sim_options opt;
    opt.lengths[0] = opt.lengths[1] = opt.lengths[2] = 10;
    opt.laps = 1000000;
    opt.level_file = level_file;
    sim_setup(opt);
    Uint8 keys[SDLK_LAST];
    sim_keys_to_state(SIM_UP, keys);
    frame_times t;
    long step = 0;
    for (auto _ : state) {
        t.start();
        simulate_step(keys, nullptr);
        update_winner();
        t.stop();
        // Back to the start now and then, as the race frames do.
        if (++step % RESTART_EVERY == 0) back_to_start();
    }
    const double median_ms = t.median(), per_second = median_ms > 0 ? 1000 / median_ms : 0;
    state.counters["median_us"] = median_ms * 1000;
    state.counters["steps_per_s"] = per_second;
    // The target is checked on the largest shipped level.
    if (std::string(name) == "GrandTour") record_figure("sim_steps", per_second);
}

static void BM_SimGrandTour(benchmark::State& state) {
    BM_SimStep(state, "GrandTour", "filut/levelit/GrandTour.txt");
}
BENCHMARK(BM_SimGrandTour)->Name("sim_step_30_balls/GrandTour_44x44")->Unit(benchmark::kMicrosecond);

static void BM_SimCircuit200(benchmark::State& state) {
    BM_SimStep(state, "Circuit200", generated_circuit_file(200));
}
BENCHMARK(BM_SimCircuit200)->Name("sim_step_30_balls/Circuit200_200x200")->Unit(benchmark::kMicrosecond);
