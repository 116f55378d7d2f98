// SPDX-License-Identifier: GPL-3.0-or-later
// chainball_bench: `make bench` runs it from the build folder. Google
// Benchmark options work as usual (e.g. --benchmark_filter=race).
#include <cstring>

#include "bench_game.h"

int bench_child(bool whole_workload);

int main(int argc, char** argv) {
    // The start-up and memory benchmarks run fresh copies of this program.
    if (argc == 2 && strcmp(argv[1], "--startup") == 0) return bench_child(false);
    if (argc == 2 && strcmp(argv[1], "--game-workload") == 0) return bench_child(true);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    print_targets();
    benchmark::Shutdown();
    return 0;
}
