// SPDX-License-Identifier: GPL-3.0-or-later
// One machine of an online race, from the connection to the replay: the
// transport, the handshake and the rollback session over the real race,
// driven one frame at a time by the game or by chainball-sim (the same code
// for both). Owns its connection, its own copy of the track and the race
// states; no clock of its own (each frame is given the time).
#pragma once

#include <memory>
#include <string>

#include "net/handshake.h"
#include "net/net_race.h"
#include "net/watchers.h"
#include "net/transport.h"

enum class net_peer_phase {
    connecting,   // waiting for the opponent, or for the handshake
    racing,       // the session runs
    ended,        // the session is done; the replay is ready
    refused,      // no race: `line` says why
};

// A connection the host has not raced or turned away yet.
struct net_candidate {
    int from;             // the transport's connection
    long long since_ms;   // when it connected
};

struct net_peer {
    net_transport transport;
    net_handshake handshake;
    net_session<online_race> session;
    std::unique_ptr<Track> track{new Track()};
    replay header;                 // the race both machines set up
    Race start = new_race();       // that race before its first step
    net_peer_phase phase = net_peer_phase::connecting;
    std::string line;              // why there is no race; a host's last turned-away connection
    int local = 0;                 // 0 host (racer 1), 1 guest (racer 2)
    int opponent = -1;             // the transport's connection raced
    std::vector<net_candidate> candidates;   // the host's connections in the handshake
    std::vector<uint8_t> hello;    // the host's hello, sent to every connection
    long long joined_ms = -1;      // the guest: its first frame, for the time-out of its connecting
    long long started_ms = 0;      // when the race started here
    long long perturb_at = -1;     // tests: this machine's race is nudged after this step
    // The host's player's input delay, set before net_peer_host(); the
    // guest races on the host's, as its hello says.
    int input_delay = NET_INPUT_DELAY;
    std::vector<net_spectator> spectators;   // the host's
    bool watching = false;         // this machine is a spectator (local 1 in the handshake)
    bool host_gone = false;        // a spectator's host left or closed: no more steps come
    long long last_frame_ms = 0;   // the time of the last frame
};

// Where a guest finds a track by its catalogue name: the path, "" when it
// has none. The name is checked (no path) before it is asked for.
using net_track_finder = std::string (*)(const std::string& name);

// The host: listens on `port` (of `bind_host`, every interface when empty)
// and offers the race set up in `race` on `track`, loaded from the file
// named `track_name` whose bytes hash to `track_sha256`. False with one line.
bool net_peer_host(net_peer& p, int port, const std::string& bind_host, const Race& race, const Track& track,
                   const std::string& track_name, const std::string& track_sha256,
                   const std::string& game_version, std::string& error);
// The guest: connects to HOST[:PORT]. False with one line.
bool net_peer_join(net_peer& p, const std::string& address, net_track_finder find_track,
                   const std::string& game_version, std::string& error);

// A spectator: connects to HOST[:PORT] and watches (net_watch_frame).
bool net_peer_watch(net_peer& p, const std::string& address, net_track_finder find_track,
                    const std::string& game_version, std::string& error);
// Takes what arrived and judges the handshake's time (part of every frame).
void net_peer_take(net_peer& p, long long now_ms);

// One frame: takes what arrived, runs the handshake or at most one race
// step with `local_bits` (this player's ACTION_* bits), sends. `waiting` is
// true while the machine holds its race back (a countdown): the inputs are
// exchanged and nothing runs. The host races the first connection through
// the handshake, tells any other that it is busy, and lets one go that
// sends a bad message or is not through in NET_HANDSHAKE_MS; until its
// player leaves, it keeps hosting. After the race it still services the
// connections, so that the last messages are resent.
void net_peer_frame(net_peer& p, int local_bits, long long now_ms, bool waiting = false);
// This player quits: the opponent is told, the race ends here.
void net_peer_leave(net_peer& p);
// The race to draw now (predicted), and the one results come from (confirmed).
const Race& net_peer_race(const net_peer& p);
const Race& net_peer_confirmed(const net_peer& p);
// The line for the player: why it was refused or ended, or the link's trouble.
std::string net_peer_line(const net_peer& p, long long now_ms);
// The replay up to the last confirmed step.
replay net_peer_replay(const net_peer& p);
// Sends what is left and closes the connection (also after a refusal).
void net_peer_close(net_peer& p);
