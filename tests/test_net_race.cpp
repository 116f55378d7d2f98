// SPDX-License-Identifier: GPL-3.0-or-later
// src/net/net_race.cpp: the real race online. Two sessions over a bad fake
// link race every shipped track; their replays are the same bytes and
// chainball-sim --replay runs them to the same checks.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "harness.h"
#include "net/handshake.h"
#include "net/net_race.h"
#include "sim/sim.h"
#include "test_net_support.h"
#include "track/track.h"

namespace {

constexpr long long ONLINE_STEPS = 3000;

// The race as the session sees it, ended after ONLINE_STEPS steps.
bool over_or_long(const online_race& r) { return race_over(r.race) || r.race.step >= ONLINE_STEPS; }

std::vector<std::string> shipped_tracks() {
    std::vector<std::string> names;
    const std::string dir = std::string(CB_SOURCE_DIR) + "/filut/levelit";
    DIR* d = opendir(dir.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n.size() > 4 && n.compare(n.size() - 4, 4, ".txt") == 0 && n != "all_levels.txt")
            names.push_back(n.substr(0, n.size() - 4));
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

// One machine's race: its own track, the host's set-up or the guest's from the header.
struct machine {
    std::unique_ptr<Track> track{new Track()};
    online_race start;
};

}  // namespace

TEST(NetRace, DeterminismCheckRepeatsAndMovesTheRacers) {
    const uint32_t a = determinism_checksum();
    EXPECT_EQ(a, determinism_checksum());
    // Every step counts: the same race a step shorter or longer sums otherwise.
    EXPECT_NE(a, determinism_checksum(299));
    EXPECT_NE(a, determinism_checksum(301));
}

TEST(NetRace, EveryShippedTrackRacesOnlineAsOffline) {
    const std::vector<std::string> tracks = shipped_tracks();
    ASSERT_GE(tracks.size(), 10u);
    uint32_t seed = 0;
    for (const std::string& name : tracks) {
        SCOPED_TRACE(name);
        seed++;
        const std::string path = std::string(CB_SOURCE_DIR) + "/filut/levelit/" + name + ".txt";
        // The host sets up its race as the game does (any seed), the guest from the header.
        machine host, guest;
        sim_options opt;
        opt.two_player = true;
        opt.lengths[0] = 7;
        opt.lengths[1] = 5;
        opt.lengths[2] = 6;
        opt.laps = 99;
        opt.seed = seed;
        opt.level_file = path;
        sim_setup(opt, host.start.race, *host.track);
        host.start.track = host.track.get();
        const replay header = online_header(host.start.race, *host.track, name, sha256_hex(file_contents(path)));
        setup_online_race(header, path.c_str(), guest.start.race, *guest.track);
        guest.start.track = guest.track.get();
        ASSERT_TRUE(same_race(host.start.race, guest.start.race));

        fake_link_options o;
        o.delay_ms = 50;
        o.jitter_ms = 15;
        o.loss = 0.08;
        o.duplicate = 0.05;
        o.reorder = 0.05;
        o.seed = seed;
        net_race_ops<online_race> ops = online_race_ops();
        ops.over = over_or_long;
        net_pair<online_race> p(o, ops, host.start, guest.start);
        p.guest_period_ms = 20.1;
        p.run(400000);
        std::string text[2];
        for (int side = 0; side < 2; side++) {
            const net_core& c = p.s[side].core;
            ASSERT_EQ(c.state, net_state::finished) << side << " " << net_status_line(c, p.now(side));
            EXPECT_EQ(c.confirmed, ONLINE_STEPS);
            EXPECT_GT(c.stats.rollbacks, 0);
            EXPECT_LE(c.stats.max_rollback, NET_MAX_AHEAD);
            text[side] = format_replay(online_replay(header, c, net_confirmed(p.s[side]).race));
        }
        ASSERT_EQ(text[0], text[1]);
        for (size_t i = 0; i < p.s[0].core.checks.size(); i++)
            ASSERT_EQ(p.s[0].core.checks[i].sum, p.s[1].core.checks[i].sum) << i;

        // The replay raced offline from its file by the simulator.
        const std::string file = testing::TempDir() + "online-" + name + ".cbreplay";
        std::ofstream(file, std::ios::binary) << text[0];
        const std::string track_arg = path;
        const char* argv[] = {"chainball-sim", "--replay", file.c_str(), "--track", track_arg.c_str()};
        FILE* out = std::fopen("/dev/null", "w");
        FILE* err = std::tmpfile();
        const int status = sim_main(5, argv, out, err);
        std::rewind(err);
        char line[512] = {};
        if (!std::fgets(line, sizeof line, err)) line[0] = 0;
        std::fclose(out);
        std::fclose(err);
        EXPECT_EQ(status, 0) << line;
        EXPECT_NE(std::string(line).find("as recorded (left at step 3000)"), std::string::npos) << line;
        std::remove(file.c_str());
    }
}

TEST(NetRace, TheHeaderSetsUpTheSameRaceAndALeftRaceKeepsItsConfirmedSteps) {
    const std::string path = std::string(CB_SOURCE_DIR) + "/filut/levelit/FirstLoop.txt";
    machine host, guest;
    sim_options opt;
    opt.two_player = false;   // an online race is always a two-player race
    opt.laps = 1;
    opt.seed = 99;
    opt.level_file = path;
    sim_setup(opt, host.start.race, *host.track);
    const replay header = online_header(host.start.race, *host.track, "FirstLoop", std::string(64, 'a'));
    EXPECT_TRUE(header.two_player);
    EXPECT_TRUE(header.keys.empty());
    setup_online_race(header, path.c_str(), guest.start.race, *guest.track);
    EXPECT_TRUE(guest.start.race.two_players);
    EXPECT_EQ(guest.start.race.view_width, 400);
    for (int r = 0; r < RACERS; r++)
        for (int b = 0; b < racer_length(guest.start.race, r); b++)
            EXPECT_EQ(guest.start.race.balls[b].sprite[r], host.start.race.balls[b].sprite[r]);

    // A race left at step 120: the replay holds the 120 confirmed steps.
    guest.start.track = guest.track.get();
    fake_link_options o;
    o.loss = 0.05;
    net_pair<online_race> p(o, online_race_ops(), guest.start, guest.start);
    p.leave_at[1] = 120;
    p.run(60000);
    EXPECT_EQ(p.s[0].core.state, net_state::opponent_left);
    const replay r = online_replay(header, p.s[0].core, net_confirmed(p.s[0]).race);
    EXPECT_TRUE(r.result.left);
    EXPECT_EQ(r.result.steps, p.s[0].core.confirmed);
    EXPECT_GE(r.result.steps, 110);
    long long keyed = 0;
    for (const sim_segment& k : r.keys) keyed += k.count;
    EXPECT_EQ(keyed, r.result.steps);
    replay back;
    std::string error;
    EXPECT_TRUE(parse_replay(format_replay(r), back, error)) << error;
}

// The host's off-road rule travels in its hello and holds on both machines.
TEST(NetRace, TheGuestRacesUnderTheHostsOffRoadRule) {
    const std::string path = std::string(CB_SOURCE_DIR) + "/filut/levelit/FirstLoop.txt";
    machine host, guest;
    sim_options opt;
    opt.two_player = true;
    opt.off_road = OFF_ROAD_SLOWS;
    opt.level_file = path;
    sim_setup(opt, host.start.race, *host.track);
    host.start.track = host.track.get();
    net_hello hello;
    hello.game_version = "1";
    hello.has_race = true;
    hello.race = online_header(host.start.race, *host.track, "FirstLoop", sha256_hex(file_contents(path)));
    const std::vector<uint8_t> bytes = encode_hello(hello);
    net_message m;
    std::string error;
    ASSERT_TRUE(read_message(bytes.data(), bytes.size(), m, error)) << error;
    setup_online_race(m.hello.race, path.c_str(), guest.start.race, *guest.track);
    guest.start.track = guest.track.get();
    EXPECT_EQ(guest.start.race.off_road, OFF_ROAD_SLOWS);
    ASSERT_TRUE(same_race(host.start.race, guest.start.race));

    fake_link_options o;
    o.loss = 0.05;
    net_race_ops<online_race> ops = online_race_ops();
    ops.over = over_or_long;
    net_pair<online_race> p(o, ops, host.start, guest.start);
    p.run(400000);
    for (int side = 0; side < 2; side++)
        ASSERT_EQ(p.s[side].core.state, net_state::finished) << side;
    EXPECT_TRUE(same_race(net_confirmed(p.s[0]).race, net_confirmed(p.s[1]).race));
    const std::string kept = format_replay(online_replay(hello.race, p.s[0].core, net_confirmed(p.s[0]).race));
    EXPECT_NE(kept.find("\noff-road slows\n"), std::string::npos);
}

// The sync test passes on the online session's own save, and catches a save
// that leaves one field out, by that field's name.
static void save_all_but_racers(online_race& to, const online_race& from) {
    const Racer kept[RACERS] = {to.race.racers[0], to.race.racers[1], to.race.racers[2]};
    to = from;
    std::copy(kept, kept + RACERS, to.race.racers);
}
static void save_all_but_clocks(online_race& to, const online_race& from) {
    LapClock kept[RACERS];
    std::copy(to.race.clocks, to.race.clocks + RACERS, kept);
    to = from;
    std::copy(kept, kept + RACERS, to.race.clocks);
}

TEST(NetRace, TheSyncTestCatchesASaveThatLeavesAFieldOut) {
    const std::string path = std::string(CB_SOURCE_DIR) + "/filut/levelit/FirstLoop.txt";
    machine m;
    sim_options opt;
    opt.two_player = true;
    opt.laps = 1;
    opt.level_file = path;
    sim_setup(opt, m.start.race, *m.track);
    m.start.track = m.track.get();
    std::vector<uint8_t> inputs;
    for (int n = 0; n < 1200; n++) {
        inputs.push_back((uint8_t)(n / 9 % 3 == 0 ? ACTION_FORWARD | ACTION_LEFT : ACTION_FORWARD));
        inputs.push_back((uint8_t)(n / 13 % 4 == 0 ? ACTION_BACK : ACTION_FORWARD | ACTION_RIGHT));
    }
    for (int depth : {1, 8}) {
        const sync_test_result good = online_sync_test(m.start, online_race_ops(), inputs, depth);
        EXPECT_EQ(good.differ_step, -1) << depth << ": " << good.field;
        EXPECT_EQ(good.steps, 1200);

        net_race_ops<online_race> broken = online_race_ops();
        broken.save = save_all_but_racers;
        const sync_test_result bad = online_sync_test(m.start, broken, inputs, depth);
        EXPECT_GE(bad.differ_step, 1);
        EXPECT_EQ(bad.field, "racers");
        // A field the checksum leaves out is caught all the same.
        broken.save = save_all_but_clocks;
        EXPECT_EQ(online_sync_test(m.start, broken, inputs, depth).field, "clocks");
    }
}

// The host's slowing variants travel in its hello; the guest's track then
// draws the same picture on every slowing cell as the host's.
TEST(NetRace, TheGuestDrawsTheHostsSlowingPictures) {
    const std::string path = std::string(CB_SOURCE_DIR) + "/filut/levelit/MudFlats.txt";
    machine host, guest;
    sim_options opt;
    opt.two_player = true;
    opt.seed = 12345;   // not the guest's own draws
    opt.level_file = path;
    sim_setup(opt, host.start.race, *host.track);
    net_handshake h, g;
    net_hello mine;
    mine.game_version = "1";
    mine.race = online_header(host.start.race, *host.track, "MudFlats", sha256_hex(file_contents(path)));
    net_handshake_start(h, true, mine, nullptr);
    mine.race = replay();
    net_handshake_start(g, false, mine, [](const std::string&) {
        return sha256_hex(file_contents(std::string(CB_SOURCE_DIR) + "/filut/levelit/MudFlats.txt"));
    });
    fake_link link;
    fake_link_start(link, fake_link_options());
    net_handshake_connected(h);
    for (long long t = 0; t < 1000; t += 10) {
        for (auto& m : net_take_outbox_of(h.outbox)) fake_link_send(link, 0, m.bytes, m.reliable, t);
        for (auto& m : net_take_outbox_of(g.outbox)) fake_link_send(link, 1, m.bytes, m.reliable, t);
        for (auto& b : fake_link_receive(link, 1, t)) net_handshake_receive(g, b.data(), b.size());
        for (auto& b : fake_link_receive(link, 0, t)) net_handshake_receive(h, b.data(), b.size());
    }
    ASSERT_EQ(g.state, net_handshake_state::ready) << g.line;
    ASSERT_EQ(h.state, net_handshake_state::ready) << h.line;
    setup_online_race(net_handshake_race(g), path.c_str(), guest.start.race, *guest.track);
    EXPECT_TRUE(same_race(host.start.race, guest.start.race));
    int slowing = 0;
    for (int x = 0; x < MAX_TRACK; x++)
        for (int y = 0; y < MAX_TRACK; y++) {
            ASSERT_EQ(guest.track->tiles[x][y], host.track->tiles[x][y]) << x << "," << y;
            ASSERT_EQ(guest.track->stretch_piece[x][y], host.track->stretch_piece[x][y]) << x << "," << y;
            slowing += host.track->stretch_piece[x][y] != 0;
        }
    EXPECT_GT(slowing, 10);
}
