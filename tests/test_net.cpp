// SPDX-License-Identifier: GPL-3.0-or-later
// src/net/: the messages read and refused, the handshake's refusals, and two
// rollback sessions racing over the fake link (delay, jitter, loss,
// duplicates, reordering, a slower clock, silence, leaving, a perturbed race).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "net/fake_link.h"
#include "net/handshake.h"
#include "net/messages.h"
#include "net/rollback.h"
#include "test_net_support.h"

namespace {

std::vector<uint8_t> bytes_of(std::initializer_list<int> v) {
    std::vector<uint8_t> b;
    for (int x : v) b.push_back((uint8_t)x);
    return b;
}

bool reads(const std::vector<uint8_t>& b, net_message& m, std::string& error) {
    return read_message(b.data(), b.size(), m, error);
}

replay two_player_header() {
    replay r;
    r.track_name = "Straight";
    r.track_sha256 = std::string(64, 'c');
    r.two_player = true;
    r.lengths[0] = 4;
    r.lengths[1] = 3;
    r.lengths[2] = 2;
    r.laps = 2;
    r.speeds[1] = -1.25f;
    r.slowing = {1, 5, 3};
    r.pictures = {0, 1, 2, 3, 0, 1, 2, 3, 0};
    return r;
}

}  // namespace

TEST(NetMessages, EachKindReadsBackAsWritten) {
    net_hello h;
    h.game_version = "1.1.0";
    h.determinism = 0xfeedc0de;
    h.has_race = true;
    h.race = two_player_header();
    h.input_delay = 4;
    net_message m;
    std::string error;
    ASSERT_TRUE(reads(encode_hello(h), m, error)) << error;
    EXPECT_EQ(m.hello.input_delay, 4);
    EXPECT_EQ(m.kind, NET_HELLO);
    EXPECT_EQ(m.hello.game_version, "1.1.0");
    EXPECT_EQ(m.hello.determinism, 0xfeedc0deu);
    ASSERT_TRUE(m.hello.has_race);
    EXPECT_EQ(format_replay(m.hello.race), format_replay(race_header(two_player_header())));

    net_inputs in;
    in.first = 123456;
    in.values = {0, 15, 7, 1, 9};   // odd: the last byte is padded
    in.ack = 99;
    in.advantage = -3;
    ASSERT_TRUE(reads(encode_inputs(in), m, error)) << error;
    EXPECT_EQ(m.inputs.first, 123456);
    EXPECT_EQ(m.inputs.values, in.values);
    EXPECT_EQ(m.inputs.ack, 99);
    EXPECT_EQ(m.inputs.advantage, -3);
    // Header, then two inputs a byte: small enough for 50 packets a second.
    EXPECT_EQ(encode_inputs(in).size(), 11u + 3u);

    ASSERT_TRUE(reads(encode_check({4350, 0x01020304}), m, error)) << error;
    EXPECT_EQ(m.check.step, 4350);
    EXPECT_EQ(m.check.sum, 0x01020304u);
    ASSERT_TRUE(reads(encode_refuse(NET_REFUSE_TRACK_DIFFERS), m, error));
    EXPECT_EQ(m.refusal, NET_REFUSE_TRACK_DIFFERS);
    ASSERT_TRUE(reads(encode_leave(), m, error));
    EXPECT_EQ(m.kind, NET_LEAVE);
}

TEST(NetMessages, RefusesWhatNoHonestPeerSends) {
    net_inputs in;
    in.first = 10;
    in.values = {1, 2, 3};
    in.ack = 5;
    const std::vector<uint8_t> good = encode_inputs(in);
    struct bad_case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* says;
    };
    std::vector<bad_case> cases;
    cases.push_back({"empty", {}, "ends inside its kind"});
    cases.push_back({"unknown kind", bytes_of({9}), "unknown message kind 9"});
    cases.push_back({"truncated inputs", std::vector<uint8_t>(good.begin(), good.end() - 1), "ends inside"});
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    cases.push_back({"a byte too many", longer, "1 bytes follow"});
    std::vector<uint8_t> zero = good;
    zero[5] = 0;
    cases.push_back({"no inputs", zero, "input count 0"});
    std::vector<uint8_t> many = good;
    many[5] = NET_MAX_WINDOW + 1;
    cases.push_back({"too many inputs", many, "input count 65"});
    std::vector<uint8_t> pad = good;
    pad.back() |= 1;
    cases.push_back({"padding", pad, "padding nibble"});
    std::vector<uint8_t> far = good;
    far[1] = 0x7f;
    cases.push_back({"step past a day", far, "first step"});
    std::vector<uint8_t> adv = good;
    adv[10] = 0x80;
    cases.push_back({"advantage -128", adv, "advantage"});
    cases.push_back({"check off the grid", encode_check({75, 1}), "not a multiple of 50"});
    cases.push_back({"check of step 0", bytes_of({NET_CHECK, 0, 0, 0, 0, 0, 0, 0, 0}), "checked step 0"});
    cases.push_back({"refusal 0", bytes_of({NET_REFUSE, 0}), "unknown refusal"});
    cases.push_back({"leave with a tail", bytes_of({NET_LEAVE, 1}), "follow"});
    cases.push_back({"hello version of 200 bytes",
                     bytes_of({NET_HELLO, 0, NET_PROTOCOL_VERSION, 0, 0, 0, 200, 'x'}), "longer than 32"});
    cases.push_back({"hello version with a newline",
                     bytes_of({NET_HELLO, 0, NET_PROTOCOL_VERSION, 0, 0, 0, 2, '1', '\n', 0, 0, 0, 0, 0}), "not printable"});
    cases.push_back({"hello race flag 3",
                     bytes_of({NET_HELLO, 0, NET_PROTOCOL_VERSION, 0, 0, 0, 1, '1', 0, 0, 0, 0, 3}), "race flag is 3"});
    cases.push_back({"huge hello text",
                     bytes_of({NET_HELLO, 0, NET_PROTOCOL_VERSION, 0, 0, 0, 1, '1', 0, 0, 0, 0, 1, 2, 0x7f, 0, 0, 0}),
                     "longer than"});
    cases.push_back({"input delay 5",
                     bytes_of({NET_HELLO, 0, NET_PROTOCOL_VERSION, 0, 0, 0, 1, '1', 0, 0, 0, 0, 1, 5}), "input delay is 5"});
    net_hello one;
    one.game_version = "1";
    one.has_race = true;
    one.race = two_player_header();
    one.race.two_player = false;
    cases.push_back({"one-player race", encode_hello(one), "not a two-player race"});
    one.race = two_player_header();
    one.race.pictures.pop_back();
    cases.push_back({"header the replay reader refuses", encode_hello(one), "race header: line"});
    for (const bad_case& c : cases) {
        net_message m;
        std::string error;
        EXPECT_FALSE(reads(c.bytes, m, error)) << c.name;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
    }
}

TEST(NetMessages, HelloOfAnotherProtocolReadsOnlyItsVersion) {
    net_message m;
    std::string error;
    // The first version's hello, as an older guest sends it.
    ASSERT_TRUE(reads(bytes_of({NET_HELLO, 0, 1, 0xff, 0xff}), m, error)) << error;
    EXPECT_EQ(m.hello.protocol, 1);
    EXPECT_FALSE(m.hello.has_race);
}

namespace {

std::string guest_sha;
std::string guest_track(const std::string& name) { return name == "Straight" ? guest_sha : ""; }

// Runs a handshake between two sides over a reliable, instant exchange.
void shake(net_handshake& host, net_handshake& guest) {
    net_handshake_connected(host);
    for (int round = 0; round < 4; round++) {
        for (auto& m : net_take_outbox_of(host.outbox)) net_handshake_receive(guest, m.bytes.data(), m.bytes.size());
        for (auto& m : net_take_outbox_of(guest.outbox)) net_handshake_receive(host, m.bytes.data(), m.bytes.size());
    }
}

}  // namespace

TEST(NetHandshake, AgreesOrRefusesWithTheSameLineOnBothSides) {
    struct refusal_case {
        const char* name;
        void (*change)(net_hello& host, net_hello& guest);
        std::string sha;
        const char* line;
    };
    const std::string right = std::string(64, 'c');
    const std::vector<refusal_case> cases = {
        {"agree", [](net_hello&, net_hello&) {}, right, ""},
        {"game version", [](net_hello&, net_hello& g) { g.game_version = "1.0.9"; }, right, "another version of the game"},
        {"protocol", [](net_hello&, net_hello& g) { g.protocol = 1; }, right, "another network protocol"},
        {"determinism", [](net_hello&, net_hello& g) { g.determinism ^= 1; }, right, "compute races differently"},
        {"no track", [](net_hello& h, net_hello&) { h.race.track_name = "Nowhere"; }, right,
         "does not have the track Nowhere"},
        {"other track", [](net_hello&, net_hello&) {}, std::string(64, 'd'), "another version of the track Straight"},
    };
    for (const refusal_case& c : cases) {
        net_hello h, g;
        h.game_version = g.game_version = "1.1.0";
        h.determinism = g.determinism = 77;
        h.race = two_player_header();
        h.input_delay = 3;
        c.change(h, g);
        guest_sha = c.sha;
        net_handshake host, guest;
        net_handshake_start(host, true, h, nullptr);
        net_handshake_start(guest, false, g, guest_track);
        shake(host, guest);
        if (!*c.line) {
            EXPECT_EQ(host.state, net_handshake_state::ready) << c.name << ": " << host.line;
            EXPECT_EQ(guest.state, net_handshake_state::ready) << c.name << ": " << guest.line;
            EXPECT_EQ(format_replay(net_handshake_race(guest)), format_replay(net_handshake_race(host)));
            EXPECT_EQ(guest.theirs.input_delay, 3) << "the guest races on the host's delay";
            continue;
        }
        EXPECT_EQ(host.state, net_handshake_state::refused) << c.name;
        EXPECT_EQ(guest.state, net_handshake_state::refused) << c.name;
        EXPECT_NE(host.line.find(c.line), std::string::npos) << c.name << ": " << host.line;
        EXPECT_EQ(guest.line, host.line) << c.name;
    }
}

// ---- Two sessions over the fake link ----

TEST(NetRollback, ThreeThousandStepsOverABadLinkEqualAnOfflineRun) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        fake_link_options o;
        o.delay_ms = 50;
        o.jitter_ms = 10 + 5 * (long long)seed;
        o.loss = 0.05 * seed;
        o.duplicate = 0.05;
        o.reorder = 0.05;
        o.seed = seed;
        toy_pair p(o, 3000);
        p.guest_period_ms = 20.1;   // a slightly slower clock
        p.run(400000);
        SCOPED_TRACE("seed " + std::to_string(seed));
        for (int side = 0; side < 2; side++) {
            const net_core& c = p.s[side].core;
            ASSERT_EQ(c.state, net_state::finished) << side << " " << net_status_line(c, p.now(side));
            EXPECT_EQ(c.confirmed, 3000);
            EXPECT_LE(c.stats.max_rollback, NET_MAX_AHEAD);
            EXPECT_GT(c.stats.rollbacks, 0) << "the inputs change often enough to mispredict";
            EXPECT_EQ(c.checks.size(), 60u);
        }
        const net_core &a = p.s[0].core, &b = p.s[1].core;
        for (int player = 0; player < 2; player++) {
            EXPECT_EQ(std::vector<uint8_t>(a.inputs[player].begin(), a.inputs[player].begin() + 3000),
                      std::vector<uint8_t>(b.inputs[player].begin(), b.inputs[player].begin() + 3000));
        }
        for (size_t i = 0; i < a.checks.size(); i++) ASSERT_EQ(a.checks[i].sum, b.checks[i].sum) << i;
        // The same inputs raced offline, one step after another.
        toy_race offline;
        for (long long s = 0; s < 3000; s++) {
            const uint8_t in[2] = {a.inputs[0][(size_t)s], a.inputs[1][(size_t)s]};
            toy_step(offline, in);
            if ((s + 1) % NET_CHECK_EVERY == 0) {
                ASSERT_EQ(toy_sum(offline), a.checks[(size_t)s / 50].sum);
            }
        }
        EXPECT_EQ(toy_sum(offline), toy_sum(net_confirmed(p.s[1])));
        // Each side drove by its own script, delayed by the input delay.
        for (long long s = NET_INPUT_DELAY; s < 3000; s++)
            ASSERT_EQ(a.inputs[1][(size_t)s], toy_script(1, s - NET_INPUT_DELAY)) << s;
    }
}

TEST(NetRollback, EveryInputDelayRacesAndDelaysByItsSteps) {
    for (int delay = 0; delay <= NET_MAX_INPUT_DELAY; delay++) {
        fake_link_options o;
        o.loss = 0.1;
        o.seed = (uint32_t)delay + 1;
        toy_pair p(o, 1000, delay);
        p.run(200000);
        SCOPED_TRACE("delay " + std::to_string(delay));
        const net_core &a = p.s[0].core, &b = p.s[1].core;
        ASSERT_EQ(a.state, net_state::finished);
        ASSERT_EQ(b.state, net_state::finished);
        EXPECT_EQ(toy_sum(net_confirmed(p.s[0])), toy_sum(net_confirmed(p.s[1])));
        for (int player = 0; player < 2; player++) {
            for (long long s = 0; s < delay; s++) ASSERT_EQ(a.inputs[player][(size_t)s], 0) << s;
            for (long long s = delay; s < 1000; s++)
                ASSERT_EQ(b.inputs[player][(size_t)s], toy_script(player, s - delay)) << player << " " << s;
        }
    }
}

TEST(NetRollback, TheNetworkLineCountsTheLastWholeSecond) {
    net_stats st;
    st.second_started_ms = 0;
    st.rollbacks = 3;
    st.bytes_sent = 500;
    net_count_second(st, 999);
    EXPECT_EQ(net_last_second(st).rollbacks, 0) << "no whole second yet";
    net_count_second(st, 1000);
    st.rollbacks = 10;
    st.bytes_sent = 2000;
    st.bytes_received = 700;
    net_count_second(st, 1500);
    EXPECT_EQ(net_last_second(st).rollbacks, 3);
    EXPECT_EQ(net_last_second(st).bytes_sent, 500);
    net_count_second(st, 2010);
    const net_rates r = net_last_second(st);
    EXPECT_EQ(r.rollbacks, 7);
    EXPECT_EQ(r.bytes_sent, 1500);
    EXPECT_EQ(r.bytes_received, 700);
    // After a pause of seconds nothing is counted for the gap.
    net_count_second(st, 9000);
    EXPECT_EQ(net_last_second(st).bytes_sent, 0);
}

TEST(NetRollback, AGoodLinkNeverStallsAndAFarOneWaitsRatherThanPredictsFar) {
    fake_link_options good;   // 100 ms round trip, 5 % loss
    good.delay_ms = 50;
    good.jitter_ms = 10;
    good.loss = 0.05;
    toy_pair p(good, 1500);
    p.run(200000);
    for (int side = 0; side < 2; side++) {
        EXPECT_EQ(p.s[side].core.state, net_state::finished);
        EXPECT_EQ(p.s[side].core.stats.stalled_frames, 0) << side;
        EXPECT_LE(p.s[side].core.stats.max_rollback, NET_MAX_AHEAD);
    }
    fake_link_options far;    // 600 ms round trip
    far.delay_ms = 300;
    far.jitter_ms = 0;
    toy_pair q(far, 1500);
    q.run(400000);
    for (int side = 0; side < 2; side++) {
        EXPECT_EQ(q.s[side].core.state, net_state::finished);
        EXPECT_GT(q.s[side].core.stats.stalled_frames, 0) << side;
        EXPECT_LE(q.s[side].core.stats.max_rollback, NET_MAX_AHEAD);
    }
    EXPECT_EQ(toy_sum(net_confirmed(q.s[0])), toy_sum(net_confirmed(q.s[1])));
}

TEST(NetRollback, TheMachineAheadWaitsForTheSlowerClock) {
    fake_link_options o;
    o.delay_ms = 30;
    o.jitter_ms = 0;
    toy_pair p(o, 3000);
    p.guest_period_ms = 20.4;   // 2 % slower: the host gains a step every 50 frames
    p.guest_start_ms = 100;     // and starts five frames later
    p.run(400000);
    ASSERT_EQ(p.s[0].core.state, net_state::finished);
    EXPECT_GT(p.s[0].core.stats.drift_waits, 50) << "about one wait per 50 frames plus the head start";
    EXPECT_EQ(p.s[0].core.stats.stalled_frames, 0) << "it waits before it runs out of prediction";
}

TEST(NetRollback, APerturbedRaceStopsBothAtTheNextCheck) {
    fake_link_options o;
    toy_pair p(o, 3000);
    p.s[1].ops.step = toy_step_perturbed_at_1234;
    p.run(400000);
    for (int side = 0; side < 2; side++) {
        const net_core& c = p.s[side].core;
        EXPECT_EQ(c.state, net_state::races_differ) << side;
        EXPECT_EQ(net_status_line(c, 0), "Races differ from step 1250");
        EXPECT_LT(c.confirmed, 1250 + NET_CHECK_EVERY) << "the race stops at once";
    }
}

TEST(NetRollback, LeavingAndSilenceEndTheRaceOnTheOtherMachine) {
    fake_link_options o;
    toy_pair p(o, 3000);
    p.leave_at[1] = 500;   // the guest presses Escape
    p.run(400000);
    EXPECT_EQ(p.s[1].core.state, net_state::left);
    EXPECT_EQ(p.s[0].core.state, net_state::opponent_left);
    EXPECT_EQ(net_status_line(p.s[0].core, 0), "Opponent left");
    EXPECT_LT(p.ended_ms[0] - p.ended_ms[1], 200) << "at once, one delay later";
    EXPECT_GE(p.s[0].core.confirmed, 490);

    toy_pair q(o, 3000);
    q.cut_at_ms = 10000;   // the cable is pulled
    q.lines_at_ms = {10500, 11500, 14500};
    q.run(400000);
    EXPECT_EQ(q.lines[0], "");
    EXPECT_EQ(q.lines[1].rfind("Connection problem: nothing from the opponent for 1 s", 0), 0u) << q.lines[1];
    EXPECT_EQ(q.lines[2].rfind("Connection problem", 0), 0u) << q.lines[2];
    for (int side = 0; side < 2; side++) {
        EXPECT_EQ(q.s[side].core.state, net_state::opponent_left);
        EXPECT_GE(q.ended_ms[side], 10000 + NET_SILENCE_LEFT_MS - 100);
        EXPECT_LE(q.ended_ms[side], 10000 + NET_SILENCE_LEFT_MS + 100);
    }
}

// A guest that stops at step 500 and sends its old inputs on: the host
// hears it all along, warns after 1 s, ends 5 s on with the watchdog's
// line and tells the guest, which ends at once.
TEST(NetRollback, OldInputsOnlyEndTheRaceAndTheOtherMachineIsTold) {
    fake_link_options o;
    toy_pair p(o, 3000);
    p.stale_at[1] = 500;
    p.lines_at_ms = {10000, 11500};
    p.run(60000);
    const long long stopped = 500 * 20;   // about when the host's confirmed race stops
    EXPECT_EQ(p.s[0].core.state, net_state::stuck);
    EXPECT_EQ(net_status_line(p.s[0].core, 0), "The race stopped advancing");
    EXPECT_GE(p.ended_ms[0], stopped + NET_STUCK_MS - 300);
    EXPECT_LE(p.ended_ms[0], stopped + NET_STUCK_MS + 300);
    EXPECT_EQ(p.lines[1].rfind("Connection problem: the race has not advanced for 1 s", 0), 0u) << p.lines[1];
    EXPECT_EQ(p.s[1].core.state, net_state::opponent_left);
    EXPECT_LT(p.ended_ms[1] - p.ended_ms[0], 200) << "the leave comes one delay later";
}

TEST(NetRollback, AnOpponentThatLiesEndsTheRaceWithOneLine) {
    struct lie {
        const char* name;
        net_inputs in;
        const char* says;
    };
    std::vector<lie> lies;
    lies.push_back({"acknowledges the future", {0, {0}, 500, 0}, "never sent"});
    lies.push_back({"runs far ahead", {2, std::vector<uint8_t>(40, 1), 0, 0}, "further ahead"});
    lies.push_back({"changes the past", {0, {3}, 0, 0}, "changed its input of step 0"});
    for (const lie& l : lies) {
        net_session<toy_race> s;
        net_start(s, toy_ops(), toy_race(), 0, 0);
        for (int i = 0; i < 5; i++) net_frame(s, 1, i * 20);
        const std::vector<uint8_t> b = encode_inputs(l.in);
        net_receive(s, b.data(), b.size(), 100);
        EXPECT_EQ(s.core.state, net_state::bad_message) << l.name;
        EXPECT_NE(net_status_line(s.core, 100).find(l.says), std::string::npos)
            << l.name << ": " << net_status_line(s.core, 100);
        EXPECT_FALSE(net_frame(s, 1, 120)) << "no step after a lie";
    }
}
