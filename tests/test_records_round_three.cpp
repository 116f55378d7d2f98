// SPDX-License-Identifier: GPL-3.0-or-later
// Records and settings kept by two games at once (under the lock beside each
// file, re-read and merged), and the readers' lines on hostile files: one
// printable line each, naming the cause.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/config.h"
#include "config/records.h"
#include "core/files.h"
#include "harness.h"

namespace {

// A race record on slot `laps` of a made-up track, set by `replay`.
record_entry race_record(int laps, long long steps, const std::string& replay) {
    record_entry e;
    e.track = "FirstLoop";
    e.track_sha256 = std::string(64, 'a');
    e.laps = laps;
    e.length = 7;
    e.kind = record_kind::race;
    e.steps = steps;
    e.replay = replay;
    return e;
}

// Game `game`'s try `i` on slot 1 + i % 10: each game is the faster on half
// the slots, and its second try there the faster of its two.
long long time_of(int game, int i) { return 3000 - 7 * i + 50 * ((i + game) % 2); }
std::string replay_of(int game, int i) { return "game" + std::to_string(game) + "-" + std::to_string(i); }

int lines(const std::string& s) { return (int)std::count(s.begin(), s.end(), '\n'); }

}  // namespace

TEST(SharedRecords, TwoGamesSavingAtOnceLoseNoRecordAndNoReplay) {
    const std::string dir = scratch_dir() + "/chainball", path = dir + "/records.toml";
    std::string why;
    ASSERT_TRUE(make_folders(dir + "/records", why)) << why;
    pid_t games[2];
    for (int game = 0; game < 2; game++) {
        if ((games[game] = fork()) != 0) continue;
        for (int i = 0; i < 20; i++) {
            records now;
            std::vector<std::string> gone;
            std::string text;
            std::vector<std::string> problems;
            const record_entry mine = race_record(1 + i % 10, time_of(game, i), replay_of(game, i));
            if (!write_file_atomically(dir + "/records/" + mine.replay, "a replay", why) ||
                save_new_records(path, {mine}, nullptr, now, gone, stderr) != save_result::written)
                _exit(2);
            for (const std::string& g : gone) unlink((dir + "/records/" + g).c_str());
            // The file parses whole whenever the other game may read it.
            if (!read_regular_file(path.c_str(), MAX_RECORDS_BYTES, text, why)) _exit(3);
            parse_records(text, problems);
            if (!problems.empty()) _exit(4);
        }
        _exit(0);
    }
    for (pid_t pid : games) {
        int status = -1;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    const records kept = read_records(path, stderr);
    ASSERT_EQ(kept.entries.size(), 10u);
    std::vector<std::string> wanted, found;
    for (int slot = 1; slot <= 10; slot++) {
        const int game = (slot + 1) % 2, i = slot + 9;   // the faster game's second try
        const record_entry* e = find_record(kept, "FirstLoop", slot, 7, record_kind::race, false);
        ASSERT_NE(e, nullptr) << "slot " << slot;
        EXPECT_EQ(e->steps, time_of(game, i)) << "slot " << slot;
        EXPECT_EQ(e->replay, replay_of(game, i)) << "slot " << slot;
        wanted.push_back(replay_of(game, i));
    }
    // Every record's replay is there, and none is left that no record uses.
    DIR* d = opendir((dir + "/records").c_str());
    while (const dirent* f = d ? readdir(d) : nullptr)
        if (f->d_name[0] != '.') found.push_back(f->d_name);
    if (d) closedir(d);
    std::sort(found.begin(), found.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(found, wanted);
}

TEST(SharedRecords, ALockHeldTooLongCostsOneLineAndChangesNothing) {
    const std::string dir = scratch_dir();
    const std::string records_file = dir + "/records.toml", settings_file = dir + "/chainball.toml";
    records first, now;
    offer_record(first, race_record(3, 4000, "old"));
    ASSERT_TRUE(write_records(records_file, first, stderr));
    std::string why;
    const int held[2] = {lock_beside(records_file, 0, why), lock_beside(settings_file, 0, why)};
    ASSERT_TRUE(held[0] >= 0 && held[1] >= 0) << why;
    std::vector<std::string> gone;
    game_config mine;
    mine.scale = 3;
    save_result got[2];
    const auto start = std::chrono::steady_clock::now();
    const std::string err = capture_stderr([&] {
        got[0] = save_new_records(records_file, {race_record(3, 3000, "new")}, nullptr, now, gone, stderr);
        got[1] = save_config_changes(settings_file, game_config(), mine, stderr);
    });
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(got[0] == save_result::locked && got[1] == save_result::locked);
    EXPECT_GE(waited, 2 * LOCK_WAIT_MS / 1000.0 - 0.2);
    EXPECT_LT(waited, 2 * LOCK_WAIT_MS / 1000.0 + 2);
    EXPECT_EQ(lines(err), 2) << err;
    EXPECT_NE(err.find("records.toml.lock"), std::string::npos) << err;
    EXPECT_TRUE(gone.empty());   // the new replay waits with its record
    EXPECT_EQ(format_records(read_records(records_file, stderr)), format_records(first));
    // Given back, the lock lets the saves through.
    unlock_beside(held[0]);
    unlock_beside(held[1]);
    EXPECT_EQ(save_new_records(records_file, {race_record(3, 3000, "new")}, nullptr, now, gone, stderr),
              save_result::written);
    EXPECT_EQ(gone, std::vector<std::string>{"old"});
    EXPECT_EQ(save_config_changes(settings_file, game_config(), mine, stderr), save_result::written);
    EXPECT_EQ(read_config(settings_file, stderr).scale, 3);
}

TEST(SharedSettings, EachGameKeepsWhatTheOtherChanged) {
    const std::string path = scratch_dir() + "/chainball.toml";
    const game_config started;   // what both games read
    // The other game turns the music off and gives player 1 the key I.
    game_config theirs = started, mine = started;
    theirs.music = false;
    theirs.drive[0][ACT_FORWARD].code = 'i';
    ASSERT_EQ(save_config_changes(path, started, theirs, stderr), save_result::written);
    // This one changes the scale and gives I to player 2.
    mine.scale = 2;
    mine.drive[1][ACT_FORWARD].code = 'i';
    ASSERT_EQ(save_config_changes(path, started, mine, stderr), save_result::written);
    game_config back;
    const std::string err = capture_stderr([&] { back = read_config(path, stderr); });
    EXPECT_EQ(err, "");   // no key bound twice: the bindings went as one set
    EXPECT_FALSE(back.music);
    EXPECT_EQ(back.scale, 2);
    EXPECT_EQ(back.drive[1][ACT_FORWARD].code, 'i');
    EXPECT_EQ(back.drive[0][ACT_FORWARD], started.drive[0][ACT_FORWARD]);
}

TEST(ReaderLines, EachProblemIsOneLineNamingItsCause) {
    std::vector<std::string> problems;
    // The default of the pad's Start is its layout's own button.
    parse_config("[pad]\nstart = -1\n", problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("using auto"), std::string::npos) << problems[0];
    // Thousands of unknown names: the first few, then how many more.
    std::string many = "[race]\n";
    for (int i = 0; i < 6000; i++) many += "k" + std::to_string(i) + " = 1\n";
    problems.clear();
    parse_config(many, problems);
    ASSERT_EQ(problems.size(), 6u);
    EXPECT_EQ(problems[5], "and 5995 more unknown settings");
    // Bytes the TOML library cannot take never reach it.
    std::string bytes, why;
    ASSERT_TRUE(read_regular_file(source_path("tests/fuzz/seeds/records/library-unreachable").c_str(), 1 << 16,
                                  bytes, why));
    problems.clear();
    EXPECT_TRUE(parse_records(bytes, problems).entries.empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("a byte that is not ASCII"), std::string::npos) << problems[0];
    // No home folder at all: the cause, not an empty path.
    const char* names[2] = {"XDG_CONFIG_HOME", "HOME"};
    std::string saved[2], err;
    for (int i = 0; i < 2; i++) {
        saved[i] = getenv(names[i]) ? getenv(names[i]) : "";
        unsetenv(names[i]);
    }
    err = capture_stderr([] { EXPECT_FALSE(write_config(config_path(), game_config(), stderr)); });
    for (int i = 0; i < 2; i++)
        if (!saved[i].empty()) setenv(names[i], saved[i].c_str(), 1);
    EXPECT_EQ(lines(err), 1) << err;
    EXPECT_NE(err.find("no home folder: HOME and XDG_CONFIG_HOME are not set"), std::string::npos) << err;
}
