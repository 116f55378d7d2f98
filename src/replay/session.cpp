// SPDX-License-Identifier: GPL-3.0-or-later
// Recording the races of a run, and reading a replay to watch.
#include "replay/session.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

#include "core/files.h"
#include "core/state.h"
#include "race/race.h"
#include "replay/replay.h"
#include "track/track.h"

// The recording of the run's races, for the whole run: the folder, the
// race under way (from its set-up until it is written), and what was
// written or could not be.
static struct {
    std::string folder;                 // "" without --record
    replay recording;                   // the race being recorded
    std::time_t started = 0;            // when it started, for its file name
    std::string last_written;
    std::vector<std::pair<std::string, std::string>> unsaved;   // name, text: writes that failed
    int kept = 0;                       // the full game's folder: the newest kept, 0 = all
    long long cap = 0;                  // and their bytes together
    bool in_race = false;               // from a race's set-up until it is written
    std::vector<std::string> made;      // folders made here, taken away at exit while empty
} recorder;

bool start_recording(const std::string& dir, int keep, long long max_bytes) {
    recorder.kept = keep;
    recorder.cap = max_bytes;
    // A folder made here is taken away again at exit while it is empty: a
    // run refused after this check (a bad replay, no display, missing data)
    // or one that raced nothing leaves nothing behind. rmdir() never takes
    // a folder that holds a file.
    struct stat st;
    if (!dir.empty() && stat(dir.c_str(), &st) != 0 && errno == ENOENT && mkdir(dir.c_str(), 0777) == 0) {
        if (recorder.made.empty())
            std::atexit([] {
                for (const std::string& d : recorder.made) rmdir(d.c_str());
            });
        recorder.made.push_back(dir);
    }
    std::string cause;
    if (dir.empty()) {
        cause = "no folder name";
    } else if (stat(dir.c_str(), &st) != 0) {
        cause = errno == ENOENT ? "no such folder, and it cannot be made" : std::strerror(errno);
    } else if (!S_ISDIR(st.st_mode)) {
        cause = "not a folder";
    } else {
        // Making a file is the only sure test: permissions, a read-only
        // file system or a full disk all show here.
        std::string probe = dir + "/.chainball-probe-XXXXXX";
        const int fd = mkstemp(&probe[0]);
        if (fd < 0) {
            cause = std::strerror(errno);
        } else {
            close(fd);
            unlink(probe.c_str());
        }
    }
    // A file can be made on a full disk: only its bytes fail. Ask the file
    // system how much room is left, so the race is not lost at its end.
    struct statvfs fs;
    if (cause.empty() && statvfs(dir.c_str(), &fs) == 0 &&
        (unsigned long long)fs.f_bavail * fs.f_frsize < MIN_FREE_BYTES)
        cause = "its disk has only " + std::to_string((unsigned long long)fs.f_bavail * fs.f_frsize) +
                " bytes free, less than the " + std::to_string(MIN_FREE_BYTES) + " a recording needs";
    if (!cause.empty()) {
        std::fprintf(stderr, "chainball: cannot record races in '%s': %s\n",
                     printable(dir, 200).c_str(), cause.c_str());
        return false;
    }
    recorder.folder = dir;
    return true;
}

bool load_replay_to_watch(const std::string& file, bool force, const std::string& track_file,
                          WatchedReplay& out) {
    std::string text, why, warning;
    replay& watched = out.rep;
    if (!read_regular_file(file.c_str(), MAX_REPLAY_BYTES, text, why)) {
        std::fprintf(stderr, "chainball: cannot read replay '%s': %s\n", printable(file, 200).c_str(),
                     why.c_str());
        return false;
    }
    if (!parse_replay(text, watched, why)) {
        std::fprintf(stderr, "chainball: replay %s: %s\n", printable(file, 200).c_str(), why.c_str());
        return false;
    }
    // The file that is raced is the file whose bytes are checked: the
    // --track file, else the catalogue's.
    std::string track_path = track_file;
    out.level_index = 0;
    // A replay that carries its track was checked against its hash as it
    // was read, and needs no file.
    if (track_path.empty() && !watched.track_text.empty()) {
        out.level_index = -1;
    } else if (track_path.empty()) {
        out.level_index = -1;
        for (int i = 0; i <= last_level_index && i < MAX_LEVELS && out.level_index < 0; i++)
            if (watched.track_name == level_names[i]) out.level_index = i;
        if (out.level_index < 0) {
            std::fprintf(stderr,
                         "chainball: replay %s: its track %s is not in the level catalogue (name its file "
                         "with --track)\n",
                         printable(file, 200).c_str(), printable(watched.track_name).c_str());
            return false;
        }
        track_path = level_file_path(watched.track_name.c_str());
    }
    if (!track_path.empty() && !check_replay_track(watched, track_path, force, why, warning)) {
        std::fprintf(stderr, "chainball: replay %s: %s\n", printable(file, 200).c_str(), why.c_str());
        return false;
    }
    if (!warning.empty()) std::fprintf(stderr, "chainball: %s\n", warning.c_str());
    return true;
}

const std::string& last_recording() { return recorder.last_written; }

void record_race_start(const Race& race, const Track& track, const std::string& track_name,
                       const std::string& track_file, const std::string& track_text) {
    recorder.in_race = !recorder.folder.empty();
    if (!recorder.in_race) return;
    recorder.recording = replay();
    recorder.recording.track_name = track_name;
    std::string bytes = track_text, why;
    // A track that cannot be read was raced as an empty level.
    if (track_text.empty() && !read_regular_file(track_file.c_str(), MAX_LEVEL_FILE_BYTES, bytes, why))
        bytes.clear();
    recorder.recording.track_sha256 = sha256_hex(bytes);
    // A track from outside the catalogue travels with its replay.
    if (track_file_override || !track_text.empty()) recorder.recording.track_text = bytes;
    capture_race_setup(recorder.recording, race, track);
    recorder.started = std::time(nullptr);
}

void record_race_step(const Race& race, RaceInput input) {
    if (!recorder.in_race) return;
    // Player 2's keys drive only in a two-player race.
    const int driving = race.two_players ? 0xFF : SIM_UP | SIM_DOWN | SIM_LEFT | SIM_RIGHT;
    append_script_step(recorder.recording.keys, script_keys_of_input(input) & driving);
    if (race.step % REPLAY_CHECK_EVERY == 0)
        recorder.recording.checks.push_back({race.step, race_checksum(race)});
}

// FOLDER/NAME.cbreplay, or NAME-2, NAME-3 .. when that exists; the path
// written, or "" with the cause in `cause`. A file that could not be
// written whole is taken away.
std::string write_replay_file(const std::string& folder, const std::string& name, const std::string& text,
                              std::string& cause) {
    const std::string base = folder + "/" + name;
    std::string path;
    int fd = -1;
    for (int n = 1; n <= 100 && fd < 0; n++) {
        path = base + (n == 1 ? "" : "-" + std::to_string(n)) + REPLAY_EXTENSION;
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    cause = fd < 0 ? std::strerror(errno) : "";
    for (size_t done = 0; fd >= 0 && cause.empty() && done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) cause = n < 0 ? std::strerror(errno) : "nothing written";
        else done += (size_t)n;
    }
    if (fd >= 0 && close(fd) != 0 && cause.empty()) cause = std::strerror(errno);
    if (cause.empty()) return path;
    if (fd >= 0) unlink(path.c_str());
    cause = printable(path, 200) + ": " + cause;
    return "";
}

const std::string& recording_folder() { return recorder.folder; }


// Writes the recorded races still in memory into the record folder; those
// that fail stay in memory for the next try. Quiet when `quiet`.
static void write_unsaved(bool quiet) {
    std::vector<std::pair<std::string, std::string>> left;
    for (const auto& r : recorder.unsaved) {
        std::string cause;
        const std::string path = write_replay_file(recorder.folder, r.first, r.second, cause);
        if (!path.empty()) {
            recorder.last_written = path;
            if (recorder.kept > 0) prune_recordings(recorder.folder, recorder.kept, recorder.cap);
            continue;
        }
        if (!quiet) std::fprintf(stderr, "chainball: cannot write replay %s; kept to try again\n", cause.c_str());
        left.push_back(r);
    }
    recorder.unsaved.swap(left);
}

// DIR/YYYYmmdd-HHMMSS-TRACK.cbreplay. A race that cannot be written (a
// full disk) is kept in memory and tried again after the next race and
// when the game closes.
std::string record_race_end(const Race& race) {
    if (!recorder.in_race) return "";
    recorder.in_race = false;
    recorder.recording.result = current_result(race, race.step);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&recorder.started));
    const std::string name = std::string(stamp) + "-" + recorder.recording.track_name;
    recorder.unsaved.emplace_back(name, format_replay(recorder.recording));
    write_unsaved(false);
    // What failed stays in order, this race last: when it is not there, it
    // was written, and last of all.
    const bool failed = !recorder.unsaved.empty() && recorder.unsaved.back().first == name;
    return failed ? std::string() : recorder.last_written;
}

void flush_unsaved_replays() {
    if (recorder.unsaved.empty()) return;
    write_unsaved(true);
    // Last chance: the game's own data folder.
    if (recorder.unsaved.empty()) return;
    const std::string home = user_folder(UserFolder::data);
    const std::string folder = home.empty() ? home : home + "/replays";
    std::string why = "no HOME or XDG_DATA_HOME to keep them in";
    // The whole path, as start-up makes it: its parents may not be there yet.
    if (folder.empty() || !make_folders(folder, why)) {
        std::fprintf(stderr, "chainball: %zu recorded race(s) could not be written and are lost: %s\n",
                     recorder.unsaved.size(), why.c_str());
        recorder.unsaved.clear();
        return;
    }
    for (const auto& r : recorder.unsaved) {
        std::string cause;
        const std::string path = write_replay_file(folder, r.first, r.second, cause);
        if (!path.empty())
            std::fprintf(stderr, "chainball: replay written to %s instead\n", printable(path, 200).c_str());
        else
            std::fprintf(stderr, "chainball: recorded race lost: cannot write replay %s\n", cause.c_str());
    }
    recorder.unsaved.clear();
}

void stop_recording() { recorder.folder.clear(); }

std::vector<std::string> replay_files(const std::string& dir, size_t most, std::string& why) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) {
        why = std::strerror(errno);
        return names;
    }
    const size_t ext = std::strlen(REPLAY_EXTENSION);
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() <= ext || name[0] == '.' || name.compare(name.size() - ext, ext, REPLAY_EXTENSION) != 0)
            continue;
        names.push_back(name);
        // Newest first, and never more than `most` held.
        if (names.size() > 2 * most + 64) {
            std::sort(names.rbegin(), names.rend());
            names.resize(most);
        }
    }
    closedir(d);
    std::sort(names.rbegin(), names.rend());
    if (names.size() > most) names.resize(most);
    return names;
}

void prune_recordings(const std::string& dir, int keep, long long max_bytes) {
    std::string why;
    const std::vector<std::string> names = replay_files(dir, MAX_PRUNED_NAMES, why);
    long long total = 0;
    int kept = 0;
    for (const std::string& name : names) {
        const std::string path = dir + "/" + name;
        struct stat st;
        // Only our own regular files; a link is never followed out of the folder.
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        // Larger than any replay: not one of ours, left alone.
        if (st.st_size > MAX_REPLAY_BYTES) continue;
        total += st.st_size;
        if (kept < keep && total <= max_bytes) {
            kept++;
            continue;
        }
        unlink(path.c_str());
    }
}

void reset_replay_session() {
    recorder.folder.clear();
    recorder.kept = 0;
    recorder.last_written.clear();
    recorder.in_race = false;
    recorder.unsaved.clear();
}
