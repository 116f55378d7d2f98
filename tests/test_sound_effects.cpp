// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's sound effects: which effects two race values call for,
// and what the game really writes to SDL's disk audio driver while a replay
// is watched, in the full game and in the classic one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <SDL/SDL_mixer.h>

#include "core/files.h"
#include "core/state.h"
#include "harness.h"
#include "menu/full_game.h"
#include "replay/replay.h"
#include "test_full_support.h"
#include "test_race_support.h"
#include "view/race_sounds.h"

namespace {

std::vector<SoundEffect> effects_of(const SoundCues& cues) {
    std::vector<SoundEffect> out;
    for (int i = 0; i < cues.count; i++) out.push_back(cues.cue[i].effect);
    return out;
}

// One step further, with `change` made to the race first.
template <typename Change>
std::vector<SoundEffect> step_with(RaceListener& l, Change change) {
    live_race.step++;
    change(live_race);
    return effects_of(hear_race(l, live_race, loaded_track));
}

using Cues = std::vector<SoundEffect>;

}  // namespace

TEST(RaceSounds, PlayersProgressSoundsOnceAndComputersStaySilent) {
    race_test_reset(20, 3, 0, 3);
    loaded_track.checkpoint_count = 2;
    put_ball(2, 0, 800, 800);   // far from the player: no bump between them
    RaceListener l;
    EXPECT_TRUE(effects_of(hear_race(l, live_race, loaded_track)).empty()) << "the first hearing primes";
    EXPECT_EQ(step_with(l, [](Race& r) { r.checkpoint_passed[1][0] = 1; }), Cues{EFFECT_CHECKPOINT});
    EXPECT_EQ(step_with(l, [](Race&) {}), Cues{}) << "a checkpoint still touched sounds once";
    EXPECT_EQ(step_with(l, [](Race& r) { r.checkpoint_passed[0][2] = r.checkpoint_passed[1][2] = 1; }), Cues{})
        << "a computer racer's checkpoints";
    // A lap clears the flags: the lap's sound alone, not a checkpoint's.
    auto lap = [](Race& r) {
        r.racers[0].completed_laps++;
        std::memset(r.checkpoint_passed, 0, sizeof r.checkpoint_passed);
    };
    EXPECT_EQ(step_with(l, lap), Cues{EFFECT_LAP});
    EXPECT_EQ(step_with(l, lap), Cues{EFFECT_FINAL_LAP}) << "the lap that starts the last of three";
    EXPECT_EQ(step_with(l, [](Race& r) { r.racers[2].completed_laps = 3; }), Cues{}) << "a computer finishing";
    EXPECT_EQ(step_with(l, lap), Cues{EFFECT_FINISH});
    EXPECT_EQ(step_with(l, lap), Cues{}) << "laps after the finish";

    // Player 2 is heard in a two-player race.
    race_test_reset(20, 3, 3, 0, true);
    loaded_track.checkpoint_count = 1;
    RaceListener two;
    hear_race(two, live_race, loaded_track);
    EXPECT_EQ(step_with(two, [](Race& r) { r.checkpoint_passed[0][1] = 1; }), Cues{EFFECT_CHECKPOINT});
}

// An online race rolls back and steps again: the race as it stands may
// lose a touch or a lap for a frame and then make it again.
TEST(RaceSounds, RolledBackEventsAreNotRepeated) {
    race_test_reset(20, 3, 0, 0);
    loaded_track.checkpoint_count = 1;
    RaceListener l;
    hear_race(l, live_race, loaded_track);
    EXPECT_EQ(step_with(l, [](Race& r) { r.checkpoint_passed[0][0] = 1; }), Cues{EFFECT_CHECKPOINT});
    EXPECT_EQ(step_with(l, [](Race& r) { r.checkpoint_passed[0][0] = 0; }), Cues{});
    EXPECT_EQ(step_with(l, [](Race& r) { r.checkpoint_passed[0][0] = 1; }), Cues{});
    EXPECT_EQ(step_with(l, [](Race& r) { r.racers[0].completed_laps = 1; }), Cues{EFFECT_LAP});
    EXPECT_EQ(step_with(l, [](Race& r) { r.racers[0].completed_laps = 0; }), Cues{});
    EXPECT_EQ(step_with(l, [](Race& r) { r.racers[0].completed_laps = 1; }), Cues{});
    // The same step heard again (a frame without steps) says nothing.
    live_race.racers[0].completed_laps = 2;
    EXPECT_TRUE(effects_of(hear_race(l, live_race, loaded_track)).empty());
}

namespace {

// Racer `r`'s head, alone in its chain, moved to (x, y) in world pixels.
void move_head(int r, float x, float y) { put_ball(r, 0, x, y); }

// A step where racer 2's head comes from `from` pixels to `to` pixels right
// of the player's head (which stands still at (500, 500)).
SoundCues close_in(RaceListener& l, float from, float to) {
    move_head(0, 500, 500);
    move_head(2, 500 + from, 500);
    live_race.step++;
    hear_race(l, live_race, loaded_track);
    move_head(2, 500 + to, 500);
    live_race.step++;
    return hear_race(l, live_race, loaded_track);
}

}  // namespace

TEST(RaceSounds, BumpsSoundByImpactAtMostOnceInAWhileAndNearAPlayer) {
    race_test_reset(40, 1, 0, 1);
    RaceListener l;
    hear_race(l, live_race, loaded_track);
    const SoundCues hard = close_in(l, 40, 24);
    ASSERT_EQ(effects_of(hard), Cues{EFFECT_BUMP});
    EXPECT_EQ(hard.cue[0].loudness, EFFECT_FULL) << "16 pixels closer in one step";
    for (int i = 0; i < BUMP_GAP; i++) live_race.step++;
    const SoundCues soft = close_in(l, 28, 25);
    ASSERT_EQ(effects_of(soft), Cues{EFFECT_BUMP});
    EXPECT_EQ(soft.cue[0].loudness, EFFECT_FULL / 2) << "3 pixels closer: half of the full impact's 6";
    EXPECT_TRUE(effects_of(close_in(l, 40, 24)).empty()) << "within the gap after a bump";
    for (int i = 0; i < BUMP_GAP; i++) live_race.step++;
    EXPECT_TRUE(effects_of(close_in(l, 26, 24)).empty()) << "touching already";
    EXPECT_TRUE(effects_of(close_in(l, 40, 30)).empty()) << "not touching";
    EXPECT_TRUE(effects_of(close_in(l, 26.3f, 25.9f)).empty()) << "leaning on, too slow to hear";

    // Two computer racers: heard near the player's head, not far from it.
    race_test_reset(40, 1, 1, 1);
    RaceListener c;
    move_head(0, 500, 500);
    auto computers_meet = [&c](float x) {
        move_head(1, x, 700);
        move_head(2, x + 40, 700);
        live_race.step += BUMP_GAP;
        hear_race(c, live_race, loaded_track);
        move_head(2, x + 20, 700);
        live_race.step++;
        return effects_of(hear_race(c, live_race, loaded_track));
    };
    EXPECT_TRUE(computers_meet(1500).empty()) << "about 1000 pixels away";
    EXPECT_EQ(computers_meet(500), Cues{EFFECT_BUMP}) << "200 pixels below the player";
}

TEST(RaceSounds, CountdownBeepsAsEachLabelShowsAndTheRumbleFollowsThePlayersHead) {
    RaceListener l;
    std::vector<SoundEffect> heard;
    for (int label : {0, 0, 1, 1, 2, 3, 3, -1}) {
        SoundCue cue;
        if (hear_countdown(l, label, cue)) heard.push_back(cue.effect);
    }
    EXPECT_EQ(heard, (Cues{EFFECT_COUNTDOWN, EFFECT_COUNTDOWN, EFFECT_COUNTDOWN, EFFECT_GO}));

    race_test_reset(20, 2, 0, 2);
    loaded_track.tiles[4][4] = 1;   // a slowing cell from (200, 200) to (250, 250)
    move_head(0, 100, 100);
    put_ball(0, 1, 225, 225);        // a trailing ball in the mud does not rumble
    move_head(2, 225, 225);          // nor does a computer racer
    EXPECT_FALSE(player_on_slowing_cell(live_race, loaded_track));
    move_head(0, 210, 240);
    EXPECT_TRUE(player_on_slowing_cell(live_race, loaded_track));
    move_head(0, 250, 240);
    EXPECT_FALSE(player_on_slowing_cell(live_race, loaded_track)) << "on the cell's border";
    move_head(0, 210, 240);
    live_race.racers[0].completed_laps = live_race.laps;
    EXPECT_FALSE(player_on_slowing_cell(live_race, loaded_track)) << "finished";
}

// ---- Playing them -------------------------------------------------------------

// Channels playing but the music's.
static int effects_playing() { return Mix_Playing(-1) - Mix_Playing(0); }
static void halt_effects() {
    for (int c = 1; c < Mix_AllocateChannels(-1); c++) Mix_HaltChannel(c);
}

// On the tests' dummy audio driver, which plays in real time: a channel
// plays as long as its effect lasts.
TEST(FullGameEffects, AnUnusableFileIsOneLineAndSilentTheMenusClickAndTheVolumesApply) {
    FullGame g;
    const std::string saved = data_folder(), dir = scratch_dir();
    std::string out;
    ASSERT_EQ(run("sh -c 'mkdir " + dir + "/sounds && cp " + source_path("filut/sounds") + "/*.wav " + dir +
                      "/sounds/ && rm " + dir + "/sounds/go.wav && echo not a wave > " + dir + "/sounds/bump.wav'",
                  out),
              0)
        << out;
    set_data_folder(dir);
    const std::string err = capture_stderr([] { load_effects(stderr); });
    set_data_folder(saved);
    ASSERT_TRUE(effects_loaded());
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
    EXPECT_NE(err.find("go.wav: no such file; playing without it"), std::string::npos) << err;
    EXPECT_NE(err.find("bump.wav: "), std::string::npos) << err;
    play_effect(EFFECT_GO);
    play_effect(EFFECT_BUMP);
    EXPECT_EQ(effects_playing(), 0) << "the unusable files stay silent";
    play_effect(EFFECT_CHECKPOINT, EFFECT_FULL / 2);
    EXPECT_EQ(effects_playing(), 1);
    halt_effects();

    // The menus' shared frame: a move and a choice each click.
    reset_test_screens();
    push_key(SDLK_DOWN);
    screen_frame();
    EXPECT_EQ(effects_playing(), 1) << "a move";
    halt_effects();

    // The settings' volumes: 10 % a press, within 0 to 100 %, kept for the
    // settings file, applied to the music's channel and the effects at once.
    open_test_screen(make_full_settings(*g.run));
    for (int i = 0; i < FULL_SETTINGS_KEYS_ENTRY - 3; i++) {   // past "Minimap" to "Music volume"
        push_key(SDLK_DOWN);
        screen_frame();
    }
    for (int i = 0; i < 3; i++) push_key(SDLK_LEFT);
    push_key(SDLK_DOWN);
    push_key(SDLK_RIGHT);
    screen_frame();
    EXPECT_EQ(current_full_settings(*g.run).music_volume, 7);
    EXPECT_EQ(current_full_settings(*g.run).effects_volume, 10);
    EXPECT_EQ(Mix_Volume(0, -1), 7 * MIX_MAX_VOLUME / 10);
    for (int i = 0; i < 11; i++) push_key(SDLK_LEFT);
    screen_frame();
    EXPECT_EQ(current_full_settings(*g.run).effects_volume, 0);
    halt_effects();
    play_effect(EFFECT_CHECKPOINT);
    EXPECT_EQ(effects_playing(), 0) << "effects at 0 %";
    free_effects();
    set_volumes(10, 10);
}

// ---- The game's audio on SDL's disk driver -----------------------------------

namespace {

constexpr int RATE = 44100;   // the mixer's: 16-bit stereo, as Mix_OpenAudio asks

std::vector<int16_t> samples_of(const std::string& bytes, size_t skip) {
    std::vector<int16_t> out(bytes.size() > skip ? (bytes.size() - skip) / 2 : 0);
    if (!out.empty()) std::memcpy(out.data(), bytes.data() + skip, out.size() * 2);
    return out;
}

// The samples of one of our effects (16-bit mono WAV, data after a
// 44-byte header).
std::vector<int16_t> effect_samples(const char* name) {
    return samples_of(file_contents(source_path(std::string("filut/sounds/") + name)), 44);
}

// Where the effect starts in the written stereo frames: the mixer plays our
// 22050 Hz mono file at 44100 Hz stereo by doubling every sample, and at
// full volume alone it writes the samples unchanged. The first 0.1 s must
// match exactly.
std::vector<double> starts_of(const std::vector<int16_t>& audio, const std::vector<int16_t>& effect) {
    std::vector<double> found;
    const size_t frames = audio.size() / 2, part = effect.size() < 2205 ? effect.size() : 2205;
    size_t strong = 0;
    while (strong < part && (effect[strong] > -200 && effect[strong] < 200)) strong++;
    for (size_t at = 0; at + 2 * part < frames; at++) {
        if (audio[2 * (at + 2 * strong)] != effect[strong]) continue;
        bool same = true;
        for (size_t i = 0; i < part && same; i++)
            for (size_t k = 0; k < 4 && same; k++) same = audio[4 * (at / 2 + i) + 2 * (at % 2) + k] == effect[i];
        if (same) found.push_back((double)at / RATE);
    }
    return found;
}

// The steps at which a watched replay calls for each effect, from its race
// run here with the listener the race screen uses.
std::vector<std::pair<long long, SoundEffect>> cues_of_replay(const std::string& file, const std::string& track) {
    replay rep;
    std::string error;
    EXPECT_TRUE(parse_replay(file_contents(file), rep, error)) << error;
    std::unique_ptr<Track> t(new Track());
    Race race = new_race();
    Random random = make_random(1);
    setup_race(race, *t, random, replay_race_setup(rep), track.c_str());
    apply_race_draws(rep, race, *t);
    RaceListener l;
    hear_race(l, race, *t);
    std::vector<std::pair<long long, SoundEffect>> out;
    script_position at;
    while (race.step < rep.result.steps) {
        race_step(race, *t, input_of_script_keys(next_script_keys(rep.keys, at)));
        const SoundCues cues = hear_race(l, race, *t);
        for (int i = 0; i < cues.count; i++) out.push_back({race.step, cues.cue[i].effect});
    }
    return out;
}

// A copy of the game whose data folder has everything but the music.
std::string game_without_music() {
    const std::string dir = scratch_dir();
    std::string out;
    const std::string command = "cp ./chainball " + dir + "/ && mkdir " + dir + "/filut && for f in " +
                                source_path("filut") + "/*; do [ \"${f##*/}\" = musa.ogg ] || ln -s \"$f\" " +
                                dir + "/filut/; done";
    EXPECT_EQ(run("sh -c '" + command + "'", out), 0) << out;
    return dir;
}

}  // namespace

// The full game watching a two-lap replay writes the countdown, go, each
// checkpoint, the final lap and the finish where the race has them: the
// countdown a second apart, each step 20 ms after the countdown's 4 s. The
// classic game watching a replay, with no music to play, writes silence.
TEST(EffectsAudio, DiskDriverHoldsEachEffectAtItsStepAndTheClassicGameNone) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "chainball not built beside the tests";
    const std::string game = game_without_music(), data = source_path("tests/data/replays");
    const std::string full_raw = game + "/full.raw", classic_raw = game + "/classic.raw";
    // Each run on the disk driver, its buffer of 1024 frames written every
    // 23 ms (about as fast as it plays), until the race is over.
    auto watch = [&](const std::string& raw, int seconds, const std::string& args) {
        return "env HOME=" + game + " XDG_CONFIG_HOME=" + game + "/config XDG_DATA_HOME=" + game +
               "/data SDL_AUDIODRIVER=disk SDL_DISKAUDIODELAY=23 SDL_DISKAUDIOFILE=" + raw + " timeout -s TERM " +
               std::to_string(seconds) + " " + game + "/chainball " + args;
    };
    std::string out;
    run("sh -c '" + watch(full_raw, 22, "--extras --track " + data + "/Column.txt --replay " + data +
                          "/column-two-laps.cbreplay") +
            " & " + watch(classic_raw, 9, "--track " + data + "/Straight.txt --replay " + data +
                          "/straight-one-player.cbreplay") + " & wait'",
        out);

    const std::vector<int16_t> classic = samples_of(file_contents(classic_raw), 0);
    ASSERT_GT(classic.size(), (size_t)RATE * 2 * 6) << out;
    size_t loud = 0;
    for (int16_t s : classic) loud += s != 0;
    EXPECT_EQ(loud, 0u) << "the classic game wrote sound";

    const std::vector<int16_t> audio = samples_of(file_contents(full_raw), 0);
    ASSERT_GT(audio.size(), (size_t)RATE * 2 * 18) << out;
    const char* names[EFFECT_COUNT] = {"countdown.wav", "go.wav",    "bump.wav",   "checkpoint.wav",
                                       "lap.wav",       "final_lap.wav", "finish.wav", "record.wav",
                                       "menu_move.wav", "menu_choose.wav"};
    std::vector<double> found[EFFECT_COUNT];
    for (int e = 0; e < EFFECT_COUNT; e++) found[e] = starts_of(audio, effect_samples(names[e]));
    ASSERT_EQ(found[EFFECT_COUNTDOWN].size(), 3u);
    const double start = found[EFFECT_COUNTDOWN][0];
    // Expected seconds after the first beep of each effect, in order.
    std::vector<double> expected[EFFECT_COUNT];
    for (int i = 0; i < 3; i++) expected[EFFECT_COUNTDOWN].push_back(i);
    expected[EFFECT_GO].push_back(3);
    // Step 1 is run as the countdown starts; the others a frame apart after it.
    for (const auto& cue : cues_of_replay(data + "/column-two-laps.cbreplay", data + "/Column.txt"))
        expected[cue.second].push_back(4 + 0.02 * (cue.first - 1));
    EXPECT_EQ(expected[EFFECT_CHECKPOINT].size(), 2u);
    EXPECT_EQ(expected[EFFECT_FINAL_LAP].size(), 1u);
    EXPECT_EQ(expected[EFFECT_FINISH].size(), 1u);
    for (int e = 0; e < EFFECT_COUNT; e++) {
        ASSERT_EQ(found[e].size(), expected[e].size()) << names[e];
        for (size_t i = 0; i < found[e].size(); i++) {
            const double at = found[e][i] - start;
            std::printf("%-15s expected %7.3f s, found %7.3f s\n", names[e], expected[e][i], at);
            // Frames late under load and the driver's own pace: 0.15 s and 5 %.
            EXPECT_NEAR(at, expected[e][i], 0.15 + 0.05 * expected[e][i]) << names[e] << " " << i;
        }
    }
}
