// SPDX-License-Identifier: GPL-3.0-or-later
// Spectators of an online race. The host keeps up to four: each gets the
// race's confirmed inputs from step 0 on (never predicted ones), as fast as
// its connection takes them, and is dropped when it falls too far behind, so
// that a slow or dead spectator never slows the players; anything a
// spectator sends after its hello drops it. A spectator (a net_peer that
// joined with net_peer_watch) runs the race from those inputs alone and can
// write the same replay as the players.
#pragma once

#include <string>
#include <vector>

#include "net/messages.h"

struct net_peer;
struct net_event;

constexpr int NET_MAX_SPECTATORS = 4;
// Messages a spectator may have unacknowledged; past that the host sends it
// nothing more until it catches up.
constexpr int NET_WATCH_QUEUE = 32;
// A spectator whose queue has stayed full this long is dropped.
constexpr long long NET_WATCH_BEHIND_MS = 5000;
// The host sends a spectator the new confirmed steps once there are this
// many (and every step left once the race is over).
constexpr int NET_WATCH_BATCH = 10;

struct net_spectator {
    int from = -1;                 // the transport's connection
    long long sent = 0;            // confirmed steps sent to it
    long long full_since = -1;     // when its queue filled, -1 while it has room
    bool told_end = false;         // sent the leave of a race that did not finish
};

// The host heard a spectator's hello from connection `from`: it watches, or
// is refused (another version, or four watching already).
void net_take_spectator(net_peer& p, int from, const net_hello& theirs);
// The host heard from a connection: true when it is a spectator's, which a
// message drops (a spectator has nothing to say) and a disconnect forgets.
bool net_spectator_event(net_peer& p, const net_event& e);
// Sends each spectator what it lacks, and drops the ones that fell behind.
void net_serve_spectators(net_peer& p, long long now_ms);
// Every spectator holds the whole race as far as it was confirmed.
bool net_spectators_served(const net_peer& p);

// A spectator's message in the race.
void net_watch_receive(net_peer& p, const net_event& e);
// A spectator's frame: takes what arrived, runs at most `max_steps` of the
// steps received, and ends once the race is over or the host has gone.
void net_watch_frame(net_peer& p, long long now_ms, long long max_steps);
// Steps received but not yet run.
long long net_watch_behind(const net_peer& p);
