// The Good and Expert drivers: the racing line, determinism, replays of their
// races, no stall on any shipped track, and the order of the difficulties.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/state.h"
#include "harness.h"
#include "race/race.h"
#include "race/racing_adapter.h"
#include "race/racing_line.h"
#include "replay/replay.h"
#include "test_sim_support.h"
#include "track/track.h"
#include "trackkit/driver_laps.h"

namespace {

std::vector<std::string> shipped_tracks() {
    std::ifstream f(source_path("filut/levelit/all_levels.txt"));
    std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<std::string> out;
    size_t start = 0, hash;
    while ((hash = all.find('#', start)) != std::string::npos) {
        std::string name = all.substr(start, hash - start);
        name.erase(0, name.find_first_not_of(" \r\n\t"));
        out.push_back(source_path("filut/levelit/" + name + ".txt"));
        start = hash + 1;
    }
    return out;
}

void load_track(const std::string& path) {
    reset_program_state();
    reset_race_state();
    std::memset(&track, 0, sizeof track);
    std::srand(1);
    load_level_file(path.c_str());
}

// The walk of the line from a cell: the factors of the cells it passes
// until the lap's end, or an empty list when it breaks off.
std::vector<int> walk_factors(const RacingLine& line, int cell) {
    const int cells = line.cols * line.cols;
    std::vector<int> out;
    int leg = 0;
    for (int guard = 0; guard < cells * line.legs; guard++) {
        const size_t at = (size_t)leg * cells + cell;
        if (line.seed[at]) {
            if (leg + 1 == line.legs) return out;
            leg++;
            continue;
        }
        const int m = line.next[at];
        if (m < 0) return {};
        const int x = cell / line.cols + line_move_dx[m], y = cell % line.cols + line_move_dy[m];
        const int to = x * line.cols + y;
        // Every move lowers the cost to go.
        EXPECT_LT(line.cost[(size_t)leg * cells + to], line.cost[at]);
        cell = to;
        out.push_back(line.factor[(size_t)cell]);
    }
    return {};
}

}  // namespace

TEST(RaceRacingLine, SameEveryBuildAndALapThatKeepsOutOfTheMud) {
    for (const std::string& path : shipped_tracks()) {
        SCOPED_TRACE(path);
        load_track(path);
        const RacingLine a = build_racing_line(track, 7);
        const RacingLine b = build_racing_line(track, 7);
        ASSERT_GT(a.cols, 0);
        EXPECT_EQ(a.legs, track.checkpoint_count + 1);
        EXPECT_EQ(a.cost, b.cost);
        EXPECT_EQ(a.next, b.next);
        // From the start grid the line runs through every leg to the finish,
        // and a 7-ball chain's line never enters a slowing cell.
        const int start = line_cell_at(a, (float)(track.finish_x + 77), (float)(track.finish_y + 35));
        const std::vector<int> f = walk_factors(a, start);
        ASSERT_FALSE(f.empty());
        for (int v : f) EXPECT_LT(v, LINE_MUD_COST);
    }
}

TEST(RaceRacingLine, EmptyAndFinishlessTracksGiveAnEmptyLine) {
    std::memset(&track, 0, sizeof track);
    EXPECT_EQ(build_racing_line(track, 7).cols, 0);
    track.size = 4;
    track.finish_x = 50 * 4;   // off the grid
    EXPECT_EQ(build_racing_line(track, 7).cols, 0);
    // An empty line still gives controls: straight ahead.
    DriverMemory memory;
    EXPECT_EQ(racing_controls(RacingLine(), DIFFICULTY_EXPERT, DriverView(), memory), DRIVE_FORWARD);
}

TEST(RaceRacingLine, ACutThroughMudPaysOnlyForAShortChain) {
    // A wall of mud down column 6 with a way round at the bottom: one ball
    // crosses the mud, seven go round.
    std::memset(&track, 0, sizeof track);
    track.size = 12;
    for (int y = 0; y < 11; y++) track.tiles[6][y] = 3;
    track.finish_x = 50;
    track.finish_y = 250;
    track.checkpoint_count = 1;
    track.checkpoints[0] = checkpoint{450, 200, 0};   // its point (500, 250), across the mud
    const RacingLine one = build_racing_line(track, 1);
    const RacingLine seven = build_racing_line(track, 7);
    auto crosses = [](const RacingLine& line) {
        const int start = line_cell_at(line, 127, 285);
        for (int f : walk_factors(line, start))
            if (f == LINE_MUD_COST) return true;
        return false;
    };
    EXPECT_TRUE(crosses(one));
    EXPECT_FALSE(crosses(seven));
}

TEST(RaceRacingDrivers, TwoRacesOfOneSetUpAreTheSame) {
    for (int difficulty : {DIFFICULTY_GOOD, DIFFICULTY_EXPERT}) {
        uint32_t sums[2];
        for (int run = 0; run < 2; run++) {
            reset_program_state();
            reset_race_state();
            std::memset(&track, 0, sizeof track);
            race_settings.chain_length[0] = 3;
            race_settings.chain_length[1] = 7;
            race_settings.chain_length[2] = 5;
            race_difficulty = difficulty;
            std::srand(7);
            setup_race(source_path("filut/levelit/Chicanes.txt").c_str());
            for (int s = 0; s < 1500; s++) simulate_step(nullptr, nullptr);
            sums[run] = race_checksum();
            EXPECT_GT(racers[1].completed_laps + racers[2].completed_laps, 0);
        }
        EXPECT_EQ(sums[0], sums[1]);
    }
    race_difficulty = DIFFICULTY_CLASSIC;
}

TEST(RaceRacingDrivers, ClassicBuildsNoLineAndDrivesAsBefore) {
    reset_program_state();
    reset_race_state();
    std::memset(&track, 0, sizeof track);
    std::srand(1);
    setup_race(source_path("filut/levelit/FirstLoop.txt").c_str());
    EXPECT_FALSE(racing_driver_drives(1));
    EXPECT_EQ(racing_line_of(2).cols, 0);
    race_difficulty = DIFFICULTY_EXPERT;
    EXPECT_TRUE(racing_driver_drives(1));
    EXPECT_TRUE(racing_driver_drives(2));
    EXPECT_FALSE(racing_driver_drives(0));
    race_difficulty = DIFFICULTY_CLASSIC;
}

// An Expert race run here, written as a replay and raced again by
// chainball-sim --replay: the same result and every checksum.
TEST(RaceRacingDrivers, AnExpertRaceReplaysExactly) {
    const std::string path = source_path("filut/levelit/Paperclip.txt");
    reset_program_state();
    reset_race_state();
    std::memset(&track, 0, sizeof track);
    race_settings.chain_length[0] = 2;
    race_settings.chain_length[1] = 4;
    race_settings.chain_length[2] = 7;
    race_settings.laps = 1;
    race_difficulty = DIFFICULTY_EXPERT;
    std::srand(3);
    setup_race(path.c_str());
    replay rep;
    rep.track_name = "Paperclip";
    std::ifstream f(path, std::ios::binary);
    rep.track_sha256 = sha256_hex(std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>()));
    capture_race_setup(rep);
    EXPECT_EQ(rep.difficulty, DIFFICULTY_EXPERT);
    long long steps = 0;
    Uint8 keys[SDLK_LAST];
    while (steps < 5000) {
        const int bits = steps % 7 < 5 ? SIM_UP : SIM_UP | SIM_LEFT;   // player 1 drives too
        sim_keys_to_state(bits, keys);
        simulate_step(keys, nullptr);
        update_winner();
        append_script_step(rep.keys, bits);
        steps++;
        if (steps % REPLAY_CHECK_EVERY == 0) rep.checks.push_back({steps, race_checksum()});
        if (racers[2].completed_laps >= 1) break;
    }
    ASSERT_GE(racers[2].completed_laps, 1);
    rep.result.steps = steps;
    rep.result.left = !race_over();
    race_difficulty = DIFFICULTY_CLASSIC;

    const std::string text = format_replay(rep);
    EXPECT_NE(text.find("\ndifficulty expert\n"), std::string::npos);
    char file[] = "/tmp/chainball-expert-XXXXXX";
    const int fd = mkstemp(file);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, text.data(), text.size()), (ssize_t)text.size());
    close(fd);
    const sim_run run = sim({"--replay", file, "--track", path});
    EXPECT_EQ(run.status, 0) << run.err;
    // Raced by the Classic drivers instead, the same keys give another race.
    const std::string classic = text.substr(0, text.find("difficulty expert\n")) +
                                text.substr(text.find("difficulty expert\n") + 18);
    std::ofstream(file, std::ios::binary) << classic;
    EXPECT_EQ(sim({"--replay", file, "--track", path}).status, 3);
    unlink(file);
}

TEST(RaceRacingDrivers, ReplayDifficultyLineIsOptionalAndChecked) {
    replay r;
    r.track_name = "T";
    r.track_sha256 = std::string(64, 'a');
    r.lengths[0] = 1;
    r.lengths[1] = r.lengths[2] = 0;
    r.pictures = {0};
    r.result.steps = 0;
    r.result.left = true;
    const std::string plain = format_replay(r);
    EXPECT_EQ(plain.find("difficulty"), std::string::npos);   // Classic replays read as before
    replay back;
    std::string error;
    ASSERT_TRUE(parse_replay(plain, back, error)) << error;
    EXPECT_EQ(back.difficulty, DIFFICULTY_CLASSIC);
    r.difficulty = DIFFICULTY_GOOD;
    ASSERT_TRUE(parse_replay(format_replay(r), back, error)) << error;
    EXPECT_EQ(back.difficulty, DIFFICULTY_GOOD);
    std::string bad = format_replay(r);
    bad.replace(bad.find("good"), 4, "hard");
    EXPECT_FALSE(parse_replay(bad, back, error));
    EXPECT_NE(error.find("classic, good or expert"), std::string::npos) << error;
    EXPECT_EQ(sim({"--difficulty", "hard", "x.txt"}).status, 2);
}

// Every driver finishes a lap on every shipped track, in a one-player race
// (two computer racers) and a two-player one, never more than 9 steps
// without moving off slowing cells; and over the whole set Expert is the
// fastest and Classic the slowest.
TEST(RaceRacingDrivers, NoStallOnAnyTrackAndTheDifficultiesInOrder) {
    double total[3] = {0, 0, 0};
    for (const std::string& path : shipped_tracks()) {
        for (int driver : {LAP_CLASSIC, LAP_GOOD, LAP_EXPERT})
            for (bool two : {false, true}) {
                SCOPED_TRACE(path + " " + lap_driver_names[driver] + (two ? " two-player" : " one-player"));
                const driver_lap lap = drive_first_lap(path, driver, 7, two, !two, 60 * 50);
                EXPECT_GT(lap.steps, 0);
                EXPECT_LE(lap.longest_stall, 9);
                if (!two) total[driver] += lap.steps;
            }
    }
    EXPECT_LT(total[LAP_EXPERT], total[LAP_GOOD]);
    EXPECT_LT(total[LAP_GOOD], total[LAP_CLASSIC]);
    race_difficulty = DIFFICULTY_CLASSIC;
}
