// SPDX-License-Identifier: GPL-3.0-or-later
// Regular files only, opened without blocking, with a size cap.
#include "core/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

// What a file that is not a regular one is, for the message.
static const char* kind_of(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory, not a file";
    if (S_ISFIFO(mode)) return "a FIFO, not a regular file";
    if (S_ISCHR(mode)) return "a character device, not a regular file";
    if (S_ISBLK(mode)) return "a block device, not a regular file";
    if (S_ISSOCK(mode)) return "a socket, not a regular file";
    return "not a regular file";
}

FILE* open_regular_file(const char* path, long long max_bytes, std::string& why) {
    if (!path || !*path) {
        why = "no file name";
        return nullptr;
    }
    // Non-blocking, so that opening a FIFO with no writer returns at once
    // instead of waiting for one; the mode is checked on the open file.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = errno == ENOENT ? "no such file" : std::strerror(errno);
        return nullptr;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        why = std::strerror(errno);
        close(fd);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        why = kind_of(st.st_mode);
        close(fd);
        return nullptr;
    }
    if (st.st_size > max_bytes) {
        why = "larger than " + std::to_string(max_bytes) + " bytes";
        close(fd);
        return nullptr;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    FILE* f = fdopen(fd, "rb");
    if (!f) {
        why = std::strerror(errno);
        close(fd);
    }
    return f;
}

bool read_regular_file(const char* path, long long max_bytes, std::string& content,
                       std::string& why) {
    FILE* f = open_regular_file(path, max_bytes, why);
    if (!f) return false;
    content.clear();
    // Room for the whole file at once: growing by doubling would hold up to
    // three times its size for a moment.
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && st.st_size >= 0 && st.st_size <= max_bytes)
        content.reserve((size_t)st.st_size + 1);
    char buf[65536];
    size_t n;
    // Never past the cap, even if the file grows while it is read.
    while ((long long)content.size() <= max_bytes && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
        content.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        why = "read error";
        return false;
    }
    if ((long long)content.size() > max_bytes) {
        why = "larger than " + std::to_string(max_bytes) + " bytes";
        return false;
    }
    return true;
}

std::string printable(const std::string& s, size_t limit) {
    std::string out;
    for (size_t i = 0; i < s.size() && i < limit; i++) {
        const unsigned char c = (unsigned char)s[i];
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += (char)c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    if (s.size() > limit) out += "...";
    return out;
}

static std::string data_folder_path = "filut";   // set once by start-up

void set_data_folder(const std::string& folder) { data_folder_path = folder; }

const std::string& data_folder() { return data_folder_path; }

std::string data_path(const std::string& name) { return data_folder_path + "/" + name; }

bool make_folders(const std::string& dir, std::string& why) {
    struct stat st;
    if (dir.empty() || stat(dir.c_str(), &st) == 0) return true;
    const size_t slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0 && !make_folders(dir.substr(0, slash), why)) return false;
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        why = "cannot make the folder " + printable(dir, 200) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

int data_folder_places(std::string places[3]) {
    int count = 0;
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = 0;
        std::string dir(exe);
        const size_t slash = dir.rfind('/');   // readlink gives an absolute path
        dir.resize(slash == std::string::npos ? 0 : slash);
        places[count++] = dir.empty() ? "/" : dir;
        places[count++] = dir.substr(0, dir.rfind('/')) + "/share/chainball";
    }
    char cwd[PATH_MAX];
    places[count++] = getcwd(cwd, sizeof cwd) ? cwd : ".";
    return count;
}

static bool holds_data_folder(const std::string& dir) {
    const std::string folder = dir + "/filut";
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    DIR* d = opendir(folder.c_str());
    if (!d) return true;   // there, but unreadable: named by the data file checks
    bool empty = true;
    while (const dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
            empty = false;
            break;
        }
    closedir(d);
    return !empty;
}

std::string locate_data_folder() {
    std::string places[3];
    const int count = data_folder_places(places);
    for (int i = 0; i < count; i++)
        if (holds_data_folder(places[i])) return places[i] == "/" ? "/filut" : places[i] + "/filut";
    return "";
}

std::string user_folder(UserFolder kind) {
    const bool config = kind == UserFolder::config;
    const char* xdg = std::getenv(config ? "XDG_CONFIG_HOME" : "XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/chainball";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + (config ? "/.config" : "/.local/share") + "/chainball";
    return "";
}

// The folder part of `path` ("." for a bare name) and its last part.
static std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}
static std::string base_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The system's own trees: nothing in them is a file for the game to replace.
static const char* system_tree_of(const std::string& path) {
    // The nearest folder that is there, with its links and dots resolved.
    std::string dir = folder_of(path);
    char real[PATH_MAX];
    while (!realpath(dir.c_str(), real) && dir != "/" && dir != ".") dir = folder_of(dir);
    if (!realpath(dir.c_str(), real)) return nullptr;
    for (const char* tree : {"/dev", "/proc", "/sys"}) {
        const size_t n = std::strlen(tree);
        if (std::strncmp(real, tree, n) == 0 && (real[n] == 0 || real[n] == '/')) return tree;
    }
    return nullptr;
}

bool writable_target(const std::string& path, std::string& target, std::string& why) {
    target = path;
    for (int hops = 0;; hops++) {
        if (target.empty() || target.back() == '/') {
            why = "a directory, not a file";
            return false;
        }
        if (const char* tree = system_tree_of(target)) {
            why = std::string("under ") + tree + ", not a file to write";
            return false;
        }
        struct stat st;
        if (lstat(target.c_str(), &st) != 0) {
            if (errno == ENOENT) return true;   // made by the write
            why = std::strerror(errno);
            return false;
        }
        if (S_ISREG(st.st_mode)) return true;
        if (!S_ISLNK(st.st_mode)) {
            why = kind_of(st.st_mode);
            return false;
        }
        char to[PATH_MAX];
        const ssize_t n = readlink(target.c_str(), to, sizeof to);
        if (hops == 40 || n <= 0 || n >= (ssize_t)sizeof to) {
            why = std::strerror(hops == 40 ? ELOOP : n < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        const std::string link(to, (size_t)n);
        target = link[0] == '/' ? link : folder_of(target) + "/" + link;
    }
}

// `mode` less the umask, as open() would make a new file.
static mode_t new_file_mode(mode_t mode) {
    const mode_t mask = umask(0);
    umask(mask);
    return mode & ~mask;
}

// Writes a new hidden file of `mode` beside `path` through `write`,
// fsynced: its name in `temp`. Nothing is left behind when it fails.
static bool write_temp_beside(const std::string& path, const FileWriter& write, mode_t mode, std::string& temp,
                              std::string& why) {
    temp = folder_of(path) + "/." + base_of(path) + ".XXXXXX";
    const int fd = mkstemp(&temp[0]);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    FILE* f = fchmod(fd, mode) == 0 ? fdopen(fd, "wb") : nullptr;
    if (!f) {
        why = std::strerror(errno);
        close(fd);
        unlink(temp.c_str());
        return false;
    }
    errno = 0;
    bool ok = write(f, why);
    if (ok && (std::fflush(f) != 0 || fsync(fileno(f)) != 0)) ok = false, why = std::strerror(errno);
    if (std::fclose(f) != 0 && ok) ok = false, why = std::strerror(errno);
    if (!ok) unlink(temp.c_str());
    return ok;
}

// Writes all of `text`, or says why not.
static FileWriter text_writer(const std::string& text) {
    return [&text](FILE* f, std::string& why) {
        if (std::fwrite(text.data(), 1, text.size(), f) == text.size()) return true;
        why = std::strerror(errno ? errno : EIO);
        return false;
    };
}

// The rename or link of a new name in `dir`, on its way to the disk.
static void sync_folder(const std::string& dir) {
    const int d = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d >= 0) fsync(d), close(d);
}

bool write_file_atomically(const std::string& path, const FileWriter& write, std::string& why, mode_t mode) {
    std::string target, temp;
    if (!writable_target(path, target, why) || !make_folders(folder_of(target), why)) return false;
    // A file replaced keeps its permissions.
    struct stat old;
    mode = stat(target.c_str(), &old) == 0 ? old.st_mode & 0777 : new_file_mode(mode);
    if (!write_temp_beside(target, write, mode, temp, why)) return false;
    if (rename(temp.c_str(), target.c_str()) != 0) {
        why = std::strerror(errno);
        unlink(temp.c_str());
        return false;
    }
    sync_folder(folder_of(target));
    return true;
}

bool write_file_atomically(const std::string& path, const std::string& text, std::string& why, mode_t mode) {
    return write_file_atomically(path, text_writer(text), why, mode);
}

// Gives the whole file `temp` the name `path` when nothing has it: 0, or
// EEXIST when the name is taken, or the error. `temp` is gone after a 0.
static int name_without_clobbering(const std::string& temp, const std::string& path) {
#ifdef RENAME_NOREPLACE   // Linux; the web build's C library has no renameat2
    if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
#endif
    // File systems without the no-replace rename: a second name, then the first goes.
    if (link(temp.c_str(), path.c_str()) == 0) return unlink(temp.c_str()), 0;
    // A browser's memory file system refuses a second link as "too many".
    if (errno == EEXIST || (errno != EPERM && errno != ENOTSUP && errno != ENOSYS && errno != EMLINK)) return errno;
    // Nor hard links (FAT, a browser): the name is claimed empty, then the file put in its place.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    close(fd);
    if (rename(temp.c_str(), path.c_str()) == 0) return 0;
    const int failed = errno;
    unlink(path.c_str());
    return failed;
}

std::string write_new_file(const std::string& dir, const std::string& stem, const std::string& extension,
                           const std::string& text, std::string& why) {
    std::string temp, path;
    if (!write_temp_beside(dir + "/" + stem + extension, text_writer(text), new_file_mode(0666), temp, why))
        return "";
    int failed = EEXIST;
    for (int n = 1; n <= MAX_NAME_TRIES && failed == EEXIST; n++) {
        path = dir + "/" + stem + (n == 1 ? "" : "-" + std::to_string(n)) + extension;
        failed = name_without_clobbering(temp, path);
    }
    if (failed == 0) {
        sync_folder(dir);
        return path;
    }
    why = std::strerror(failed);
    unlink(temp.c_str());
    return "";
}
