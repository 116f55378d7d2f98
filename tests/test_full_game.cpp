// SPDX-License-Identifier: GPL-3.0-or-later
// The full game (chainball --extras): its main menu, settings kept across a
// restart, key bindings, the lap clock, the race clock and the results.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/clock.h"
#include "config/config.h"
#include "core/difficulty.h"
#include "core/state.h"
#include "harness.h"
#include "io/assets.h"
#include "io/bindings.h"
#include "io/media.h"
#include "io/pads.h"
#include "menu/full_game.h"
#include "menu/trial.h"
#include "race/race.h"
#include "core/files.h"
#include "replay/replay.h"
#include "replay/session.h"
#include "shell/shell.h"
#include "test_race_support.h"
#include "test_sim_support.h"
#include "test_full_support.h"
#include "test_view_support.h"
#include "track/track.h"
#include "view/tiles.h"
#include "view/view.h"

namespace {

constexpr Uint32 FULL_LIT = 0xFCCEFBu;   // a lit button of the full game

// One frame of the screen on top of the test stack.
void full_menu_frame() { screen_frame(); }
void full_settings_frame() { screen_frame(); }
void key_bindings_frame() { screen_frame(); }

// The bindings screen's message, under its list, in white: shown from the
// frame after the key that made it.
bool binding_message_shown(const char* message) {
    key_bindings_frame();
    return glyph_mismatches(screen, 100, 125 + 25 * 11 + 5, message, small_font, 0xFFFFFF) == 0;
}

// The full main menu with `s` opened over it and its cursor moved down to `entry`.
void open_at(ScreenPtr s, int entry) {
    reset_test_screens();
    open_test_screen(std::move(s));
    for (int i = 0; i < entry; i++) {
        push_key(SDLK_DOWN);
        screen_frame();
    }
}

// Runs frames of a menu screen until it leaves `screen_value`, each frame
// with the next keys of `frames`.
void run_screen(int screen_value, void (*frame)(), const std::vector<std::vector<SDLKey>>& frames) {
    for (const auto& keys : frames) {
        for (SDLKey k : keys) push_key(k);
        frame();
        if (game_screen != screen_value) return;
    }
}

}  // namespace

// WCAG's contrast ratio between two colours of `s`'s format.
double luminance(SDL_Surface* s, Uint32 p) {
    Uint8 c[3];
    SDL_GetRGB(p, s->format, &c[0], &c[1], &c[2]);
    double lin[3];
    for (int i = 0; i < 3; i++) {
        const double v = c[i] / 255.0;
        lin[i] = v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    }
    return 0.2126 * lin[0] + 0.7152 * lin[1] + 0.0722 * lin[2];
}
double contrast(double a, double b) { return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05); }

// The contrast of text on its background in a box of the window: the
// background the box's commonest colour, the text its pixel farthest from
// it (a glyph's full-coverage core).
double text_contrast(SDL_Surface* s, int x0, int y0, int w, int h) {
    std::map<Uint32, int> count;
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++) count[pixel_at(s, x, y)]++;
    Uint32 back = 0;
    for (const auto& [p, n] : count)
        if (n > count[back]) back = p;
    double worst = 1;
    for (const auto& [p, n] : count) worst = std::max(worst, contrast(luminance(s, back), luminance(s, p)));
    return worst;
}

// ---- The main menu -----------------------------------------------------------

// The online form's input delay: Left and Right within 0 to 4, kept in the
// settings on leaving.
TEST(FullMenu, TheOnlineFormKeepsItsInputDelay) {
    FullGame g;
    run_screen(SCREEN_MENU, full_menu_frame, {{SDLK_DOWN}, {SDLK_DOWN}, {SDLK_RETURN}});
    ASSERT_EQ(game_screen, SCREEN_ONLINE_FORM);
    run_screen(SCREEN_ONLINE_FORM, screen_frame,
               {{SDLK_DOWN}, {SDLK_DOWN}, {SDLK_DOWN}, {SDLK_RIGHT}, {SDLK_RIGHT}, {SDLK_RIGHT}, {SDLK_LEFT}, {SDLK_ESCAPE}});
    EXPECT_EQ(game_screen, SCREEN_MENU);
    EXPECT_EQ(g.run->options.input_delay, 3);
    EXPECT_NE(file_contents(g.file()).find("input_delay = 3"), std::string::npos) << file_contents(g.file());
}

TEST(FullMenu, HoldsTheClassicEntriesAndCarriesThemOut) {
    FullGame g;
    const std::vector<menu_entry> entries = full_menu_entries();
    const int n = (int)entries.size();
    ASSERT_GE(n, 4);
    std::vector<std::string> labels;
    for (int i = 0; i < n; i++) labels.push_back(entries[i].label);
    EXPECT_EQ(labels.front(), "Start 1 player");
    EXPECT_EQ(labels[1], "Start 2 players");
    EXPECT_EQ(labels[2], "Online race");
    EXPECT_EQ(labels[n - 2], "Settings");
    EXPECT_EQ(labels.back(), "Quit");

    // Each entry lit at its own place; Down from the last wraps to the first.
    reset_test_screens();
    for (int i = 0; i < n; i++) {
        full_menu_frame();   // drawn, then the keys: the next frame shows a Down
        EXPECT_EQ(pixel_at(screen, 300, 160 + 30 * i), FULL_LIT) << labels[i];
        for (int j = 0; j < n; j++) {
            if (j == i) continue;
            EXPECT_NE(pixel_at(screen, 300, 160 + 30 * j), FULL_LIT) << labels[j];
        }
        push_key(SDLK_DOWN);
        full_menu_frame();
    }
    full_menu_frame();
    EXPECT_EQ(pixel_at(screen, 300, 160), FULL_LIT) << "back on the first entry";

    // Enter on "Start 2 players" starts a two-player race; Escape in it
    // comes back to the menu on that entry. Then "Online race", whose form
    // opens on "Host", then "Settings", which open on their first entry.
    // Back from each, the cursor is where it was. Escape quits.
    run_screen(SCREEN_MENU, full_menu_frame, {{SDLK_DOWN}, {SDLK_RETURN}});
    EXPECT_EQ(game_screen, SCREEN_RACE);
    EXPECT_TRUE(live_race.two_players);
    for (int frame = 0; frame < 10 && game_screen == SCREEN_RACE; frame++) {
        push_key(SDLK_ESCAPE);
        race_frame();
    }
    ASSERT_EQ(game_screen, SCREEN_MENU);
    full_menu_frame();
    EXPECT_EQ(pixel_at(screen, 300, 160 + 30), FULL_LIT) << "back on Start 2 players";
    run_screen(SCREEN_MENU, full_menu_frame, {{SDLK_DOWN}, {SDLK_RETURN}});
    EXPECT_EQ(game_screen, SCREEN_ONLINE_FORM);
    screen_frame();
    EXPECT_EQ(pixel_at(screen, 300, 160), FULL_LIT) << "the form opens on Host";
    // Watch takes the typed address: an IPv6 one is refused on the form.
    run_screen(SCREEN_ONLINE_FORM, screen_frame, {{SDLK_DOWN}, {SDLK_COLON}, {SDLK_DOWN}, {SDLK_RETURN}});
    EXPECT_EQ(game_screen, SCREEN_ONLINE_FORM);
    EXPECT_EQ(pixel_at(screen, 300, 160 + 60), FULL_LIT) << "Watch lit";
    run_screen(SCREEN_ONLINE_FORM, screen_frame, {{SDLK_ESCAPE}});
    EXPECT_EQ(game_screen, SCREEN_MENU);
    full_menu_frame();
    EXPECT_EQ(pixel_at(screen, 300, 160 + 60), FULL_LIT) << "back on Online race";
    std::vector<std::vector<SDLKey>> to_settings(n - 4, std::vector<SDLKey>{SDLK_DOWN});
    to_settings.push_back({SDLK_RETURN});
    run_screen(SCREEN_MENU, full_menu_frame, to_settings);
    EXPECT_EQ(game_screen, SCREEN_SETTINGS);
    run_screen(SCREEN_SETTINGS, screen_frame, {{SDLK_ESCAPE}});
    full_menu_frame();
    EXPECT_EQ(pixel_at(screen, 300, 160 + 30 * (n - 2)), FULL_LIT) << "back on Settings";
    run_screen(SCREEN_MENU, full_menu_frame, {{SDLK_ESCAPE}});
    EXPECT_EQ(game_screen, SCREEN_QUIT);
    EXPECT_FALSE(g.file_exists()) << "nothing was changed, so nothing is written";
}

// ---- Settings kept across a restart ------------------------------------------

// The full game's entries read at 4.5:1 or better, lit or not (the
// classic pink on pink is under 2:1; the classic menu keeps it).
TEST(FullMenu, EntriesReadAtFourAndAHalfToOneLitOrNot) {
    FullGame g;
    reset_test_screens();
    full_menu_frame();   // the first entry lit
    const double lit = text_contrast(screen, 181, 151, 139, 19), unlit = text_contrast(screen, 181, 181, 139, 19);
    RecordProperty("lit", std::to_string(lit));
    RecordProperty("unlit", std::to_string(unlit));
    EXPECT_GE(lit, 4.5);
    EXPECT_GE(unlit, 4.5);
}

// News on a panel ("New record!") reads the same on any ground, the
// brightest and the darkest.
TEST(FullMenu, TextOnAPanelReadsOnAnyGround) {
    FullGame g;
    for (Uint32 ground : {0xFFFFFFu, 0xF57EF1u, 0x000000u}) {
        SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, ground >> 16, ground >> 8 & 255, ground & 255));
        text_on_panel(screen, 150, 400, "New record!", large_font, colour_gold);
        EXPECT_GE(text_contrast(screen, 144, 398, 200, 28), 7.0) << std::hex << ground;
        EXPECT_EQ(pixel_at(screen, 130, 410), ground) << "the panel spread too far";
    }
}

TEST(FullSettings, ChangesAreWrittenOnLeavingAndReadAtTheNextStart) {
    FullGame g;
    apply_full_settings(*g.run, read_full_settings(stderr), stderr);
    EXPECT_EQ(race_settings.laps, 3);

    // Walking the settings without changing anything writes nothing.
    open_at(make_full_settings(*g.run), 0);
    run_screen(SCREEN_SETTINGS, full_settings_frame, {{SDLK_DOWN}, {SDLK_DOWN}, {SDLK_ESCAPE}});
    EXPECT_EQ(game_screen, SCREEN_MENU);
    EXPECT_FALSE(g.file_exists());

    // Laps 3 -> 5, track -> the second, drivers -> Good, off-road -> Free,
    // ghosts off (Slows and on by default).
    open_at(make_full_settings(*g.run), 3);
    run_screen(SCREEN_SETTINGS, full_settings_frame,
               {{SDLK_RIGHT, SDLK_RIGHT}, {SDLK_DOWN}, {SDLK_RIGHT}, {SDLK_DOWN, SDLK_DOWN, SDLK_DOWN, SDLK_DOWN},
                {SDLK_RIGHT}, {SDLK_DOWN}, {SDLK_LEFT}, {SDLK_DOWN}, {SDLK_RETURN}, {SDLK_ESCAPE}});
    EXPECT_EQ(game_screen, SCREEN_MENU);
    ASSERT_TRUE(g.file_exists());
    const std::string second = level_names[1];

    // A restart: the start values, then the file.
    start_game_headless();
    full_game = true;
    EXPECT_EQ(race_settings.laps, 3);
    EXPECT_EQ(race_settings.difficulty, 0);
    std::string err = capture_stderr([&] { apply_full_settings(*g.run, read_full_settings(stderr), stderr); });
    EXPECT_EQ(err, "");
    EXPECT_EQ(race_settings.laps, 5);
    EXPECT_EQ(chosen_level_name(), second);
    EXPECT_EQ(race_settings.difficulty, 1);
    EXPECT_EQ(race_settings.off_road, OFF_ROAD_FREE);
    EXPECT_FALSE(g.run->options.ghosts);
    EXPECT_TRUE(g.run->options.recording) << "on by default";
    EXPECT_EQ(race_settings.chain_length[0], 7);
}

// Every entry's button lies whole in the window, under the help line and
// apart from its neighbours, where the screen draws it.
TEST(FullSettings, EveryRowFitsTheWindowAndNoneOverlaps) {
    FullGame g;
    open_at(make_full_settings(*g.run), 0);
    full_settings_frame();
    constexpr Uint32 BORDER = 0xFCCEFBu;   // the buttons' pink frame
    for (int e = 0; e < FULL_SETTINGS_ENTRIES; e++) {
        const int y = full_settings_row_y(e);
        EXPECT_GE(y, 104 + TTF_FontHeight(small_font)) << "entry " << e << " under the help line";
        EXPECT_LE(y + 20, screen->h - 1) << "entry " << e;
        if (e > 0) {
            EXPECT_GT(y, full_settings_row_y(e - 1) + 20) << "entry " << e << " over the one above";
        }
        EXPECT_EQ(pixel_at(screen, 250, y), BORDER) << "entry " << e << " drawn at its row";
        EXPECT_EQ(pixel_at(screen, 250, y + 20), BORDER) << "entry " << e << " drawn at its row";
    }
}

TEST(FullSettings, ATrackTheCatalogueLacksGivesOnePrintableLineAndTheFirst) {
    FullGame g;
    game_config c;
    c.track = "NoSuchTrack";
    c.laps = 2;
    // A settings folder whose name would split the line or move the cursor.
    setenv("XDG_CONFIG_HOME", (g.config_home + "/odd\n\x1b[2J").c_str(), 1);
    const std::string err = capture_stderr([&] { apply_full_settings(*g.run, c, stderr); });
    EXPECT_NE(err.find("no track 'NoSuchTrack' in the catalogue; using the first\n"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_EQ(err.find('\x1b'), std::string::npos) << err;
    EXPECT_EQ(race_settings.level_index, 0);
    EXPECT_EQ(race_settings.laps, 2);
}

TEST(FullSettings, DriversCycleThroughTheThreeDifficulties) {
    FullGame g;
    open_at(make_full_settings(*g.run), 8);   // "Drivers"
    std::vector<int> seen;
    for (SDLKey k : {SDLK_RIGHT, SDLK_RIGHT, SDLK_RIGHT, SDLK_LEFT}) {
        push_key(k);
        full_settings_frame();
        seen.push_back(race_settings.difficulty);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 0, 2}));
}

// ---- Key bindings ------------------------------------------------------------

TEST(KeyBindingsScreen, BindsAPressedKeyRefusesOneBoundElsewhereAndRestoresDefaults) {
    FullGame g;
    open_at(make_full_settings(*g.run), FULL_SETTINGS_KEYS_ENTRY);
    run_screen(SCREEN_SETTINGS, full_settings_frame, {{SDLK_RETURN}});
    ASSERT_EQ(game_screen, SCREEN_KEY_BINDINGS);   // on player 1 forward
    run_screen(SCREEN_KEY_BINDINGS, key_bindings_frame, {{SDLK_RETURN}});
    EXPECT_TRUE(waiting_for_binding);
    // W drives player 2: refused, still waiting, the message says by whom.
    run_screen(SCREEN_KEY_BINDINGS, key_bindings_frame, {{SDLK_w}});
    EXPECT_TRUE(binding_message_shown("'w' is taken by Player 2 forward; press another"));
    EXPECT_EQ(key_bindings.keys[0][0], SDLK_UP);
    EXPECT_TRUE(waiting_for_binding);
    run_screen(SCREEN_KEY_BINDINGS, key_bindings_frame, {{SDLK_i}});
    EXPECT_EQ(key_bindings.keys[0][0], SDLK_i);
    EXPECT_FALSE(waiting_for_binding);

    // The race reads the new key: I drives, Up no longer does.
    held_keys i_held{SDLK_i}, up_held{SDLK_UP};
    EXPECT_EQ(input_from_keys(i_held, key_bindings).player[0], ACTION_FORWARD);
    EXPECT_EQ(input_from_keys(up_held, key_bindings).player[0], 0);

    // Escape while waiting keeps the binding.
    run_screen(SCREEN_KEY_BINDINGS, key_bindings_frame, {{SDLK_RETURN}, {SDLK_ESCAPE}});
    EXPECT_EQ(key_bindings.keys[0][0], SDLK_i);
    EXPECT_EQ(game_screen, SCREEN_KEY_BINDINGS);

    // The pause takes Ctrl with a key, but not Ctrl alone.
    run_screen(SCREEN_KEY_BINDINGS, key_bindings_frame, {{SDLK_UP}, {SDLK_UP}, {SDLK_UP}, {SDLK_RETURN}, {SDLK_LCTRL}});
    EXPECT_TRUE(waiting_for_binding);
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_k;
    e.key.keysym.mod = KMOD_LCTRL;
    SDL_PushEvent(&e);
    key_bindings_frame();
    EXPECT_EQ(key_bindings.pause_key, SDLK_k);
    EXPECT_TRUE(key_bindings.pause_ctrl);

    // "Defaults" (entry 9) gives back the game's own keys; "Done" goes back
    // to the settings on their "Key bindings" entry.
    run_screen(SCREEN_KEY_BINDINGS, key_bindings_frame, {{SDLK_DOWN}, {SDLK_RETURN}, {SDLK_DOWN}, {SDLK_RETURN}});
    EXPECT_EQ(key_bindings.keys[0][0], SDLK_UP);
    EXPECT_EQ(key_bindings.pause_key, SDLK_p);
    EXPECT_TRUE(key_bindings.pause_ctrl);
    EXPECT_EQ(game_screen, SCREEN_SETTINGS);
    full_settings_frame();
    EXPECT_EQ(pixel_at(screen, 300, full_settings_row_y(FULL_SETTINGS_KEYS_ENTRY) + 10), FULL_LIT) << "on Key bindings";
}

TEST(KeyBindingsScreen, APadButtonBindsAndDrivesOnlyItsPlayer) {
    FullGame g;
    plug_test_pads(2, 12);
    open_at(make_key_bindings(*g.run), 6);   // player 2 left
    run_screen(SCREEN_KEY_BINDINGS, key_bindings_frame, {{SDLK_RETURN}});
    ASSERT_TRUE(waiting_for_binding);
    ASSERT_EQ(pad_mode_now(), PADS_CAPTURE);
    test_pads[1].buttons = 1u << 4;
    key_bindings_frame();
    EXPECT_EQ(key_bindings.buttons[1][2], 4);
    EXPECT_EQ(key_bindings.keys[1][2], SDLK_UNKNOWN);
    EXPECT_TRUE(binding_message_shown("Player 2 left: 'button 4'"));
    // The same button for another action is refused.
    test_pads[1].buttons = 0;
    run_screen(SCREEN_KEY_BINDINGS, key_bindings_frame, {{SDLK_DOWN}, {SDLK_RETURN}});   // player 2 right
    test_pads[1].buttons = 1u << 4;
    key_bindings_frame();
    EXPECT_TRUE(binding_message_shown("'button 4' is taken by Player 2 left; press another"));
    run_screen(SCREEN_KEY_BINDINGS, key_bindings_frame, {{SDLK_ESCAPE}});

    // In a two-player race pad 2's button 4 steers player 2 left, pad 1's does not.
    waiting_for_binding = false;
    two_players = true;
    RaceInput in;
    bool pause = false;
    test_pads[0].buttons = 1u << 4;
    test_pads[1].buttons = 0;
    merge_pads(in, pause, true);
    EXPECT_EQ(in.player[1] & ACTION_LEFT, 0);
    test_pads[1].buttons = 1u << 4;
    in = RaceInput();
    merge_pads(in, pause, true);
    EXPECT_EQ(in.player[1] & ACTION_LEFT, ACTION_LEFT);
    EXPECT_EQ(in.player[0] & ACTION_LEFT, 0);
}

TEST(KeyBindingsScreen, BindingsAreWrittenAndReadBack) {
    FullGame g;
    BindingWait wait;
    wait.entry = 3;   // player 1 right
    offer_binding(wait, key_bindings, binding{binding::KEY, SDLK_l, false});
    EXPECT_EQ(wait.entry, -1) << "bound: no longer waiting";
    wait.entry = 8;
    offer_binding(wait, key_bindings, binding{binding::PAD_BUTTON, 9, false});
    ASSERT_TRUE(save_full_settings_if_changed(*g.run, stderr));
    EXPECT_FALSE(save_full_settings_if_changed(*g.run, stderr)) << "written once per change";
    key_bindings = default_key_bindings();
    apply_full_settings(*g.run, read_full_settings(stderr), stderr);
    EXPECT_EQ(key_bindings.keys[0][3], SDLK_l);
    EXPECT_EQ(key_bindings.pause_button, 9);
    EXPECT_EQ(key_bindings.pause_key, SDLK_UNKNOWN);
    EXPECT_EQ(key_bindings.keys[1][0], SDLK_w);
}

// ---- Lap clocks --------------------------------------------------------------

TEST(LapClock, FormatsStepsAsMinutesSecondsAndHundredths) {
    char t[24];
    const std::map<long long, std::string> cases = {
        {0, "0:00.00"}, {1, "0:00.02"}, {50, "0:01.00"}, {306, "0:06.12"}, {2999, "0:59.98"},
        {3000, "1:00.00"}, {30000 * 11 + 5, "110:00.10"}, {-4, "0:00.00"}};
    for (const auto& [steps, text] : cases) {
        format_race_time(steps, t, sizeof t);
        EXPECT_EQ(t, text) << steps;
    }
}

// The steps at which chainball-sim shows each racer's lap count grow are
// the clock's lap ends: the computer racers of FirstLoop lap it on their
// own, through its checkpoints.
TEST(LapClock, AgreesWithTheLapStepsOfTheSimulator) {
    const std::string track = source_path("tests/data/sim/tracks/FirstLoop.txt");
    const sim_run run = sim({"--lengths", "1,3,3", "--laps", "3", "--steps", "2000", track});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<long long> lap_ends[RACERS];
    int laps_seen[RACERS] = {};
    long long step = 0;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream w(line);
        std::string kind;
        w >> kind;
        if (kind == "step") w >> step;
        if (kind != "racer") continue;
        int r, laps;
        double speed;
        w >> r >> speed >> laps;
        if (laps > laps_seen[r]) lap_ends[r].push_back(step);
        laps_seen[r] = laps;
    }
    ASSERT_GE(lap_ends[1].size(), 4u);
    ASSERT_GE(lap_ends[2].size(), 4u);

    sim_options opt;
    opt.lengths[0] = 1;
    opt.lengths[1] = opt.lengths[2] = 3;
    opt.laps = 3;
    opt.level_file = track;
    Race race;
    Track* t = new Track;
    sim_setup(opt, race, *t);
    for (long long s = 1; s <= 2000; s++) {
        race_step(race, *t, RaceInput());
        for (int r = 1; r < RACERS; r++) {
            const LapClock& c = race.clocks[r];
            // Just after each lap end: the lap's steps and the best so far.
            for (size_t i = 0; i < lap_ends[r].size(); i++) {
                if (lap_ends[r][i] != s) continue;
                const long long began = i == 0 ? 0 : lap_ends[r][i - 1];
                EXPECT_EQ(c.last_lap, s - began) << "racer " << r << " lap " << i + 1;
                EXPECT_EQ(c.lap_started, s);
                long long best = lap_ends[r][0];
                for (size_t j = 1; j <= i; j++) best = std::min(best, lap_ends[r][j] - lap_ends[r][j - 1]);
                EXPECT_EQ(c.best_lap, best) << "racer " << r << " lap " << i + 1;
            }
            const long long finished = lap_ends[r][2];
            EXPECT_EQ(c.finished, s >= finished ? finished : 0) << "racer " << r << " step " << s;
        }
    }
    EXPECT_EQ(race.clocks[0].best_lap, 0) << "player 1 stood still";
    // A new set-up starts every clock again.
    Random random = make_random(1);
    setup_race(race, *t, random, RaceSetup{{1, 3, 3}, 3, false, DIFFICULTY_CLASSIC}, track.c_str());
    for (const LapClock& c : race.clocks) EXPECT_TRUE(c.lap_started == 0 && c.best_lap == 0 && c.finished == 0);
    delete t;
}

// ---- The race clock, the pause and the results on screen ---------------------

namespace {
// Player 1 alone with one ball in the finish strip of an open grid
// without checkpoints, the countdown over: every step in the strip is a lap.
void solo_race_at_the_line(int laps) {
    race_test_reset(20, 1, 0, 0);
    live_race.laps = laps;
    two_players = false;
    put_ball(0, 0, 250, 510);   // inside the strip
    race_start_ticks = game_ticks() - 10000;
    game_screen = SCREEN_RACE;
}
// No ground drawn: the classic and the full game's frames then differ only
// in what a test looks at, not in the full game's mirrored grass.
void blank_ground() {
    for (int x = 0; x < MAX_TRACK; x++)
        for (int y = 0; y < MAX_TRACK; y++) loaded_track.tiles[x][y] = TILE_BLANK;
}
}  // namespace

TEST(FullRace, TheHudNeverCoversTheLapDisplayAndTheClassicFrameHasNone) {
    FullGame g;
    full_game = false;
    solo_race_at_the_line(3);
    blank_ground();
    race_frame();
    SDL_Surface* classic = copy_of_screen();
    full_game = true;
    solo_race_at_the_line(3);
    blank_ground();
    race_frame();
    SDL_Surface* full = copy_of_screen();
    // The lap display is the same pixels in both but for the lap's number:
    // the laps completed in the classic game, the lap on in the full game.
    EXPECT_EQ(differing_pixels(classic, full, 0, 0, 50, 40), 0);
    EXPECT_EQ(differing_pixels(classic, full, 60, 0, 70, 40), 0);
    EXPECT_EQ(glyph_mismatches(classic, 15, 13, "Lap: 1", small_font, 0x000000), 0);
    EXPECT_EQ(glyph_mismatches(full, 15, 13, "Lap: 2", small_font, 0x000000), 0);
    // The clock stands in the top right corner and the minimap in the
    // bottom right one, and only there.
    EXPECT_GT(differing_pixels(classic, full, 370, 10, 120, 48), 2000);
    EXPECT_GT(differing_pixels(classic, full, 380, 380, 120, 100), 2000);
    // Elsewhere only player 1's ball and badge differ.
    int left, top;
    ASSERT_TRUE(ball_place_in_view(live_race, race_cameras(live_race, loaded_track, 0), 0, 0, 0, left, top));
    ASSERT_GE(top - 12, 100);
    EXPECT_EQ(differing_pixels(classic, full, 0, 100, 500, 280), differing_pixels(classic, full, left, top - 12, 26, 38));
    EXPECT_EQ(differing_pixels(classic, full, 0, 380, 380, 120), 0);
    EXPECT_EQ(differing_pixels(classic, full, 0, 480, 500, 20), 0);
    // "Time" then one race step: 0:00.02.
    EXPECT_EQ(glyph_mismatches(full, 376, 13, "Time", small_font, 0xFFFFFF), 0);
    SDL_FreeSurface(classic);
    SDL_FreeSurface(full);
}

TEST(FullRace, ResultsShowTheTimesAndRaceAgainLoadsTheTrack) {
    FullGame g;
    solo_race_at_the_line(2);
    std::vector<SDLKey> keys;
    bool results_seen = false;
    std::string wanted;
    long long best_lap = 0;
    OverlayPasses hook([&] {
        if (!(game_screen == SCREEN_RESULTS)) return;
        results_seen = true;
        const LapClock& c = live_race.clocks[0];
        best_lap = c.best_lap;
        char total[24], best[24];
        format_race_time(c.finished, total, sizeof total);
        format_race_time(c.best_lap, best, sizeof best);
        wanted = std::string(total) + " " + best;
        const std::pair<int, const char*> row[] = {{55, "1."}, {76, "Player 1"}, {174, total}, {321, best}};
        for (const auto& [x, text] : row) EXPECT_EQ(glyph_mismatches(screen, x, 100, text, small_font, 0xFFFFFF), 0) << text;
        EXPECT_EQ(glyph_mismatches(screen, 165, 40, "Results", large_font, 0xFFFFFF), 0);
        push_key(SDLK_RETURN);   // "Race again"
    });
    // With no checkpoints every step in the strip is a lap: the second step
    // in it ends the race, at step 2 with laps of 1 step.
    hold_key(SDLK_UP, true);
    for (int frame = 0; frame < 10 && ((game_screen == SCREEN_RACE && !results_seen) || game_screen == SCREEN_RESULTS);
         frame++)
        race_frame();
    release_all_keys();
    EXPECT_TRUE(results_seen);
    EXPECT_EQ(best_lap, 1);
    EXPECT_EQ(wanted, "0:00.04 0:00.02");
    EXPECT_EQ(game_screen, SCREEN_RACE);
    EXPECT_EQ(live_race.step, 0) << "a new race, set up and not yet run";
}

// The steps at which each racer of a chainball-sim run completed `laps` laps (0: never).
std::vector<long long> sim_finishing_steps(const std::string& out, int laps) {
    std::vector<long long> finished(RACERS, 0);
    long long step = 0;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream w(line);
        std::string kind;
        int r, done;
        double speed;
        w >> kind;
        if (kind == "step") w >> step;
        if (kind == "racer" && w >> r >> speed >> done && done >= laps && finished[r] == 0) finished[r] = step;
    }
    return finished;
}

// Once the players are done the computers race on, undrawn, to the very
// steps chainball-sim gives the same race; the results show their times
// and gaps, and the recorded replay holds those steps too.
TEST(FullRace, ComputersStillOutRaceOnToTheSimulatorsFinishingSteps) {
    FullGame g;
    const std::string track = source_path("tests/data/sim/tracks/FirstLoop.txt");
    const sim_run run = sim({"--lengths", "1,3,3", "--laps", "2", "--steps", "20000", track});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<long long> expected = sim_finishing_steps(run.out, 2);
    ASSERT_GT(expected[1], 0);
    ASSERT_GT(expected[2], 0);

    sim_options opt;
    opt.lengths[0] = 1;
    opt.lengths[1] = opt.lengths[2] = 3;
    opt.laps = 2;
    opt.level_file = track;
    record_races(*g.run, true, 50);
    drop_test_screens();
    sim_setup(opt, live_race, loaded_track);
    // Player 1 is done from the start; no rule moves a racer by its laps,
    // so the computers drive as in the simulator, where it stands still.
    live_race.racers[0].completed_laps = 2;
    live_race.clocks[0].finished = 1;
    race_start_ticks = game_ticks() - 10000;
    game_screen = SCREEN_RACE;
    Race at_results = new_race();
    OverlayPasses hook([&] {
        if (game_screen != SCREEN_RESULTS || at_results.step > 0) return;
        at_results = live_race;
        // Player 1 won at step 1; the second computer home is third, its gap
        // counted from player 1's time.
        const int first = expected[1] < expected[2] ? 1 : 2, second = 3 - first;
        char gap[24] = "+";
        format_race_time(expected[second] - 1, gap + 1, sizeof gap - 1);
        EXPECT_EQ(glyph_mismatches(screen, 76, 120, racer_name(live_race, first).c_str(), small_font, 0xFFFFFF), 0);
        EXPECT_EQ(glyph_mismatches(screen, 244, 140, gap, small_font, 0xFFFFFF), 0) << gap;
        push_key(SDLK_ESCAPE);
    });
    for (int frame = 0; frame < 5 && at_results.step == 0; frame++) race_frame();
    ASSERT_GT(at_results.step, 0) << "no results";
    EXPECT_EQ(at_results.clocks[1].finished, expected[1]);
    EXPECT_EQ(at_results.clocks[2].finished, expected[2]);
    EXPECT_EQ(at_results.step, std::max(expected[1], expected[2]));
    // The replay runs to the last finish, not to the players'.
    std::string text, why;
    replay rep;
    ASSERT_TRUE(read_regular_file(last_recording().c_str(), MAX_REPLAY_BYTES, text, why)) << why;
    ASSERT_TRUE(parse_replay(text, rep, why)) << why;
    EXPECT_FALSE(rep.result.left);
    EXPECT_EQ(rep.result.steps, at_results.step);
    record_races(*g.run, false, 50);
}

// Over the brightest frozen race (all white) every line of the results
// reads at 4.5:1 or better: the title, a row, the next track's name.
TEST(FullRace, ResultsReadOnAWhiteTrack) {
    FullGame g;
    solo_race_at_the_line(1);
    live_race.clocks[0].finished = live_race.clocks[0].best_lap = 75;
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 255, 255, 255));
    freeze_frame();
    open_test_screen(make_results_screen(plan_from_settings(), live_race, ReplayOutcome()));
    screen_frame();
    const double title = text_contrast(screen, 160, 40, 180, 30), row = text_contrast(screen, 52, 100, 396, 16),
                 next = text_contrast(screen, 322, 212, 120, 16);
    RecordProperty("title", std::to_string(title));
    RecordProperty("row", std::to_string(row));
    RecordProperty("next_track", std::to_string(next));
    for (double ratio : {title, row, next}) EXPECT_GE(ratio, 4.5);
    drop_test_screens();
}

// A recorded race's results name the replay it was written to (in the
// game's own folder, made by that first replay), or why it could not be
// written (a --record folder gone); a race that was not written (recording
// off) shows no such line.
TEST(FullRace, ResultsNameTheSavedReplayOrWhyNot) {
    FullGame g;
    const std::string dir = scratch_dir() + "/races";
    enum { SAVED, LOST, OFF };
    struct stat st;
    for (int recording : {SAVED, LOST, OFF}) {
        if (recording == SAVED) {
            record_races(*g.run, true, 50);
            EXPECT_NE(stat(replays_folder().c_str(), &st), 0) << "a folder before its first replay";
        }
        if (recording == LOST) {
            ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
            ASSERT_TRUE(start_recording(dir));
            ASSERT_EQ(rmdir(dir.c_str()), 0);
        }
        solo_race_at_the_line(2);
        std::string line_seen;
        int white_in_line = -1;
        OverlayPasses hook([&] {
            if (!(game_screen == SCREEN_RESULTS) || white_in_line >= 0) return;
            white_in_line = 0;
            for (int y = 290; y < 306; y++)
                for (int x = 15; x < 485; x++) white_in_line += pixel_at(screen, x, y) == 0xFFFFFFu;
            if (recording == SAVED)
                line_seen = "Replay saved: " + last_recording().substr(last_recording().rfind('/') + 1);
            if (recording == LOST) line_seen = "Replay not saved: No such file or directory";
            if (recording != OFF) {
                EXPECT_EQ(glyph_mismatches(screen, 15, 290, line_seen.c_str(), small_font, 0xFFFFFF), 0)
                    << line_seen;
            }
            push_key(SDLK_ESCAPE);
        });
        hold_key(SDLK_UP, true);
        std::string err = capture_stderr([] {
            for (int frame = 0; frame < 10 && (game_screen == SCREEN_RACE || game_screen == SCREEN_RESULTS); frame++)
                race_frame();
        });
        release_all_keys();
        if (recording == SAVED) {
            EXPECT_EQ(last_recording().compare(0, replays_folder().size(), replays_folder()), 0) << last_recording();
            record_races(*g.run, false, 50);
        }
        if (recording == LOST) {
            EXPECT_NE(err.find("kept to try again"), std::string::npos) << err;
            EXPECT_NE(stat(dir.c_str(), &st), 0) << "a --record folder made again";
            stop_recording();
        }
        if (recording != OFF) {
            EXPECT_GT(white_in_line, 100) << "no line about the replay";
        } else {
            EXPECT_EQ(white_in_line, 0) << "a line though nothing was written";
        }
    }
    reset_replay_session();   // the lost race is not written at the test's end
}

TEST(FullRace, AComputerStillOutAfterTheRunOnDidNotFinishAndNextTrackMovesOn) {
    FullGame g;
    solo_race_at_the_line(1);
    live_race.lengths[2] = 3;   // a computer far from finishing
    put_ball(2, 0, 900, 900);
    race_settings.level_index = 0;
    int order[RACERS];
    OverlayPasses hook([&] {
        if (!(game_screen == SCREEN_RESULTS)) return;
        EXPECT_EQ(finishing_order(live_race, order), 2);
        EXPECT_EQ(order[0], 0);
        EXPECT_EQ(order[1], 2);
        // It drives off towards a waypoint far outside the grid: still out after the run-on.
        EXPECT_EQ(live_race.step, live_race.clocks[0].finished + RUN_ON_STEPS);
        EXPECT_EQ(glyph_mismatches(screen, 55, 120, "-", small_font, 0xFFFFFF), 0);
        EXPECT_EQ(glyph_mismatches(screen, 76, 120, racer_name(live_race, 2).c_str(), small_font, 0xFFFFFF), 0);
        EXPECT_EQ(glyph_mismatches(screen, 174, 120, "did not finish", small_font, 0xFFFFFF), 0);
        EXPECT_EQ(pad_mode_now(), PADS_NAVIGATE);
        // Beside "Next track", the track it goes on to.
        ASSERT_GE(last_level_index, 1);
        EXPECT_EQ(glyph_mismatches(screen, live_race.view_width / 2 + 75, 213, level_names[1], small_font, 0xFCCEFB),
                  0);
        push_key(SDLK_DOWN);
        push_key(SDLK_RETURN);   // "Next track"
    });
    hold_key(SDLK_UP, true);
    for (int frame = 0; frame < 10 && (game_screen == SCREEN_RACE || game_screen == SCREEN_RESULTS); frame++) race_frame();
    release_all_keys();
    EXPECT_FALSE(race_over(live_race));
    EXPECT_EQ(game_screen, SCREEN_RACE);
    EXPECT_EQ(race_settings.level_index, 0) << "the settings are the player's own";
    Track* next = new Track();
    Random random = make_random(1);
    load_level_file(*next, level_file_path(level_names[1]).c_str(), random);
    EXPECT_EQ(loaded_track.size, next->size);
    EXPECT_EQ(loaded_track.finish_x, next->finish_x);
    EXPECT_EQ(loaded_track.finish_y, next->finish_y);
    delete next;
}

TEST(FullRace, ThePauseKeyPausesAndLeaveRaceGoesToTheMenu) {
    FullGame g;
    key_bindings.pause_key = SDLK_k;
    key_bindings.pause_ctrl = false;
    solo_race_at_the_line(3);
    live_race.lengths[1] = 0;
    race_frame();
    // Ctrl+P is no pause here: P is not the bound key.
    hold_key(SDLK_LCTRL, true);
    push_key(SDLK_p);
    race_frame();
    EXPECT_FALSE(paused);
    release_all_keys();
    // K: the pause, Down to "Leave race", Return: the menu.
    int passes = 0;
    OverlayPasses hook([&] {
        if (!paused) return;
        EXPECT_EQ(glyph_mismatches(screen, 190, 190, "Pause", large_font, 0xFFFFFF), 0);
        if (passes++ == 0) {
            push_key(SDLK_DOWN);
            push_key(SDLK_RETURN);
        }
    });
    hold_key(SDLK_k, true);
    race_frame();
    release_all_keys();
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(game_screen, SCREEN_MENU);
    EXPECT_FALSE((game_screen == SCREEN_RESULTS));
}

TEST(FullRace, APadAloneCanPauseAndLeaveTheRace) {
    FullGame g;
    plug_test_pads(1, 12);
    solo_race_at_the_line(3);
    race_frame();
    int passes = 0;
    OverlayPasses hook([&] {
        if (!paused) return;
        EXPECT_EQ(pad_mode_now(), PADS_NAVIGATE);
        // Down on the d-pad, then button 0 (choose).
        if (passes == 0) test_pads[0].hat = SDL_HAT_DOWN;
        if (passes == 1) test_pads[0].hat = 0;
        if (passes == 2) test_pads[0].buttons = 1u;
        passes++;
    });
    test_pads[0].buttons = 1u << start_button(12);
    race_frame();   // Start is read as the frame's keys are
    test_pads[0].buttons = 0;
    for (int frame = 0; frame < 3 && game_screen == SCREEN_RACE; frame++) race_frame();
    EXPECT_GE(passes, 3);
    EXPECT_EQ(game_screen, SCREEN_MENU);
}

// ---- The racers' own looks -----------------------------------------------------

namespace {
struct mean_colour {
    double r = 0, g = 0, b = 0;
    int n = 0;
};
// The mean colour, in `full`, of the pixels of a box that differ from `classic`.
mean_colour changed_colour(SDL_Surface* classic, SDL_Surface* full, int x0, int y0, int w, int h) {
    mean_colour m;
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++) {
            const Uint32 p = pixel_at(full, x, y);
            if (p == pixel_at(classic, x, y)) continue;
            Uint8 r, g, b;
            SDL_GetRGB(p, full->format, &r, &g, &b);
            m.r += r, m.g += g, m.b += b, m.n++;
        }
    if (m.n) m.r /= m.n, m.g /= m.n, m.b /= m.n;
    return m;
}
}  // namespace

// In the full game player 1 is blue, player 2 orange, the computer pearl
// white, and each player wears a badge over its head; the classic game
// keeps its own balls and no badges.
TEST(RacerLooks, EachRacerInItsOwnColoursAndEachPlayerWithItsBadge) {
    FullGame g;
    SDL_Surface* frames[2];
    for (bool full : {false, true}) {
        full_game = full;
        race_test_reset(20, 1, 1, 1, true);
        blank_ground();
        put_ball(0, 0, 200, 300);
        put_ball(1, 0, 300, 300);
        put_ball(2, 0, 250, 400);
        race_start_ticks = game_ticks() - 10000;
        game_screen = SCREEN_RACE;
        race_frame();
        frames[full] = copy_of_screen();
    }
    mean_colour ball[RACERS];
    for (int r = 0; r < RACERS; r++) {
        int left, top;
        ASSERT_TRUE(ball_place_in_view(live_race, race_cameras(live_race, loaded_track, 0), 0, r, 0, left, top));
        ball[r] = changed_colour(frames[0], frames[1], left, top, 26, 26);
        EXPECT_GT(ball[r].n, 200) << "racer " << r << " drawn as in the classic game";
        // The badge's strip, above the head.
        const int badge = differing_pixels(frames[0], frames[1], left + 4, top - 12, 18, 12);
        if (r < 2) EXPECT_GT(badge, 60) << "no badge over player " << r + 1;
        else EXPECT_EQ(badge, 0) << "a badge over a computer";
    }
    EXPECT_GT(ball[0].b, ball[0].r + 40) << "player 1 blue";
    EXPECT_GT(ball[1].r, ball[1].b + 40) << "player 2 orange";
    EXPECT_GT(std::min({ball[2].r, ball[2].g, ball[2].b}), 150) << "the computer pearl white";
    SDL_FreeSurface(frames[0]);
    SDL_FreeSurface(frames[1]);
}

TEST(RacerLooks, NamesArePlayersThenOnePerComputerSlotAndDifficulty) {
    Race race = new_race();
    race.two_players = true;
    EXPECT_EQ(racer_name(race, 0), "Player 1");
    EXPECT_EQ(racer_name(race, 1), "Player 2");
    EXPECT_EQ(racer_name(race, 3), "");
    race.two_players = false;
    std::set<std::string> seen;
    for (int d = 0; d < DIFFICULTIES; d++) {
        race.difficulty = d;
        for (int r = 1; r < RACERS; r++) {
            const std::string name = racer_name(race, r);
            EXPECT_TRUE(!name.empty() && name.rfind("Player", 0) != 0) << name;
            seen.insert(name);
        }
    }
    EXPECT_EQ(seen.size(), 6u) << "a computer driver's name used twice";
}

// ---- The full game's ground --------------------------------------------------

// The grass of each cell is the grass piece mirrored as its cell says, in
// several ways across a view; the classic game draws every cell alike.
// Straight road mirrors only along its length, keeping its kerbs in place.
TEST(FullTrack, GrassIsMirroredPerCellAndStraightsOnlyAlongTheRoad) {
    FullGame g;
    for (bool full : {false, true}) {
        full_game = full;
        race_test_reset(12);
        draw_track_view(screen, loaded_track, 0, 0);
        SDL_Surface* piece = tile_pieces[TILE_GROUND];
        ASSERT_TRUE(piece);
        std::set<int> flips;
        for (int cx = 0; cx < 10; cx++)
            for (int cy = 0; cy < 10; cy++) {
                const int flip = cell_flip(loaded_track, cx, cy);
                flips.insert(flip);
                int wrong = 0;
                for (int j = 0; j < 50; j++)
                    for (int i = 0; i < 50; i++) {
                        const int si = flip & 1 ? 49 - i : i, sj = flip & 2 ? 49 - j : j;
                        wrong += pixel_at(screen, cx * 50 + i, cy * 50 + j) != pixel_at(piece, si, sj);
                    }
                EXPECT_EQ(wrong, 0) << "cell " << cx << "," << cy << " flip " << flip;
            }
        EXPECT_EQ(flips.size(), full ? 4u : 1u);
    }
    std::set<int> along[2];
    for (int cx = 0; cx < 10; cx++) {
        loaded_track.tiles[cx][0] = TILE_H_STRAIGHT;
        loaded_track.tiles[cx][1] = TILE_V_STRAIGHT;
        along[0].insert(cell_flip(loaded_track, cx, 0));
        along[1].insert(cell_flip(loaded_track, cx, 1));
    }
    EXPECT_EQ(along[0], (std::set<int>{0, 1}));
    EXPECT_EQ(along[1], (std::set<int>{0, 2}));
}
