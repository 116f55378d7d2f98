// SPDX-License-Identifier: GPL-3.0-or-later
// src/view/online.cpp: the lines over an online race.
#include <gtest/gtest.h>

#include "net/peer.h"
#include "race/race.h"
#include "view/online.h"

TEST(OnlineView, TheLapLineNeverPassesTheRacesLaps) {
    Race race = new_race();
    race.laps = 3;
    race.racers[0].completed_laps = 0;
    race.racers[1].completed_laps = 5;   // finished, and drove on over the line
    EXPECT_EQ(online_lap_line("You", race, 0), "You: lap 0/3");
    EXPECT_EQ(online_lap_line("Opponent", race, 1), "Opponent: lap 3/3");
}

TEST(OnlineView, TheNetworkLineShowsTheLastSecondsCounts) {
    net_peer p;
    net_stats& st = p.session.core.stats;
    st.max_rollback = 6;
    st.rollbacks = 4;
    st.bytes_sent = 1250;
    st.bytes_received = 980;
    net_count_second(st, 1000);
    EXPECT_EQ(online_network_line(p), "RTT 0 ms  Rollbacks 4/s deepest 6  Out 1.2 In 1.0 kB/s");
}
