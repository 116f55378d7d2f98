// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's time trial parts: lap clocks, ghosts re-simulated from a
// recorded race, the records file, the replay folders under hostile
// conditions, and replays that carry their track.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "harness.h"
#include "test_sim_support.h"
#include "core/files.h"
#include "config/records.h"
#include "menu/trial.h"
#include "race/race.h"
#include "replay/ghost.h"
#include "replay/replay.h"
#include "replay/session.h"
#include "track/track.h"

namespace {

const char* const FIRST_LOOP = "filut/levelit/FirstLoop.txt";

// Keys for player 1 steering toward the computer drivers' next waypoint, as
// a player would: Up held, Left or Right when the heading is off.
int autopilot_keys(const Race& race, const Track& track, int& target) {
    const float x = race.balls[0].x[0] + view_half_width(race);
    const float y = race.balls[0].y[0] + view_half_height(race);
    for (int tries = 0; tries < track.waypoint_count; tries++) {
        const waypoint& w = track.waypoints[target];
        if (std::hypot(w.x - x, w.y - y) > 49) break;
        target = (target + 1) % track.waypoint_count;
    }
    const waypoint& w = track.waypoints[target];
    const double want = std::atan2(-(w.x - x), -(w.y - y)) * 57.29577957855229;
    const double diff = std::fmod(want - race.balls[0].heading[0] + 540.0, 360.0) - 180.0;
    return SIM_UP | (diff > 3 ? SIM_LEFT : diff < -3 ? SIM_RIGHT : 0);
}

struct recorded_race {
    replay rep;
    std::vector<Race> after;   // the race after each step
    LapClock clock;            // player 1's, at the race's end
};

// A race alone on FirstLoop, driven by the autopilot and kept as a replay.
recorded_race race_alone(int length, int laps) {
    recorded_race out;
    std::unique_ptr<Track> track(new Track);
    Race race = new_race();
    Random random = make_random(7);
    const RaceSetup setup = {{length, 0, 0}, laps, false, 0};
    setup_race(race, *track, random, setup, FIRST_LOOP);
    out.rep.track_name = "FirstLoop";
    out.rep.track_sha256 = std::string(64, '0');
    capture_race_setup(out.rep, race, *track);
    int target = 0;
    while (!race_over(race) && race.step < 20000) {
        const int keys = autopilot_keys(race, *track, target);
        race_step(race, *track, input_of_script_keys(keys));
        append_script_step(out.rep.keys, keys);
        if (race.step % REPLAY_CHECK_EVERY == 0) out.rep.checks.push_back({race.step, race_checksum(race)});
        out.after.push_back(race);
    }
    out.clock = race.clocks[0];
    out.rep.result = current_result(race, race.step);
    return out;
}

bool same_racer_0(const Race& a, const Race& b, int length) {
    if (a.racers[0].completed_laps != b.racers[0].completed_laps) return false;
    if (std::memcmp(&a.racers[0].speed, &b.racers[0].speed, sizeof(float)) != 0) return false;
    for (int ball = 0; ball < length; ball++)
        if (a.balls[ball].x[0] != b.balls[ball].x[0] || a.balls[ball].y[0] != b.balls[ball].y[0] ||
            a.balls[ball].heading[0] != b.balls[ball].heading[0])
            return false;
    return true;
}

// `text` with its "embedded N" line saying `bytes`.
std::string edited_size(std::string text, long long bytes) {
    const size_t at = text.find("embedded ");
    const size_t end = text.find('\n', at);
    return text.replace(at, end - at, "embedded " + std::to_string(bytes));
}

}  // namespace

TEST(ReplayGhost, LapClockAndGhostsFollowTheRecordedRaceStepForStep) {
    const recorded_race rec = race_alone(4, 3);
    ASSERT_FALSE(rec.rep.result.left) << "the autopilot finished no race";
    EXPECT_EQ(rec.after.back().racers[0].completed_laps, 3);
    EXPECT_GE(rec.clock.best_lap_number, 1);
    EXPECT_LE(rec.clock.best_lap_number, 3);
    ASSERT_GT(rec.clock.best_lap, 0);
    // The lap clock's laps are the steps between the lap counter's changes.
    long long sum = 0, from = 0;
    for (size_t s = 0; s < rec.after.size(); s++)
        if (s > 0 && rec.after[s].racers[0].completed_laps != rec.after[s - 1].racers[0].completed_laps) {
            sum += (long long)s + 1 - from;
            from = (long long)s + 1;
        }
    EXPECT_EQ(sum, (long long)rec.after.size());
    EXPECT_LE(rec.clock.best_lap, rec.clock.last_lap);

    // A lap ghost: from the lap's first step on, each step as recorded.
    ghost g;
    std::string why;
    // A replay as it comes back from its file.
    replay rep;
    ASSERT_TRUE(parse_replay(format_replay(rec.rep), rep, why)) << why;
    ASSERT_TRUE(start_ghost(g, rep, FIRST_LOOP, "", rec.clock.best_lap_from, rec.clock.best_lap, why)) << why;
    ASSERT_TRUE(g.lap_only);
    for (long long s = 0; s < rec.clock.best_lap; s++) {
        ghost_step(g);
        ASSERT_TRUE(same_racer_0(g.race, rec.after[rec.clock.best_lap_from + s], 4)) << "lap step " << s;
    }
    // It stands at its lap's end, and starts the lap again when asked.
    const Race at_end = g.race;
    ghost_step(g);
    EXPECT_TRUE(same_race(g.race, at_end));
    ghost_restart_lap(g);
    ghost_step(g);
    EXPECT_TRUE(same_racer_0(g.race, rec.after[rec.clock.best_lap_from], 4));

    // A race ghost: the whole race, never started again.
    ASSERT_TRUE(start_ghost(g, rep, FIRST_LOOP, "", -1, rep.result.steps, why)) << why;
    for (size_t s = 0; s < rec.after.size(); s++) {
        ghost_step(g);
        ASSERT_TRUE(same_racer_0(g.race, rec.after[s], 4)) << "race step " << s;
    }
    EXPECT_EQ(g.race.racers[0].completed_laps, 3);

    // Only races run alone make ghosts, and only laps the replay holds.
    replay crowded = rep;
    crowded.lengths[2] = 3;
    EXPECT_FALSE(start_ghost(g, crowded, FIRST_LOOP, "", -1, 10, why));
    EXPECT_FALSE(start_ghost(g, rep, FIRST_LOOP, "", rep.result.steps - 5, 10, why));
    EXPECT_FALSE(g.on);
}

TEST(ReplayGhost, AGhostNeverChangesTheLiveRace) {
    const recorded_race rec = race_alone(3, 2);
    ghost g;
    std::string why;
    ASSERT_TRUE(start_ghost(g, rec.rep, FIRST_LOOP, "", -1, rec.rep.result.steps, why)) << why;
    // The live race: three racers, computer drivers, on its own track.
    std::unique_ptr<Track> track(new Track);
    Race alone = new_race(), beside = new_race();
    Random ra = make_random(3), rb = make_random(3);
    const RaceSetup setup = {{5, 4, 6}, 2, false, 0};
    setup_race(alone, *track, ra, setup, FIRST_LOOP);
    setup_race(beside, *track, rb, setup, FIRST_LOOP);
    int ta = 0, tb = 0;
    for (int s = 0; s < 3000 && !race_over(alone); s++) {
        race_step(alone, *track, input_of_script_keys(autopilot_keys(alone, *track, ta)));
        race_step(beside, *track, input_of_script_keys(autopilot_keys(beside, *track, tb)));
        ghost_step(g);
        if (s % 97 == 0) ghost_restart_lap(g);
        ASSERT_EQ(race_checksum(alone), race_checksum(beside)) << "step " << s;
    }
    EXPECT_TRUE(same_race(alone, beside));
}

TEST(ReplayRecords, OnlyABetterTimeReplacesARecord) {
    records r;
    record_entry e;
    e.track = "FirstLoop";
    e.track_sha256 = std::string(64, 'a');
    e.laps = 3;
    e.length = 7;
    e.kind = record_kind::lap;
    e.steps = 900;
    e.lap = 2;
    e.from_step = 1000;
    EXPECT_TRUE(offer_record(r, e));
    record_entry slower = e;
    slower.steps = 901;
    EXPECT_FALSE(offer_record(r, slower));
    EXPECT_FALSE(offer_record(r, e));   // as fast is no record
    record_entry faster = e;
    faster.steps = 850;
    EXPECT_TRUE(offer_record(r, faster));
    EXPECT_EQ(find_record(r, "FirstLoop", 3, 7, record_kind::lap, false)->steps, 850);
    // Other laps, lengths and kinds are records of their own.
    record_entry other = e;
    other.length = 6;
    EXPECT_TRUE(offer_record(r, other));
    other.kind = record_kind::race;
    other.steps = 3000;
    EXPECT_TRUE(offer_record(r, other));
    EXPECT_EQ(r.entries.size(), 3u);
    // A race where driving off the road costs is kept apart, even when slower,
    // and is told apart once written and read back.
    record_entry slows = slower;
    slows.off_road_slows = true;
    EXPECT_TRUE(offer_record(r, slows));
    EXPECT_EQ(find_record(r, "FirstLoop", 3, 7, record_kind::lap, true)->steps, 901);
    EXPECT_EQ(find_record(r, "FirstLoop", 3, 7, record_kind::lap, false)->steps, 850);
    std::vector<std::string> problems;
    const records back = parse_records(format_records(r), problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(format_records(back), format_records(r));
    ASSERT_NE(find_record(back, "FirstLoop", 3, 7, record_kind::lap, true), nullptr);
    std::string bad = format_records(r);
    bad.replace(bad.find("slows", bad.find("off_road")), 5, "grass");
    EXPECT_EQ(parse_records(bad, problems).entries.size(), r.entries.size() - 1);
    r.entries.pop_back();
    // A record of an older version of the track falls to any time.
    record_entry changed = slower;
    changed.track_sha256 = std::string(64, 'b');
    changed.steps = 5000;
    EXPECT_TRUE(offer_record(r, changed));
    EXPECT_EQ(find_record(r, "FirstLoop", 3, 7, record_kind::lap, false)->track_sha256, changed.track_sha256);
}

TEST(ReplayRecords, RecordsSurviveARestartAndBadFilesCostOneLine) {
    const std::string dir = scratch_dir();
    const std::string path = dir + "/data/chainball/records.toml";
    records r;
    record_entry e;
    e.track = "Hairpins";
    e.track_sha256 = std::string(64, 'c');
    e.laps = 2;
    e.length = 3;
    e.kind = record_kind::race;
    e.steps = 4321;
    e.date = "2024-05-06 07:08";
    e.replay = "Hairpins-3-2-20240506-070800.cbreplay";
    offer_record(r, e);
    e.kind = record_kind::lap;
    e.steps = 1200;
    e.lap = 2;
    e.from_step = 3121;
    offer_record(r, e);
    ASSERT_TRUE(write_records(path, r, stderr));   // makes the folders
    std::string err = capture_stderr([&] {
        const records back = read_records(path, stderr);
        ASSERT_EQ(back.entries.size(), 2u);
        EXPECT_EQ(format_records(back), format_records(r));
        EXPECT_EQ(find_record(back, "Hairpins", 2, 3, record_kind::lap, false)->from_step, 3121);
    });
    EXPECT_EQ(err, "");

    // One bad entry: one line, the others kept.
    std::string text;
    ASSERT_TRUE(read_regular_file(path.c_str(), MAX_RECORDS_BYTES, text, err));
    const std::string bad = text + "\n[[record]]\ntrack = \"../etc\"\nkind = \"lap\"\n";
    std::vector<std::string> problems;
    EXPECT_EQ(parse_records(bad, problems).entries.size(), 2u);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("record 3"), std::string::npos) << problems[0];

    // Not TOML, a folder, too big: one line each and no records.
    const struct { std::string content; const char* says; } broken[] = {
        {"[[record]\nsteps = ", "not TOML"},
        {std::string(MAX_RECORDS_BYTES + 1, '#'), "larger than"},
    };
    for (const auto& b : broken) {
        const std::string p = scratch_file(b.content);
        err = capture_stderr([&] { EXPECT_TRUE(read_records(p, stderr).entries.empty()); });
        EXPECT_NE(err.find(b.says), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    err = capture_stderr([&] { EXPECT_TRUE(read_records(dir, stderr).entries.empty()); });
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

    // Unwritable: the folder is a file. One line, and the old records stay.
    const std::string blocked = scratch_file("not a folder") + "/records.toml";
    err = capture_stderr([&] { EXPECT_FALSE(write_records(blocked, r, stderr)); });
    EXPECT_NE(err.find("cannot save records"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    // A records file that is a folder cannot be replaced: the rename fails
    // and leaves no temporary file behind.
    const std::string as_folder = dir + "/folder.toml";
    mkdir(as_folder.c_str(), 0700);
    mkdir((as_folder + "/x").c_str(), 0700);
    err = capture_stderr([&] { EXPECT_FALSE(write_records(as_folder, r, stderr)); });
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    std::string why;
    const std::vector<std::string> left = replay_files(dir, 100, why);
    EXPECT_TRUE(left.empty());
    const records still = read_records(path, stderr);
    EXPECT_EQ(still.entries.size(), 2u);
}

TEST(ReplayRecords, PathsFollowXdgDataHomeThenHome) {
    const char* old_xdg = getenv("XDG_DATA_HOME");
    const std::string saved = old_xdg ? old_xdg : "";
    setenv("XDG_DATA_HOME", "/x/data", 1);
    EXPECT_EQ(records_path(), "/x/data/chainball/records.toml");
    setenv("XDG_DATA_HOME", "relative", 1);   // ignored
    setenv("HOME", "/home/p", 1);
    EXPECT_EQ(records_path(), "/home/p/.local/share/chainball/records.toml");
    if (old_xdg) setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
}

TEST(ReplayFolders, ListingAndPruningStayInsideTheFolder) {
    const std::string dir = scratch_dir() + "/replays";
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    // 10,000 replay names and one file of 100 MB (sparse).
    for (int i = 0; i < 10000; i++) {
        char name[64];
        std::snprintf(name, sizeof name, "/2024%04d-000000-T.cbreplay", i);
        std::FILE* f = std::fopen((dir + name).c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("x", f);
        std::fclose(f);
    }
    const std::string big = dir + "/99999999-big.cbreplay";
    const int fd = open(big.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 100LL << 20), 0);
    close(fd);
    // A link out of the folder, named like a replay.
    const std::string outside = scratch_file("outside the folder");
    ASSERT_EQ(symlink(outside.c_str(), (dir + "/99999998-link.cbreplay").c_str()), 0);

    std::string why;
    const std::vector<std::string> newest = replay_files(dir, 50, why);
    ASSERT_EQ(newest.size(), 50u);
    EXPECT_EQ(newest[0], "99999999-big.cbreplay");
    EXPECT_EQ(newest[2], "20249999-000000-T.cbreplay");
    std::string content;
    EXPECT_FALSE(read_regular_file(big.c_str(), MAX_REPLAY_BYTES, content, why));
    EXPECT_NE(why.find("larger than"), std::string::npos) << why;

    // The oldest go first, a bounded number at a time, until the 50 newest
    // of ours are left; the foreign big file and the link untouched.
    std::string none;
    for (int i = 0; i < 10000 / MAX_PRUNED_AT_ONCE; i++) {
        prune_recordings(dir, 50, KEPT_REPLAY_BYTES, "");
        if (i == 0) {
            EXPECT_EQ(replay_files(dir, 100000, none).size(), 10002u - MAX_PRUNED_AT_ONCE);
            EXPECT_NE(access((dir + "/20240000-000000-T.cbreplay").c_str(), F_OK), 0);
        }
    }
    EXPECT_EQ(replay_files(dir, 100000, none).size(), 52u);
    EXPECT_EQ(access(outside.c_str(), F_OK), 0);
    struct stat st;
    EXPECT_EQ(stat(big.c_str(), &st), 0);
    EXPECT_EQ(access((dir + "/20249950-000000-T.cbreplay").c_str(), F_OK), 0);
    EXPECT_NE(access((dir + "/20249949-000000-T.cbreplay").c_str(), F_OK), 0);

    // A folder that is a file.
    const std::vector<std::string> from_file = replay_files(outside, 10, why);
    EXPECT_TRUE(from_file.empty());
    EXPECT_EQ(why, "Not a directory");
}

TEST(ReplayFolders, RecordingIntoAFolderThatIsAFileOrFullCostsOneLine) {
    std::string err = capture_stderr([] { EXPECT_FALSE(start_recording(scratch_file("a file"), 50, 1 << 20)); });
    EXPECT_NE(err.find("not a folder"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    reset_replay_session();

    const std::string small = scratch_dir() + "/full";
    mkdir(small.c_str(), 0700);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=16k") != 0) {
        GTEST_SKIP() << "no small tmpfs can be mounted here (" << std::strerror(errno)
                     << "), so a full folder is not tried";
    }
    // Fill it, then an atomic write fails whole and leaves the old file.
    ASSERT_TRUE(write_records(small + "/records.toml", records(), stderr));
    std::string why;
    const bool wrote = write_file_atomically(small + "/filler", std::string(64 << 10, 'x'), why);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(why, "No space left on device");
    std::string back;
    EXPECT_TRUE(read_regular_file((small + "/records.toml").c_str(), MAX_RECORDS_BYTES, back, why));
    EXPECT_EQ(access((small + "/filler").c_str(), F_OK), -1);
    umount(small.c_str());
}

TEST(ReplayEmbedded, ACustomTrackTravelsWithItsReplay) {
    std::string track_text;
    std::string why;
    ASSERT_TRUE(read_regular_file(FIRST_LOOP, MAX_LEVEL_FILE_BYTES, track_text, why)) << why;
    recorded_race rec = race_alone(2, 1);
    rec.rep.track_name = "MyOwnLoop";
    rec.rep.track_sha256 = sha256_hex(track_text);
    rec.rep.track_text = track_text;
    const std::string text = format_replay(rec.rep);
    EXPECT_EQ(text.compare(0, 19, "chainball-replay 2\n"), 0);
    replay back;
    ASSERT_TRUE(parse_replay(text, back, why)) << why;
    EXPECT_EQ(back.track_text, track_text);
    EXPECT_EQ(format_replay(back), text);

    // chainball-sim needs no --track for it, and reaches the recorded result.
    const std::string file = scratch_file(text);
    const sim_run run = sim({"--replay", file});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("as recorded"), std::string::npos) << run.err;

    // A changed byte, a bad digit, a short line, a size past the cap: refused, one line each.
    const size_t at = text.find("\ntext ") + 6;
    std::string flipped = text;
    flipped[at] = flipped[at] == '3' ? '4' : '3';
    std::string bad_digit = text;
    bad_digit[at] = 'g';
    std::string short_line = text;
    short_line.erase(at, 2);
    const std::string over = edited_size(text, MAX_LEVEL_FILE_BYTES + 1);
    const struct { std::string text; const char* says; } bad[] = {
        {flipped, "does not match the track's SHA-256"},
        {bad_digit, "no hex digit"},
        {short_line, "hex digits"},
        {over, "'embedded' needs a whole number from 1 to 4194304"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(parse_replay(b.text, back, why));
        EXPECT_NE(why.find(b.says), std::string::npos) << why;
        const sim_run refused = sim({"--replay", scratch_file(b.text)});
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
    }
    // Malformed level text inside a good replay loads as a level, never a crash.
    replay odd = rec.rep;
    odd.track_text = std::string("9999") + std::string(5000, '=');
    odd.track_sha256 = sha256_hex(odd.track_text);
    const sim_run ran = sim({"--replay", scratch_file(format_replay(odd))});
    EXPECT_EQ(ran.status, 3) << ran.err;
}

// The settings screen's Recording switch: on records into the game's own
// replays folder, off stops that; a --record folder from the command line
// is neither replaced by the switch nor stopped by it.
TEST(ReplayRecords, TheRecordingSwitchLeavesACommandLineFolderAlone) {
    const char* old_xdg = getenv("XDG_DATA_HOME");
    const std::string saved = old_xdg ? old_xdg : "";
    const std::string data = scratch_dir(), given = scratch_dir() + "/given";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    stop_recording();
    FullGameRun run;
    record_races(run, true, 50);
    EXPECT_EQ(recording_folder(), replays_folder());
    EXPECT_EQ(replays_folder(), data + "/chainball/replays");
    struct stat st;
    EXPECT_NE(stat(replays_folder().c_str(), &st), 0) << "no folder before its first replay";
    EXPECT_NE(stat((data + "/chainball").c_str(), &st), 0) << "nor the folder above it";
    record_races(run, false, 50);
    EXPECT_EQ(recording_folder(), "");

    ASSERT_TRUE(start_recording(given));
    record_races(run, true, 50);
    EXPECT_EQ(recording_folder(), given) << "the command line's folder wins";
    record_races(run, false, 50);
    EXPECT_EQ(recording_folder(), given) << "and is not stopped by the switch";
    stop_recording();
    if (old_xdg) setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
}

// A record counts only when its replay is there, whole, of its race, and
// re-simulates to its time; numbers the replay cannot hold cost no
// simulation, and a record that fails is beaten by any time.
TEST(ReplayRecords, ARecordCountsOnlyWhenItsReplayHoldsItsTime) {
    recorded_race rec = race_alone(4, 2);
    std::string bytes, why;
    ASSERT_TRUE(read_regular_file(FIRST_LOOP, MAX_LEVEL_FILE_BYTES, bytes, why)) << why;
    rec.rep.track_sha256 = sha256_hex(bytes);
    const replay& rep = rec.rep;
    const long long race = rep.result.steps, lap = rec.clock.best_lap, from = rec.clock.best_lap_from;
    const int number = rec.clock.best_lap_number;
    const struct { long long from; int lap; long long steps; } wrong[] = {
        {-1, 0, race - 1}, {-1, 0, race + 1}, {from, number, lap - 1}, {from + 1, number, lap - 1},
        {from, number + 1, lap}, {4318000, number, lap},
    };
    for (const auto& w : wrong)
        EXPECT_FALSE(replay_holds_time(rep, FIRST_LOOP, "", w.from, w.lap, w.steps, why)) << w.from << " " << w.steps;
    // An edited replay fails at the first of its checks that differs.
    replay edited = rep;
    edited.checks[2].sum ^= 1;
    EXPECT_FALSE(replay_holds_time(edited, FIRST_LOOP, "", -1, 0, race, why));
    EXPECT_NE(why.find("check at step 150"), std::string::npos) << why;

    // As the game keeps them: records beside their replays in the data folder.
    const char* old_xdg = getenv("XDG_DATA_HOME");
    const std::string saved = old_xdg ? old_xdg : "";
    setenv("XDG_DATA_HOME", scratch_dir().c_str(), 1);
    replay bare = rep, left = rep;
    bare.checks.clear();
    left.result.left = true;
    const std::pair<const char*, const replay*> files[] = {{"set", &rep}, {"bare", &bare}, {"left", &left}};
    for (const auto& f : files)
        ASSERT_TRUE(write_file_atomically(records_folder() + "/" + f.first, format_replay(*f.second), why)) << why;
    record_entry whole;
    whole.track = "FirstLoop";
    whole.track_sha256 = rep.track_sha256;
    whole.laps = 2;
    whole.length = 4;
    whole.kind = record_kind::race;
    whole.steps = race;
    whole.replay = "set";
    record_entry best_lap = whole;
    best_lap.kind = record_kind::lap;
    best_lap.steps = lap;
    best_lap.lap = number;
    best_lap.from_step = from;
    FullGameRun run;
    std::string err = capture_stderr([&] { EXPECT_TRUE(record_trusted(run, whole) && record_trusted(run, best_lap)); });
    EXPECT_EQ(err, "");
    record_entry forged_time = whole, forged_start = best_lap, no_replay = whole, other_race = whole,
                 unchecked = best_lap, unfinished = best_lap, other_rule = whole;
    forged_time.steps = 1;
    other_rule.off_road_slows = true;   // its replay was raced under Free
    forged_start.from_step = 4318000;
    no_replay.replay = "gone";
    other_race.length = 5;
    unchecked.replay = "bare";
    unfinished.replay = "left";
    for (const record_entry* e :
         {&forged_time, &forged_start, &no_replay, &other_race, &unchecked, &unfinished, &other_rule}) {
        err = capture_stderr([&] { EXPECT_FALSE(record_trusted(run, *e) || record_trusted(run, *e)); });
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;   // checked once
        EXPECT_NE(err.find("not counted"), std::string::npos) << err;
    }
    // A forged record drives no ghost and shows no time, and any time beats it.
    offer_record(run.kept, forged_time);
    EXPECT_EQ(trusted_record(run, "FirstLoop", 2, 4, record_kind::race, false), nullptr);
    EXPECT_TRUE(offer_record(run.kept, whole, [&run](const record_entry& e) { return record_trusted(run, e); }));
    EXPECT_EQ(trusted_record(run, "FirstLoop", 2, 4, record_kind::race, false)->steps, race);
    if (old_xdg) setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
}
