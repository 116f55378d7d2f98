// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's settings file: every value read back as written, every
// bad value or unusable file one line and its default, and saving that
// never leaves a half-written file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

#include "config/config.h"
#include "core/files.h"
#include "harness.h"

namespace {

int lines(const std::string& s) { return (int)std::count(s.begin(), s.end(), '\n'); }

// What read_config wrote to its error stream, and what it returned.
std::string read_with_errors(const std::string& path, game_config& c) {
    FILE* err = tmpfile();
    c = read_config(path, err);
    return read_back(err);
}

bool same(const game_config& a, const game_config& b) { return format_config(a) == format_config(b); }

// Runs `f` in a child process as user nobody (root reads and writes
// anything, so permissions are only seen without it); what it wrote to its
// stdout, or "" when it could not change user.
std::string as_nobody(const std::function<void()>& f) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return "";
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipe_fds[0]);
        dup2(pipe_fds[1], 1);
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(1);
        f();
        std::fflush(stdout);
        _exit(0);
    }
    close(pipe_fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(pipe_fds[0], buf, sizeof buf)) > 0) out.append(buf, (size_t)n);
    close(pipe_fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return out;
}

// Files left in `dir` besides `keep`.
std::vector<std::string> others_in(const std::string& dir, const std::string& keep) {
    std::vector<std::string> found;
    const std::string cmd = "ls -A '" + dir + "'";
    FILE* p = popen(cmd.c_str(), "r");
    char line[512];
    while (p && std::fgets(line, sizeof line, p)) {
        std::string name(line);
        name.pop_back();
        if (name != keep) found.push_back(name);
    }
    if (p) pclose(p);
    return found;
}

// Every setting away from its default.
game_config every_setting_changed() {
    game_config c;
    c.chain_length[0] = 10, c.chain_length[1] = 0, c.chain_length[2] = 1;
    c.laps = 999;
    c.track = "Serpent";
    c.music = false;
    c.music_volume = 0, c.effects_volume = 7;
    c.scale = 4;
    c.fullscreen = true;
    c.minimap = false;
    c.drive[0][ACT_FORWARD] = {binding::KEY, SDLK_KP8, false};
    c.drive[0][ACT_LEFT] = {binding::PAD_BUTTON, 31, false};
    c.drive[1][ACT_RIGHT] = {binding::KEY, SDLK_RCTRL, false};
    c.drive[1][ACT_BACK] = {binding::KEY, '"', false};
    c.pause = {binding::PAD_BUTTON, 9, false};
    c.pad_choose = 2, c.pad_back = 3, c.pad_start = 7;
    c.level = DIFFICULTY_EXPERT;
    c.ghosts = false;
    c.off_road_slows = false;
    c.recording = false;
    c.recordings_kept = 1000;
    c.trial_length = 10;
    c.trial_laps = 99;
    c.input_delay = 0;
    return c;
}

}  // namespace

TEST(ConfigFile, EverySettingReadsBackAsWritten) {
    const game_config c = every_setting_changed();
    std::vector<std::string> problems;
    const std::string text = format_config(c);
    const game_config back = parse_config(text, problems);
    EXPECT_TRUE(problems.empty()) << problems[0] << "\n" << text;
    EXPECT_TRUE(same(back, c)) << text << "\n---\n" << format_config(back);
    EXPECT_EQ(back.drive[0][ACT_LEFT], c.drive[0][ACT_LEFT]);
    EXPECT_EQ(back.level, DIFFICULTY_EXPERT);
    EXPECT_EQ(back.input_delay, 0);
    EXPECT_TRUE(back.music_volume == 0 && back.effects_volume == 7);
    EXPECT_FALSE(back.off_road_slows);

    // The defaults are today's keys, and an empty file is the defaults.
    const game_config d = parse_config("", problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(binding_name(d.drive[0][ACT_FORWARD]), "up");
    EXPECT_EQ(binding_name(d.drive[1][ACT_LEFT]), "a");
    EXPECT_EQ(binding_name(d.pause), "ctrl+p");
    EXPECT_TRUE(d.chain_length[0] == 7 && d.chain_length[1] == 2 && d.chain_length[2] == 5 && d.laps == 3);
    EXPECT_TRUE(d.off_road_slows) << "off the road costs unless the player says otherwise";
    EXPECT_TRUE(same(parse_config(format_config(d), problems), d));
}

// One line per bad value, naming it; that value keeps its default and the
// good values beside it are kept.
TEST(ConfigFile, EachBadValueIsOneLineAndItsDefault) {
    const struct {
        const char* toml;
        const char* says;
        std::function<bool(const game_config&)> kept;
    } cases[] = {
        {"[race]\nlaps = 0\nmusic = false\n", "race.laps: 0 is outside 1 to 999; using 3",
         [](const game_config& c) { return c.laps == 3 && !c.music; }},
        {"[race]\nlaps = \"three\"\n", "race.laps: expected a whole number from 1 to 999, found a string",
         [](const game_config& c) { return c.laps == 3; }},
        {"[race]\nlaps = 99999999999999999\n", "is outside 1 to 999",
         [](const game_config& c) { return c.laps == 3; }},
        {"[race]\nlengths = [0, 10, 0]\n", "race.lengths[1]: 0 is outside 1 to 10; using 7",
         [](const game_config& c) { return c.chain_length[0] == 7 && c.chain_length[1] == 10; }},
        {"[race]\nlengths = [1, 2]\n", "race.lengths: expected a list of three",
         [](const game_config& c) { return c.chain_length[1] == 2; }},
        {"[race]\ntrack = \"../../etc/passwd\"\n", "cannot be a track's name",
         [](const game_config& c) { return c.track.empty(); }},
        {"[race]\ntrack = \"a\\u0007b\"\n", "'a\\x07b' cannot be a track's name",
         [](const game_config& c) { return c.track.empty(); }},
        {"[race]\nmusic_volume = 11\neffects_volume = 0\n", "race.music_volume: 11 is outside 0 to 10; using 10",
         [](const game_config& c) { return c.music_volume == 10 && c.effects_volume == 0; }},
        {"[race]\ndifficulty = \"hard\"\n", "'hard' is not classic, good or expert; using classic",
         [](const game_config& c) { return c.level == DIFFICULTY_CLASSIC; }},
        {"[race]\noff_road = \"sometimes\"\nghosts = false\n", "race.off_road: 'sometimes' is not slows or free; using slows",
         [](const game_config& c) { return c.off_road_slows && !c.ghosts; }},
        {"[window]\nscale = 9\nfullscreen = true\n", "window.scale: 9 is outside 1 to 4; using 1",
         [](const game_config& c) { return c.scale == 1 && c.fullscreen; }},
        {"[window]\nfullscreen = \"yes\"\n", "window.fullscreen: expected true or false, found a string",
         [](const game_config& c) { return !c.fullscreen; }},
        {"window = 3\n", "window: expected a table, found a whole number",
         [](const game_config& c) { return c.scale == 1; }},
        {"[recording]\nkeep = 0\non = false\n", "recording.keep: 0 is outside 1 to 1000; using 50",
         [](const game_config& c) { return c.recordings_kept == 50 && !c.recording; }},
        {"[pad]\nstart = \"select\"\n", "pad.start: expected \"auto\" or a button from 0 to 31",
         [](const game_config& c) { return c.pad_start == -1; }},
        {"[trial]\nlaps = 100\nlength = 4\n", "trial.laps: 100 is outside 1 to 99; using 3",
         [](const game_config& c) { return c.trial_laps == 3 && c.trial_length == 4; }},
        {"[online]\ninput_delay = 5\n", "online.input_delay: 5 is outside 0 to 4; using 2",
         [](const game_config& c) { return c.input_delay == 2; }},
        {"[pad]\nchoose = 32\n", "pad.choose: 32 is outside 0 to 31",
         [](const game_config& c) { return c.pad_choose == 0; }},
        {"[race]\nlpas = 5\n", "unknown setting 'race.lpas'", [](const game_config& c) { return c.laps == 3; }},
        {"[keys.player1]\nforward = \"jump\"\nleft = \"[4]\"\n",
         "keys.player1.forward: 'jump' is no key's name nor \"button 0\" to \"button 31\"; using 'up'",
         [](const game_config& c) { return c.drive[0][ACT_FORWARD].code == SDLK_UP && c.drive[0][ACT_LEFT].code == SDLK_KP4; }},
        {"[keys.player1]\nforward = \"escape\"\n", "kept for leaving and fullscreen",
         [](const game_config& c) { return c.drive[0][ACT_FORWARD].code == SDLK_UP; }},
        {"[keys.player2]\nback = \"ctrl+s\"\n", "only the pause takes ctrl+",
         [](const game_config& c) { return c.drive[1][ACT_BACK].code == SDLK_s; }},
        {"[keys.player2]\nback = \"button 32\"\n", "'button 32' is no key's name",
         [](const game_config& c) { return c.drive[1][ACT_BACK].code == SDLK_s; }},
        // Bound twice: the later binding goes back to its default.
        {"[keys.player2]\nforward = \"up\"\n",
         "keys.player2.forward: 'up' is bound to keys.player1.forward too; using 'w'",
         [](const game_config& c) { return c.drive[1][ACT_FORWARD].code == SDLK_w; }},
        {"[keys]\npause = \"ctrl+a\"\n", "keys.pause: 'ctrl+a' is bound to keys.player2.left too; using 'ctrl+p'",
         [](const game_config& c) { return c.pause.code == SDLK_p && c.pause.ctrl; }},
        // The one changed from its default goes back, wherever it stands.
        {"[keys.player1]\nforward = \"w\"\nback = \"x\"\n",
         "keys.player1.forward: 'w' is bound to keys.player2.forward too; using 'up'",
         [](const game_config& c) { return c.drive[0][ACT_FORWARD].code == SDLK_UP && c.drive[0][ACT_BACK].code == SDLK_x; }},
        // ... and when its default is taken too, every binding does.
        {"[keys.player1]\nforward = \"w\"\nback = \"up\"\n",
         "its default is taken; using the default keys for all",
         [](const game_config& c) { return same(c, game_config()); }},
        // Swapped keys are no clash.
        {"[keys.player1]\nforward = \"w\"\n[keys.player2]\nforward = \"up\"\nfoo = 1\n", "unknown setting",
         [](const game_config& c) { return c.drive[1][ACT_FORWARD].code == SDLK_UP; }},
    };
    for (const auto& k : cases) {
        std::vector<std::string> problems;
        const game_config c = parse_config(k.toml, problems);
        std::string all;
        for (const std::string& p : problems) all += p + "\n";
        ASSERT_EQ(problems.size(), 1u) << k.toml << all;
        EXPECT_NE(problems[0].find(k.says), std::string::npos) << k.toml << "\n" << problems[0];
        EXPECT_EQ(problems[0].find('\n'), std::string::npos) << problems[0];
        EXPECT_TRUE(k.kept(c)) << k.toml << "\n" << format_config(c);
    }
    // Several problems: one line each, in the file's order of tables.
    std::vector<std::string> problems;
    parse_config("[race]\nlaps = -1\nfoo = 1\n[window]\nscale = 0\n", problems);
    EXPECT_EQ(problems.size(), 3u);
}

TEST(ConfigFile, TextThatIsNotTomlIsOneLineAndAllDefaults) {
    const std::string texts[] = {
        "[race\nlaps = 5\n",
        "laps = 5\nlaps = 6\n",
        std::string("\x00\xff\xfe\x01 binary \x89PNG\r\n\x1a\n", 18),
        "\xef\xbb\xbf[race]\nlaps = \xc3\x28\n",
        std::string(5000, '['),
        "[race]\nlaps = 5\n[race]\nlaps = 6\n",
        // A character on which the library itself goes wrong: refused first.
        "[race]\nlaps = 3 \xc2\xa1\n",
    };
    for (const std::string& t : texts) {
        std::vector<std::string> problems;
        const game_config c = parse_config(t, problems);
        ASSERT_EQ(problems.size(), 1u) << printable(t);
        EXPECT_EQ(problems[0].rfind("line ", 0), 0u) << problems[0];
        EXPECT_NE(problems[0].find("; using the defaults"), std::string::npos) << problems[0];
        for (unsigned char ch : problems[0]) EXPECT_TRUE(ch >= 0x20 && ch < 0x7f) << problems[0];
        EXPECT_TRUE(same(c, game_config()));
    }
}

// Files that cannot be read at all: one line naming the cause, at once, and
// the defaults; a missing file is the first run and says nothing.
TEST(ConfigFile, UnusableFilesGiveOneLineAndTheDefaults) {
    alarm(20);   // a FIFO that blocks ends the process: a loud failure
    const std::string dir = scratch_dir();
    game_config c;
    EXPECT_EQ(read_with_errors(dir + "/missing.toml", c), "");
    EXPECT_TRUE(same(c, game_config()));

    const std::string fifo = dir + "/fifo.toml", big = dir + "/big.toml";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // 100 MB, sparse: refused by its size, never read.
    {
        std::ofstream f(big);
    }
    ASSERT_EQ(truncate(big.c_str(), 100LL << 20), 0);
    const struct {
        std::string path;
        const char* says;
    } cases[] = {
        {dir, "a directory, not a file"},
        {fifo, "a FIFO, not a regular file"},
        {"/dev/zero", "a character device, not a regular file"},
        {big, "larger than 65536 bytes"},
    };
    for (const auto& k : cases) {
        const std::string err = read_with_errors(k.path, c);
        EXPECT_EQ(lines(err), 1) << err;
        EXPECT_EQ(err.rfind("chainball: settings " + k.path + ": ", 0), 0u) << err;
        EXPECT_NE(err.find(k.says), std::string::npos) << err;
        EXPECT_TRUE(same(c, game_config()));
    }
    alarm(0);

    // Bad values inside a good file: the path on each line.
    const std::string bad = scratch_file("[race]\nlaps = 0\n[window]\nscale = 2\n");
    const std::string err = read_with_errors(bad, c);
    EXPECT_EQ(err, "chainball: settings " + bad + ": race.laps: 0 is outside 1 to 999; using 3\n");
    EXPECT_EQ(c.scale, 2);

    // Unreadable: seen only without root's powers.
    const std::string locked = dir + "/locked.toml";
    {
        std::ofstream f(locked);
        f << "[race]\nlaps = 5\n";
    }
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    const std::string said = as_nobody([&] {
        const game_config got = read_config(locked, stdout);
        std::printf("laps %d\n", got.laps);
    });
    EXPECT_EQ(said, "chainball: settings " + locked + ": Permission denied; using the defaults\nlaps 3\n");
}

TEST(ConfigFile, PathFollowsXdgConfigHomeThenHome) {
    const char* old_xdg = std::getenv("XDG_CONFIG_HOME");
    const char* old_home = std::getenv("HOME");
    const std::string saved_xdg = old_xdg ? old_xdg : "", saved_home = old_home ? old_home : "";
    setenv("XDG_CONFIG_HOME", "/x/conf", 1);
    setenv("HOME", "/home/racer", 1);
    EXPECT_EQ(config_path(), "/x/conf/chainball/chainball.toml");
    setenv("XDG_CONFIG_HOME", "relative/conf", 1);   // ignored, as the rules say
    EXPECT_EQ(config_path(), "/home/racer/.config/chainball/chainball.toml");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(config_path(), "/home/racer/.config/chainball/chainball.toml");
    unsetenv("HOME");
    EXPECT_EQ(config_path(), "");
    game_config c;
    FILE* err = tmpfile();
    EXPECT_FALSE(write_config("", c, err));
    EXPECT_EQ(lines(read_back(err)), 1);
    if (old_xdg) setenv("XDG_CONFIG_HOME", saved_xdg.c_str(), 1);
    if (old_home) setenv("HOME", saved_home.c_str(), 1);
}

// A game's save merges its changes over the file as another game left it:
// every setting it changed must reach the file, none left behind.
TEST(ConfigFile, ASaveKeepsEverySettingTheGameChanged) {
    const std::string path = scratch_dir() + "/chainball/chainball.toml";
    const game_config started, changed = every_setting_changed();
    ASSERT_EQ(save_config_changes(path, started, changed, stderr), save_result::written);
    game_config back;
    EXPECT_EQ(read_with_errors(path, back), "");
    EXPECT_TRUE(same(back, changed)) << format_config(back);
}

TEST(ConfigFile, SavingMakesTheFolderAndReplacesTheFileWhole) {
    const std::string dir = scratch_dir() + "/a/b/chainball";
    const std::string path = dir + "/chainball.toml";
    game_config c;
    c.laps = 7;
    FILE* err = tmpfile();
    ASSERT_TRUE(write_config(path, c, err));
    EXPECT_EQ(read_back(err), "");
    game_config back;
    EXPECT_EQ(read_with_errors(path, back), "");
    EXPECT_EQ(back.laps, 7);
    c.laps = 8;
    err = tmpfile();
    ASSERT_TRUE(write_config(path, c, err));
    EXPECT_EQ(read_back(err), "");
    EXPECT_EQ(read_with_errors(path, back), "");
    EXPECT_EQ(back.laps, 8);
    EXPECT_EQ(others_in(dir, "chainball.toml"), std::vector<std::string>());

    // A folder where the file should be: one line, the folder untouched.
    const std::string blocked = scratch_dir() + "/chainball.toml";
    ASSERT_EQ(mkdir(blocked.c_str(), 0700), 0);
    err = tmpfile();
    EXPECT_FALSE(write_config(blocked, c, err));
    const std::string said = read_back(err);
    EXPECT_EQ(lines(said), 1) << said;
    EXPECT_EQ(said.rfind("chainball: cannot save settings to " + blocked + ": ", 0), 0u) << said;
    struct stat st;
    EXPECT_TRUE(stat(blocked.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

TEST(ConfigFile, AReadOnlyFolderKeepsTheOldFile) {
    const std::string top = scratch_dir(), dir = top + "/chainball";
    const std::string path = dir + "/chainball.toml";
    game_config c;
    c.laps = 4;
    FILE* err = tmpfile();
    ASSERT_TRUE(write_config(path, c, err));
    read_back(err);
    const std::string before = file_contents(path);
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    ASSERT_EQ(chmod(top.c_str(), 0755), 0);
    const std::string said = as_nobody([&] {
        game_config changed;
        changed.laps = 9;
        std::printf("%d\n", write_config(path, changed, stdout) ? 1 : 0);
    });
    if (said.empty()) GTEST_SKIP() << "cannot run a child as user nobody";
    EXPECT_EQ(said, "chainball: cannot save settings to " + path + ": Permission denied\n0\n");
    EXPECT_EQ(file_contents(path), before);
    EXPECT_EQ(others_in(dir, "chainball.toml"), std::vector<std::string>());
}

// A full disk: a small tmpfs in a mount namespace of a child's own, filled
// up after a first save. The second save fails in one line, and the first
// file stays whole with no temporary file left beside it.
TEST(ConfigFile, AFullDiskKeepsTheOldFile) {
    const std::string mnt = scratch_dir();
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipe_fds[0]);
        dup2(pipe_fds[1], 1);
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64k") != 0) {
            std::printf("skip: cannot mount a small tmpfs here (%s)\n", std::strerror(errno));
            std::fflush(stdout);
            _exit(0);
        }
        const std::string path = mnt + "/chainball/chainball.toml";
        game_config c;
        c.laps = 5;
        const bool first = write_config(path, c, stdout);
        const std::string before = file_contents(path);
        // Fill what is left.
        const int fd = open((mnt + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
        static char block[4096];
        while (write(fd, block, sizeof block) > 0) {
        }
        close(fd);
        c.laps = 6;
        const bool second = write_config(path, c, stdout);
        game_config back;
        FILE* quiet = tmpfile();
        back = read_config(path, quiet);
        std::printf("first %d second %d same %d laps %d left %zu\n", first, second, file_contents(path) == before,
                    back.laps, others_in(mnt + "/chainball", "chainball.toml").size());
        std::fflush(stdout);
        _exit(0);
    }
    close(pipe_fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(pipe_fds[0], buf, sizeof buf)) > 0) out.append(buf, (size_t)n);
    close(pipe_fds[0]);
    waitpid(pid, nullptr, 0);
    if (out.rfind("skip: ", 0) == 0) GTEST_SKIP() << out;
    const std::string path = mnt + "/chainball/chainball.toml";
    EXPECT_EQ(out, "chainball: cannot save settings to " + path +
                       ": No space left on device\nfirst 1 second 0 same 1 laps 5 left 0\n");
}

// The key names are SDL's own, so the bindings screen can show what SDL
// calls a pressed key and the file reads it back.
TEST(ConfigKeys, NamesAreSdlsAndReadBack) {
    start_game_headless();
    int named = 0;
    for (int k = 1; k < SDLK_LAST; k++) {
        const std::string sdl = SDL_GetKeyName((SDLKey)k);
        if (sdl == "unknown key") {
            EXPECT_STREQ(key_name(k), "") << k;
            continue;
        }
        named++;
        EXPECT_EQ(key_name(k), sdl) << k;
        EXPECT_EQ(key_from_name(sdl), k) << sdl;
        binding b;
        ASSERT_TRUE(binding_from_name("ctrl+" + sdl, b)) << sdl;
        EXPECT_TRUE(b.ctrl && b.code == k && binding_name(b) == "ctrl+" + sdl);
    }
    EXPECT_GT(named, 200);
    binding b;
    for (const char* bad : {"", "ctrl+", "Up", "button", "button -1", "button 01", "button 1x", "world 96", "%"})
        EXPECT_FALSE(binding_from_name(bad, b)) << bad;
    ASSERT_TRUE(binding_from_name("button 0", b));
    EXPECT_TRUE(b.kind == binding::PAD_BUTTON && b.code == 0);
}

// The classic game never opens the settings file, under XDG_CONFIG_HOME or
// under HOME: the built game, run headless with every open logged, walks the
// main menu to Quit (Up wraps to it, Return chooses it) with a settings file
// in both places. The same walk in the full game (--extras) opens the one
// under XDG_CONFIG_HOME, and leaves it as it was.
namespace {
struct logged_run {
    int status;
    std::string opened, out;
};
logged_run run_logging_opens(const std::string& top, const std::string& xdg, const std::string& home,
                             const std::string& args) {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return {-1, "", ""};
    const std::string log = top + "/opens" + args + ".log";
    const std::string cmd = "env XDG_CONFIG_HOME=" + xdg + " HOME=" + home + " CHAINBALL_SHIM_LOG=" + log +
                            " CHAINBALL_SHIM_KEYS=" + std::to_string(SDLK_UP) + "," + std::to_string(SDLK_RETURN) +
                            " LD_PRELOAD=" + std::string(cwd) + "/libchainball_test_shim.so"
                            " SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 60 ./chainball " + args + " > " +
                            top + "/out.txt 2>&1";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, file_contents(log), file_contents(top + "/out.txt")};
}
}  // namespace

TEST(ClassicGame, NeverOpensTheSettingsFile) {
    if (access("./chainball", X_OK) != 0 || access("./libchainball_test_shim.so", R_OK) != 0)
        GTEST_SKIP() << "game or test shim not built beside the tests";
    const std::string top = scratch_dir();
    const std::string xdg = top + "/xdg", home = top + "/home";
    game_config c;
    c.laps = 9;
    FILE* err = tmpfile();
    ASSERT_TRUE(write_config(xdg + "/chainball/chainball.toml", c, err));
    ASSERT_TRUE(write_config(home + "/.config/chainball/chainball.toml", c, err));
    read_back(err);
    const std::string before = file_contents(xdg + "/chainball/chainball.toml");

    const logged_run classic = run_logging_opens(top, xdg, home, "");
    EXPECT_EQ(classic.status, 0) << classic.out;   // Quit, not the timeout's 124
    // The log works: the game's own files are in it.
    EXPECT_NE(classic.opened.find("VeraMoBd.ttf\n"), std::string::npos) << classic.opened;
    EXPECT_NE(classic.opened.find("all_levels.txt\n"), std::string::npos) << classic.opened;
    EXPECT_EQ(classic.opened.find("chainball.toml"), std::string::npos) << classic.opened;
    EXPECT_EQ(classic.opened.find(xdg), std::string::npos) << classic.opened;
    EXPECT_EQ(classic.opened.find(home), std::string::npos) << classic.opened;

    // The full game's menu is longer, but Up from its first entry is Quit too.
    const logged_run full = run_logging_opens(top, xdg, home, "--extras");
    EXPECT_EQ(full.status, 0) << full.out;
    EXPECT_NE(full.opened.find(xdg + "/chainball/chainball.toml\n"), std::string::npos) << full.opened;
    // Under the home folder, only the full game's own data folder (its
    // records); the settings come from XDG_CONFIG_HOME.
    for (size_t at = full.opened.find(home); at != std::string::npos; at = full.opened.find(home, at + 1))
        EXPECT_EQ(full.opened.compare(at, home.size() + 24, home + "/.local/share/chainball/"), 0)
            << full.opened.substr(at, full.opened.find('\n', at) - at);
    EXPECT_EQ(full.out, "");
    EXPECT_EQ(file_contents(xdg + "/chainball/chainball.toml"), before) << "nothing changed, nothing written";
}
