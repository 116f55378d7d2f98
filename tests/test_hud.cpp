// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's HUD: places, laps and gaps read off the race, the clocks
// through the countdown, the leading camera, the minimap and the time
// trial's splits.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "base/arith.h"
#include "base/clock.h"
#include "config/config.h"
#include "config/records.h"
#include "core/difficulty.h"
#include "core/files.h"
#include "core/state.h"
#include "menu/trial.h"
#include "race/progress.h"
#include "replay/replay.h"
#include "test_race_support.h"
#include "test_full_support.h"
#include "test_view_support.h"
#include "view/camera.h"
#include "view/hud.h"

namespace {

struct TrackRace {
    std::unique_ptr<Track> track{new Track};
    Race race = new_race();
    explicit TrackRace(const RaceSetup& setup, const char* level = "filut/levelit/FirstLoop.txt") {
        Random random = make_random(3);
        setup_race(race, *track, random, setup, level);
    }
    void put_head(int r, const waypoint& w) {
        race.balls[0].x[r] = (float)w.x - view_half_width(race);
        race.balls[0].y[r] = (float)w.y - view_half_height(race);
    }
    std::vector<int> places() {
        int p[RACERS];
        race_places(race, *track, p);
        return std::vector<int>(p, p + RACERS);
    }
};

int waypoint_near(const Track& t, int x, int y) {
    int best = 0;
    for (int i = 1; i < t.waypoint_count; i++)
        if (std::hypot(t.waypoints[i].x - x, t.waypoints[i].y - y) <
            std::hypot(t.waypoints[best].x - x, t.waypoints[best].y - y))
            best = i;
    return best;
}

}  // namespace

TEST(RaceProgress, PlacesFollowLapsCheckpointsFinishesAndTheRoute) {
    TrackRace t({{1, 1, 1}, 3, false, DIFFICULTY_CLASSIC});
    const Track& track = *t.track;
    ASSERT_GT(track.checkpoint_count, 0);
    const int first = waypoint_near(track, track.checkpoints[0].x + 50, track.checkpoints[0].y + 50);
    ASSERT_GE(first, 4);
    // Along the road to the first checkpoint: racer 2 nearest to it.
    t.put_head(0, track.waypoints[1]);
    t.put_head(1, track.waypoints[first / 2]);
    t.put_head(2, track.waypoints[first - 1]);
    EXPECT_EQ(t.places(), (std::vector<int>{3, 2, 1}));
    // A checkpoint passed counts before any distance.
    t.race.checkpoint_passed[0][0] = 1;
    EXPECT_EQ(t.places(), (std::vector<int>{1, 3, 2}));
    // A lap more counts before checkpoints.
    t.race.racers[1].completed_laps = 1;
    EXPECT_EQ(t.places(), (std::vector<int>{2, 1, 3}));
    // Finished racers lead, by their finishing step.
    t.race.clocks[2].finished = 900;
    t.race.clocks[0].finished = 800;
    EXPECT_EQ(t.places(), (std::vector<int>{1, 3, 2}));
    int place[RACERS] = {1, 3, 2};
    EXPECT_EQ(gap_rival(place, 0), 2) << "the leader measures to the second";
    EXPECT_EQ(gap_rival(place, 1), 2) << "the others to the racer ahead";
    // A racer left out has no place.
    t.race.lengths[2] = 0;
    EXPECT_EQ(t.places(), (std::vector<int>{1, 2, 0}));
    // The lap shown starts at 1 and stops at the race's laps.
    EXPECT_EQ(lap_on(t.race, 2), 1);
    t.race.racers[0].completed_laps = 5;
    EXPECT_EQ(lap_on(t.race, 0), 3);
    t.race.racers[0].completed_laps = 2;
    EXPECT_EQ(lap_on(t.race, 0), 3);
}

// Computer drivers with a fixed set-up, player 1 standing at the start: the
// steps at which the computers count their first lap (their own lap clocks)
// give the gap between them, and their order.
TEST(RaceProgress, GapsAreTheStepsBetweenReachingTheSameMark) {
    TrackRace t({{1, 3, 10}, 3, false, DIFFICULTY_EXPERT});
    SplitLog log;
    start_splits(log, t.race, *t.track);
    long long first_lap[RACERS] = {0, 0, 0};
    int checked = 0;
    for (int s = 0; s < 20000 && checked == 0; s++) {
        race_step(t.race, *t.track, RaceInput{});
        note_splits(log, t.race, *t.track);
        for (int r = 1; r < RACERS; r++)
            if (lap_completed_now(t.race, r) && t.race.racers[r].completed_laps == 1) first_lap[r] = t.race.step;
        if (first_lap[1] == 0 || first_lap[2] == 0) continue;
        const int ahead = first_lap[1] < first_lap[2] ? 1 : 2, behind = 3 - ahead;
        ASSERT_NE(first_lap[1], first_lap[2]);
        EXPECT_EQ(t.places(), (std::vector<int>{3, ahead == 1 ? 1 : 2, ahead == 2 ? 1 : 2}));
        long long gap = 0;
        ASSERT_TRUE(split_gap(log, behind, log, ahead, gap));
        EXPECT_EQ(gap, first_lap[behind] - first_lap[ahead]);
        ASSERT_TRUE(split_gap(log, ahead, log, behind, gap));
        EXPECT_EQ(gap, first_lap[ahead] - first_lap[behind]);
        checked++;
    }
    ASSERT_EQ(checked, 1) << "both computers count a lap";
    // Taking the race back drops the marks it no longer holds.
    TrackRace again({{1, 3, 10}, 3, false, DIFFICULTY_EXPERT});
    note_splits(log, again.race, *again.track);
    EXPECT_EQ(log.at[1].size(), 1u);
    EXPECT_EQ(log.at[2].size(), 1u);
}

TEST(FullRaceHud, TheClockReadsZeroUntilGoAndTheLapNeverPassesTheLaps) {
    FullGame g;
    race_test_reset(20, 1, 0, 0);
    race_step(live_race, loaded_track, RaceInput{});   // the step run under the countdown
    SDL_FillRect(screen, nullptr, 0);
    draw_race_hud(live_race, loaded_track, nullptr, true);
    EXPECT_EQ(glyph_mismatches(screen, 376 + 38, 13, "0:00.00", small_font, 0xFFFFFF), 0);
    EXPECT_EQ(glyph_mismatches(screen, 376 + 38, 27, "0:00.00", small_font, 0xFFFFFF), 0);
    draw_race_hud(live_race, loaded_track, nullptr, false);
    EXPECT_EQ(glyph_mismatches(screen, 376 + 38, 13, "0:00.02", small_font, 0xFFFFFF), 0);

    // With two computers, the panel names the racer player 1's gap is to.
    race_test_reset(20, 1, 1, 1);
    SplitLog log;
    start_splits(log, live_race, loaded_track);
    SDL_FillRect(screen, nullptr, 0);
    draw_race_hud(live_race, loaded_track, &log, false);
    int place[RACERS];
    race_places(live_race, loaded_track, place);
    const int rival = gap_rival(place, 0);
    ASSERT_GE(rival, 1);
    EXPECT_EQ(glyph_mismatches(screen, 376 + 38, 13 + 3 * 14, (std::string(place_name(place[0])) + "/3").c_str(),
                               small_font, 0xFFFFFF), 0);
    EXPECT_EQ(glyph_mismatches(screen, 376 + 38, 13 + 5 * 14, racer_name(live_race, rival).c_str(), small_font,
                               0xFFFFFF), 0);

    // One lap of one, driven on to a third: the full game shows lap 1 of 1,
    // the classic game the laps completed, as it always has.
    live_race.laps = 1;
    live_race.racers[0].completed_laps = 3;
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 255, 255, 255));
    draw_lap_display(live_race);
    EXPECT_EQ(glyph_mismatches(screen, 15, 13, "Lap: 1", small_font, 0x000000), 0);
    full_game = false;
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 255, 255, 255));
    draw_lap_display(live_race);
    EXPECT_EQ(glyph_mismatches(screen, 15, 13, "Lap: 3", small_font, 0x000000), 0);
}

TEST(LeadCamera, ShowsOneAndAHalfSecondsOfRoadAtFullSpeedAndEasesOnABump) {
    for (bool two : {false, true}) {
        race_test_reset(100, 1, 1, 0, two);
        const float full = full_speed(live_race);
        EXPECT_NEAR(full, 4.4f, 0.001f);
        for (int h = 0; h < 360; h += 45) {
            for (int r = 0; r < 2; r++) {
                put_ball(r, 0, 2500, 2500);
                live_race.balls[0].heading[r] = (float)h;
                live_race.racers[r].speed = -full;
            }
            LookAhead look;
            ViewCameras c = {};
            for (int frame = 0; frame < 200; frame++) c = lead_cameras(look, live_race, loaded_track, 0);
            for (int v = 0; v < (two ? 2 : 1); v++)
                EXPECT_GE(seconds_ahead(live_race, v, c.x[v], c.y[v]), 1.5f) << "heading " << h << " view " << v;
            // The race's own camera, the head in the middle, shows less across a split view.
            ViewCameras own;
            follow_camera(live_race, loaded_track, 0, own.x[0], own.y[0]);
            if (two && h % 180 == 90) {
                EXPECT_LT(seconds_ahead(live_race, 0, own.x[0], own.y[0]), 1.0f);
            }
            // Stopped dead: the view slides back, a few pixels a frame.
            live_race.racers[0].speed = 0;
            for (int frame = 0; frame < 100; frame++) {
                const ViewCameras next = lead_cameras(look, live_race, loaded_track, 0);
                ASSERT_LE(std::abs(next.x[0] - c.x[0]) + std::abs(next.y[0] - c.y[0]), 2 * LEAD_MOST_PER_FRAME + 2);
                c = next;
            }
            EXPECT_LE(std::abs(c.x[0] - own.x[0]) + std::abs(c.y[0] - own.y[0]), 2) << "back on the head";
        }
    }
}

// Frames of the same race with the leading camera, the HUD and the minimap,
// and without them: the same race.
TEST(LeadCamera, NeverChangesTheRace) {
    start_game_headless();
    race_settings.level_index = 0;
    two_players = true;
    load_level();
    const Race start = live_race;
    Race after[2] = {new_race(), new_race()};
    for (int full = 0; full < 2; full++) {
        FullGame g;
        full_game = full == 1;
        hold_key(SDLK_UP, true);
        hold_key(SDLK_w, true);
        drop_test_screens();
        live_race = start;
        race_start_ticks = game_ticks() - 10000;
        game_screen = SCREEN_RACE;
        for (int f = 0; f < 150; f++) race_frame();
        after[full] = live_race;
        release_all_keys();
    }
    two_players = false;
    EXPECT_GT(after[0].step, 100);
    EXPECT_TRUE(same_race(after[0], after[1]));
}

TEST(Minimap, ShowsTheRacersInTheirColoursUnlessSwitchedOff) {
    auto blue_in_corner = [] {
        int n = 0;
        const rgb c = racer_colours[0];
        const Uint32 blue = SDL_MapRGB(screen->format, c.r, c.g, c.b);
        for (int y = 350; y < 480; y++)
            for (int x = 360; x < 500; x++) n += pixel_at(screen, x, y) == blue;
        return n;
    };
    for (bool on : {true, false}) {
        FullGame g;
        g.run->options.minimap = on;
        race_settings.level_index = 0;
        two_players = false;
        load_level();
        race_start_ticks = game_ticks() - 10000;
        race_frame();
        if (on)
            EXPECT_GE(blue_in_corner(), 16);
        else
            EXPECT_EQ(blue_in_corner(), 0);
    }
    // The switch is kept in the settings file.
    std::vector<std::string> problems;
    game_config c;
    c.minimap = false;
    EXPECT_FALSE(parse_config(format_config(c), problems).minimap);
    EXPECT_TRUE(parse_config("[window]\nscale = 2\n", problems).minimap);
    EXPECT_TRUE(problems.empty());
}

// A time trial against a race record: driven with the record's own keys,
// late by ten steps, the first split reads +0.20 and the ghost's gap too.
TEST(TrialSplits, ShowTheTimeAgainstTheRecordAtEachMark) {
    FullGame g;
    race_settings.level_index = 0;
    const std::string file = level_file_at(0);
    const RaceSetup setup = {{4, 0, 0}, 1, false, DIFFICULTY_CLASSIC};
    // The record: a race alone, Up held and steered left now and then.
    std::unique_ptr<Track> track(new Track);
    Race race = new_race();
    Random random = make_random(5);
    setup_race(race, *track, random, setup, file.c_str());
    replay rep;
    rep.track_name = level_name_at(0);
    rep.track_sha256 = file_sha256(file);
    capture_race_setup(rep, race, *track);
    int target = 0;
    std::vector<int> keys;
    while (!race_over(race) && race.step < 20000) {
        // Towards the next waypoint, as a player steers.
        const float x = race.balls[0].x[0] + view_half_width(race), y = race.balls[0].y[0] + view_half_height(race);
        const waypoint* w = &track->waypoints[target];
        if (std::hypot(w->x - x, w->y - y) < 49) w = &track->waypoints[target = (target + 1) % track->waypoint_count];
        const double diff = std::fmod(std::atan2(-(w->x - x), -(w->y - y)) * DEG - race.balls[0].heading[0] + 540.0,
                                      360.0) - 180.0;
        keys.push_back(SIM_UP | (diff > 3 ? SIM_LEFT : diff < -3 ? SIM_RIGHT : 0));
        race_step(race, *track, input_of_script_keys(keys.back()));
        append_script_step(rep.keys, keys.back());
        // The checks a record's replay must hold to stand.
        if (race.step % REPLAY_CHECK_EVERY == 0) rep.checks.push_back({race.step, race_checksum(race)});
    }
    ASSERT_TRUE(race_over(race));
    rep.result = current_result(race, race.step);
    std::string why;
    ASSERT_TRUE(make_folders(records_folder(), why)) << why;
    ASSERT_TRUE(write_file_atomically(records_folder() + "/rec.replay", format_replay(rep), why)) << why;
    record_entry e;
    e.track = rep.track_name;
    e.track_sha256 = rep.track_sha256;
    e.laps = 1;
    e.length = 4;
    e.kind = record_kind::race;
    e.steps = race.step;
    e.replay = "rec.replay";
    g.run->kept.entries.push_back(e);

    RacePlan plan;
    plan.setup = setup;
    std::shared_ptr<RaceAddons> addons = make_race_addons(*g.run, true, 1);
    Race live = new_race();
    Random other = make_random(9);
    setup_race(live, loaded_track, other, setup, file.c_str());
    addons->set_up(plan, live, loaded_track, false);
    int shown = 0;
    for (size_t s = 0; s < keys.size() + 10 && !race_over(live); s++) {
        const RaceInput input = input_of_script_keys(s < 10 ? 0 : keys[s - 10]);
        race_step(live, loaded_track, input);
        addons->stepped(live, input);
        if (racer_progress(live, loaded_track, 0).marks != 1 || shown) continue;
        SDL_FillRect(screen, nullptr, 0);
        addons->over_views(live);
        EXPECT_EQ(glyph_mismatches(screen, 196, 27, "Split +0.20", small_font, 0xFFFFFF), 0);
        EXPECT_EQ(glyph_mismatches(screen, 196, 13, "Ghost +0.20", small_font, 0xFFFFFF), 0);
        shown++;
    }
    EXPECT_EQ(shown, 1) << "the first checkpoint was reached";
}
