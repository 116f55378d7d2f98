// SPDX-License-Identifier: GPL-3.0-or-later
// Spectators' messages: the watching hello and the confirmed steps read
// back as written, and what no honest host sends refused; a spectator is
// refused by a host of the first protocol and told when the race is full.
// (Whole races with spectators: tests/net_watch.py.)
#include <gtest/gtest.h>

#include "net/handshake.h"
#include "net/messages.h"

namespace {

bool reads(const std::vector<uint8_t>& b, net_message& m, std::string& error) {
    return read_message(b.data(), b.size(), m, error);
}

}  // namespace

TEST(NetWatchMessages, HelloAndStepsReadBackAndBadStepsAreRefused) {
    net_hello h;
    h.game_version = "1.2.0";
    h.watching = true;
    net_message m;
    std::string error;
    ASSERT_TRUE(reads(encode_hello(h), m, error)) << error;
    EXPECT_TRUE(m.hello.watching);
    EXPECT_FALSE(m.hello.has_race);
    h.watching = false;
    ASSERT_TRUE(reads(encode_hello(h), m, error)) << error;
    EXPECT_FALSE(m.hello.watching);

    net_watch_inputs w;
    w.first = 4319000;
    for (int n = 0; n < NET_WATCH_CHUNK; n++) w.steps.push_back((uint8_t)(n * 37));
    const std::vector<uint8_t> good = encode_watch_inputs(w);
    ASSERT_TRUE(reads(good, m, error)) << error;
    EXPECT_EQ(m.kind, NET_WATCH_INPUTS);
    EXPECT_EQ(m.watch.first, w.first);
    EXPECT_EQ(m.watch.steps, w.steps);

    std::vector<uint8_t> none = {NET_WATCH_INPUTS, 0, 0, 0, 1, 0, 0};
    std::vector<uint8_t> many = good;
    many[6] = NET_WATCH_CHUNK + 1;
    std::vector<uint8_t> past = good;
    past[1] = 0x01;   // first 0x0107e718 is past the longest race
    std::vector<uint8_t> cut(good.begin(), good.end() - 1);
    const std::pair<std::vector<uint8_t>, const char*> bad[] = {
        {none, "step count 0"}, {many, "step count 251"}, {past, "first step"}, {cut, "ends inside its steps"}};
    for (const auto& b : bad) {
        EXPECT_FALSE(reads(b.first, m, error)) << b.second;
        EXPECT_NE(error.find(b.second), std::string::npos) << error;
    }
}

TEST(NetWatchMessages, OldGuestsAreRefusedAndAFullRaceIsNamed) {
    // A guest of the first protocol hears the host's hello and refuses it
    // by version, with the line both sides show.
    net_handshake old_guest;
    net_hello mine;
    mine.protocol = 1;
    mine.game_version = "1";
    net_handshake_start(old_guest, false, mine, nullptr);
    net_hello host;
    host.game_version = "1";
    host.has_race = true;
    host.race.track_name = "Straight";
    host.race.track_sha256 = std::string(64, 'c');
    host.race.two_player = true;
    host.race.lengths[0] = 4;
    host.race.lengths[1] = 3;
    host.race.lengths[2] = 2;
    host.race.slowing = {1, 5, 3};
    host.race.pictures = {0, 1, 2, 3, 0, 1, 2, 3, 0};
    const std::vector<uint8_t> hello = encode_hello(host);
    net_handshake_receive(old_guest, hello.data(), hello.size());
    EXPECT_EQ(old_guest.state, net_handshake_state::refused);
    EXPECT_EQ(old_guest.line, "The other machine speaks another network protocol version");

    net_message m;
    std::string error;
    ASSERT_TRUE(reads(encode_refuse(NET_REFUSE_FULL), m, error)) << error;
    EXPECT_EQ(refusal_line(m.refusal, ""), "The race has as many spectators as it takes (4)");
}
