// SPDX-License-Identifier: GPL-3.0-or-later
// Recording the races of a run, and reading a replay to watch.
#include "replay/session.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
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

// Why `dir` cannot take replays, or "" when it can: a file can be made in
// it and its disk has room. `made_errno`: why it could not be made, when it was missing.
static std::string folder_fault(const std::string& dir, int made_errno) {
    struct stat st;
    if (dir.empty()) return "no folder name";
    if (stat(dir.c_str(), &st) != 0) {
        if (errno != ENOENT) return std::strerror(errno);
        if (made_errno == ENOENT) return "no such folder, and it cannot be made: the folder above it is missing";
        return std::string("no such folder, and it cannot be made: ") + std::strerror(made_errno);
    }
    if (!S_ISDIR(st.st_mode)) return "not a folder";
    // Making a file is the only sure test: permissions, a read-only
    // file system or a full disk all show here.
    std::string probe = dir + "/.chainball-probe-XXXXXX";
    const int fd = mkstemp(&probe[0]);
    if (fd < 0) return std::strerror(errno);
    close(fd);
    unlink(probe.c_str());
    // A file can be made on a full disk: only its bytes fail. Ask the file
    // system how much room is left, so the race is not lost at its end.
    struct statvfs fs;
    if (statvfs(dir.c_str(), &fs) == 0 && (unsigned long long)fs.f_bavail * fs.f_frsize < MIN_FREE_BYTES)
        return "its disk has only " + std::to_string((unsigned long long)fs.f_bavail * fs.f_frsize) +
               " bytes free, less than the " + std::to_string(MIN_FREE_BYTES) + " a recording needs";
    return "";
}

bool start_recording(const std::string& dir, int keep, long long max_bytes) {
    recorder.kept = keep;
    recorder.cap = max_bytes;
    struct stat st;
    const bool missing = !dir.empty() && stat(dir.c_str(), &st) != 0 && errno == ENOENT;
    // The game's own folder is made with its first replay: a run that
    // records nothing leaves no empty folder.
    if (missing && keep > 0) {
        recorder.folder = dir;
        return true;
    }
    // A folder made here is taken away again at exit while it is empty: a
    // run refused after this check (a bad replay, no display, missing data)
    // or one that raced nothing leaves nothing behind. rmdir() never takes
    // a folder that holds a file.
    int made_errno = 0;
    if (missing && mkdir(dir.c_str(), 0777) == 0) {
        if (recorder.made.empty())
            std::atexit([] {
                for (const std::string& d : recorder.made) rmdir(d.c_str());
            });
        recorder.made.push_back(dir);
    } else if (missing) {
        made_errno = errno;
    }
    const std::string cause = folder_fault(dir, made_errno);
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

std::string write_replay_file(const std::string& folder, const std::string& name, const std::string& text,
                              std::string& cause) {
    return write_new_file(folder, name, REPLAY_EXTENSION, text, cause);
}

const std::string& recording_folder() { return recorder.folder; }


// Writes the recorded races still in memory into the record folder; those
// that fail stay in memory for the next try. Quiet when `quiet`. The
// cause of the last write that failed, "" when none did.
static std::string write_unsaved(bool quiet) {
    std::vector<std::pair<std::string, std::string>> left;
    std::string last_cause;
    for (const auto& r : recorder.unsaved) {
        std::string cause, path;
        // The game's own folder is made with its first replay; a --record
        // folder that went away is not made again (a drive taken out).
        if (recorder.kept <= 0 || make_folders(recorder.folder, cause))
            path = write_replay_file(recorder.folder, r.first, r.second, cause);
        if (!path.empty()) {
            recorder.last_written = path;
            if (recorder.kept > 0) prune_recordings(recorder.folder, recorder.kept, recorder.cap, path);
            continue;
        }
        if (!quiet)
            std::fprintf(stderr, "chainball: cannot write replay %s: %s; kept to try again\n",
                         printable(recorder.folder + "/" + r.first + REPLAY_EXTENSION, 200).c_str(), cause.c_str());
        left.push_back(r);
        last_cause = cause;
    }
    recorder.unsaved.swap(left);
    return last_cause;
}

// DIR/YYYYmmdd-HHMMSS-TRACK.cbreplay. A race that cannot be written (a
// full disk) is kept in memory and tried again after the next race and
// when the game closes.
ReplayOutcome record_race_end(const Race& race) {
    if (!recorder.in_race) return {};
    recorder.in_race = false;
    recorder.recording.result = current_result(race, race.step);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&recorder.started));
    const std::string name = std::string(stamp) + "-" + recorder.recording.track_name;
    recorder.unsaved.emplace_back(name, format_replay(recorder.recording));
    const std::string cause = write_unsaved(false);
    // What failed stays in order, this race last: when it is not there, it
    // was written, and last of all.
    const bool failed = !recorder.unsaved.empty() && recorder.unsaved.back().first == name;
    if (failed) return {"", cause};
    return {recorder.last_written, ""};
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
            std::fprintf(stderr, "chainball: recorded race lost: cannot write replay %s: %s\n",
                         printable(folder + "/" + r.first + REPLAY_EXTENSION, 200).c_str(), cause.c_str());
    }
    recorder.unsaved.clear();
}

void stop_recording() { recorder.folder.clear(); }

// The number written in `n` digits of `s` from `from`; -1 when one is not a digit.
static int digits_at(const std::string& s, size_t from, size_t n) {
    int v = 0;
    for (size_t i = from; i < from + n; i++) {
        if (i >= s.size() || !std::isdigit((unsigned char)s[i])) return -1;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

// Whether `name` is one the recorder makes, STAMP-TRACK.cbreplay or
// STAMP-TRACK-N.cbreplay with STAMP YYYYmmdd-HHMMSS no later than `latest`
// (the same form).
static bool recorder_made(const std::string& name, const std::string& latest) {
    const size_t ext = std::strlen(REPLAY_EXTENSION), stamp = latest.size();
    if (name.size() <= stamp + 1 + ext || name.compare(name.size() - ext, ext, REPLAY_EXTENSION) != 0 ||
        name[8] != '-' || name[stamp] != '-' || digits_at(name, 0, 8) < 0 || digits_at(name, 9, 6) < 0 ||
        name.compare(0, stamp, latest) > 0)
        return false;
    const std::string track = name.substr(stamp + 1, name.size() - stamp - 1 - ext);
    if (track_name_usable(track)) return true;
    // A taken name's -2 .. -100 on the longest track names.
    const size_t cut = track.rfind('-');
    const int n = cut == std::string::npos || track.size() - cut > 4 ? -1 : digits_at(track, cut + 1, track.size() - cut - 1);
    return n >= 2 && n <= MAX_NAME_TRIES && track_name_usable(track.substr(0, cut));
}

std::vector<std::string> replay_files(const std::string& dir, size_t most, std::string& why, bool recorder_names_only) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) {
        why = std::strerror(errno);
        return names;
    }
    // A day's grace past now, for a clock set back or a zone changed.
    const std::time_t tomorrow = std::time(nullptr) + 24 * 60 * 60;
    char latest[32];
    std::strftime(latest, sizeof latest, "%Y%m%d-%H%M%S", std::localtime(&tomorrow));
    const size_t ext = std::strlen(REPLAY_EXTENSION);
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() <= ext || name[0] == '.' || name.compare(name.size() - ext, ext, REPLAY_EXTENSION) != 0)
            continue;
        if (recorder_names_only && !recorder_made(name, latest)) continue;
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

void prune_recordings(const std::string& dir, int keep, long long max_bytes, const std::string& just_written) {
    std::string why;
    const std::vector<std::string> names = replay_files(dir, MAX_PRUNED_NAMES, why, true);
    const std::string spared = just_written.substr(just_written.rfind('/') + 1);
    long long total = 0;
    int kept = 0;
    std::vector<std::string> past;   // newest first
    for (const std::string& name : names) {
        const std::string path = dir + "/" + name;
        struct stat st;
        // Only files of ours alone: never a link, nor a file with a second
        // name elsewhere, nor one larger than any replay.
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1 || st.st_size > MAX_REPLAY_BYTES)
            continue;
        total += st.st_size;
        if (name == spared || (kept < keep && total <= max_bytes)) {
            kept++;
            continue;
        }
        past.push_back(path);
    }
    // The oldest first.
    for (size_t i = 0; i < past.size() && i < (size_t)MAX_PRUNED_AT_ONCE; i++) unlink(past[past.size() - 1 - i].c_str());
}

void reset_replay_session() {
    recorder.folder.clear();
    recorder.kept = 0;
    recorder.last_written.clear();
    recorder.in_race = false;
    recorder.unsaved.clear();
}
