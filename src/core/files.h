// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the files a player or the system hands the game (levels, the
// catalogue, key scripts, pictures): regular files only, never blocking on
// a FIFO or a device, and never larger than what the reader can use.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <functional>
#include <string>

// Opens `path` for reading in binary mode when it is a regular file of at
// most `max_bytes`. Otherwise returns null with the cause in `why`, in words
// a player can act on ("no such file", "a directory, not a file",
// "permission denied", "larger than 4194304 bytes", ...).
FILE* open_regular_file(const char* path, long long max_bytes, std::string& why);

// Reads a whole regular file of at most `max_bytes` into `content`. False
// with the cause in `why` as above, or the read error.
bool read_regular_file(const char* path, long long max_bytes, std::string& content,
                       std::string& why);

// `s` with every byte that is not printable ASCII written as \xHH, at most
// `limit` bytes of it (then "..."), for quoting file contents and names in
// messages.
std::string printable(const std::string& s, size_t limit = 60);

// The data folder (filut/) and the one way to a data file's path: `name`
// inside the folder, such as "set.png" or "levelit/all_levels.txt". The
// folder is "filut" in the working directory until start-up finds the
// game's own; the game never changes its working directory, so every path
// a player gives stays the player's.
void set_data_folder(const std::string& folder);
// Where the data folder filut/ is looked for, in order: beside the program,
// the installed layout's share/chainball/ one level above it, the working
// directory. Fills `places` (room for 3) and returns how many.
int data_folder_places(std::string places[3]);
// The first of those places' filut/ that holds anything at all (a stray file
// or an empty folder of that name does not hide the next place); "" when none.
std::string locate_data_folder();
const std::string& data_folder();
std::string data_path(const std::string& name);

// Makes `dir` and the folders above it that are missing (mode 0700).
// False with the cause in `why`.
bool make_folders(const std::string& dir, std::string& why);

// The game's own folders in the user's home, the one place they are looked
// up: settings in $XDG_CONFIG_HOME/chainball (else ~/.config/chainball),
// records and replays in $XDG_DATA_HOME/chainball (else
// ~/.local/share/chainball). A relative value counts as unset, as the base
// directory rules say; "" when neither gives an absolute path.
enum class UserFolder { config, data };
std::string user_folder(UserFolder kind);

// Where a write to `path` lands: the end of its chain of symbolic links (a
// link is written through, never replaced), in `target`. False with the
// cause in `why` for a directory, a device, a FIFO or a socket, anything
// under /dev, /proc or /sys, and a chain that loops.
bool writable_target(const std::string& path, std::string& target, std::string& why);

// Writes `text` to `path` whole or not at all: a temporary file beside the
// link's target (see writable_target; its folder made when missing), fsync,
// then rename over the old one. A new file gets `mode` less the umask, a
// replaced one keeps its mode. False with the cause in `why`, the old file
// then left as it was.
bool write_file_atomically(const std::string& path, const std::string& text, std::string& why,
                           mode_t mode = 0600);
// The same with the content put in by `write` (false with the cause in its
// `why`), for content made as it is written.
using FileWriter = std::function<bool(FILE* f, std::string& why)>;
bool write_file_atomically(const std::string& path, const FileWriter& write, std::string& why, mode_t mode = 0600);

// Names tried for a new file before giving up: STEM, STEM-2 .. STEM-100.
constexpr int MAX_NAME_TRIES = 100;
// Writes `text` to a new file DIR/STEM.EXT (STEM-2.EXT .. when taken),
// never over another file and never as half a file: it
// is written whole under a hidden name, then given the first free name. The
// path written, or "" with the cause in `why`.
std::string write_new_file(const std::string& dir, const std::string& stem, const std::string& extension,
                           const std::string& text, std::string& why);
