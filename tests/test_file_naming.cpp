// SPDX-License-Identifier: GPL-3.0-or-later
// A new file named on a file system that has neither the no-replace rename
// nor hard links as Linux has them (a browser's memory file system says
// "too many links"): it still gets its name, without clobbering another.
#include <fcntl.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "core/files.h"

// While set, the no-replace rename and hard links fail as such a file system's do.
static int refused_link_errno = 0;

extern "C" int renameat2(int from_dir, const char* from, int to_dir, const char* to, unsigned int flags) noexcept {
    if (refused_link_errno) return errno = EINVAL, -1;
    return (int)syscall(SYS_renameat2, from_dir, from, to_dir, to, flags);
}

extern "C" int link(const char* from, const char* to) noexcept {
    if (refused_link_errno) return errno = refused_link_errno, -1;
    return linkat(AT_FDCWD, from, AT_FDCWD, to, 0);
}

static std::string contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(DataFiles, NewFileNamedWithoutHardLinks) {
    char dir[] = "/tmp/chainball-naming-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    for (int refused : {EMLINK, EPERM}) {
        refused_link_errno = refused;
        std::string why;
        const std::string first = write_new_file(dir, "race", ".cbreplay", "one", why);
        const std::string second = write_new_file(dir, "race", ".cbreplay", "two", why);
        refused_link_errno = 0;
        EXPECT_EQ(first, std::string(dir) + "/race.cbreplay") << why;
        EXPECT_EQ(second, std::string(dir) + "/race-2.cbreplay") << why;
        EXPECT_EQ(contents(first), "one");
        EXPECT_EQ(contents(second), "two");
        unlink(first.c_str());
        unlink(second.c_str());
    }
    EXPECT_EQ(rmdir(dir), 0);   // no temporary file left behind
}
