// SPDX-License-Identifier: GPL-3.0-or-later
// Cups in the full game: a cup saved after its second race, continued in
// a new run to the podium with its best result kept; a damaged save
// refused; a custom cup of a --track file.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "config/cups.h"
#include "core/files.h"
#include "core/state.h"
#include "harness.h"
#include "io/assets.h"
#include "menu/cup.h"
#include "test_full_support.h"
#include "test_view_support.h"
#include "io/media.h"
#include "track/track.h"
#include "view/view.h"

namespace {

// Frames, each with `keys`, until `done` (at most `most` frames).
bool frames_until(const std::function<bool()>& done, const std::vector<SDLKey>& keys = {}, int most = 400) {
    for (int i = 0; i < most && !done(); i++) {
        for (SDLKey k : keys) push_key(k);
        screen_frame();
    }
    return done();
}

bool on_standings() { return game_screen == SCREEN_CUP_STANDINGS; }

// Escape in the race asks; "Abandon race" leaves it for the standings.
void abandon_race() {
    ASSERT_TRUE(frames_until([] { return game_screen == SCREEN_RACE; }));
    push_key(SDLK_ESCAPE);
    ASSERT_TRUE(frames_until([] { return paused; }, {}, 5));
    push_key(SDLK_DOWN);
    push_key(SDLK_RETURN);
    ASSERT_TRUE(frames_until(on_standings, {}, 5)) << game_screen;
}

// The catalogue of one --track file for one test, put back after it.
struct OneTrackCatalogue {
    explicit OneTrackCatalogue(const std::string& path) : file(path) { catalogue_of_one_file(file.c_str()); }
    ~OneTrackCatalogue() {
        track_file_override = nullptr;
        read_catalogue();
    }
    std::string file;
};

// Every racer over the line, player 1 first: the results, then the standings.
void finish_race() {
    ASSERT_TRUE(frames_until([] { return game_screen == SCREEN_RACE && live_race.step > 10; }, {}, 3000)) << live_race.step;
    for (int r = 0; r < RACERS; r++) {
        live_race.racers[r].completed_laps = live_race.laps;
        live_race.clocks[r].finished = 5 + r;
    }
    ASSERT_TRUE(frames_until([] { return game_screen == SCREEN_RESULTS; }));
    ASSERT_TRUE(frames_until(on_standings, {SDLK_RETURN}));
}

std::string saved_text() { return file_contents(cup_save_path()); }

int menu_entry_index(const char* label) {
    const std::vector<menu_entry> entries = full_menu_entries();
    for (size_t i = 0; i < entries.size(); i++)
        if (std::string(entries[i].label) == label) return (int)i;
    return -1;
}

}  // namespace

TEST(CupScreens, SavedAfterTheSecondRaceContinuedInANewRunToThePodium) {
    FullGame g;
    reset_test_screens();
    ASSERT_EQ(menu_entry_index("Continue cup"), -1);
    open_test_screen(make_cup_choice_screen(*g.run));
    // The first cup, one lap a race: Down to "Laps", 3 -> 1, "Start".
    frames_until([] { return false; }, {}, 1);
    for (SDLKey k : {SDLK_DOWN, SDLK_DOWN, SDLK_DOWN, SDLK_DOWN, SDLK_LEFT, SDLK_LEFT, SDLK_DOWN, SDLK_RETURN}) {
        push_key(k);
        screen_frame();
    }
    finish_race();
    ASSERT_TRUE(frames_until([] { return game_screen == SCREEN_RACE; }, {SDLK_RETURN}));
    abandon_race();
    cup_progress saved;
    std::string why;
    ASSERT_TRUE(parse_cup_progress(saved_text(), saved, why)) << why;
    EXPECT_EQ(saved.cup.name, "Meadow Cup");
    EXPECT_EQ(saved.laps, 1);
    ASSERT_EQ(saved.races.size(), 2u);
    EXPECT_EQ(saved.races[0].place[0], 1) << "over the line first";
    EXPECT_EQ(saved.races[1].place[0], 3) << "the abandoned race counts as last";

    // A new run: the menu offers the saved cup, which goes on where it was.
    reset_test_screens();
    *g.run = FullGameRun();
    const int entry = menu_entry_index("Continue cup");
    ASSERT_GE(entry, 0);
    screen_frame();
    for (int i = 0; i < entry; i++) {
        push_key(SDLK_DOWN);
        screen_frame();
    }
    push_key(SDLK_RETURN);
    screen_frame();
    ASSERT_TRUE(on_standings());
    for (int race = 3; race <= 5; race++) {
        ASSERT_TRUE(frames_until([] { return game_screen == SCREEN_RACE; }, {SDLK_RETURN})) << race;
        abandon_race();
    }
    EXPECT_FALSE(saved_cup_waits()) << "a finished cup leaves no save";
    push_key(SDLK_RETURN);   // "Podium"
    screen_frame();
    screen_frame();
    EXPECT_EQ(pixel_at(screen, 200, 410), 0xD4AF37u) << "the winner's gold step";

    // 10 + 4 x 3 = 22 points: behind both computers, whose least is 3 + 4 x 6.
    const std::vector<cup_record> records = read_cup_records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].cup, "Meadow Cup");
    EXPECT_EQ(records[0].laps, 1);
    EXPECT_EQ(records[0].position, 3);
    EXPECT_EQ(records[0].steps, 0) << "no total time without every race finished";
    ASSERT_TRUE(frames_until([] { return game_screen == SCREEN_MENU; }, {SDLK_RETURN}));
    EXPECT_EQ(menu_entry_index("Continue cup"), -1);

    // The Records screen lists it after the tracks' records (none here).
    open_test_screen(make_records_screen(*g.run));
    screen_frame();
    screen_frame();
    EXPECT_EQ(glyph_mismatches(screen, 40, 178, "Meadow Cup     Classic  7  1 3rd         -", small_font, 0xFFFFFF), 0);
}

TEST(CupScreens, ADamagedSaveIsRefusedWithOneLineAndPutAside) {
    FullGame g;
    std::string why;
    ASSERT_TRUE(write_file_atomically(cup_save_path(), "cup = \"Meadow Cup\"\ntracks = [\"FirstLoop\"\nlaps = 1\n", why));
    ASSERT_TRUE(saved_cup_waits());
    reset_test_screens();
    const std::string err = capture_stderr([&g] { open_test_screen(make_continue_cup_screen(*g.run)); });
    EXPECT_EQ(err.find("chainball: The saved cup cannot go on: line 3, column 1:"), 0u) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1);
    EXPECT_FALSE(saved_cup_waits());
    EXPECT_NE(file_contents(g.data_home + "/chainball/cup-damaged.toml"), "");
    ASSERT_TRUE(frames_until([] { return game_screen == SCREEN_MENU; }, {SDLK_RETURN}));
}

// With --track, the catalogue is that file alone: the custom cup races it.
TEST(CupScreens, ACustomCupOfATrackFile) {
    FullGame g;
    const OneTrackCatalogue one(source_path("tests/data/replays/Straight.txt"));
    reset_test_screens();
    open_test_screen(make_cup_choice_screen(*g.run));
    screen_frame();
    // "Add" twice, then "Start": Cup, Players, Length, Drivers, Laps, Add, Remove, Start.
    std::vector<SDLKey> keys(5, SDLK_DOWN);
    for (SDLKey k : {SDLK_RETURN, SDLK_RETURN, SDLK_DOWN, SDLK_DOWN, SDLK_RETURN}) keys.push_back(k);
    for (SDLKey k : keys) {
        push_key(k);
        screen_frame();
    }
    // Escape asks; "Keep racing" goes on with the race.
    ASSERT_TRUE(frames_until([] { return game_screen == SCREEN_RACE; }));
    push_key(SDLK_ESCAPE);
    ASSERT_TRUE(frames_until([] { return paused; }, {}, 5));
    push_key(SDLK_RETURN);
    screen_frame();
    const long long step = live_race.step;
    frames_until([] { return false; }, {}, 5);
    EXPECT_EQ(game_screen, SCREEN_RACE);
    EXPECT_FALSE(paused);
    EXPECT_GT(live_race.step, step);
    abandon_race();
    cup_progress saved;
    std::string why;
    ASSERT_TRUE(parse_cup_progress(saved_text(), saved, why)) << why;
    EXPECT_EQ(saved.cup.name, CUSTOM_CUP);
    EXPECT_EQ(saved.cup.tracks, std::vector<std::string>({"Straight", "Straight"}));
    ASSERT_TRUE(frames_until([] { return game_screen == SCREEN_RACE; }, {SDLK_RETURN}));
    EXPECT_EQ(plan_track_file(RacePlan()), one.file);
    abandon_race();
    EXPECT_FALSE(saved_cup_waits());
    EXPECT_TRUE(read_cup_records().empty()) << "a custom cup keeps no record";
}
