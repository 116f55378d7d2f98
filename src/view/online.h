// SPDX-License-Identifier: GPL-3.0-or-later
// Online races: the race screen (view/race_screen.h) with the network as
// its source: waiting for the opponent, the countdown that both machines
// start together, the race with this player's own view full size (both
// players' laps and the race clock over it), and the end with its line. No
// pause online. The source owns the connection, its race states and its
// replay while the screen lasts.
#pragma once

#include <string>

#include "core/screen.h"

// Hosts on `port` with the settings' track, lengths and laps and the given
// input delay (which both machines race on), or joins
// HOST[:PORT]: the online screen, which the caller opens. Null with one
// line in `error` (the port is taken, no such host, an unusable track).
// Escape on the screen leaves (and tells the opponent).
ScreenPtr start_online_host(int port, int input_delay, std::string& error);
ScreenPtr start_online_join(const std::string& address, std::string& error);
// Watches the race hosted at HOST[:PORT] as a spectator, a short delay
// behind, either player's view (Tab switches); the replay is kept as a
// player's is.
ScreenPtr start_online_watch(const std::string& address, std::string& error);
// Where the online replays go: the --record folder when given, else
// $XDG_DATA_HOME/chainball/replays (~/.local/share/chainball/replays).
std::string online_replay_folder();

struct Race;
struct net_peer;
// "You: lap N/L": the laps a racer has completed, never past the race's.
std::string online_lap_line(const char* who, const Race& race, int racer);
// The network line (F3): round trip, rollbacks in the last second, the
// deepest rollback, bytes a second out and in.
std::string online_network_line(const net_peer& p);
