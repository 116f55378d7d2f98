// SPDX-License-Identifier: GPL-3.0-or-later
// Cups: the points and standings, the cup file's checks, and
// chainball-sim --cup against the same races run one by one.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "config/cups.h"
#include "core/files.h"
#include "harness.h"
#include "race/cup.h"
#include "test_sim_support.h"

namespace {

CupRaceResult places(int a, int b, int c) {
    CupRaceResult r;
    r.place[0] = a;
    r.place[1] = b;
    r.place[2] = c;
    return r;
}

}  // namespace

TEST(CupPoints, TenSixThreeAndATieGoesToTheBetterLastFinish) {
    EXPECT_EQ(cup_points(1), 10);
    EXPECT_EQ(cup_points(2), 6);
    EXPECT_EQ(cup_points(3), 3);
    EXPECT_EQ(cup_points(4), 0);
    EXPECT_EQ(cup_points(0), 0);

    // Racer 0 wins, then comes third: 13; racer 2 third, then first: 13 too,
    // and its win in the last race puts it ahead.
    std::vector<CupStanding> s = cup_standings({places(1, 2, 3), places(3, 2, 1)});
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].racer, 2);
    EXPECT_EQ(s[0].total, 13);
    EXPECT_EQ(s[0].race_points, 10);
    EXPECT_EQ(s[1].racer, 0);
    EXPECT_EQ(s[1].total, 13);
    EXPECT_EQ(s[1].gap, 0);
    EXPECT_EQ(s[1].position, 2);
    EXPECT_EQ(s[2].racer, 1);
    EXPECT_EQ(s[2].total, 12);
    EXPECT_EQ(s[2].gap, 1);

    // A racer out of the race has no line; a time counts only when it
    // finished every race.
    CupRaceResult a = places(2, 0, 1), b = places(1, 0, 2);
    a.finished[0] = 500;
    a.finished[2] = 400;
    b.finished[0] = 450;
    s = cup_standings({a, b});
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].racer, 0);
    EXPECT_EQ(s[0].total_steps, 950);
    EXPECT_EQ(s[1].total_steps, 0);
}

// An abandoned race puts the players still racing after the computers,
// whatever their progress.
TEST(CupPoints, AnAbandonedRaceCountsAsLast) {
    Race race = new_race();
    std::unique_ptr<Track> track(new Track);
    clear_track(*track);
    Random random = make_random(1);
    setup_race(race, *track, random, {{7, 2, 5}, 1, false, 0}, source_path("filut/levelit/FirstLoop.txt").c_str());
    // Up held until player 1 is ahead of a computer.
    for (int i = 0; i < 3000 && cup_race_result(race, *track, false).place[0] == 3; i++)
        race_step(race, *track, RaceInput{{ACTION_FORWARD, 0}});
    const CupRaceResult going = cup_race_result(race, *track, false), left = cup_race_result(race, *track, true);
    ASSERT_LT(going.place[0], 3);
    EXPECT_EQ(left.place[0], 3);
    EXPECT_EQ(left.place[1] < left.place[2], going.place[1] < going.place[2]);
    EXPECT_EQ(left.place[1] + left.place[2], 3);
}

TEST(CupFile, TheShippedCupsAndBrokenFilesRefusedWithOneLine) {
    read_catalogue();
    std::vector<cup_def> cups;
    std::string why;
    ASSERT_TRUE(read_cups(cups_file_path(), catalogue_tracks(), cups, why)) << why;
    ASSERT_EQ(cups.size(), 3u);
    EXPECT_EQ(cups[0].tracks[0], "FirstLoop");
    for (const cup_def& c : cups) {
        EXPECT_GE(c.tracks.size(), 4u);
        EXPECT_LE(c.tracks.size(), 5u);
    }

    const std::string nine = "\"FirstLoop\", \"FirstLoop\", \"FirstLoop\"";
    const std::vector<std::pair<std::string, std::string>> broken = {
        {"[[cup]]\nname = \"A\"\ntracks = [\"FirstLoop\", \"Nowhere\"]\n", "cup 1: unknown track 'Nowhere'"},
        {"[[cup]]\nname = \"A\"\ntracks = []\n", "cup 1: holds no track"},
        {"[[cup]]\nname = \"A\"\ntracks = [" + nine + ", " + nine + ", " + nine + "]\n",
         "cup 1: holds 9 tracks; a cup holds at most 8"},
        {"[[cup]]\nname = \"A\"\ntracks = [\"FirstLoop\"\n", "line 3, column 23: "},
        {"[[cup]]\nname = \"Caf\xc3\xa9\"\ntracks = [\"FirstLoop\"]\n", "line 2, column 12: a byte that is not ASCII"},
        {"[[cup]]\nname = \"A\"\ntracks = [\"FirstLoop\"]\n[[cup]]\nname = \"A\"\ntracks = [\"FirstLoop\"]\n",
         "cup 2: the name 'A' is taken"},
        {"title = \"cups\"\n", "unknown key 'title'"},
        {"", "no [[cup]] table"},
    };
    for (const auto& [text, line] : broken) {
        EXPECT_FALSE(parse_cups(text, catalogue_tracks(), cups, why)) << text;
        EXPECT_EQ(why.find(line), 0u) << why;
        EXPECT_EQ(why.find('\n'), std::string::npos);
        EXPECT_TRUE(cups.empty());
    }
    // The kit's check says the same, naming the file, with status 1.
    std::string output;
    const std::string bad = scratch_file(broken[0].first);
    EXPECT_EQ(run("./chainball-track cup " + bad + " 2>&1", output), 1);
    EXPECT_EQ(output, "chainball-track: cups " + bad + ": cup 1: unknown track 'Nowhere'\n");
    EXPECT_EQ(run("./chainball-track cup filut/cups.toml 2>&1", output), 0) << output;
}

namespace {

// The places of a single race from chainball-sim's step records: finished
// racers by the step their laps were complete, then the others (here only
// player 1, standing still) last.
std::vector<int> places_from_steps(const std::string& out, int laps) {
    long long finished[RACERS] = {0, 0, 0}, step = 0;
    std::istringstream in(out);
    std::string word;
    while (in >> word) {
        if (word == "step") in >> step;
        if (word != "racer") continue;
        int r, completed;
        double speed;
        in >> r >> speed >> completed;
        if (completed >= laps && finished[r] == 0) finished[r] = step;
    }
    std::vector<int> place(RACERS, 1);
    for (int r = 0; r < RACERS; r++)
        for (int o = 0; o < RACERS; o++) {
            const bool ahead = finished[o] > 0 && (finished[r] == 0 || finished[o] < finished[r] ||
                                                   (finished[o] == finished[r] && o < r));
            place[r] += o != r && ahead;
        }
    return place;
}

}  // namespace

// The cup's standings are the points of its races run one by one, added up.
TEST(CupSim, StandingsAreTheSumOfTheSingleRaces) {
    const sim_run cup = sim({"--cup", "Meadow Cup", "--laps", "1", "--difficulty", "good", "--steps", "2500"});
    ASSERT_EQ(cup.status, 0) << cup.err;
    std::vector<cup_def> cups;
    std::string why;
    read_catalogue();   // run alone, no other test has read it
    ASSERT_TRUE(read_cups("filut/cups.toml", catalogue_tracks(), cups, why)) << why;
    int totals[RACERS] = {0, 0, 0};
    for (const std::string& track : cups[0].tracks) {
        const sim_run one = sim({"--laps", "1", "--difficulty", "good", "--steps", "2500", "filut/levelit/" + track + ".txt"});
        ASSERT_EQ(one.status, 0) << one.err;
        const std::vector<int> place = places_from_steps(one.out, 1);
        for (int r = 0; r < RACERS; r++) totals[r] += cup_points(place[r]);
    }
    // The last standings lines: position, racer, race points, total, gap.
    const std::string last = cup.out.substr(cup.out.rfind("race "));
    std::istringstream in(last.substr(last.find("standing")));
    std::string word;
    int lines = 0, leader = -1;
    while (in >> word && word == "standing") {
        int position, racer, race_points, total, gap;
        in >> position >> racer >> race_points >> total >> gap;
        EXPECT_EQ(total, totals[racer]) << "racer " << racer;
        if (leader < 0) leader = total;
        EXPECT_EQ(gap, leader - total);
        lines++;
    }
    EXPECT_EQ(lines, RACERS);

    const sim_run unknown = sim({"--cup", "No Such Cup"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err.find("chainball-sim: no cup 'No Such Cup' in "), 0u) << unknown.err;
    EXPECT_EQ(sim({"--cup", "Meadow Cup", "filut/levelit/FirstLoop.txt"}).status, 2);
}

// A saved cup and the cups' records read back as written; what does not
// add up is refused with its cause.
TEST(CupFile, SavesAndRecordsReadBackAndRefuseWhatDoesNotAddUp) {
    cup_progress p;
    p.cup = {"Meadow Cup", {"FirstLoop", "StepDown", "Paperclip"}};
    p.lengths[2] = 0;
    p.two_players = true;
    p.lengths[1] = 4;
    p.laps = 2;
    p.difficulty = 2;
    CupRaceResult r;
    r.place[0] = 2;
    r.place[1] = 1;
    r.finished[1] = 1234;
    p.races = {r, r};
    cup_progress back;
    std::string why;
    ASSERT_TRUE(parse_cup_progress(format_cup_progress(p), back, why)) << why;
    EXPECT_EQ(format_cup_progress(back), format_cup_progress(p));

    std::string text = format_cup_progress(p);
    text.replace(text.find("places = [ 2, 1, 0 ]"), 20, "places = [ 1, 1, 0 ]");
    EXPECT_FALSE(parse_cup_progress(text, back, why));
    EXPECT_EQ(why, "a race's places do not add up");
    p.races.push_back(r);
    EXPECT_FALSE(parse_cup_progress(format_cup_progress(p), back, why));
    EXPECT_EQ(why, "no race run, or the cup is over");

    std::vector<cup_record> list;
    EXPECT_TRUE(offer_cup_record(list, {"Meadow Cup", 0, 7, 3, 2, 9000, "2026-12-08 09:00"}));
    EXPECT_FALSE(offer_cup_record(list, {"Meadow Cup", 0, 7, 3, 3, 9500, "2026-12-08 10:00"}));
    EXPECT_TRUE(offer_cup_record(list, {"Meadow Cup", 0, 7, 3, 3, 8000, "2026-12-08 11:00"}));
    EXPECT_TRUE(offer_cup_record(list, {"Meadow Cup", 1, 7, 3, 3, 0, ""}));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].position, 2) << "the best place and the best time count apart";
    EXPECT_EQ(list[0].steps, 8000);
    std::string kept = format_cup_records(list);
    const std::vector<cup_record> read = parse_cup_records(kept, why);
    EXPECT_EQ(why, "");
    EXPECT_EQ(format_cup_records(read), kept);
    kept.replace(kept.find("position = 2"), 12, "position = 9");
    EXPECT_EQ(parse_cup_records(kept, why).size(), 1u);
    EXPECT_EQ(why, "1 entry out of bounds left out");
}
