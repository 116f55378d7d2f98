// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile files, third round: writes through symbolic links and never into
// /dev.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/files.h"
#include "harness.h"

namespace {

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

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
    EXPECT_EQ(contents(dots + "/chainball.toml"), "new") << "the linked file left stale";
    EXPECT_EQ(listing(dots), "chainball.toml\n");

    ASSERT_EQ(symlink((dots + "/later.toml").c_str(), (dir + "/dangling").c_str()), 0);
    ASSERT_TRUE(write_file_atomically(dir + "/dangling", "made", why)) << why;
    EXPECT_TRUE(is_link(dir + "/dangling"));
    EXPECT_EQ(contents(dots + "/later.toml"), "made");

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
    EXPECT_EQ(contents(dir + "/picture.png").compare(0, 4, "\x89PNG"), 0);

    if (run("unshare -m sh -c 'mount -t tmpfs tmpfs /dev'", out) != 0)
        GTEST_SKIP() << "cannot mount a /dev of its own here (needs root and unshare): " << out;
    ASSERT_EQ(run("unshare -m sh -c 'mount -t tmpfs tmpfs /dev && ln -s /proc/self/fd/1 /dev/stdout && "
                  "./chainball-track render filut/levelit/FirstLoop.txt --scale 0.1 -o /dev/stdout > " +
                      dir + "/out.png; echo status $?; ls -A /dev'",
                  out),
              0);
    EXPECT_EQ(out, "chainball-track: cannot write /dev/stdout: under /dev, not a file to write\nstatus 1\nstdout\n");
}
