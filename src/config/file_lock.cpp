// SPDX-License-Identifier: GPL-3.0-or-later
// Locks beside the shared files.
#include "config/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "core/files.h"

int lock_beside(const std::string& path, int wait_ms, std::string& why) {
    const std::string lock_path = path + ".lock";
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !make_folders(path.substr(0, slash), why)) return -1;
    // Never through a link, and never a FIFO or a device named so.
    const int fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = fd < 0 ? std::string(std::strerror(errno)) + " (" + printable(lock_path, 200) + ")"
                     : printable(lock_path, 200) + " is not a file";
        if (fd >= 0) close(fd);
        return -1;
    }
    for (int waited = 0;; waited += 10) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
        if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= wait_ms) break;
        const struct timespec ten_ms = {0, 10 * 1000 * 1000};
        nanosleep(&ten_ms, nullptr);
    }
    why = errno == EWOULDBLOCK ? "another game has held " + printable(lock_path, 200) + " for " +
                                     std::to_string(wait_ms) + " ms"
                               : std::string(std::strerror(errno));
    close(fd);
    return -1;
}

void unlock_beside(int fd) {
    if (fd >= 0) close(fd);   // closing gives the lock back
}

int lock_for_saving(const std::string& path, const char* what, const char* later, FILE* err) {
    std::string why;
    const int lock = lock_beside(path, LOCK_WAIT_MS, why);
    if (lock < 0)
        std::fprintf(err, "chainball: %s %s not saved: %s; %s\n", what, printable(path, 200).c_str(), why.c_str(),
                     later);
    return lock;
}
