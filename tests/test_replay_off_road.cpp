// SPDX-License-Identifier: GPL-3.0-or-later
// The off-road rule in replays: recorded, read back, raced again exactly;
// replays written before the rule read as Free.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "harness.h"
#include "test_sim_support.h"
#include "race/race.h"
#include "replay/replay.h"
#include "replay/session.h"
#include "track/track.h"

namespace {

std::string read_text(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Records a one-player race on FirstLoop that turns off the road onto the
// grass beside the start, and returns the replay file written.
std::string record_turn_onto_grass(int rule) {
    sim_options opt;
    opt.level_file = source_path("filut/levelit/FirstLoop.txt");
    opt.lengths[0] = 3;
    opt.lengths[1] = opt.lengths[2] = 0;
    opt.laps = 1;
    opt.off_road = rule;
    std::unique_ptr<Race> race(new Race);
    std::unique_ptr<Track> track(new Track);
    sim_setup(opt, *race, *track);
    reset_replay_session();
    EXPECT_TRUE(start_recording(scratch_dir()));
    record_race_start(*race, *track, "FirstLoop", opt.level_file, "");
    for (int step = 0; step < 200; step++) {
        const int keys = SIM_UP | (step >= 40 && step < 50 ? SIM_LEFT : 0);
        const RaceInput input = input_of_script_keys(keys);
        race_step(*race, *track, input);
        record_race_step(*race, input);
    }
    const ReplayOutcome written = record_race_end(*race);
    stop_recording();
    EXPECT_EQ(written.failure, "");
    return written.path;
}

}  // namespace

TEST(ReplayOffRoad, EachRuleIsRecordedAndRacedAgainExactly) {
    const std::string free_path = record_turn_onto_grass(OFF_ROAD_FREE);
    const std::string slows_path = record_turn_onto_grass(OFF_ROAD_SLOWS);
    const std::string track = source_path("filut/levelit/FirstLoop.txt");
    replay free_rep, slows_rep;
    std::string error;
    ASSERT_TRUE(parse_replay(read_text(free_path), free_rep, error)) << error;
    ASSERT_TRUE(parse_replay(read_text(slows_path), slows_rep, error)) << error;
    // Free is written as before, so older games still read it.
    EXPECT_EQ(read_text(free_path).rfind("chainball-replay 1\n", 0), 0u);
    EXPECT_EQ(read_text(slows_path).rfind("chainball-replay 3\n", 0), 0u);
    EXPECT_EQ(free_rep.off_road, OFF_ROAD_FREE);
    EXPECT_EQ(slows_rep.off_road, OFF_ROAD_SLOWS);
    // The grass made the two races differ, and each plays back to its own checks.
    ASSERT_EQ(free_rep.checks.size(), slows_rep.checks.size());
    EXPECT_NE(free_rep.checks.back().sum, slows_rep.checks.back().sum);
    for (const std::string& path : {free_path, slows_path}) {
        const sim_run run = sim({"--replay", path, "--track", track});
        EXPECT_EQ(run.status, 0) << path << ": " << run.err;
    }
    // Raced under the other rule, the recording no longer matches.
    std::string as_free = read_text(slows_path);
    as_free.replace(0, 18, "chainball-replay 1");
    as_free.erase(as_free.find("off-road slows\n"), 15);
    const sim_run other = sim({"--replay", scratch_file(as_free), "--track", track});
    EXPECT_EQ(other.status, 3) << other.err;
}

TEST(ReplayOffRoad, OlderVersionsReadAsFreeAndBadRulesAreRefused) {
    replay r;
    std::string error;
    const std::string v1 = read_text(source_path("tests/data/replays/straight-one-player.cbreplay"));
    ASSERT_TRUE(parse_replay(v1, r, error)) << error;
    EXPECT_EQ(r.off_road, OFF_ROAD_FREE);

    r.off_road = OFF_ROAD_SLOWS;
    r.track_text = read_text(source_path("tests/data/replays/Straight.txt"));
    r.track_sha256 = sha256_hex(r.track_text);
    const std::string v3 = format_replay(r);   // version 3 carrying its track
    replay back;
    ASSERT_TRUE(parse_replay(v3, back, error)) << error << "\n" << v3;
    EXPECT_EQ(back.off_road, OFF_ROAD_SLOWS);
    EXPECT_EQ(back.track_text, r.track_text);
    EXPECT_EQ(format_replay(back), v3);

    const std::string bad[] = {
        [&] { std::string t = v3; t.replace(t.find("off-road slows"), 14, "off-road grass"); return t; }(),
        [&] { std::string t = v3; t.erase(t.find("off-road slows\n"), 15); return t; }(),
        [&] { std::string t = v1; t.insert(t.find("carried"), "off-road slows\n"); return t; }(),
        [&] { std::string t = v3; t.replace(0, 18, "chainball-replay 4"); return t; }(),
        [&] { std::string t = v3; t.replace(0, 18, "chainball-replay +3"); return t; }(),
    };
    for (const std::string& text : bad) {
        EXPECT_FALSE(parse_replay(text, back, error)) << text.substr(0, 200);
        EXPECT_NE(error.find("line "), std::string::npos) << error;
    }
}
