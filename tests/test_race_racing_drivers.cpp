// SPDX-License-Identifier: GPL-3.0-or-later
// The Good and Expert drivers: the racing line, determinism, replays of their
// races, no stall on any shipped track, and the order of the difficulties.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "net/messages.h"
#include "net/net_race.h"
#include "race/race.h"
#include "race/racing_adapter.h"
#include "replay/replay.h"
#include "test_sim_support.h"
#include "track/racing_line.h"
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

// A track of its own, loaded from `path`.
std::unique_ptr<Track> load_track(const std::string& path) {
    std::unique_ptr<Track> t(new Track());
    Random random = make_random(1);
    load_level_file(*t, path.c_str(), random);
    return t;
}

// A race of its own on its own track.
struct OwnRace {
    Race race = new_race();
    std::unique_ptr<Track> track{new Track()};
    OwnRace(const std::string& path, int a, int b, int c, int difficulty, bool two = false, int laps = 1,
            uint32_t seed = 1) {
        RaceSetup setup = {{a, b, c}, laps, two, difficulty};
        Random random = make_random(seed);
        setup_race(race, *track, random, setup, path.c_str());
    }
};

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
        const std::unique_ptr<Track> loaded = load_track(path);
        const Track& track = *loaded;
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

TEST(RaceRacingLine, EmptyFinishlessAndHugeTracksGiveAnEmptyLine) {
    std::unique_ptr<Track> own(new Track());
    Track& track = *own;
    EXPECT_EQ(build_racing_line(track, 7).cols, 0);
    track.size = 4;
    track.finish_x = 50 * 4;   // off the grid
    EXPECT_EQ(build_racing_line(track, 7).cols, 0);
    // Too large for a line: the Classic driver races it, so no line at all.
    track.size = 499;
    track.finish_x = track.finish_y = 100;
    track.checkpoint_count = 9;
    EXPECT_EQ(build_racing_line(track, 7).cols, 0);
    add_racing_line(track, 7);
    EXPECT_EQ(racing_line_for(track, 7), nullptr);
    // An empty line still gives controls: straight ahead.
    DriverMemory memory = {};
    EXPECT_EQ(racing_controls(RacingLine(), DIFFICULTY_EXPERT, DriverView(), memory), ACTION_FORWARD);
}

TEST(RaceRacingLine, ACutThroughMudPaysOnlyForAShortChain) {
    // A wall of mud down column 6 with a way round at the bottom: one ball
    // crosses the mud, seven go round.
    std::unique_ptr<Track> own(new Track());
    Track& track = *own;
    track.size = 12;
    for (int y = 0; y < 11; y++) track.tiles[6][y] = 3;
    track.finish_x = 50;
    track.finish_y = 250;
    track.checkpoint_count = 1;
    track.checkpoints[0] = checkpoint{450, 200};   // its point (500, 250), across the mud
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

// An open field: the finish at the left, one checkpoint at the right.
std::unique_ptr<Track> open_field() {
    std::unique_ptr<Track> own(new Track());
    own->size = 12;
    own->finish_x = 50;
    own->finish_y = 250;
    own->checkpoint_count = 1;
    own->checkpoints[0] = checkpoint{450, 200};   // touched around (500, 250)
    return own;
}

TEST(RaceRacingLine, ComingIntoACheckpointAgainstTheWayOnCostsTheTurnBack) {
    const std::unique_ptr<Track> track = open_field();
    const RacingLine line = build_racing_line(*track, 7);
    ASSERT_EQ(line.legs, 2);
    // The lap leaves the checkpoint to the left, for the finish. Two cells as
    // far from the checkpoint's target, one on each side: coming from the
    // right the head is already on its way; from the left it has to turn,
    // or to go round the target and come in from its far side.
    const int cells = line.cols * line.cols;
    const int from_right = line_cell_at(line, 587, 262), from_left = line_cell_at(line, 412, 262);
    ASSERT_FALSE(line.seed[(size_t)from_right]);
    ASSERT_FALSE(line.seed[(size_t)from_left]);
    EXPECT_GT(line.cost[(size_t)from_left], line.cost[(size_t)from_right] + 300);
    // Once there, the rest of the lap is the same from anywhere in the
    // target: coming near it is worth no more than reaching it.
    const int in_a = line_cell_at(line, 512, 262), in_b = line_cell_at(line, 462, 237);
    ASSERT_TRUE(line.seed[(size_t)in_a] && line.seed[(size_t)in_b]);
    EXPECT_EQ(line.cost[(size_t)in_a], line.cost[(size_t)in_b]);
    EXPECT_EQ(line.cost[(size_t)in_a], line.cost[(size_t)cells + line_cell_at(line, 500, 250)]);
}

TEST(RaceRacingDrivers, TurnsTowardsItsWayAtFullThrottle) {
    // On open ground with the checkpoint far to the right, a head standing
    // still facing up drives off and turns right at once: no crawl.
    const std::unique_ptr<Track> track = open_field();
    const RacingLine line = build_racing_line(*track, 7);
    DriverView v;
    v.x = 150;
    v.y = 250;
    DriverMemory memory = {};
    const int bits = racing_controls(line, DIFFICULTY_EXPERT, v, memory);
    EXPECT_EQ(bits, ACTION_FORWARD | ACTION_RIGHT);
    // Another racer's balls right ahead on its way: it goes round them.
    v.heading = 270;   // facing right, along its way
    v.speed = -4.4f;
    for (int k = 0; k < 3; k++) {
        v.other_x[k] = 190.0f + 20 * k;
        v.other_y[k] = 250;
    }
    v.others = 3;
    memory = DriverMemory();
    EXPECT_NE(racing_controls(line, DIFFICULTY_EXPERT, v, memory) & (ACTION_LEFT | ACTION_RIGHT), 0);
}

TEST(RaceRacingDrivers, TwoRacesOfOneSetUpAreTheSameAndACopyRestoresExactly) {
    const std::string path = source_path("filut/levelit/Chicanes.txt");
    for (int difficulty : {DIFFICULTY_GOOD, DIFFICULTY_EXPERT}) {
        SCOPED_TRACE(difficulty);
        OwnRace one(path, 3, 7, 5, difficulty, false, 3, 7), two(path, 3, 7, 5, difficulty, false, 3, 7);
        Race saved = new_race();
        for (int s = 0; s < 1500; s++) {
            const RaceInput input = input_of_script_keys(s % 9 < 6 ? SIM_UP : SIM_UP | SIM_RIGHT);
            race_step(one.race, *one.track, input);
            race_step(two.race, *two.track, input);
            if (s == 700) saved = one.race;
        }
        EXPECT_TRUE(same_race(one.race, two.race));
        EXPECT_EQ(race_checksum(one.race), race_checksum(two.race));
        EXPECT_GT(one.race.racers[1].completed_laps + one.race.racers[2].completed_laps, 0);
        // The drivers' memories are part of the race: the saved copy, run on,
        // comes to the same race again.
        EXPECT_GT(saved.drivers[2].step, 0u);
        const Race at_end = one.race;
        one.race = saved;
        for (int s = 701; s < 1500; s++)
            race_step(one.race, *one.track, input_of_script_keys(s % 9 < 6 ? SIM_UP : SIM_UP | SIM_RIGHT));
        EXPECT_TRUE(same_race(one.race, at_end));
    }
}

TEST(RaceRacingDrivers, TheDifficultyChoosesTheDriversAndTheirLines) {
    const std::string path = source_path("filut/levelit/FirstLoop.txt");
    // Classic builds no line and drives as the game always has.
    OwnRace classic(path, 1, 4, 7, DIFFICULTY_CLASSIC);
    EXPECT_TRUE(classic.track->racing_lines.empty());
    EXPECT_EQ(racing_line_of(classic.race, *classic.track, 2), nullptr);
    // Expert: one line per chain length of the computer racers.
    OwnRace expert(path, 1, 4, 7, DIFFICULTY_EXPERT);
    EXPECT_EQ(expert.race.difficulty, DIFFICULTY_EXPERT);
    ASSERT_EQ(expert.track->racing_lines.size(), 2u);
    ASSERT_NE(racing_line_of(expert.race, *expert.track, 1), nullptr);
    EXPECT_EQ(racing_line_of(expert.race, *expert.track, 1)->chain_length, 4);
    EXPECT_EQ(racing_line_of(expert.race, *expert.track, 2)->chain_length, 7);
    EXPECT_EQ(racing_line_of(expert.race, *expert.track, 0), nullptr);
    // Equal lengths share one line; a human player 2 needs none.
    OwnRace same(path, 1, 5, 5, DIFFICULTY_GOOD);
    EXPECT_EQ(same.track->racing_lines.size(), 1u);
    OwnRace two(path, 1, 3, 7, DIFFICULTY_EXPERT, true);
    EXPECT_EQ(racing_line_of(two.race, *two.track, 1), nullptr);
    EXPECT_EQ(two.track->racing_lines.size(), 1u);
    // Another level load drops the lines of the layout before.
    Random random = make_random(1);
    load_level_file(*expert.track, source_path("filut/levelit/Serpent.txt").c_str(), random);
    EXPECT_TRUE(expert.track->racing_lines.empty());
    // A difficulty out of range is Classic.
    OwnRace odd(path, 1, 4, 7, 7);
    EXPECT_EQ(odd.race.difficulty, DIFFICULTY_CLASSIC);
    EXPECT_TRUE(odd.track->racing_lines.empty());
}

// An Expert race run here, written as a replay and raced again by
// chainball-sim --replay: the same result and every checksum.
TEST(RaceRacingDrivers, AnExpertRaceReplaysExactly) {
    const std::string path = source_path("filut/levelit/Paperclip.txt");
    OwnRace own(path, 2, 4, 7, DIFFICULTY_EXPERT, false, 1, 3);
    Race& race = own.race;
    replay rep;
    rep.track_name = "Paperclip";
    std::ifstream f(path, std::ios::binary);
    rep.track_sha256 = sha256_hex(std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>()));
    capture_race_setup(rep, race, *own.track);
    EXPECT_EQ(rep.difficulty, DIFFICULTY_EXPERT);
    long long steps = 0;
    while (steps < 5000) {
        const int bits = steps % 7 < 5 ? SIM_UP : SIM_UP | SIM_LEFT;   // player 1 drives too
        race_step(race, *own.track, input_of_script_keys(bits));
        append_script_step(rep.keys, bits);
        steps++;
        if (steps % REPLAY_CHECK_EVERY == 0) rep.checks.push_back({steps, race_checksum(race)});
        if (race.racers[2].completed_laps >= 1) break;
    }
    ASSERT_GE(race.racers[2].completed_laps, 1);
    rep.result = current_result(race, steps);

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

// Online, player 3 is driven by the host's difficulty on both machines: it
// travels in the header the hello carries.
TEST(RaceRacingDrivers, AnOnlineRaceTakesTheHostsDifficulty) {
    const std::string path = source_path("filut/levelit/Chicanes.txt");
    OwnRace host(path, 3, 4, 7, DIFFICULTY_EXPERT, true);
    const replay header = online_header(host.race, *host.track, "Chicanes", std::string(64, 'a'));
    replay sent;
    std::string error;
    ASSERT_TRUE(parse_replay(format_replay(race_header(header)), sent, error)) << error;
    Race joined = new_race();
    std::unique_ptr<Track> track(new Track());
    setup_online_race(sent, path.c_str(), joined, *track);
    EXPECT_EQ(joined.difficulty, DIFFICULTY_EXPERT);
    ASSERT_NE(racing_line_of(joined, *track, 2), nullptr);
    Race hosted = new_race();
    std::unique_ptr<Track> host_track(new Track());
    setup_online_race(header, path.c_str(), hosted, *host_track);
    for (int s = 0; s < 300; s++) {
        const RaceInput input = input_of_script_keys(s % 5 ? SIM_UP | SIM_W : SIM_LEFT | SIM_D);
        race_step(hosted, *host_track, input);
        race_step(joined, *track, input);
    }
    EXPECT_TRUE(same_race(hosted, joined));
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
}

// The line is built for the race's off-road rule: Free keeps the line of
// the classic rule (grass as open as road), Slows charges plain ground.
TEST(RaceRacingLine, KeyedByTheOffRoadRule) {
    const std::string path = source_path("filut/levelit/LongHaul.txt");
    for (int rule : {OFF_ROAD_FREE, OFF_ROAD_SLOWS}) {
        SCOPED_TRACE(rule);
        OwnRace own(path, 1, 0, 7, DIFFICULTY_EXPERT);
        RaceSetup setup = {{1, 0, 7}, 1, false, DIFFICULTY_EXPERT, rule};
        Random random = make_random(1);
        setup_race(own.race, *own.track, random, setup, path.c_str());
        const RacingLine* line = racing_line_of(own.race, *own.track, 2);
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->ground_slows, rule == OFF_ROAD_SLOWS);
        EXPECT_EQ(racing_line_for(*own.track, 7, rule != OFF_ROAD_SLOWS), nullptr);
        const RacingLine free_line = build_racing_line(*own.track, 7);
        EXPECT_EQ(line->factor == free_line.factor, rule == OFF_ROAD_FREE);
        EXPECT_EQ(line->cost == free_line.cost, rule == OFF_ROAD_FREE);
        // Grass beside the start straight: open under Free, dearer under Slows.
        const int grass = line_cell_at(*line, 6 * 50 + 10, 11 * 50 + 10);
        ASSERT_TRUE(plain_ground(*own.track, 6, 11));
        EXPECT_EQ(line->factor[(size_t)grass], rule == OFF_ROAD_SLOWS ? LINE_GROUND_COST : LINE_OPEN_COST);
    }
}

namespace {
struct off_road_lap {
    int steps = -1;   // to the first lap
    int off_road = 0;   // steps with the head on plain ground before it
};

// An Expert lap of racer 3 under Slows, on the line of the rule given.
off_road_lap expert_lap_under_slows(const std::string& path, int chain, bool line_ground_slows) {
    OwnRace own(path, 1, 0, chain, DIFFICULTY_EXPERT);
    RaceSetup setup = {{1, 0, chain}, 1, false, DIFFICULTY_EXPERT, OFF_ROAD_SLOWS};
    Random random = make_random(1);
    setup_race(own.race, *own.track, random, setup, path.c_str());
    if (!line_ground_slows) {
        // The line of Free, driven as if it were the race's own.
        own.track->racing_lines.assign(1, build_racing_line(*own.track, chain, false));
        own.track->racing_lines[0].ground_slows = true;
    }
    off_road_lap lap;
    for (int step = 1; step <= 60 * 50 && lap.steps < 0; step++) {
        race_step(own.race, *own.track, RaceInput());
        lap.off_road += on_plain_ground(own.race, *own.track, 2);
        if (own.race.racers[2].completed_laps >= 1) lap.steps = step;
    }
    return lap;
}
}  // namespace

// Under Slows the Expert keeps its head on the road of LongHaul but for a
// few steps at corners (fewer than 50 of its 1300 or so), where the line of
// Free runs over the grass for hundreds; and it is no slower for it.
TEST(RaceRacingDrivers, UnderSlowsTheExpertKeepsToTheRoad) {
    const std::string path = source_path("filut/levelit/LongHaul.txt");
    for (int chain : {1, 7}) {
        SCOPED_TRACE(chain);
        const off_road_lap own = expert_lap_under_slows(path, chain, true);
        const off_road_lap free_line = expert_lap_under_slows(path, chain, false);
        ASSERT_GT(own.steps, 0);
        ASSERT_GT(free_line.steps, 0);
        EXPECT_LT(own.off_road, 50);
        EXPECT_GT(free_line.off_road, 200);
        EXPECT_LE(own.steps, free_line.steps);
    }
}
