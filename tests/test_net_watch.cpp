// SPDX-License-Identifier: GPL-3.0-or-later
// Spectators' messages: the watching hello and the confirmed steps read
// back as written, and what no honest host sends refused; a spectator is
// refused by a host of the first protocol and told when the race is full;
// a host that leaves and closes at once, as the game does, still gives its
// spectator the last steps and the leave. (Whole races with spectators
// between processes: tests/net_watch.py.)
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "core/files.h"
#include "net/handshake.h"
#include "net/messages.h"
#include "net/peer.h"
#include "sim/sim.h"
#include "track/track.h"

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

namespace {

const std::string first_loop = std::string(CB_SOURCE_DIR) + "/filut/levelit/FirstLoop.txt";
std::string first_loop_path(const std::string& name) { return name == "FirstLoop" ? first_loop : ""; }

long long clock_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TEST(NetWatchLive, AHostThatLeavesAndClosesAtOnceStillTellsItsSpectator) {
    sim_options opt;
    opt.level_file = first_loop;
    opt.two_player = true;
    Race race;
    std::unique_ptr<Track> track(new Track());
    sim_setup(opt, race, *track);
    std::string bytes, error;
    ASSERT_TRUE(read_regular_file(first_loop.c_str(), MAX_LEVEL_FILE_BYTES, bytes, error)) << error;
    std::unique_ptr<net_peer> host(new net_peer), guest(new net_peer), spectator(new net_peer);
    ASSERT_TRUE(net_peer_host(*host, 0, "127.0.0.1", race, *track, "FirstLoop", sha256_hex(bytes), "1", error))
        << error;
    const std::string address = "127.0.0.1:" + std::to_string(net_transport_port(host->transport));
    ASSERT_TRUE(net_peer_watch(*spectator, address, first_loop_path, "1", error)) << error;
    ASSERT_TRUE(net_peer_join(*guest, address, first_loop_path, "1", error)) << error;
    const long long t0 = clock_ms();
    while (host->session.core.confirmed < 200 && clock_ms() - t0 < 20000) {
        const long long t = clock_ms();
        net_peer_frame(*host, ACTION_FORWARD, t);
        net_peer_frame(*guest, ACTION_FORWARD | ACTION_LEFT, t);
        net_watch_frame(*spectator, t, 1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_GE(host->session.core.confirmed, 200);
    net_peer_leave(*host);
    net_peer_close(*host);   // no frame after: the leave must already be on its way
    const long long t1 = clock_ms();
    while (spectator->phase == net_peer_phase::racing && clock_ms() - t1 < 3000) {
        net_watch_frame(*spectator, clock_ms(), 1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_LT(clock_ms() - t1, 1000);
    EXPECT_EQ(spectator->line, "The race ended before the finish");
    EXPECT_EQ(format_replay(net_peer_replay(*spectator)), format_replay(net_peer_replay(*host)));
    net_peer_close(*guest);
    net_peer_close(*spectator);
}
