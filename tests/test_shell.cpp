#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/assets.h"
#include "core/media.h"
#include "core/state.h"
#include "harness.h"
#include "menu/menu.h"
#include "race/race.h"
#include "shell/options.h"
#include "shell/shell.h"
#include "track/tiles.h"
#include "track/track.h"

TEST(Shell, StartValues) {
    start_game_headless();
    EXPECT_EQ(game_screen, SCREEN_MENU);
    EXPECT_EQ(race_settings.chain_length[0], 7);
    EXPECT_EQ(race_settings.chain_length[1], 2);
    EXPECT_EQ(race_settings.chain_length[2], 5);
    EXPECT_EQ(race_settings.laps, 3);
    EXPECT_EQ(race_settings.level_index, 0);
    EXPECT_TRUE(race_settings.music_on);
    EXPECT_FALSE(kaksinpeli);
    EXPECT_EQ(menu_cursor, 0);
    EXPECT_EQ(background_phase, 2000);
    EXPECT_FLOAT_EQ(acceleration, 1.1f);
    EXPECT_FLOAT_EQ(friction, 0.8f);
    EXPECT_FLOAT_EQ(computer_acceleration[1], 0.9f);
    EXPECT_FLOAT_EQ(computer_acceleration[2], 1.05f);
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

// Runs a copy of the built game from a scratch folder; `prepare` is a shell
// command run there first (to lay out a partial data folder).
static int run_game_copy(const std::string& prepare, std::string& err) {
    char dir[] = "/tmp/chainball-nodata-XXXXXX";
    if (!mkdtemp(dir)) return -1;
    std::string copy = std::string(dir) + "/chainball";
    std::string cmd = "cp ./chainball " + copy + " && cd " + dir + " && " + prepare +
                      " && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 20 " + copy + " 2> " + dir +
                      "/err.txt";
    int status = system(cmd.c_str());
    FILE* f = fopen((std::string(dir) + "/err.txt").c_str(), "r");
    char line[1024] = {0};
    if (f) {
        size_t n = fread(line, 1, sizeof line - 1, f);
        line[n] = 0;
        fclose(f);
    }
    err = line;
    std::string cleanup = std::string("rm -rf ") + dir;
    if (system(cleanup.c_str()) != 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

TEST(Shell, MissingDataFolderExitsWithOneAndSaysWhat) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "game binary not built beside the tests";
    std::string err;
    EXPECT_EQ(run_game_copy("true", err), 1);
    EXPECT_NE(err.find("VeraMoBd.ttf"), std::string::npos) << err;
    EXPECT_NE(err.find("pallura1.png"), std::string::npos) << err;
    EXPECT_NE(err.find("/filut"), std::string::npos) << err;
    // One line.
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
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
    for (auto [f, s] : {std::pair<FILE*, std::string*>{out, &p.out}, {err, &p.err}}) {
        rewind(f);
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) s->append(buf, n);
        fclose(f);
    }
    return p;
}
}  // namespace

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
        EXPECT_NE(p.err.find("usage: chainball"), std::string::npos) << bad;
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
        EXPECT_NE(p.err.find("usage: chainball"), std::string::npos) << p.err;
        EXPECT_EQ(std::count(p.err.begin(), p.err.end(), '\n'), 2) << p.err;
    }
    parsed bare = parse({"--scale"});
    EXPECT_EQ(bare.status, 2);
    EXPECT_NE(bare.err.find("--scale needs a number from 1 to 4"), std::string::npos) << bare.err;
    // A value is taken as the scale's, never as an option of its own.
    EXPECT_EQ(parse({"--scale", "--help"}).status, 2);
}
