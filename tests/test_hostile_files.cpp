// SPDX-License-Identifier: GPL-3.0-or-later
// Files a player or the system can hand the game that are not what they
// should be: names that lead out of the level folder, FIFOs, devices,
// folders, huge files and garbage. Each is refused at once with one line
// naming the cause, and nothing hangs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "core/files.h"
#include "core/state.h"
#include "harness.h"
#include "track/track.h"

namespace {

// A hang here is a fault: SIGALRM's default action ends the test process,
// which fails the test loudly instead of blocking the suite.
struct HangGuard {
    HangGuard() { alarm(20); }
    ~HangGuard() { alarm(0); }
};

int count_lines(const std::string& s) {
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

// The FIFO, device, folder, link loop and oversized files, each with words its message must hold.
struct hostile {
    std::string path, cause;
};
std::vector<hostile> hostile_files(long long cap) {
    const std::string dir = scratch_dir();
    std::vector<hostile> files;
    const std::string fifo = dir + "/fifo.txt";
    EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    files.push_back({fifo, "FIFO"});
    const std::string zero = dir + "/zero.txt";
    EXPECT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    files.push_back({zero, "character device"});
    const std::string folder = dir + "/folder.txt";
    EXPECT_EQ(mkdir(folder.c_str(), 0700), 0);
    files.push_back({folder, "directory"});
    // Sparse: as large as it says, without writing it.
    const std::string huge = dir + "/huge.txt";
    FILE* f = fopen(huge.c_str(), "w");
    EXPECT_NE(f, nullptr);
    if (f) {
        EXPECT_EQ(ftruncate(fileno(f), cap + 1), 0);
        fclose(f);
    }
    files.push_back({huge, "larger than " + std::to_string(cap) + " bytes"});
    const std::string loop = dir + "/loop.txt";
    EXPECT_EQ(symlink(loop.c_str(), loop.c_str()), 0);
    files.push_back({loop, "symbolic links"});
    files.push_back({dir + "/missing.txt", "no such file"});
    return files;
}

}  // namespace

TEST(HostileFiles, CatalogueNamesThatLeaveTheLevelFolderAreSkipped) {
    const std::string err = capture_stderr([] {
        read_catalogue(scratch_file("ok#../../../outside/secret#a/b#c\\d#.hidden#./x#fine.name##").c_str());
    });
    EXPECT_EQ(last_level_index, 2);
    EXPECT_STREQ(level_names[0], "ok");
    EXPECT_STREQ(level_names[1], "fine.name");   // a dot inside is fine
    EXPECT_STREQ(level_names[2], "");
    EXPECT_STREQ(level_names[3], "");
    EXPECT_EQ(count_lines(err), 5) << err;
    for (const char* named : {"\"../../../outside/secret\"", "\"a/b\"", "\"c\\x5cd\"", "\".hidden\"", "\"./x\""})
        EXPECT_NE(err.find(named), std::string::npos) << named << " in " << err;

    // The text of a catalogue without '#' is offered as the one level: not this one.
    capture_stderr([] { read_catalogue(scratch_file("../../etc/passwd").c_str()); });
    race_settings.level_index = 0;
    EXPECT_STREQ(chosen_level_name(), "");
    read_catalogue("filut/levelit/all_levels.txt");
}

TEST(HostileFiles, OddCataloguesAreRefusedAtOnce) {
    HangGuard guard;
    for (const hostile& h : hostile_files(MAX_CATALOGUE_BYTES)) {
        const std::string err = capture_stderr([&] { read_catalogue(h.path.c_str()); });
        EXPECT_EQ(last_level_index, -1) << h.path;
        EXPECT_STREQ(level_names[0], "") << h.path;
        EXPECT_EQ(count_lines(err), 1) << err;
        EXPECT_NE(err.find(h.cause), std::string::npos) << h.cause << " in " << err;
    }
    read_catalogue("filut/levelit/all_levels.txt");
}

TEST(HostileFiles, OddLevelsLoadAsEmptyLevelsAtOnce) {
    HangGuard guard;
    for (const hostile& h : hostile_files(MAX_LEVEL_FILE_BYTES)) {
        load_level_file(loaded_track, "filut/levelit/FirstLoop.txt", setup_random);
        ASSERT_EQ(loaded_track.size, 16);   // FirstLoop
        const std::string err = capture_stderr([&] { load_level_file(loaded_track, h.path.c_str(), setup_random); });
        EXPECT_EQ(loaded_track.size, 0) << h.path;
        EXPECT_EQ(loaded_track.waypoint_count, 0) << h.path;
        EXPECT_EQ(count_lines(err), 1) << err;
        EXPECT_NE(err.find(h.cause), std::string::npos) << h.cause << " in " << err;
        EXPECT_NE(err.find("empty level"), std::string::npos) << err;
    }
}

TEST(HostileFiles, SizeFieldMessagesQuoteWhatTheFileHolds) {
    // A lone "4" reads as 4444 (each missing character repeats the last):
    // the message shows both, and never a value the file does not hold alone.
    std::string err = capture_stderr([] { load_level_file(loaded_track, scratch_file("4").c_str(), setup_random); });
    EXPECT_NE(err.find("size field \"4\" reads as 4444"), std::string::npos) << err;
    EXPECT_EQ(loaded_track.size, 0);
    err = capture_stderr([] { load_level_file(loaded_track, scratch_file(std::string("-5") + '\0' + "\x01...").c_str(), setup_random); });
    EXPECT_NE(err.find("\"-5\\x00\\x01\" reads as -5"), std::string::npos) << err;
    EXPECT_EQ(count_lines(err), 1) << err;
    // A good level says nothing.
    err = capture_stderr([] { load_level_file(loaded_track, "filut/levelit/FirstLoop.txt", setup_random); });
    EXPECT_EQ(err, "");
}

TEST(HostileFiles, ReadRegularFileKeepsItsCapAndSaysWhy) {
    std::string content, why;
    const std::string small = scratch_file("0123456789");
    EXPECT_TRUE(read_regular_file(small.c_str(), 10, content, why));
    EXPECT_EQ(content, "0123456789");
    EXPECT_FALSE(read_regular_file(small.c_str(), 9, content, why));
    EXPECT_EQ(why, "larger than 9 bytes");
    EXPECT_EQ(open_regular_file("", 10, why), nullptr);
    EXPECT_EQ(why, "no file name");
    EXPECT_EQ(printable(std::string("a\0b\n\\\xff", 6)), "a\\x00b\\x0a\\x5c\\xff");
    EXPECT_EQ(printable(std::string(70, 'z'), 60), std::string(60, 'z') + "...");
}
