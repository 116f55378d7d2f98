// SPDX-License-Identifier: GPL-3.0-or-later
// A race is a value: races run side by side without touching each other, a
// copy is a save that a later assignment restores exactly, the set-up's
// draws come from a generator value, and the race screen hands every
// overlay pass back to the screen loop.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/files.h"
#include "harness.h"
#include "race/race.h"
#include "replay/replay.h"
#include "test_view_support.h"
#include "track/track.h"
#include "view/view.h"

namespace {

std::vector<std::string> shipped_tracks() {
    std::vector<std::string> names;
    read_catalogue("filut/levelit/all_levels.txt");
    for (int i = 0; i <= last_level_index; i++) names.push_back(level_names[i]);
    return names;
}

std::string track_file(const std::string& name) { return "filut/levelit/" + name + ".txt"; }

// A race of its own on its own track.
struct OwnRace {
    Race race = new_race();
    std::unique_ptr<Track> track{new Track()};
    OwnRace(const std::string& file, const RaceSetup& setup, uint32_t seed) {
        Random draws = make_random(seed);
        setup_race(race, *track, draws, setup, file.c_str());
    }
};

// Steering that changes now and then, different for every seed.
struct Driver {
    std::mt19937 rng;
    int bits = 0, hold = 0;
    explicit Driver(unsigned seed) : rng(seed) {}
    RaceInput next() {
        if (hold-- <= 0) {
            bits = (int)(rng() % 256) | (rng() % 3 ? SIM_UP | SIM_W : 0);
            hold = 1 + (int)(rng() % 30);
        }
        return input_of_script_keys(bits);
    }
};

}  // namespace

TEST(RaceValue, RacesSideBySideEqualTheSameRacesRunAlone) {
    start_game_headless();
    const RaceSetup one = {{7, 2, 5}, 2, false};
    const RaceSetup two = {{10, 10, 10}, 1, true};
    const std::string a_file = track_file("FirstLoop"), b_file = track_file("Serpent");
    const int steps = 1500;

    std::vector<uint32_t> alone_a, alone_b;
    {
        OwnRace a(a_file, one, 11);
        Driver da(1);
        for (int i = 0; i < steps; i++) {
            race_step(a.race, *a.track, da.next());
            alone_a.push_back(race_checksum(a.race));
        }
        OwnRace b(b_file, two, 12);
        Driver db(2);
        for (int i = 0; i < steps; i++) {
            race_step(b.race, *b.track, db.next());
            alone_b.push_back(race_checksum(b.race));
        }
    }
    // Interleaved unevenly, with the game's own race stepping in between.
    start_game_headless();
    race_settings.level_index = 0;
    load_level();
    OwnRace a(a_file, one, 11), b(b_file, two, 12);
    Driver da(1), db(2);
    int ia = 0, ib = 0;
    std::mt19937 order(5);
    while (ia < steps || ib < steps) {
        if (ia < steps && (ib >= steps || order() % 3)) {
            race_step(a.race, *a.track, da.next());
            ASSERT_EQ(race_checksum(a.race), alone_a[ia]) << "race A, step " << ia + 1;
            ia++;
        } else {
            race_step(b.race, *b.track, db.next());
            ASSERT_EQ(race_checksum(b.race), alone_b[ib]) << "race B, step " << ib + 1;
            ib++;
        }
        race_step(live_race, loaded_track, RaceInput());
    }
    EXPECT_EQ(a.race.step, steps);
    EXPECT_NE(alone_a.back(), alone_b.back());
}

TEST(RaceValue, RestoringASavedRaceReplaysEveryStepExactly) {
    start_game_headless();
    const std::vector<std::string> names = shipped_tracks();
    ASSERT_GE(names.size(), 14u);
    int compared = 0;
    for (const std::string& name : names)
        for (bool two : {false, true}) {
            const RaceSetup setup = {{10, 4, 7}, 3, two};
            OwnRace r(track_file(name), setup, 3);
            Driver drive(9);
            for (int i = 0; i < 300; i++) race_step(r.race, *r.track, drive.next());

            const Race saved = r.race;
            const Driver saved_driver = drive;
            std::vector<uint32_t> first;
            for (int i = 0; i < 200; i++) {
                race_step(r.race, *r.track, drive.next());
                first.push_back(race_checksum(r.race));
            }
            const Race after = r.race;
            ASSERT_FALSE(same_race(after, saved)) << name << ": the race moved";

            r.race = saved;
            drive = saved_driver;
            ASSERT_TRUE(same_race(r.race, saved));
            for (int i = 0; i < 200; i++) {
                race_step(r.race, *r.track, drive.next());
                ASSERT_EQ(race_checksum(r.race), first[i]) << name << (two ? " two" : " one") << " step " << i;
            }
            EXPECT_TRUE(same_race(r.race, after)) << name;
            compared++;
        }
    EXPECT_EQ(compared, 2 * (int)names.size());
}

TEST(RaceValue, ARaceHoldsOnlyWhatItNeeds) {
    // Saving a race is a copy, so it must stay small: no track, no grid.
    EXPECT_LT(sizeof(Race), 2048u);
    const Race a = new_race();
    Race b = a;
    EXPECT_TRUE(same_race(a, b));
    b.checkpoint_lit[MAX_CHECKPOINTS - 1] = 1;
    EXPECT_FALSE(same_race(a, b));
    b = a;
    b.balls[MAX_BALLS - 1].aim[2] = 0.5f;
    EXPECT_FALSE(same_race(a, b));
}

TEST(RaceRandom, GivesTheCLibrarysNumbersForEverySeed) {
    for (unsigned seed : {0u, 1u, 2u, 99u, 4242u, 123456789u, (unsigned)INT_MAX, 4294967295u}) {
        std::srand(seed);
        Random r = make_random(seed);
        for (int i = 0; i < 5000; i++) ASSERT_EQ(random_next(r), std::rand()) << "seed " << seed << " draw " << i;
    }
    // A copy goes on from where the original stood, apart from it.
    Random a = make_random(7);
    random_next(a);
    Random b = a;
    const int next = random_next(a);
    EXPECT_EQ(random_next(b), next);
    random_next(a);
    random_next(a);
    Random c = make_random(7);
    random_next(c);
    EXPECT_EQ(random_next(c), next);
}

TEST(RaceScreen, EveryOverlayPassGoesBackToTheScreenLoop) {
    start_game_headless();
    race_settings.level_index = 0;
    load_level();   // the countdown runs for the first four seconds
    race_screen_pass();
    ASSERT_TRUE(race_frame_open()) << "the first frame opens the countdown";
    const Race after_first_step = live_race;
    int passes = 0;
    while (race_frame_open() && passes < 1000) {
        race_screen_pass();
        passes++;
        // Nothing of the race moves while its overlay runs.
        ASSERT_TRUE(same_race(live_race, after_first_step));
    }
    EXPECT_FALSE(race_frame_open());
    EXPECT_GE(passes, 350);   // about four seconds of 10 ms passes
    EXPECT_LE(passes, 401);
    EXPECT_EQ(game_screen, SCREEN_RACE);
    EXPECT_EQ(live_race.step, 1);
    race_screen_pass();   // the next frame runs the race
    EXPECT_FALSE(race_frame_open());
    EXPECT_EQ(live_race.step, 2);
}

TEST(DataFolder, TheGameNeverChangesItsWorkingDirectory) {
    char before[PATH_MAX];
    ASSERT_NE(getcwd(before, sizeof before), nullptr);
    start_game_headless();
    race_settings.level_index = 0;
    load_level();
    char after[PATH_MAX];
    ASSERT_NE(getcwd(after, sizeof after), nullptr);
    EXPECT_EQ(std::string(before), std::string(after));
    // Every data file comes through one path.
    EXPECT_EQ(data_path("set.png"), data_folder() + "/set.png");
    EXPECT_EQ(level_file_path("FirstLoop"), data_folder() + "/levelit/FirstLoop.txt");
}
