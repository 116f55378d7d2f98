// SPDX-License-Identifier: GPL-3.0-or-later
// Replays in the game (src/replay/session.cpp): races recorded from the race
// frame, replayed by chainball-sim and watched back in the game with the
// run's settings given back; the command line and the files it refuses.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "base/clock.h"
#include "core/state.h"
#include "harness.h"
#include "io/events.h"
#include "race/race.h"
#include "replay/replay.h"
#include "replay/session.h"
#include "shell/options.h"
#include "sim/sim.h"
#include "test_view_support.h"
#include "track/track.h"
#include "view/race_screen.h"
#include "view/view.h"

namespace {

class GameReplay : public ::testing::Test {
  protected:
    void SetUp() override {
        start_game_headless();
        reset_replay_session();
    }
    void TearDown() override {
        reset_replay_session();
        release_all_keys();
        drop_events();
    }
};

int sim_status(const std::string& replay_file, std::string& err) {
    const char* argv[] = {"chainball-sim", "--replay", replay_file.c_str()};
    FILE* out = tmpfile();
    FILE* e = tmpfile();
    const int status = sim_main(3, argv, out, e);
    read_back(out);
    err = read_back(e);
    return status;
}

// The race set up as the level-load screen does, its countdown already
// over: the countdown only shows the frozen picture and takes no step.
int files_in(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (!d) return -1;
    int n = 0;
    while (const dirent* e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
    return n;
}

void load_race() {
    game_screen = SCREEN_LOAD;
    load_level();
    race_start_ticks = game_ticks() - 5000;
}

// Runs race frames with keys held as `hold(frame)` says, then one more with
// Escape queued: the race is left at step `frames` + 1.
void race_then_escape(int frames, const std::function<void(int)>& hold) {
    load_race();
    for (int i = 0; i < frames; i++) {
        release_all_keys();
        hold(i);
        race_frame();
        ASSERT_EQ(game_screen, SCREEN_RACE) << "frame " << i;
    }
    release_all_keys();
    push_key(SDLK_ESCAPE);
    race_frame();
    ASSERT_EQ(game_screen, SCREEN_MENU);
}

}  // namespace

TEST_F(GameReplay, RecordedRacesReplayHeadlessAndWatchedInTheGame) {
    const std::string dir = scratch_dir() + "/races";   // made when missing
    ASSERT_TRUE(start_recording(dir));
    race_settings.chain_length[0] = 3;
    race_settings.chain_length[1] = 2;
    race_settings.chain_length[2] = 4;
    race_settings.laps = 2;
    race_settings.level_index = 0;
    two_players = false;

    // One player, with W held all the time: it drives nothing, so it is not kept.
    race_then_escape(120, [](int i) {
        hold_key(SDLK_w, true);
        if (i < 90) hold_key(SDLK_UP, true);
        if (i >= 60 && i < 90) hold_key(SDLK_LEFT, true);
    });
    const std::string first = last_recording();
    ASSERT_NE(first, "");
    EXPECT_EQ(first.find(dir + "/"), 0u);
    EXPECT_NE(first.find("-FirstLoop.cbreplay"), std::string::npos) << first;

    // Two players right after: the set-up keeps the racers' speeds.
    two_players = true;
    race_then_escape(80, [](int i) {
        hold_key(SDLK_UP, true);
        hold_key(SDLK_w, true);
        if (i > 40) hold_key(SDLK_d, true);
    });
    const uint32_t second_end = race_checksum(live_race);
    const float second_head_x = live_race.balls[0].x[1];
    const std::string second = last_recording();
    ASSERT_NE(second, first);

    replay one, two;
    std::string error;
    ASSERT_TRUE(parse_replay(file_contents(first), one, error)) << error;
    ASSERT_TRUE(parse_replay(file_contents(second), two, error)) << error;
    EXPECT_EQ(describe_result(one.result), "left at step 121");
    EXPECT_EQ(describe_result(two.result), "left at step 81");
    EXPECT_EQ(format_key_script(one.keys), "60 UP\n30 UP LEFT\n31\n");
    EXPECT_EQ(format_key_script(two.keys), "41 UP W\n39 UP W D\n1\n");
    EXPECT_EQ(one.checks.size(), 2u);
    EXPECT_FALSE(one.two_player);
    EXPECT_TRUE(two.two_player);
    EXPECT_EQ(one.pictures.size(), 9u);
    EXPECT_NE(two.speeds[1], 0.0f);                 // left over from the first race
    EXPECT_EQ(two.computer_acceleration, 1.1f);     // a two-player race's
    EXPECT_EQ(two.track_sha256, sha256_hex(file_contents("filut/levelit/FirstLoop.txt")));

    // chainball-sim finds what the game raced.
    for (const std::string& f : {first, second}) {
        std::string err;
        EXPECT_EQ(sim_status(f, err), 0) << f << ": " << err;
    }

    // Watched with other settings in force, and the keyboard ignored.
    race_settings.chain_length[0] = 5;
    race_settings.chain_length[1] = 5;
    race_settings.chain_length[2] = 5;
    race_settings.laps = 9;
    race_settings.level_index = 1;
    two_players = false;
    const RaceSettings before = race_settings;
    WatchedReplay watched;
    ASSERT_TRUE(load_replay_to_watch(second, false, "", watched));
    const RacePlan plan = replay_plan(watched);
    EXPECT_EQ(plan.setup.lengths[2], 4);
    EXPECT_EQ(plan.level_index, 0);
    EXPECT_TRUE(plan.setup.two_players);
    reset_test_screens();
    open_test_screen(make_race_screen(plan, replay_source(watched.rep)));   // with its countdown
    EXPECT_EQ(game_screen, SCREEN_RACE);
    hold_key(SDLK_DOWN, true);
    hold_key(SDLK_s, true);
    int frames = 0;
    while (game_screen == SCREEN_RACE && frames < 1000) {
        race_frame();
        frames++;
    }
    EXPECT_EQ(frames, 81);   // where it was left, it leaves
    EXPECT_EQ(game_screen, SCREEN_MENU);
    EXPECT_EQ(std::memcmp(&race_settings, &before, sizeof before), 0) << "the run's settings are never touched";
    // The racers stand where the recorded race left them.
    EXPECT_EQ(live_race.balls[0].x[1], second_head_x);
    race_settings.chain_length[0] = 3;
    race_settings.chain_length[1] = 2;
    race_settings.chain_length[2] = 4;
    EXPECT_EQ(race_checksum(live_race), second_end);
    race_settings = before;
    EXPECT_FALSE(two_players);
    EXPECT_EQ(last_recording(), second);   // a watched race is not recorded again
}

TEST_F(GameReplay, WatchedKeysComeFromTheFileAndCtrlFromTheKeyboard) {
    ASSERT_TRUE(start_recording(scratch_dir()));
    race_settings.level_index = 0;
    two_players = true;
    race_then_escape(3, [](int i) { hold_key(i == 1 ? SDLK_LEFT : SDLK_a, true); });
    const std::string path = last_recording();
    reset_replay_session();

    WatchedReplay watched;
    ASSERT_TRUE(load_replay_to_watch(path, false, "", watched));
    std::unique_ptr<RaceSource> source = replay_source(watched.rep);
    const RacePlan plan = replay_plan(watched);
    setup_race(live_race, loaded_track, setup_random, plan.setup, plan_track_file(plan).c_str());
    source->set_up(plan, live_race, loaded_track);
    hold_key(SDLK_DOWN, true);
    hold_key(SDLK_LCTRL, true);
    const int expected[] = {SIM_A, SIM_LEFT, SIM_A, 0};   // the Escape frame's step holds none
    bool left = false;
    for (int bits : expected) {
        ASSERT_FALSE(left);
        const FrameInput held = held_frame_input(true);
        const RaceInput input = source->step_input(held);
        EXPECT_EQ(script_keys_of_input(input), bits);
        EXPECT_TRUE(held.ctrl_held);   // the pause still answers
        race_step(live_race, loaded_track, input);
        left = source->stepped(live_race, input);
    }
    EXPECT_TRUE(left);   // left where the recording was left
    // Without a replay the keyboard drives again.
    EXPECT_EQ(script_keys_of_input(local_source()->step_input(held_frame_input(false))), SIM_DOWN);
}

TEST_F(GameReplay, ClosedWindowAndFinishedRaceAreWrittenToo) {
    ASSERT_TRUE(start_recording(scratch_dir()));
    race_settings.level_index = 0;
    load_race();
    for (int i = 0; i < 9; i++) race_frame();
    push_quit();
    race_frame();
    ASSERT_EQ(game_screen, SCREEN_QUIT);
    replay r;
    std::string error;
    ASSERT_TRUE(parse_replay(file_contents(last_recording()), r, error)) << error;
    EXPECT_EQ(describe_result(r.result), "left at step 10");

    // A race every racer has finished, closed from its race-end screen.
    const std::string closed = last_recording();
    race_settings.chain_length[1] = race_settings.chain_length[2] = 0;
    race_settings.laps = 1;
    load_race();
    race_frame();
    live_race.racers[0].completed_laps = 1;   // as the finish line counts it
    // Written when the race ends: already there on the race-end screen's
    // first pass, before any key of that screen.
    std::string on_screen;
    OverlayPasses hook([&on_screen] {
        if (on_screen.empty()) on_screen = last_recording();
        push_quit();
    });
    race_frame();
    ASSERT_EQ(game_screen, SCREEN_QUIT);
    ASSERT_NE(last_recording(), closed);
    EXPECT_EQ(on_screen, last_recording());
    ASSERT_TRUE(parse_replay(file_contents(last_recording()), r, error)) << error;
    EXPECT_EQ(describe_result(r.result), "winner 1, 2 steps, laps 1 0 0");
}

// A record folder that cannot take the race when it ends (here it is
// gone): the race stays in memory, is written after the next race once the
// folder is back, and what is left at shut-down goes to the game's own data
// folder (made whole, parents and all) with a line saying where.
TEST_F(GameReplay, ARaceThatCannotBeWrittenIsKeptAndWrittenLater) {
    const std::string dir = scratch_dir() + "/races";
    ASSERT_TRUE(start_recording(dir));
    race_settings.level_index = 0;
    ASSERT_EQ(system(("rm -rf " + dir).c_str()), 0);
    std::string err = capture_stderr([] { race_then_escape(3, [](int) {}); });
    EXPECT_NE(err.find("cannot write replay " + dir + "/"), std::string::npos) << err;
    EXPECT_NE(err.find("kept to try again"), std::string::npos) << err;
    EXPECT_EQ(last_recording(), "");

    ASSERT_EQ(system(("mkdir " + dir).c_str()), 0);
    err = capture_stderr([] { race_then_escape(4, [](int) {}); });
    EXPECT_EQ(err, "");
    EXPECT_EQ(files_in(dir), 2) << "both races written";

    ASSERT_EQ(system(("rm -rf " + dir).c_str()), 0);
    err = capture_stderr([] { race_then_escape(5, [](int) {}); });
    // The data folder's parents need not be there yet: the whole path is made.
    const std::string data_home = scratch_dir() + "/not/there/yet";
    const char* saved = getenv("XDG_DATA_HOME");
    const std::string saved_home = saved ? saved : "";
    setenv("XDG_DATA_HOME", data_home.c_str(), 1);
    err = capture_stderr([] { flush_unsaved_replays(); });
    if (saved) setenv("XDG_DATA_HOME", saved_home.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
    EXPECT_NE(err.find("replay written to " + data_home + "/chainball/replays/"), std::string::npos) << err;
    EXPECT_EQ(files_in(data_home + "/chainball/replays"), 1);
}

TEST_F(GameReplay, FoldersAndFilesThatCannotBeUsedAreNamed) {
    const std::string file = scratch_file("not a folder");
    std::string err = capture_stderr([&] { EXPECT_FALSE(start_recording(file)); });
    EXPECT_EQ(err, "chainball: cannot record races in '" + file + "': not a folder\n");
    err = capture_stderr([] { EXPECT_FALSE(start_recording("/proc/no-such/races")); });
    EXPECT_NE(err.find("no such folder, and it cannot be made"), std::string::npos) << err;
    err = capture_stderr([] { EXPECT_FALSE(start_recording("/proc")); });
    EXPECT_NE(err.find("cannot record races in '/proc': "), std::string::npos) << err;

    WatchedReplay watched_here;
    err = capture_stderr([&] { EXPECT_FALSE(load_replay_to_watch("/no/such.cbreplay", false, "", watched_here)); });
    EXPECT_EQ(err, "chainball: cannot read replay '/no/such.cbreplay': no such file\n");

    // A recording whose track has other bytes now: refused, unless forced.
    ASSERT_TRUE(start_recording(scratch_dir()));
    race_settings.level_index = 0;
    race_then_escape(2, [](int) {});
    std::string text = file_contents(last_recording());
    const size_t hash = text.find("track FirstLoop ") + 16;
    text.replace(hash, 4, text.compare(hash, 4, "0000") == 0 ? "1111" : "0000");
    const std::string changed = scratch_file(text);
    reset_replay_session();
    err = capture_stderr([&] { EXPECT_FALSE(load_replay_to_watch(changed, false, "", watched_here)); });
    EXPECT_NE(err.find("levelit/FirstLoop.txt) is not the one the replay was "
                       "recorded on: its SHA-256 differs (--force races it anyway)"),
              std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    err = capture_stderr([&] { EXPECT_TRUE(load_replay_to_watch(changed, true, "", watched_here)); });
    EXPECT_NE(err.find("raced anyway (--force)"), std::string::npos) << err;

    // A track the catalogue does not offer is refused when the replay is
    // read, before any window would open, even when its file is there.
    CatalogueSwap only({"GardenLap"});
    const RaceSettings before = race_settings;
    err = capture_stderr([&] { EXPECT_FALSE(load_replay_to_watch(changed, true, "", watched_here)); });
    EXPECT_NE(err.find("its track FirstLoop is not in the level catalogue (name its file with --track)"),
              std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_EQ(std::memcmp(&race_settings, &before, sizeof before), 0);
    // With --track the named file is the one checked and raced, whatever the
    // catalogue holds: the track file (its hash changed here, so forced)
    // is taken, another file's bytes are refused.
    err = capture_stderr([&] {
        EXPECT_TRUE(load_replay_to_watch(changed, true, level_file_path("FirstLoop"), watched_here));
    });
    const std::string other = scratch_file("0004 .... .... .... ....");
    err = capture_stderr([&] { EXPECT_FALSE(load_replay_to_watch(changed, false, other, watched_here)); });
    EXPECT_NE(err.find("SHA-256 differs"), std::string::npos) << err;
}

TEST(GameReplayOptions, RecordReplayAndForce) {
    auto parse = [](std::vector<const char*> args, game_options& opt, std::string& err) {
        args.insert(args.begin(), "chainball");
        FILE* out = tmpfile();
        FILE* e = tmpfile();
        const int status = parse_game_args((int)args.size(), args.data(), opt, out, e);
        read_back(out);
        err = read_back(e);
        return status;
    };
    game_options opt;
    std::string err;
    EXPECT_EQ(parse({"--record", "races", "--replay", "r.cbreplay", "--force"}, opt, err), -1);
    EXPECT_STREQ(opt.record_dir, "races");
    EXPECT_STREQ(opt.replay_file, "r.cbreplay");
    EXPECT_TRUE(opt.force);
    EXPECT_EQ(parse({"--record"}, opt, err), 2);
    EXPECT_EQ(err, "chainball: option '--record' needs a folder (see chainball --help)\n");
    EXPECT_EQ(parse({"--replay", ""}, opt, err), 2);
    EXPECT_NE(err.find("needs a replay file"), std::string::npos);
    EXPECT_EQ(parse({"--force"}, opt, err), 2);
    EXPECT_NE(err.find("'--force' goes with --replay"), std::string::npos);
    EXPECT_EQ(parse({}, opt, err), -1);
    EXPECT_EQ(opt.record_dir, nullptr);
    EXPECT_EQ(opt.replay_file, nullptr);
}
