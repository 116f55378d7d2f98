// SPDX-License-Identifier: GPL-3.0-or-later
// The screens as objects: going back returns to the screen and entry you
// came from, a race runs from its own plan whatever opened it, and the one
// race screen draws a race alike whether the keys, a replay or the network
// drive it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "core/files.h"
#include "config/config.h"
#include "core/state.h"
#include "io/assets.h"
#include "menu/full_game.h"
#include "menu/trial.h"
#include "net/net_race.h"
#include "replay/session.h"
#include "test_full_support.h"
#include "test_net_support.h"
#include "test_view_support.h"
#include "track/track.h"
#include "view/race_screen.h"
#include "view/view.h"

namespace {

// A lit button's colour: the full game's light pink, the classic purple.
Uint32 lit_colour() { return full_game ? 0xFCCEFBu : 0xAF28AAu; }

// The lit entry of a menu whose buttons stand at x 180, from y `top`, `step` apart.
int lit_entry(int top, int step, int count) {
    for (int i = 0; i < count; i++)
        if (pixel_at(screen, 300, top + 10 + step * i) == lit_colour()) return i;
    return -1;
}

void frames_with(const std::vector<SDLKey>& keys) {
    for (SDLKey k : keys) {
        push_key(k);
        screen_frame();
    }
}

// Frames of the race (and its results) until `until` is on top, at most `most`.
void race_until(int until, int most) {
    for (int f = 0; f < most && game_screen != until && game_screen != SCREEN_QUIT; f++) race_frame();
}

// White pixels of the results' replay line.
int white_in_replay_line() {
    int n = 0;
    for (int y = 290; y < 306; y++)
        for (int x = 15; x < 485; x++) n += pixel_at(screen, x, y) == 0xFFFFFFu;
    return n;
}

std::string straight_track() { return source_path("tests/data/replays/Straight.txt"); }

}  // namespace

TEST(FullGameScreens, BackReturnsToTheEntryYouLeft) {
    FullGame g;
    const std::vector<menu_entry> entries = full_menu_entries();
    const int n = (int)entries.size();
    for (int entry = 0; entry < n - 1; entry++) {   // all but Quit
        SCOPED_TRACE(entries[entry].label);
        reset_test_screens();
        frames_with(std::vector<SDLKey>(entry, SDLK_DOWN));
        frames_with({SDLK_RETURN});
        ASSERT_NE(game_screen, SCREEN_MENU);
        // Escape leaves whatever opened (a race's countdown included).
        for (int f = 0; f < 10 && game_screen != SCREEN_MENU; f++) {
            push_key(SDLK_ESCAPE);
            screen_frame();
        }
        ASSERT_EQ(game_screen, SCREEN_MENU);
        screen_frame();
        EXPECT_EQ(lit_entry(150, 30, n), entry);
    }
}

// The trial's chain length and laps are the next trial's, in the settings
// file for the next run too.
TEST(FullGameScreens, TheTrialsLengthAndLapsAreRememberedInTheSettings) {
    FullGame g;
    reset_test_screens();
    open_test_screen(make_time_trial_screen(*g.run));
    screen_frame();
    // From Start: up to Laps, two more; up to Length, one less; leave.
    frames_with({SDLK_UP, SDLK_UP, SDLK_RIGHT, SDLK_RIGHT, SDLK_UP, SDLK_LEFT, SDLK_ESCAPE});
    ASSERT_EQ(game_screen, SCREEN_MENU);
    const game_config saved = read_config(g.file(), nullptr);
    EXPECT_EQ(saved.trial_laps, 5);
    EXPECT_EQ(saved.trial_length, 6);
    // The next run's trial starts from them.
    *g.run = FullGameRun();
    apply_full_settings(*g.run, saved, stderr);
    reset_test_screens();
    open_test_screen(make_time_trial_screen(*g.run));
    frames_with({SDLK_RETURN});
    ASSERT_EQ(game_screen, SCREEN_RACE);
    EXPECT_EQ(live_race.lengths[0], 6);
    EXPECT_EQ(live_race.laps, 5);
    drop_test_screens();
}

// The off-road setting, as the settings file keeps it, rules the full
// game's quick races and time trials; the classic game races Free even
// when the run's settings were left at Slows.
TEST(FullGameScreens, TheOffRoadSettingRulesQuickRacesAndTrialsButNotTheClassicGame) {
    for (const int rule : {OFF_ROAD_SLOWS, OFF_ROAD_FREE}) {
        FullGame g;
        game_config c;
        c.off_road_slows = rule == OFF_ROAD_SLOWS;
        ASSERT_TRUE(write_config(g.file(), c, stderr));
        apply_full_settings(*g.run, read_full_settings(stderr), stderr);
        reset_test_screens();
        frames_with({SDLK_RETURN});   // "Start 1 player"
        ASSERT_EQ(game_screen, SCREEN_RACE);
        EXPECT_EQ(live_race.off_road, rule) << "a quick race";
        reset_test_screens();
        open_test_screen(make_time_trial_screen(*g.run));
        frames_with({SDLK_RETURN});   // "Start"
        ASSERT_EQ(game_screen, SCREEN_RACE);
        EXPECT_EQ(live_race.off_road, rule) << "a time trial";
        drop_test_screens();
    }
    start_game_headless();
    full_game = false;
    race_settings.off_road = OFF_ROAD_SLOWS;
    load_level();
    race_frame();
    EXPECT_EQ(game_screen, SCREEN_RACE);
    EXPECT_EQ(live_race.off_road, OFF_ROAD_FREE) << "the classic game";
    drop_test_screens();
    start_game_headless();
}

TEST(FullGameScreens, EscapeInATrialRaceReturnsToTheTrialSetUp) {
    FullGame g;
    const RaceSettings before = race_settings;
    reset_test_screens();
    open_test_screen(make_time_trial_screen(*g.run));
    screen_frame();
    EXPECT_EQ(lit_entry(150, 30, 6), 4) << "the trial opens on Start";
    frames_with({SDLK_DOWN, SDLK_RETURN});   // Back, then up again to Start below
    ASSERT_EQ(game_screen, SCREEN_MENU) << "Back goes to the menu";
    frames_with(std::vector<SDLKey>(3, SDLK_DOWN));
    frames_with({SDLK_RETURN});
    ASSERT_EQ(game_screen, SCREEN_TIME_TRIAL);
    // Length (three up from Start) one more, back down to Start.
    frames_with({SDLK_UP, SDLK_UP, SDLK_UP, SDLK_RIGHT, SDLK_DOWN, SDLK_DOWN, SDLK_DOWN, SDLK_RETURN});
    ASSERT_EQ(game_screen, SCREEN_RACE);
    EXPECT_EQ(live_race.lengths[0], 8) << "the trial's own length";
    EXPECT_EQ(live_race.lengths[1] + live_race.lengths[2], 0) << "alone against the clock";
    race_frame();
    push_key(SDLK_ESCAPE);
    race_until(SCREEN_TIME_TRIAL, 5);
    EXPECT_EQ(game_screen, SCREEN_TIME_TRIAL);
    screen_frame();
    EXPECT_EQ(lit_entry(150, 30, 6), 4) << "back on Start";
    EXPECT_EQ(std::memcmp(&race_settings, &before, sizeof before), 0) << "the run's settings are untouched";
}

// A finished race recorded on a track the replay carries, watched with
// other settings in force: its results say nothing of a saved replay, and
// "Race again" races the replay's track and settings.
TEST(FullGameScreens, RaceAgainAfterAReplayRacesItsTrackAndSettings) {
    FullGame g;
    const std::string dir = scratch_dir();
    ASSERT_TRUE(start_recording(dir));
    const std::string track = straight_track();
    track_file_override = track.c_str();
    race_settings.chain_length[0] = 3;
    race_settings.chain_length[1] = race_settings.chain_length[2] = 0;
    race_settings.laps = 1;
    two_players = false;
    load_level();
    hold_key(SDLK_UP, true);
    int line_when_recorded = -1;
    OverlayPasses hook([&] {
        if (game_screen != SCREEN_RESULTS || line_when_recorded >= 0) return;
        line_when_recorded = white_in_replay_line();
        push_key(SDLK_ESCAPE);
    });
    race_until(SCREEN_MENU, 3000);
    release_all_keys();
    ASSERT_GT(line_when_recorded, 100) << "the recorded race's results name its replay";
    const std::string path = last_recording();
    stop_recording();
    track_file_override = nullptr;

    race_settings.chain_length[0] = 9;
    race_settings.laps = 5;
    const RaceSettings before = race_settings;
    WatchedReplay watched;
    ASSERT_TRUE(load_replay_to_watch(path, false, "", watched));
    ASSERT_FALSE(watched.rep.track_text.empty());
    RacePlan plan = replay_plan(watched);
    plan.addons = make_race_addons(*g.run, false);
    reset_test_screens();
    open_test_screen(make_race_screen(plan, replay_source(watched.rep)));
    int line_when_watched = -1;
    OverlayPasses watch_hook([&] {
        if (game_screen != SCREEN_RESULTS || line_when_watched >= 0) return;
        line_when_watched = white_in_replay_line();
        push_key(SDLK_RETURN);   // "Race again"
    });
    race_until(SCREEN_RESULTS, 3000);
    race_frame();
    EXPECT_EQ(line_when_watched, 0) << "no earlier race's \"Replay saved\"";
    ASSERT_EQ(game_screen, SCREEN_RACE);
    EXPECT_EQ(live_race.step, 0);
    EXPECT_EQ(live_race.lengths[0], 3);
    EXPECT_EQ(live_race.laps, 1);
    EXPECT_EQ(loaded_track.size, 8) << "the replay's own track";
    EXPECT_EQ(std::memcmp(&race_settings, &before, sizeof before), 0);
}

TEST(FullGameScreens, AWatchedLeftRaceEndsInTheReplaysListWithAMessage) {
    FullGame g;
    std::string why;
    ASSERT_TRUE(make_folders(replays_folder(), why)) << why;
    ASSERT_TRUE(start_recording(replays_folder()));
    race_settings.level_index = 0;
    load_level();
    OverlayPasses none([] {});
    for (int f = 0; f < 3; f++) race_frame();   // the countdown, then two steps
    push_key(SDLK_ESCAPE);
    race_frame();
    ASSERT_EQ(game_screen, SCREEN_MENU);
    stop_recording();

    reset_test_screens();
    open_test_screen(make_replays_screen(*g.run));
    frames_with({SDLK_RETURN});
    ASSERT_EQ(game_screen, SCREEN_RACE);
    race_until(SCREEN_REPLAYS, 100);
    ASSERT_EQ(game_screen, SCREEN_REPLAYS);
    screen_frame();
    char t[24];
    format_race_time(live_race.step, t, sizeof t);
    const std::string line = "The race was left here, at " + std::string(t);
    EXPECT_EQ(glyph_mismatches(screen, 30, 460, line.c_str(), small_font, 0xFFFFFF), 0) << line;
}

// ---- One race screen for every source --------------------------------------

namespace {

// The online race over the fake link, run to `steps` confirmed steps, as the
// network source of the race screen: it steps its own race.
struct FakeLinkSource : RaceSource {
    std::unique_ptr<Track> track_{new Track()};
    online_race start;
    replay header;
    std::unique_ptr<net_pair<online_race>> pair;
    long long steps;
    FakeLinkSource(const std::string& path, long long n) : steps(n) {
        Random random = make_random(7);
        start.race = new_race();
        setup_race(start.race, *track_, random, RaceSetup{{1, 1, 0}, 50, true, 0}, path.c_str());
        start.track = track_.get();
        header = online_header(start.race, *track_, "Straight", sha256_hex(""));
        fake_link_options o;
        o.loss = 0.05;
        net_race_ops<online_race> ops = online_race_ops();
        static long long limit;
        limit = n;
        ops.over = [](const online_race& r) { return r.race.step >= limit; };
        pair.reset(new net_pair<online_race>(o, ops, start, start));
    }
    void set_up(const RacePlan&, Race&, Track&) override {}
    RaceInput step_input(const FrameInput& in) override { return in.drive; }
    bool stepped(const Race&, RaceInput) override { return false; }
    ReplayOutcome race_over(const Race&) override { return {}; }
    void leaving(const Race&) override {}
    bool steps_itself() const override { return true; }
    void advance(const FrameInput&, bool) override {
        if (!net_done(pair->s[0].core)) pair->run(600000);
    }
    const Race& race() const override { return net_confirmed(pair->s[0]).race; }
    const Track& track() const override { return *track_; }
    void compose(const Race&) const override {}
};

// The window's copy after the frame that shows `race` at step `n`.
SDL_Surface* picture_at_step(int n, const std::function<const Race&()>& race) {
    for (int f = 0; f < 400 && race().step < n; f++) race_frame();
    EXPECT_EQ(race().step, n);
    return copy_of_screen();
}

}  // namespace

// The same confirmed inputs, three ways: the online race over the fake link,
// its replay watched, and the players at the keys. View 1, below the lap
// display and above the lines at the foot, is the same picture in all
// three. (One ball each, kept apart: a ball pushed later in a step is drawn
// where the step leaves it online, and where it was when drawn otherwise.)
TEST(RaceScreenSources, KeysReplayAndNetworkDrawTheSameRace) {
    start_game_headless();
    const std::string path = straight_track();
    constexpr int STEPS = 120;
    FakeLinkSource* online = new FakeLinkSource(path, STEPS);
    reset_test_screens();
    open_test_screen(make_online_race_screen(std::unique_ptr<RaceSource>(online)));
    race_frame();
    ASSERT_EQ(online->race().step, STEPS);
    SDL_Surface* by_network = copy_of_screen();
    const Race start = online->start.race, by_network_race = online->race();   // the screen owns `online`
    // The same race a few steps longer: its replay is watched to STEPS
    // (a left race's replay leaves the screen at its last step).
    FakeLinkSource longer(path, STEPS + 5);
    longer.advance(FrameInput(), false);
    const replay rep = online_replay(longer.header, longer.pair->s[0].core, longer.race());

    // The replay, watched on the race screen (its countdown first).
    WatchedReplay watched;
    watched.rep = rep;
    std::string why;
    ASSERT_TRUE(read_regular_file(path.c_str(), MAX_LEVEL_FILE_BYTES, watched.rep.track_text, why)) << why;
    watched.level_index = -1;
    reset_test_screens();
    open_test_screen(make_race_screen(replay_plan(watched), replay_source(watched.rep)));
    SDL_Surface* by_replay = picture_at_step(STEPS - 1, [] () -> const Race& { return live_race; });
    SDL_FreeSurface(by_replay);
    by_replay = picture_at_step(STEPS, [] () -> const Race& { return live_race; });

    // The players at the keys, from the same set-up: each step's keys held.
    live_race = start;
    loaded_track = *longer.track_;
    race_start_ticks = game_ticks() - 10000;
    drop_test_screens();
    script_position at;
    for (int s = 0; s < STEPS; s++) {
        const int keys = next_script_keys(rep.keys, at);
        release_all_keys();
        hold_key(SDLK_UP, keys & SIM_UP);
        hold_key(SDLK_DOWN, keys & SIM_DOWN);
        hold_key(SDLK_LEFT, keys & SIM_LEFT);
        hold_key(SDLK_RIGHT, keys & SIM_RIGHT);
        hold_key(SDLK_w, keys & SIM_W);
        hold_key(SDLK_s, keys & SIM_S);
        hold_key(SDLK_a, keys & SIM_A);
        hold_key(SDLK_d, keys & SIM_D);
        race_frame();
    }
    release_all_keys();
    ASSERT_EQ(live_race.step, STEPS);
    EXPECT_TRUE(same_race(live_race, by_network_race));
    SDL_Surface* by_keys = copy_of_screen();

    const float dx = live_race.balls[0].x[0] - live_race.balls[0].x[1];
    const float dy = live_race.balls[0].y[0] - live_race.balls[0].y[1];
    ASSERT_GT(dx * dx + dy * dy, (float)(push_distance * push_distance)) << "the heads never met";
    EXPECT_EQ(differing_pixels(by_keys, by_replay, 0, 40, 400, 390), 0);
    EXPECT_EQ(differing_pixels(by_keys, by_network, 0, 40, 400, 390), 0);
    EXPECT_GT(differing_pixels(by_keys, by_network, 0, 0, 400, 40), 0) << "the online lines differ, as they should";
    SDL_FreeSurface(by_network);
    SDL_FreeSurface(by_replay);
    SDL_FreeSurface(by_keys);
}

// Watching a replay: F runs two steps a frame, Tab has view 1 follow the
// next racer, Space pauses (from the frame after it, as the keys of a
// frame are read at its end).
TEST(RaceScreenSources, TheWatchKeysSpeedFollowAndPause) {
    start_game_headless();
    const std::string dir = scratch_dir();
    ASSERT_TRUE(start_recording(dir));
    race_settings.level_index = 0;
    two_players = true;
    load_level();
    OverlayPasses none([] {});
    for (int f = 0; f < 30; f++) race_frame();
    push_key(SDLK_ESCAPE);
    race_frame();
    stop_recording();
    two_players = false;
    WatchedReplay watched;
    ASSERT_TRUE(load_replay_to_watch(last_recording(), false, "", watched));
    reset_test_screens();
    open_test_screen(make_race_screen(replay_plan(watched), replay_source(watched.rep)));
    race_frame();   // the countdown, then the first step
    const long long before = live_race.step;
    push_key(SDLK_f);
    push_key(SDLK_TAB);
    race_frame();
    race_frame();
    EXPECT_EQ(live_race.step, before + 3) << "one step, then two";
    EXPECT_EQ(glyph_mismatches(screen, 10, 480, "Replay 2x  view: Player 2", small_font, 0xFFFFFF), 0);
    int passes = 0;
    OverlayPasses pause([&] {
        if (!paused) return;
        if (passes++ == 0) push_key(SDLK_p);   // the classic pause's own key ends it
    });
    push_key(SDLK_SPACE);
    race_frame();
    EXPECT_EQ(passes, 0) << "Space is read at the frame's end";
    const long long paused_at = live_race.step;
    race_frame();
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(live_race.step, paused_at + 2) << "the paused frame goes on once the pause ends";
}

// A time trial's records, saved as the race ends, stand when a later run
// checks them against their replay (raced by Good drivers' rules on a
// track the replay carries).
TEST(FullGameScreens, ATrialsRecordsStandOnTheirOwnReplay) {
    FullGame g;
    const std::string track = straight_track();
    track_file_override = track.c_str();
    race_settings.difficulty = DIFFICULTY_GOOD;
    load_level();
    reset_test_screens();
    open_test_screen(make_time_trial_screen(*g.run));
    frames_with({SDLK_UP, SDLK_UP, SDLK_LEFT, SDLK_LEFT, SDLK_DOWN, SDLK_DOWN, SDLK_RETURN});   // 1 lap
    ASSERT_EQ(game_screen, SCREEN_RACE);
    hold_key(SDLK_UP, true);
    race_until(SCREEN_RESULTS, 3000);
    release_all_keys();
    track_file_override = nullptr;
    ASSERT_EQ(game_screen, SCREEN_RESULTS);
    const records kept = read_records(records_path(), stderr);
    ASSERT_EQ(kept.entries.size(), 2u) << "a lap and a race record";
    FullGameRun later;
    const std::string err = capture_stderr([&] {
        for (const record_entry& e : kept.entries) EXPECT_TRUE(record_trusted(later, e));
    });
    EXPECT_EQ(err, "");
}
