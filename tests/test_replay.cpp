// SPDX-License-Identifier: GPL-3.0-or-later
// src/replay/: SHA-256, key scripts, the replay file read and written, and
// chainball-sim --replay on the shipped test replay.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "test_sim_support.h"
#include "race/race.h"
#include "io/bindings.h"
#include "replay/replay.h"
#include "sim/sim.h"

namespace {

std::string shipped_replay() {
    return source_path("tests/data/replays/straight-one-player.cbreplay");
}
std::string straight_track() { return source_path("tests/data/replays/Straight.txt"); }

// Replaces the first `from` in `text` by `to`.
std::string edited(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

}  // namespace

TEST(ReplaySha256, KnownDigestsAcrossBlockBoundaries) {
    EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    // The padding needs a second block from 56 bytes of tail on.
    const struct {
        size_t n;
        const char* digest;
    } as[] = {
        {55, "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {56, "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {63, "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        {64, "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {65, "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
        {119, "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
        {120, "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
        {1000000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& a : as) EXPECT_EQ(sha256_hex(std::string(a.n, 'a')), a.digest) << a.n;
    std::string every_byte;
    for (int k = 0; k < 3; k++)
        for (int i = 0; i < 256; i++) every_byte += (char)i;
    EXPECT_EQ(sha256_hex(every_byte), "f3a25aa93aa2fbba28d79260535bbd6a5eb0fc1c24a8b0f04e12b484c1dfe363");
}

TEST(ReplayKeys, StepsRunLengthCodedAndReadBack) {
    std::vector<sim_segment> script;
    const int steps[] = {0, 0, SIM_UP, SIM_UP, SIM_UP | SIM_LEFT, SIM_W | SIM_D, SIM_W | SIM_D, 0};
    for (int bits : steps) append_script_step(script, bits);
    ASSERT_EQ(script.size(), 5u);
    EXPECT_EQ(format_key_script(script), "2\n2 UP\n1 UP LEFT\n2 W D\n1\n");

    std::vector<sim_segment> back;
    std::string error;
    ASSERT_TRUE(parse_key_script(format_key_script(script), back, error)) << error;
    script_position at;
    for (int bits : steps) EXPECT_EQ(next_script_keys(back, at), bits);
    EXPECT_EQ(next_script_keys(back, at), 0);   // nothing held once the script is over

    // A script's keys mean what the same keys held on the keyboard mean
    // under the game's own bindings, for every combination.
    static const SDLKey script_keys[8] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT,
                                          SDLK_w,  SDLK_a,    SDLK_s,    SDLK_d};
    for (int bits = 0; bits < 256; bits++) {
        Uint8 keys[SDLK_LAST] = {};
        keys[SDLK_LCTRL] = 1;
        for (int i = 0; i < 8; i++) keys[script_keys[i]] = (bits >> i) & 1;
        const RaceInput held = input_from_keys(keys, default_key_bindings());
        ASSERT_EQ(held, input_of_script_keys(bits)) << bits;
        ASSERT_EQ(script_keys_of_input(held), bits);
    }
}

TEST(ReplayFile, WrittenAndReadBackWhole) {
    replay r;
    r.track_name = "FirstLoop";
    r.track_sha256 = std::string(64, 'a');
    r.two_player = true;
    r.lengths[0] = 1;
    r.lengths[1] = 10;
    r.lengths[2] = 0;
    r.laps = 12;
    r.speeds[0] = -3.24656653f;
    r.speeds[1] = 1e-30f;
    r.speeds[2] = -0.0f;
    r.computer_acceleration = 1.1f;
    r.slowing = {1, 5, 3};
    r.pictures = {0, 1, 2, 3, 3, 2, 1, 0, 0, 1, 2};
    r.keys = {{5, 0}, {3, SIM_UP | SIM_W}, {2, SIM_DOWN}};
    r.checks = {{5, 0xdeadbeef}, {10, 7}};
    r.result.winner = 2;
    r.result.steps = 10;
    r.result.laps[1] = 12;
    replay back;
    std::string error;
    const std::string text = format_replay(r);
    ASSERT_TRUE(parse_replay(text, back, error)) << error << "\n" << text;
    EXPECT_EQ(format_replay(back), text);
    // The floats come back to the bit.
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(std::memcmp(&back.speeds[i], &r.speeds[i], sizeof(float)), 0) << i;
    EXPECT_EQ(back.computer_acceleration, 1.1f);
    EXPECT_EQ(back.checks[0].sum, 0xdeadbeefu);
    EXPECT_TRUE(same_result(back.result, r.result));
    EXPECT_EQ(describe_result(back.result), "winner 2, 10 steps, laps 0 12 0");

    r.result = replay_result();
    r.result.left = true;
    r.result.steps = 10;
    ASSERT_TRUE(parse_replay(format_replay(r), back, error)) << error;
    EXPECT_EQ(describe_result(back.result), "left at step 10");
    // Comments, blank lines and CR LF line ends are read too.
    std::string dos = "# shared by a friend\r\n\r\n" + edited(format_replay(r), "\nplayers", "\r\nplayers");
    EXPECT_TRUE(parse_replay(dos, back, error)) << error;
}

TEST(ReplayFile, BadFilesNamedWithoutACrash) {
    const std::string good = file_contents(shipped_replay());
    replay r;
    std::string error;
    ASSERT_TRUE(parse_replay(good, r, error)) << error;
    EXPECT_EQ(r.track_name, "Straight");
    EXPECT_EQ(r.result.steps, 129);
    EXPECT_EQ(r.checks.size(), 2u);

    const struct {
        std::string text;
        const char* says;
    } bad[] = {
        {"", "empty file"},
        {"\x7f" "ELF\x01\x02 garbage", "not a Chainball replay"},
        {edited(good, "chainball-replay 1", "chainball-replay 4"), "this game reads versions 1 to 3"},
        {edited(good, "chainball-replay 1", "chainball-replay"), "should read 'chainball-replay 1', it reads 'chainball-replay'"},
        {edited(good, "chainball-replay 1", "chainball-replay 1 extra"), "it reads 'chainball-replay 1 extra'"},
        {edited(good, "chainball-replay 1", "chainball-replay \x1b[2J" + std::string(100000, 'x')),
         "it reads 'chainball-replay \\x1b[2Jxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...'"},
        {"\xef\xbb\xbf" + good, "starts with a byte-order mark (EF BB BF)"},
        {edited(good, "chainball-replay 1\n", "chainball-replay 1\rtrack x\r"), "end in a carriage return alone"},
        {edited(good, "track Straight", "track ../../etc/passwd"), "is no track name"},
        {edited(good, "track Straight 6c80", "track Straight 6C80"), "64 hex digits"},
        {edited(good, "players 1", "players 3"), "from 1 to 2"},
        {edited(good, "lengths 3 0 0", "lengths 0 0 0"), "from 1 to 10"},
        {edited(good, "lengths 3 0 0", "lengths 3 0"), "needs 3 values"},
        {edited(good, "laps 1", "laps 0"), "from 1 to"},
        {edited(good, "carried 0 0", "carried nan 0"), "three speeds from -100 to 100"},
        {edited(good, "carried 0 0", "carried -1e33 0"), "got '-1e33'"},
        {edited(good, "0.899999976", "11"), "acceleration from 0 to 10"},
        {edited(good, "slowing 0", "slowing 999999999"), "from 0 to 250000"},
        {edited(good, "slowing 0", "slowing 2 1"), "needs 3 values"},
        {edited(good, "slowing 0", "slowing 1 6"), "from 1 to 5"},
        {edited(good, "pictures 3", "pictures 2"), "needs 3 values"},
        {edited(good, "pictures 3 0 1 0", "pictures 2 0 1"), "2 pictures for 3 balls"},
        {edited(good, "keys 4", "keys 999999999999"), "from 0 to"},
        {edited(good, "keys 4", "keys 40"), "should hold 40 lines, but its line 5 is a 'check' line"},
        {good.substr(0, good.find("44 UP")), "should hold 4 lines; the file ends before, after 3"},
        {edited(good, "44 UP", "44 UP JUMP"), "unknown key 'JUMP'"},
        {edited(good, "44 UP", "-44 UP"), "expected a step count"},
        {edited(good, "44 UP", "5000000 UP"), "more than 4320000 steps"},
        {edited(good, "24\n", "9223372036854775807\n"), "more than 4320000 steps"},
        {edited(good, "44 UP", "45 UP"), "the key section holds 130 steps"},
        {edited(good, "check 100", "check 50"), "from 51 to 129"},
        {edited(good, "check 50 20779834", "check 50 2077983"), "8 hex digits"},
        {edited(good, "result winner 1", "result winner 4"), "from 1 to 3"},
        {edited(good, "result winner 1 steps 129 laps 1 0 0", "result left at 129"), "left at step N"},
        {good + "check 130 00000000\n", "nothing may follow"},
    };
    for (const auto& b : bad) {
        error.clear();
        EXPECT_FALSE(parse_replay(b.text, r, error)) << b.says;
        EXPECT_NE(error.find(b.says), std::string::npos) << "expected '" << b.says << "' in: " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_LT(error.size(), 300u) << error;
    }

    // Cut after any line, the file is refused: every part up to the result counts.
    size_t at = 0;
    int cuts = 0;
    while ((at = good.find('\n', at)) != std::string::npos && at + 1 < good.size()) {
        at++;
        EXPECT_FALSE(parse_replay(good.substr(0, at), r, error)) << "cut at byte " << at;
        cuts++;
    }
    EXPECT_EQ(cuts, 15);
}

TEST(ReplaySim, ShippedReplayAsRecorded) {
    const sim_run run = sim({"--replay", shipped_replay(), "--track", straight_track()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("as recorded (winner 1, 129 steps, laps 1 0 0)"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("\nend 129\n"), std::string::npos);
    // The trace is the one --keys prints for the same race.
    const std::string keys = scratch_file("24\n60 DOWN\n1\n44 UP\n");
    const sim_run plain = sim({"--lengths", "3,0,0", "--laps", "1", "--keys", keys, straight_track()});
    ASSERT_EQ(plain.status, 0) << plain.err;
    // Only the pictures, which the trace does not print, were drawn otherwise.
    EXPECT_EQ(run.out, plain.out);
}

TEST(ReplaySim, DifferencesFoundAndTheirFirstCheck) {
    const std::string good = file_contents(shipped_replay());
    // Turning from step 86 on: the racers leave the recorded path before
    // the check at step 100, and the finish comes later or never.
    const sim_run turned =
        sim({"--replay", scratch_file(edited(good, "44 UP", "44 UP LEFT")), "--track", straight_track()});
    EXPECT_EQ(turned.status, 3) << turned.err;
    EXPECT_NE(turned.err.find("recorded winner 1, 129 steps, laps 1 0 0, simulated left at step 129"),
              std::string::npos) << turned.err;
    EXPECT_NE(turned.err.find("first differ from the recording by step 100 (the same at step 50)"),
              std::string::npos) << turned.err;

    // Only the result line changed: the racers agree, the result does not.
    const sim_run other =
        sim({"--replay", scratch_file(edited(good, "laps 1 0 0", "laps 2 0 0")), "--track", straight_track()});
    EXPECT_EQ(other.status, 3);
    EXPECT_EQ(other.err.find("first differ"), std::string::npos) << other.err;

    // A check that cannot match names the first step it covers.
    const sim_run check =
        sim({"--replay", scratch_file(edited(good, "check 50 20779834", "check 50 00000000")),
             "--track", straight_track()});
    EXPECT_EQ(check.status, 3);
    EXPECT_NE(check.err.find("by step 50 (no earlier check)"), std::string::npos) << check.err;
}

TEST(ReplaySim, UnusableReplaysAndTracksExitWithStatusTwo) {
    const std::string good = file_contents(shipped_replay());
    const std::string other_track = scratch_file("0008\n" + std::string(8, '.') + "\n");
    const struct {
        std::vector<std::string> args;
        const char* says;
    } bad[] = {
        {{"--replay", "/no/such.cbreplay"}, "cannot read replay '/no/such.cbreplay': no such file"},
        {{"--replay", "/tmp"}, "a directory, not a file"},
        {{"--replay", scratch_file("chainball-replay 7\n")}, "reads versions 1 to 3"},
        {{"--replay", shipped_replay(), "--track", "/no/such.txt"}, "track Straight (/no/such.txt): no such file"},
        {{"--replay", shipped_replay(), "--track", other_track}, "SHA-256 differs (--force races it anyway)"},
        {{"--replay", shipped_replay()}, "levelit/Straight.txt): no such file"},
        {{"--replay", shipped_replay(), "level.txt"}, "name another file with --track"},
        {{"--replay", shipped_replay(), "--keys", "k"}, "--keys cannot be given with it"},
        {{"--replay", shipped_replay(), "--lengths=1,0,0"}, "--lengths cannot be given with it"},
        {{"--track", "t.txt", "level.txt"}, "--track and --force go with --replay"},
        {{"--replay"}, "needs a value"},
    };
    for (const auto& b : bad) {
        const sim_run run = sim(b.args);
        EXPECT_EQ(run.status, 2) << b.says;
        EXPECT_EQ(run.out, "") << b.says;
        EXPECT_NE(run.err.find(b.says), std::string::npos) << "expected '" << b.says << "' in: " << run.err;
    }
    // --force races it, with a warning; the other track gives another result.
    const sim_run forced = sim({"--replay", shipped_replay(), "--track", other_track, "--force"});
    EXPECT_EQ(forced.status, 3) << forced.err;
    EXPECT_NE(forced.err.find("raced anyway (--force)"), std::string::npos) << forced.err;
}
