// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile files, third round: writes through symbolic links and never into
// /dev, pruning that touches only the game's own replays, replays that
// are never seen half written, and the real cause of a folder that cannot
// be made.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "core/files.h"
#include "harness.h"
#include "replay/session.h"

namespace {

void put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

bool is_link(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string listing(const std::string& dir) {
    std::string out;
    run("ls -A " + dir, out);
    return out;
}

}  // namespace

// A settings file kept elsewhere through a chain of links (a relative one
// too) is written where the chain ends, and the links stay links; a link
// to nowhere makes its target. Devices, FIFOs, folders, /dev and loops are
// refused with the cause, leaving everything as it was.
TEST(HostileWrites, LinksAreWrittenThroughAndSpecialFilesRefused) {
    const std::string dir = scratch_dir(), dots = scratch_dir();
    put(dots + "/chainball.toml", "old");
    ASSERT_EQ(symlink((dots + "/chainball.toml").c_str(), (dir + "/first").c_str()), 0);
    ASSERT_EQ(symlink("first", (dir + "/chainball.toml").c_str()), 0);
    std::string why;
    ASSERT_TRUE(write_file_atomically(dir + "/chainball.toml", "new", why)) << why;
    EXPECT_TRUE(is_link(dir + "/chainball.toml") && is_link(dir + "/first")) << "a link replaced";
    EXPECT_EQ(file_contents(dots + "/chainball.toml"), "new") << "the linked file left stale";
    EXPECT_EQ(listing(dots), "chainball.toml\n");

    ASSERT_EQ(symlink((dots + "/later.toml").c_str(), (dir + "/dangling").c_str()), 0);
    ASSERT_TRUE(write_file_atomically(dir + "/dangling", "made", why)) << why;
    EXPECT_TRUE(is_link(dir + "/dangling"));
    EXPECT_EQ(file_contents(dots + "/later.toml"), "made");

    ASSERT_EQ(symlink("/dev/null", (dir + "/to-null").c_str()), 0);
    ASSERT_EQ(symlink("loop-b", (dir + "/loop-a").c_str()), 0);
    ASSERT_EQ(symlink("loop-a", (dir + "/loop-b").c_str()), 0);
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((dir + "/folder").c_str(), 0700), 0);
    const std::string before = listing(dir);
    const struct {
        std::string path;
        const char* says;
    } refused[] = {
        {"/dev/stdout", "under /dev, not a file to write"},
        {dir + "/to-null", "under /dev, not a file to write"},
        {"/proc/self/fd/1", "under /proc, not a file to write"},
        {dir + "/loop-a", "Too many levels of symbolic links"},
        {dir + "/fifo", "a FIFO, not a regular file"},
        {dir + "/folder", "a directory, not a file"},
        {dir + "/folder/", "a directory, not a file"},
    };
    for (const auto& r : refused) {
        why.clear();
        EXPECT_FALSE(write_file_atomically(r.path, "x", why)) << r.path;
        EXPECT_EQ(why, r.says) << r.path;
    }
    EXPECT_EQ(listing(dir), before) << "a refused write left or replaced something";
    EXPECT_TRUE(is_link("/dev/stdout"));
}

// chainball-track render -o: through a link to the picture's place, and
// never over /dev/stdout, even when the shell sends it to a file (tried on
// a /dev of its own, so that a fault replaces nothing of the system's).
TEST(HostileWrites, RenderWritesThroughLinksAndNeverIntoDev) {
    if (access("./chainball-track", X_OK) != 0) GTEST_SKIP() << "chainball-track not built beside the tests";
    const std::string dir = scratch_dir();
    put(dir + "/picture.png", "old");
    ASSERT_EQ(symlink("picture.png", (dir + "/link.png").c_str()), 0);
    std::string out;
    ASSERT_EQ(run("./chainball-track render filut/levelit/FirstLoop.txt --scale 0.1 -o " + dir + "/link.png", out), 0)
        << out;
    EXPECT_TRUE(is_link(dir + "/link.png"));
    EXPECT_EQ(file_contents(dir + "/picture.png").compare(0, 4, "\x89PNG"), 0);

    if (run("unshare -m sh -c 'mount -t tmpfs tmpfs /dev'", out) != 0)
        GTEST_SKIP() << "cannot mount a /dev of its own here (needs root and unshare): " << out;
    ASSERT_EQ(run("unshare -m sh -c 'mount -t tmpfs tmpfs /dev && ln -s /proc/self/fd/1 /dev/stdout && "
                  "./chainball-track render filut/levelit/FirstLoop.txt --scale 0.1 -o /dev/stdout > " +
                      dir + "/out.png; echo status $?; ls -A /dev'",
                  out),
              0);
    EXPECT_EQ(out, "chainball-track: cannot write /dev/stdout: under /dev, not a file to write\nstatus 1\nstdout\n");
}

// Pruning the game's folder: the oldest of the game's own names go, by the
// date in the name, never the replay just written (even when 50 others are
// dated far ahead), never a player's own file, a link or a hard link.
TEST(HostileReplayPruning, OnlyTheGamesOwnOldestGoAndNeverTheNewOne) {
    const std::string dir = scratch_dir(), elsewhere = scratch_dir();
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
    const std::string written = dir + "/" + stamp + "-Loop.cbreplay";
    put(written, "new race");
    for (int i = 0; i < 50; i++) put(dir + "/209901" + std::to_string(10 + i) + "-000000-Loop.cbreplay", "ahead");
    for (const char* ours : {"20200101-000000-Loop", "20200102-000000-Loop", "20200103-000000-Loop-2"})
        put(dir + "/" + ours + ".cbreplay", "old race");
    put(dir + "/0-my-best.cbreplay", "the player's");
    put(dir + "/20200101-000000.cbreplay", "no track: not a name the game makes");
    put(elsewhere + "/kept", "linked");
    ASSERT_EQ(link((elsewhere + "/kept").c_str(), (dir + "/20100101-000000-Hard.cbreplay").c_str()), 0);
    ASSERT_EQ(symlink((elsewhere + "/kept").c_str(), (dir + "/20100101-000001-Soft.cbreplay").c_str()), 0);

    prune_recordings(dir, 2, KEPT_REPLAY_BYTES, written);
    std::string why;
    const std::vector<std::string> left = replay_files(dir, 1000, why);
    EXPECT_EQ(left.size(), 50u + 6u);
    EXPECT_EQ(file_contents(written), "new race");
    EXPECT_EQ(file_contents(dir + "/20200103-000000-Loop-2.cbreplay"), "old race") << "the newest old one goes";
    EXPECT_NE(access((dir + "/20200102-000000-Loop.cbreplay").c_str(), F_OK), 0);
    EXPECT_NE(access((dir + "/20200101-000000-Loop.cbreplay").c_str(), F_OK), 0);
    for (const char* not_ours : {"0-my-best", "20200101-000000", "20100101-000000-Hard", "20100101-000001-Soft"})
        EXPECT_EQ(access((dir + "/" + not_ours + ".cbreplay").c_str(), F_OK), 0) << not_ours;
    EXPECT_EQ(file_contents(elsewhere + "/kept"), "linked");

    // A cap on bytes that the new one alone passes still spares it.
    prune_recordings(dir, 50, 1, written);
    EXPECT_EQ(file_contents(written), "new race");
    EXPECT_NE(access((dir + "/20200103-000000-Loop-2.cbreplay").c_str(), F_OK), 0);
}

// A replay is written whole under a hidden name and only then given its
// own: a process killed in the middle (here by its file size limit)
// leaves no file under the replay's name, a write that fails leaves
// nothing at all, and a name that is taken is never written over.
TEST(HostileReplayWrites, NoHalfReplayUnderItsNameAndNothingOverAnother) {
    const std::string dir = scratch_dir();
    const std::string text(64 << 10, 'k');
    for (bool killed : {true, false}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit small{4096, 4096};
            setrlimit(RLIMIT_FSIZE, &small);
            signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
            std::string cause;
            const std::string path = write_replay_file(dir, "20200101-000000-Loop", text, cause);
            _exit(path.empty() && cause == "File too large" ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (killed) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "no failure reported";
            // What the killed write left is hidden; the failed one left nothing.
            EXPECT_EQ(("\n" + listing(dir)).find("\n."), std::string::npos);
        }
        std::string why;
        EXPECT_TRUE(replay_files(dir, 10, why).empty()) << listing(dir);
        run("rm -f " + dir + "/.??*", why);
    }

    put(dir + "/20200101-000000-Loop.cbreplay", "theirs");
    std::string cause;
    EXPECT_EQ(write_replay_file(dir, "20200101-000000-Loop", "ours", cause), dir + "/20200101-000000-Loop-2.cbreplay");
    EXPECT_EQ(file_contents(dir + "/20200101-000000-Loop.cbreplay"), "theirs");
    EXPECT_EQ(file_contents(dir + "/20200101-000000-Loop-2.cbreplay"), "ours");
    for (int n = 3; n <= MAX_NAME_TRIES; n++) put(dir + "/20200101-000000-Loop-" + std::to_string(n) + ".cbreplay", "");
    EXPECT_EQ(write_replay_file(dir, "20200101-000000-Loop", "ours", cause), "");
    EXPECT_EQ(cause, "File exists");
    EXPECT_EQ(("\n" + listing(dir)).find("\n."), std::string::npos) << "a temporary file left";
}

// --record into a folder on a read-only file system: the line says so,
// not only that the folder cannot be made.
TEST(HostileRecordFolder, AFolderThatCannotBeMadeNamesTheCause) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "game binary not built beside the tests";
    std::string out;
    if (run("unshare -m sh -c 'mount -t tmpfs -o ro tmpfs /mnt'", out) != 0)
        GTEST_SKIP() << "cannot mount a read-only tmpfs here (needs root and unshare): " << out;
    ASSERT_EQ(run("unshare -m sh -c 'mount -t tmpfs -o ro tmpfs /mnt && ./chainball --record /mnt/races; "
                  "echo status $?'",
                  out),
              0);
    EXPECT_EQ(out,
              "chainball: cannot record races in '/mnt/races': no such folder, and it cannot be made: Read-only "
              "file system\nstatus 2\n");
}
