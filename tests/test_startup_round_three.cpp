// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, third round: what the game quotes in its messages kept to one
// printable line, and a replay's own track and file name shown as they are.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "config/config.h"
#include "core/files.h"
#include "core/state.h"
#include "harness.h"
#include "menu/menu.h"
#include "menu/trial.h"
#include "replay/replay.h"
#include "replay/session.h"
#include "sim/sim.h"
#include "test_full_support.h"
#include "test_view_support.h"
#include "view/race_screen.h"

namespace {

// One line of printable ASCII, ending in its newline.
bool one_printable_line(const std::string& s) {
    if (s.empty() || s.back() != '\n') return false;
    return std::all_of(s.begin(), s.end() - 1, [](char c) { return c >= 0x20 && c < 0x7f; });
}

std::string test_replay() {
    std::string bytes, why;
    EXPECT_TRUE(read_regular_file(source_path("tests/data/replays/straight-one-player.cbreplay").c_str(),
                                  MAX_REPLAY_BYTES, bytes, why)) << why;
    return bytes;
}

// The test replay, carrying `text` as its own track named `name`.
std::string replay_carrying(const std::string& name, const std::string& text) {
    std::string why;
    replay r;
    EXPECT_TRUE(parse_replay(test_replay(), r, why)) << why;
    r.track_name = name;
    r.track_text = text;
    r.track_sha256 = sha256_hex(text);
    return format_replay(r);
}

}  // namespace

// A file name, a settings value and the environment, each holding an escape
// sequence and a newline, quoted by the game's messages as one printable line.
TEST(StartupMessages, QuotedBytesStayOnOnePrintableLine) {
    const std::string hostile = "a\x1b[2J\nb";
    std::vector<std::string> lines;
    {
        FullGame game;   // puts the settings folder back
        setenv("XDG_CONFIG_HOME", (scratch_dir() + "/" + hostile).c_str(), 1);
        game_config settings;
        settings.track = hostile;   // no such track in the catalogue
        FILE* err = tmpfile();
        apply_full_settings(*game.run, settings, err);
        lines.push_back(read_back(err));
    }
    {
        CatalogueSwap keep({});
        const std::string missing = scratch_dir() + "/" + hostile;
        lines.push_back(capture_stderr([&] { read_catalogue(missing.c_str()); }));
    }
    sim_options opt;
    opt.keys_file = scratch_dir() + "/" + hostile;
    std::ofstream(opt.keys_file) << "5 NOKEY\n";
    FILE* err = tmpfile();
    std::vector<sim_segment> script;
    EXPECT_FALSE(read_sim_script(opt, script, err));
    lines.push_back(read_back(err));
    std::string out;
    EXPECT_EQ(run("env -u SDL_VIDEODRIVER DISPLAY=\"$(printf ':9\\033[2J\\nb')\" ./chainball", out), 1);
    lines.push_back(out);

    for (const std::string& line : lines) {
        EXPECT_TRUE(one_printable_line(line)) << printable(line, 400);
        EXPECT_NE(line.find("\\x1b[2J\\x0a"), std::string::npos) << line;
    }
}

// A watched replay's own track that is no level is named as the replay
// names it, and a race on it at the keys is recorded on that track, not on
// the catalogue's first.
TEST(StartupReplays, AReplaysOwnTrackGoesByItsOwnName) {
    FullGame game;
    const std::string text = "9999\n";   // a size field out of range
    const std::string file = scratch_file(replay_carrying("Carried", text));
    WatchedReplay watched;
    ASSERT_TRUE(load_replay_to_watch(file, false, "", watched));
    const RacePlan plan = replay_plan(watched);
    reset_test_screens();
    const std::string said = capture_stderr([&] {
        open_test_screen(make_race_screen(plan, replay_source(watched.rep)));
        race_frame();
    });
    EXPECT_NE(said.find("level file Carried (embedded in the replay): size field"), std::string::npos) << said;
    EXPECT_EQ(said.find(level_names[0]), std::string::npos) << said;

    const std::string dir = scratch_dir();
    ASSERT_TRUE(start_recording(dir));
    reset_test_screens();
    capture_stderr([&] {
        open_test_screen(make_race_screen(plan));   // "Race again": at the keys
        race_frame();
        push_key(SDLK_ESCAPE);
        race_frame();
    });
    const std::string path = last_recording();
    stop_recording();
    std::string bytes, why;
    replay recorded;
    ASSERT_TRUE(read_regular_file(path.c_str(), MAX_REPLAY_BYTES, bytes, why)) << why;
    ASSERT_TRUE(parse_replay(bytes, recorded, why)) << why;
    EXPECT_EQ(recorded.track_name, "Carried");
    EXPECT_EQ(recorded.track_text, text);
    EXPECT_EQ(recorded.track_sha256, sha256_hex(text));
}

// The Replays list dates only the names the game gave, and a name holding
// a newline is shown as printable text, never as a glyph of its own.
TEST(StartupReplays, ReplaysListDatesOnlyDatedNamesAndShowsNamesPrintable) {
    FullGame game;
    std::string why;
    ASSERT_TRUE(make_folders(replays_folder(), why)) << why;
    // Newest first, by name: these three in this order.
    for (const char* name : {"zz race.cbreplay", "a\nb.cbreplay", "20260102-030405-Straight.cbreplay"})
        std::ofstream(replays_folder() + "/" + name, std::ios::binary) << test_replay();
    reset_test_screens();
    open_test_screen(make_replays_screen(*game.run));
    screen_frame();
    const std::string rest = " 1P Off-road Free  P1 won " + race_time(129);
    const std::string undated = "Straight     " + std::string(16, ' ') + rest;
    const std::string dated = "Straight     2026-01-02 03:04" + rest;
    EXPECT_EQ(glyph_mismatches(screen, 30, 150, undated.c_str(), small_font, 0xFFFFFF), 0) << undated;
    EXPECT_EQ(glyph_mismatches(screen, 30, 190, dated.c_str(), small_font, 0xFFFFFF), 0) << dated;
    // Where the dated row has its date, the undated row has no text at all.
    int from = 0, to = 0, h = 0;
    TTF_SizeText(small_font, "Straight     ", &from, &h);
    TTF_SizeText(small_font, "Straight     2026-01-02 03:04", &to, &h);
    int white = 0;
    for (int y = 150; y < 150 + h; y++)
        for (int x = 30 + from; x < 30 + to; x++) white += pixel_at(screen, x, y) == 0xFFFFFF;
    EXPECT_EQ(white, 0) << "a date made up from the name";

    push_key(SDLK_DOWN);
    screen_frame();
    push_key(SDLK_DELETE);
    screen_frame();
    screen_frame();   // the key is taken after the frame is drawn
    EXPECT_EQ(glyph_mismatches(screen, 30, 460, "Delete a\\x0ab.cbreplay? Enter/Y deletes", small_font, 0xFFFFFF), 0);
    const std::string odd = replays_folder() + "/a\nb.cbreplay";
    struct stat st;
    // Escape and N keep it (Escape does not leave the screen while asked);
    // other keys are no answer; Enter and Y delete.
    for (SDLKey answer : {SDLK_ESCAPE, SDLK_n, SDLK_y}) {
        if (answer != SDLK_ESCAPE) push_key(SDLK_DELETE);
        push_key(SDLK_x);
        push_key(answer);
        screen_frame();
        screen_frame();
        EXPECT_EQ(game_screen, SCREEN_REPLAYS);
        const bool kept = answer != SDLK_y;
        EXPECT_EQ(stat(odd.c_str(), &st) == 0, kept) << (int)answer;
        EXPECT_EQ(glyph_mismatches(screen, 30, 460, kept ? "Kept a\\x0ab.cbreplay" : "Deleted a\\x0ab.cbreplay",
                                   small_font, 0xFFFFFF),
                  0);
    }
}

TEST(StartupReplays, LongMessagesKeepTheirStartAndTheirEnd) {
    EXPECT_EQ(fit_message("short", 10), std::vector<std::string>{"short"});
    EXPECT_EQ(fit_message("0123456789abc", 10), (std::vector<std::string>{"0123456789", "abc"}));
    const std::string path = "Exported to /home/someone/" + std::string(100, 'd') + "/exported/20260102-r.cbreplay";
    const std::vector<std::string> lines = fit_message(path, 65);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], path.substr(0, 65));
    EXPECT_EQ(lines[1], "..." + path.substr(path.size() - 62));
}
