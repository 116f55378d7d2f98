// SPDX-License-Identifier: GPL-3.0-or-later
// src/sim/sim_net.cpp and sim_sync.cpp: two chainball-sim processes race on
// 127.0.0.1 with the host's input delay, and the options' ranges.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "harness.h"
#include "sim/sim.h"

namespace {

int free_udp_port() {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(s, (sockaddr*)&a, sizeof a);
    getsockname(s, (sockaddr*)&a, &n);
    close(s);
    return ntohs(a.sin_port);
}

// Racer 1's action bits of each step of a replay file.
std::vector<int> host_inputs(const std::string& path) {
    replay r;
    std::string error;
    EXPECT_TRUE(parse_replay(file_contents(path), r, error)) << path << ": " << error;
    std::vector<int> bits;
    script_position at;
    for (long long n = 0; n < r.result.steps; n++) bits.push_back(input_of_script_keys(next_script_keys(r.keys, at)).player[0]);
    return bits;
}

}  // namespace

// The script's first step is raced: with the host's delay of D steps it
// drives step D on both machines, whichever delay the guest would choose.
TEST(SimNet, TheFirstKeyStepIsRacedAfterTheHostsDelay) {
    if (access("./chainball-sim", X_OK) != 0) GTEST_SKIP() << "chainball-sim not built beside the tests";
    const std::string dir = testing::TempDir();
    const std::string keys = dir + "first-step.keys", track = std::string(CB_SOURCE_DIR) + "/tests/data/replays/Straight.txt";
    {
        std::ofstream k(keys);
        k << "1 UP\n";
        for (int i = 0; i < 30; i++) k << "24\n60 DOWN\n1\n44 UP\n";
    }
    for (int delay : {0, 3}) {
        SCOPED_TRACE("delay " + std::to_string(delay));
        const int port = free_udp_port();
        const std::string host = dir + "first-host.cbreplay", guest = dir + "first-guest.cbreplay";
        std::remove(host.c_str());
        std::remove(guest.c_str());
        const std::string cmd = "timeout 60 ./chainball-sim --net-host " + std::to_string(port) +
                                " --bind 127.0.0.1 --input-delay " + std::to_string(delay) +
                                " --lengths 3,0,0 --laps 1 --keys " + keys + " --write-replay " + host + " " + track +
                                " >/dev/null 2>&1 & sleep 0.3; timeout 60 ./chainball-sim --net-join 127.0.0.1:" +
                                std::to_string(port) + " --track " + track + " --keys " + keys + " --write-replay " +
                                guest + " >/dev/null 2>&1; wait";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        ASSERT_EQ(file_contents(host), file_contents(guest));
        const std::vector<int> bits = host_inputs(host);
        ASSERT_GT(bits.size(), (size_t)delay + 1);
        for (int s = 0; s < delay; s++) EXPECT_EQ(bits[s], 0) << s;
        EXPECT_EQ(bits[delay], ACTION_FORWARD) << "the script's first step";
        EXPECT_EQ(bits[delay + 1], 0) << "its second";
    }
}

TEST(SimNet, DelayAndSyncTestDepthOutsideTheirRangesAreRefused) {
    struct bad_case {
        std::vector<const char*> args;
        const char* says;
    };
    const bad_case cases[] = {
        {{"--net-host", "7000", "--input-delay", "5", "t.txt"}, "--input-delay needs a number of steps from 0 to 4, got '5'"},
        {{"--net-host", "7000", "--input-delay", "-1", "t.txt"}, "from 0 to 4, got '-1'"},
        {{"--net-join", "h", "--input-delay", "2"}, "--input-delay goes with --net-host"},
        {{"--synctest", "0", "t.txt"}, "--synctest needs a number of steps from 1 to 8, got '0'"},
        {{"--synctest", "9", "t.txt"}, "from 1 to 8, got '9'"},
        {{"--synctest", "2", "--net-host", "7000", "t.txt"}, "cannot go with --net-host"},
    };
    for (const bad_case& c : cases) {
        std::vector<const char*> argv = {"chainball-sim"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        sim_options opt;
        std::string error;
        EXPECT_FALSE(parse_sim_args((int)argv.size(), argv.data(), opt, error)) << c.says;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
    const char* good[] = {"chainball-sim", "--net-host", "7000", "--input-delay", "0", "t.txt"};
    sim_options opt;
    std::string error;
    ASSERT_TRUE(parse_sim_args(6, good, opt, error)) << error;
    EXPECT_EQ(opt.net_input_delay, 0);
}
