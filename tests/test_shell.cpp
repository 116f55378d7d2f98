// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/files.h"
#include "core/state.h"
#include "harness.h"
#include "io/assets.h"
#include "io/media.h"
#include "menu/menu.h"
#include "race/race.h"
#include "shell/options.h"
#include "shell/shell.h"
#include "track/track.h"
#include "view/tiles.h"
#include "view/view.h"

TEST(Shell, StartValues) {
    start_game_headless();
    EXPECT_EQ(game_screen, SCREEN_MENU);
    EXPECT_EQ(race_settings.chain_length[0], 7);
    EXPECT_EQ(race_settings.chain_length[1], 2);
    EXPECT_EQ(race_settings.chain_length[2], 5);
    EXPECT_EQ(race_settings.laps, 3);
    EXPECT_EQ(race_settings.level_index, 0);
    EXPECT_TRUE(race_settings.music_on);
    EXPECT_FALSE(two_players);
    EXPECT_EQ(menu_cursor, 0);
    EXPECT_EQ(background_phase, 2000);
    EXPECT_FLOAT_EQ(live_race.acceleration, 1.1f);
    EXPECT_FLOAT_EQ(live_race.friction, 0.8f);
    EXPECT_FLOAT_EQ(live_race.computer_acceleration[1], 0.9f);
    EXPECT_FLOAT_EQ(live_race.computer_acceleration[2], 1.05f);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->w, 500);
    EXPECT_EQ(screen->h, 500);
    EXPECT_EQ(second_view->w, 400);
    EXPECT_EQ(frozen_frame->w, 800);
    EXPECT_NE(small_font, nullptr);
    EXPECT_NE(large_font, nullptr);
    EXPECT_NE(music_chunk, nullptr);
    char* title = nullptr;
    SDL_WM_GetCaption(&title, nullptr);
    ASSERT_NE(title, nullptr);
    EXPECT_STREQ(title, "Chainball");
}

TEST(Shell, ScreenLoopEndsWhenTheMenuQuits) {
    start_game_headless();
    push_key(SDLK_DOWN);
    push_key(SDLK_DOWN);
    push_key(SDLK_DOWN);
    push_key(SDLK_RETURN);
    run_screen_loop();
    EXPECT_EQ(game_screen, SCREEN_QUIT);
    EXPECT_EQ(menu_cursor, 3);
}

// Runs `cmd` in a shell with its stderr in `errfile`; returns the exit status
// (-2 for a signal) and the first kilobyte of what it printed there in `err`.
static int run_capturing_stderr(const std::string& cmd, const std::string& errfile, std::string& err) {
    int status = system((cmd + " 2> " + errfile).c_str());
    FILE* f = fopen(errfile.c_str(), "r");
    char line[1024] = {0};
    if (f) {
        size_t n = fread(line, 1, sizeof line - 1, f);
        line[n] = 0;
        fclose(f);
    }
    err = line;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

// Runs a copy of the built game from a scratch folder; `prepare` is a shell
// command run there first (to lay out a partial data folder). `run` goes
// between the drivers and the game: more environment, or a command that
// runs the game (it sees the game's path last). `dir_out` gets the folder's
// name.
static int run_game_copy(const std::string& prepare, std::string& err, const std::string& run = "",
                         std::string* dir_out = nullptr) {
    char dir[] = "/tmp/chainball-nodata-XXXXXX";
    if (!mkdtemp(dir)) return -1;
    if (dir_out) *dir_out = dir;
    std::string copy = std::string(dir) + "/chainball";
    std::string cmd = "cp ./chainball " + copy + " && cd " + dir + " && " + prepare +
                      " && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy " + run + " timeout 20 " + copy;
    int status = run_capturing_stderr(cmd, std::string(dir) + "/err.txt", err);
    std::string cleanup = std::string("rm -rf ") + dir;
    if (system(cleanup.c_str()) != 0) return -1;
    return status;
}

TEST(Shell, MissingDataFolderExitsWithOneAndNamesEveryPlace) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "game binary not built beside the tests";
    std::string err, dir;
    EXPECT_EQ(run_game_copy("true", err, "", &dir), 1);
    // Beside the executable (here also the working directory), then
    // share/chainball one level above it.
    EXPECT_EQ(err, "chainball: cannot start, no data folder filut/ in " + dir + ", /tmp/share/chainball, " +
                       dir + "\n");
}

// A data folder found in share/chainball beside bin/, with the game started
// from another folder: the partial folder is named, so that one was used.
TEST(Shell, InstalledLayoutIsFoundFromAnyDirectory) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "game binary not built beside the tests";
    std::string err;
    EXPECT_EQ(run_game_copy("mkdir -p bin share/chainball/filut && mv chainball bin/ && ln -s bin/chainball chainball"
                            " && touch share/chainball/filut/VeraMoBd.ttf && cd /",
                            err),
              1);
    EXPECT_NE(err.find("/share/chainball/filut: no such file: pallura1.png"), std::string::npos) << err;
    EXPECT_EQ(err.find("VeraMoBd.ttf"), std::string::npos) << err;
}

// A stray file or an empty folder named filut beside the program does not
// hide the installed data folder: the next place is tried.
TEST(Shell, AStrayFilutBesideTheProgramDoesNotHideTheInstalledOne) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "game binary not built beside the tests";
    for (const char* stray : {"touch bin/filut", "mkdir bin/filut"}) {
        std::string err;
        EXPECT_EQ(run_game_copy(std::string("mkdir -p bin share/chainball/filut && mv chainball bin/ && ") +
                                    "ln -s bin/chainball chainball && " + stray +
                                    " && touch share/chainball/filut/VeraMoBd.ttf && cd /",
                                err),
                  1)
            << stray;
        EXPECT_NE(err.find("/share/chainball/filut: no such file: pallura1.png"), std::string::npos)
            << stray << ": " << err;
    }
}

// Without a display SDL would draw the game in the terminal; unless the
// player picked that driver, the game says why it cannot open a window.
TEST(Shell, NoDisplayExitsWithOneUnlessTheDriverWasChosen) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "game binary not built beside the tests";
    std::string err;
    const std::string quiet = "env -u DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy TERM=xterm ";
    EXPECT_EQ(run_capturing_stderr(quiet + "timeout 20 ./chainball < /dev/null > /dev/null", "no-display.txt", err), 1);
    EXPECT_EQ(err, "chainball: cannot open a window: no display (DISPLAY is not set)\n");
    // Also without a terminal, as a command run over ssh has.
    EXPECT_EQ(run_capturing_stderr("env -u DISPLAY -u SDL_VIDEODRIVER -u TERM SDL_AUDIODRIVER=dummy timeout 20 ./chainball"
                                   " < /dev/null > /dev/null",
                                   "no-display.txt", err),
              1);
    EXPECT_EQ(err, "chainball: cannot open a window: no display (DISPLAY is not set)\n");
    // A display that cannot be reached reads the same, with its name.
    EXPECT_EQ(run_capturing_stderr(quiet + "DISPLAY=:97 timeout 20 ./chainball < /dev/null > /dev/null",
                                   "no-display.txt", err),
              1);
    EXPECT_EQ(err, "chainball: cannot open a window: no display (cannot reach DISPLAY :97)\n");
    // Before that line, nothing on the terminal: no text driver was tried.
    EXPECT_EQ(run_capturing_stderr(quiet + "DISPLAY=:97 timeout 20 ./chainball < /dev/null > no-display-out.txt",
                                   "no-display.txt", err),
              1);
    std::ifstream terminal("no-display-out.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(terminal), {}), "");
    unlink("no-display-out.txt");
    // A driver named by the player is used: the game runs until stopped.
    EXPECT_EQ(run_capturing_stderr("env -u DISPLAY SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 2 ./chainball",
                                   "no-display.txt", err),
              124);
    EXPECT_EQ(err, "");
    unlink("no-display.txt");
}

TEST(Shell, OneMissingPictureIsNamedAndMissingMusicIsNot) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "game binary not built beside the tests";
    std::string err;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    std::string here = cwd;
    EXPECT_EQ(run_game_copy("cp -r " + here + "/filut . && rm filut/pp.png filut/musa.ogg", err), 1);
    EXPECT_NE(err.find("pp.png"), std::string::npos) << err;
    EXPECT_EQ(err.find("musa.ogg"), std::string::npos) << err;
    EXPECT_EQ(err.find("pallura1.png"), std::string::npos) << err;
}

// A command that copies the built data folder into the game copy's folder.
static std::string copy_data_here() {
    char cwd[4096];
    return std::string("cp -r ") + (getcwd(cwd, sizeof cwd) ? cwd : ".") + "/filut .";
}

// Every failure to open the window is one line with SDL's reason, status 1.
TEST(Shell, NoWindowIsOneLineAndStatusOne) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "game binary not built beside the tests";
    const std::string data = copy_data_here();
    for (const char* env : {"SDL_VIDEODRIVER=no-such-driver", "SDL_VIDEODRIVER=x11 DISPLAY=:4095",
                            "SDL_VIDEODRIVER=x11 DISPLAY="}) {
        std::string err;
        EXPECT_EQ(run_game_copy(data, err, env), 1) << env;
        EXPECT_EQ(err.rfind("chainball: cannot open a window", 0), 0u) << env << ": " << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    }
}

// Start-up turns each ball picture to 360 angles: a huge one is refused
// before anything is decoded, by its header, and so is any picture that is
// no PNG.
TEST(Shell, HugeBallPicturesAreRefusedAtOnce) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "game binary not built beside the tests";
    const std::string data = copy_data_here() + " && ";
    // A PNG header that claims 1600 x 1600 (width and height big-endian at 16 and 20).
    const std::string png_header =
        "printf '\\211PNG\\r\\n\\032\\n\\0\\0\\0\\rIHDR\\0\\0\\6\\100\\0\\0\\6\\100"
        "\\10\\6\\0\\0\\0' > filut/pallura1.png";
    std::string err;
    EXPECT_EQ(run_game_copy(data + png_header, err), 1);
    EXPECT_NE(err.find("filut/pallura1.png is 1600 x 1600 pixels; a ball picture may be at most 128 x 128"),
              std::string::npos) << err;

    // A 200 x 200 BMP in a .png file: no PNG, refused by its header.
    SDL_Surface* big = SDL_CreateRGBSurface(SDL_SWSURFACE, 200, 200, 32, 0, 0, 0, 0);
    const std::string bmp = scratch_dir() + "/big.bmp";
    ASSERT_EQ(SDL_SaveBMP(big, bmp.c_str()), 0);
    SDL_FreeSurface(big);
    EXPECT_EQ(run_game_copy(data + "cp " + bmp + " filut/pallura3.png", err), 1);
    EXPECT_NE(err.find("filut/pallura3.png is not a PNG picture (it starts with 'BM"), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;

    // A 20000 x 20000 GIF atlas and a 5000 x 5000 JPEG logo: one line each,
    // status 1, no decoder run (the GIF one crashed in SDL_image).
    const std::string gif = "printf 'GIF89a\\040\\116\\040\\116\\367\\0\\0' > filut/set.png";
    EXPECT_EQ(run_game_copy(data + gif, err), 1);
    EXPECT_EQ(err.rfind("chainball: cannot start, picture /", 0), 0u) << err;   // the data folder, whole
    EXPECT_NE(err.find("/filut/set.png is not a PNG picture (it starts with 'GIF89a N...')\n"), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    const std::string jpeg = "printf '\\377\\330\\377\\300\\0\\21\\10\\23\\210\\23\\210\\3' > filut/pp.png";
    EXPECT_EQ(run_game_copy(data + jpeg, err), 1);
    EXPECT_NE(err.find("filut/pp.png is not a PNG picture (it starts with '\\xff\\xd8"), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    // A PNG header with nothing behind it: the decoder's complaint in the one line.
    EXPECT_EQ(run_game_copy(data + "head -c 33 filut/donut.png > d && mv d filut/donut.png", err), 1);
    EXPECT_NE(err.find("filut/donut.png cannot be decoded"), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
}

// SIGTERM, SIGINT, SIGHUP and SIGQUIT end the game through its normal
// shut-down: the status a shell expects of a program stopped by that signal,
// and nothing on stderr. SIGPIPE is ignored.
TEST(Shell, QuitSignalsEndTheGame) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "game binary not built beside the tests";
    const std::string data = copy_data_here();
    for (const char* sig : {"TERM", "INT", "HUP", "QUIT", "PIPE"}) {
        std::string err;
        // A shell that signals itself a second later, then becomes the
        // game's `timeout`, which hands the signal on to the game.
        // SIGPIPE is ignored: sent to the game itself (`timeout` would die of
        // it), then a SIGTERM a second later finds the game still running.
        const std::string run = std::string(sig) == "PIPE"
            ? "sh -c '(sleep 1; kill -PIPE $(pgrep -x -P $$ chainball); sleep 1; kill -TERM $$) & exec \"$@\"' sh"
            : std::string("sh -c '(sleep 1; kill -") + sig + " $$) & exec \"$@\"' sh";
        const int status = run_game_copy(data, err, run);
        const std::string name = sig;
        const int want = name == "TERM" ? 128 + SIGTERM : name == "INT" ? 128 + SIGINT
                       : name == "HUP" ? 128 + SIGHUP : name == "QUIT" ? 128 + SIGQUIT : 128 + SIGTERM;
        EXPECT_EQ(status, want) << sig << ": " << err;
        EXPECT_EQ(err, "") << sig;
    }
}

namespace {
// Runs parse_game_args on `args` and collects what it printed.
struct parsed {
    int status;
    std::string out, err;
    game_options opt;
};
parsed parse(std::initializer_list<const char*> args) {
    std::vector<const char*> argv = {"chainball"};
    argv.insert(argv.end(), args.begin(), args.end());
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    parsed p;
    p.status = parse_game_args((int)argv.size(), argv.data(), p.opt, out, err);
    p.out = read_back(out);
    p.err = read_back(err);
    return p;
}
}  // namespace

// The host's input delay: 0 to 4 steps, with --host only, one line otherwise.
TEST(ShellOptions, InputDelayGoesWithHostFromZeroToFour) {
    parsed ok = parse({"--host", "--input-delay", "4"});
    EXPECT_EQ(ok.status, -1) << ok.err;
    EXPECT_EQ(ok.opt.input_delay, 4);
    EXPECT_EQ(parse({"--host"}).opt.input_delay, -1) << "the settings' then";
    for (const char* bad : {"5", "-1", "two", ""}) {
        parsed p = parse({"--host", "7000", "--input-delay", bad});
        EXPECT_EQ(p.status, 2) << bad;
        EXPECT_NE(p.err.find("--input-delay takes a number of steps from 0 to 4, not '" + std::string(bad) + "'"),
                  std::string::npos) << p.err;
        EXPECT_EQ(std::count(p.err.begin(), p.err.end(), '\n'), 1) << p.err;
    }
    parsed join = parse({"--join", "127.0.0.1", "--input-delay", "1"});
    EXPECT_EQ(join.status, 2);
    EXPECT_NE(join.err.find("--input-delay goes with --host"), std::string::npos) << join.err;
}

TEST(ShellOptions, NoOptionRunsTheGameAndOthersExitBeforeAnyWindow) {
    parsed none = parse({});
    EXPECT_EQ(none.status, -1);
    EXPECT_EQ(none.out + none.err, "");

    parsed help = parse({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: chainball", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");

    parsed version = parse({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("chainball ", 0), 0u);
    EXPECT_EQ(version.out.find("unknown"), std::string::npos) << version.out;

    for (const char* bad : {"--bogus", "-x", "level.txt", ""}) {
        parsed p = parse({bad});
        EXPECT_EQ(p.status, 2) << bad;
        EXPECT_EQ(p.out, "") << bad;
        EXPECT_NE(p.err.find("(see chainball --help)"), std::string::npos) << bad;
        EXPECT_EQ(std::count(p.err.begin(), p.err.end(), '\n'), 1) << p.err;
        EXPECT_NE(p.err.find(std::string("'") + bad + "'"), std::string::npos) << p.err;
    }
}

TEST(ShellOptions, ScaleAndFullscreen) {
    parsed none = parse({});
    EXPECT_EQ(none.opt.scale, 1);
    EXPECT_FALSE(none.opt.fullscreen);
    for (int s = 1; s <= 4; s++) {
        const std::string v = std::to_string(s);
        parsed apart = parse({"--scale", v.c_str()});
        EXPECT_EQ(apart.status, -1);
        EXPECT_EQ(apart.opt.scale, s);
        const std::string joined = "--scale=" + v;
        EXPECT_EQ(parse({joined.c_str()}).opt.scale, s);
    }
    parsed both = parse({"--fullscreen", "--scale", "3"});
    EXPECT_EQ(both.status, -1);
    EXPECT_TRUE(both.opt.fullscreen);
    EXPECT_EQ(both.opt.scale, 3);

    for (const char* bad : {"0", "5", "-1", "+2", "2.0", " 2", "02", "x", "", "99999999999"}) {
        parsed p = parse({"--scale", bad});
        EXPECT_EQ(p.status, 2) << bad;
        EXPECT_NE(p.err.find(std::string("not '") + bad + "'"), std::string::npos) << p.err;
        EXPECT_NE(p.err.find("(see chainball --help)"), std::string::npos) << p.err;
        EXPECT_EQ(std::count(p.err.begin(), p.err.end(), '\n'), 1) << p.err;
    }
    parsed bare = parse({"--scale"});
    EXPECT_EQ(bare.status, 2);
    EXPECT_NE(bare.err.find("--scale needs a number from 1 to 4"), std::string::npos) << bare.err;
    // A value is taken as the scale's, never as an option of its own.
    EXPECT_EQ(parse({"--scale", "--help"}).status, 2);
}

// A --join or --watch address that can never be reached is a bad option
// like any other: status 2 with the address quoted, before any window opens.
TEST(ShellOptions, JoinAndWatchAddressesCheckedWithTheOtherOptions) {
    for (const char* option : {"--join", "--watch"}) {
        for (const char* bad : {":70000", ":0", ":abc", "127.0.0.1:", "a:b:c", "host:0", "host:65536",
                                "ho\x1bst", "ho\nst:5000", "[::1]:5000"}) {
            parsed p = parse({option, bad});
            EXPECT_EQ(p.status, 2) << option << " " << bad;
            EXPECT_EQ(std::count(p.err.begin(), p.err.end(), '\n'), 1) << p.err;
            EXPECT_NE(p.err.find("'" + printable(bad) + "'"), std::string::npos) << p.err;
            EXPECT_NE(p.err.find("(see chainball --help)"), std::string::npos) << p.err;
        }
        for (const char* good : {"127.0.0.1", "localhost:5000", "host.example:65535"}) {
            parsed p = parse({option, good});
            EXPECT_EQ(p.status, -1) << good << ": " << p.err;
            EXPECT_EQ(std::string(option) == "--join" ? p.opt.join : p.opt.watch, good);
        }
    }
    parsed both = parse({"--join", "127.0.0.1", "--watch", "127.0.0.1"});
    EXPECT_EQ(both.status, 2);
    EXPECT_NE(both.err.find("cannot go together"), std::string::npos) << both.err;
}

TEST(ShellOptions, ExtrasIsAnOptionOfItsOwn) {
    EXPECT_FALSE(parse({}).opt.extras);
    parsed p = parse({"--extras", "--scale", "2"});
    EXPECT_EQ(p.status, -1);
    EXPECT_TRUE(p.opt.extras);
    EXPECT_EQ(p.opt.scale, 2);
    EXPECT_NE(parse({"--help"}).out.find("  --extras "), std::string::npos);
    parsed valued = parse({"--extras=no"});
    EXPECT_EQ(valued.status, 2);
    EXPECT_EQ(valued.err, "chainball: option --extras takes no value (see chainball --help)\n");
}

// The three programs answer --help, -h and --version alike, and a bad option
// with one line naming it, escaped and cut, and status 2.
TEST(CommandLines, SameHelpVersionAndBadOptionLineEverywhere) {
    std::string version;
    for (const std::string program : {"chainball", "chainball-sim", "chainball-track"}) {
        if (access(("./" + program).c_str(), X_OK) != 0) GTEST_SKIP() << program << " not built beside the tests";
        const std::string run = "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 20 ./" + program;
        std::string err;
        for (const char* help : {" --help", " -h"}) {
            EXPECT_EQ(run_capturing_stderr(run + help + " > help.txt", "err.txt", err), 0) << program << help;
            EXPECT_EQ(err, "") << program;
            std::ifstream in("help.txt");
            std::string first;
            std::getline(in, first);
            EXPECT_EQ(first.rfind("usage: " + program + " ", 0), 0u) << first;
        }
        EXPECT_EQ(run_capturing_stderr(run + " --version > version.txt", "err.txt", err), 0) << program;
        std::ifstream in("version.txt");
        std::string line;
        std::getline(in, line);
        ASSERT_EQ(line.rfind(program + " ", 0), 0u) << line;
        if (version.empty()) version = line.substr(program.size() + 1);
        EXPECT_EQ(line, program + " " + version);
        const std::string bad = std::string(80, 'x') + "\x1b[2J";
        const std::string sub = program == "chainball-track" ? " check" : "";
        EXPECT_EQ(run_capturing_stderr(run + sub + " '--" + bad + "' > /dev/null", "err.txt", err), 2) << program;
        EXPECT_EQ(err, program + ": unknown option '--" + std::string(58, 'x') + "...'" +
                           (sub.empty() ? "" : " for check") + " (see " + program + " --help)\n");
    }
    unlink("help.txt");
    unlink("version.txt");
    unlink("err.txt");
}
